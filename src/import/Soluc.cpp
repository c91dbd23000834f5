#include "import/Soluc.h"

#include "base/Clipper.h"
#include "base/Numbers.h"

namespace pasavel {

void selectTeacherEntries(Table& soluc, const std::u16string& abbreviation)
{
    soluc.setFilter("PROF", abbreviation);
}

bool isPlaced(const Table& soluc)
{
    return soluc.integer("DIA") != 0;
}

bool isNonRegular(const Table& soluc)
{
    return soluc.text("ASIG").starts_with(u'#');
}

bool locateSlot(const Table& soluc, Table& diasHoras)
{
    const std::u16string dayHour = soluc.text("DIA") + decimalText(soluc.integer("HORA"));
    const std::u16string frame = Left(soluc.text("MARCO"), 1);
    return diasHoras.locate({{"DIHO", dayHour}, {"MARCO", frame}});
}

} // namespace pasavel
