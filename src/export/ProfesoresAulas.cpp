// Teachers and rooms: PROFT, with an abbreviation unique within the run for
// every employee, and AULAT, whose abbreviation is the room's own key.
#include "app/Clipper.h"
#include "app/MainForm.h"
#include "export/StepSupport.h"
#include "formats/Encoding.h"
#include "formats/Table.h"

namespace pasavel {

namespace {

constexpr std::size_t abbreviationWidth = 10;

// The initials of the three name parts, then a counter when that is taken
// already in any letter case; the initials themselves are never cut.
std::u16string teacherAbbreviation(const std::u16string& initials, const CaseInsensitiveList& taken)
{
    if (!taken.contains(initials))
        return initials;
    for (long long counter = 1;; ++counter) {
        const std::u16string candidate = initials + fromUtf8(std::to_string(counter));
        if (!taken.contains(candidate))
            return candidate;
    }
}

} // namespace

void MainForm::CrearProfesores()
{
    Table::create(m_paths.vtemp, "PROFT",
                  {stringField("ABREV", 10), stringField("NOMBRE", 80), stringField("DEPART", 40),
                   integerField("DNI"), stringField("X_EMPLEADO", 10), stringField("F_TOMAPOS", 10),
                   stringField("EMAIL", 100)});
    CaseInsensitiveList taken(abbreviationWidth);
    Table proft(m_paths.vtemp, "PROFT");
    for (const ExchangeRecord& record : sectionRecords(*loadedDocument, "EMPLEADOS")) {
        if (!record.passesGuard())
            continue;
        const std::u16string first = record.value(3);
        const std::u16string second = record.value(4);
        const std::u16string third = record.value(5);
        const std::u16string abbreviation =
            teacherAbbreviation(Left(first, 1) + Left(second, 1) + Left(third, 1), taken);
        taken.add(abbreviation);
        proft.append();
        proft.setText("ABREV", abbreviation);
        proft.setText("NOMBRE", first + u" " + second + u" " + third);
        proft.setText("X_EMPLEADO", record.value(0));
        proft.setText("F_TOMAPOS", record.value(1));
        proft.setText("DEPART", record.value(2));
        proft.post();
    }
    proft.close();
}

void MainForm::CrearAulas()
{
    Table::create(m_paths.vtemp, "AULAT",
                  {stringField("ABREV", 10), stringField("NOMBRE", 80), stringField("EDIFICIO", 1),
                   integerField("MAXALUM"), stringField("DEPCENTRO", 10)});
    Table aulat(m_paths.vtemp, "AULAT");
    for (const ExchangeRecord& record : sectionRecords(*loadedDocument, "DEPENDENCIAS")) {
        if (!record.passesGuard())
            continue;
        // The key itself is the abbreviation, so the import can give it back
        // to Raíces as it is; two keys alike in their first ten characters
        // are not told apart.
        const std::u16string key = record.value(0);
        aulat.append();
        aulat.setText("ABREV", Left(key, 10));
        aulat.setText("NOMBRE", record.value(1));
        aulat.setText("DEPCENTRO", key);
        aulat.post();
    }
    aulat.close();
}

} // namespace pasavel
