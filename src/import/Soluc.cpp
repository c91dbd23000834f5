#include "import/Soluc.h"

#include "base/Clipper.h"
#include "base/Numbers.h"

namespace pasavel {

void selectTeacherEntries(Table& soluc, const std::u16string& abbreviation)
{
    std::u16string literal;
    for (char16_t character : abbreviation) {
        literal += character;
        if (character == u'\'')
            literal += character;
    }
    soluc.clearFilter();
    soluc.setFilter(u"PROF= '" + literal + u"'");
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
    return diasHoras.locate("DIHO;MARCO", {dayHour, frame});
}

} // namespace pasavel
