// Teachers and rooms: PROFT, with an abbreviation unique within the run for
// every employee, and AULAT, whose abbreviation is the room's own key.
#include "base/Clipper.h"
#include "export/Exportacion.h"
#include "export/StepSupport.h"
#include "export/WorkingTables.h"
#include "formats/Encoding.h"
#include "formats/dbase/Table.h"
#include "formats/dbase/TableWriter.h"

#include <unordered_map>

namespace pasavel {

namespace {

constexpr std::size_t abbreviationWidth = tables::PROFT.width("ABREV");

// The initials of the three name parts, then a counter when that is taken
// already in any letter case; the initials themselves are never cut.
// Abbreviations are only ever added, so a counter found taken for some
// initials stays taken: the search for the same initials goes on from the
// next counter instead of from 1, which keeps thousands of teachers with the
// same initials linear. The result is the first free counter all the same.
class TeacherAbbreviations {
  public:
    std::u16string next(const std::u16string& initials)
    {
        std::u16string abbreviation = initials;
        if (m_taken.contains(initials)) {
            long long& counter = m_nextCounter.try_emplace(initials, 1).first->second;
            for (;; ++counter) {
                abbreviation = initials + fromUtf8(std::to_string(counter));
                if (!m_taken.contains(abbreviation))
                    break;
            }
        }
        m_taken.add(abbreviation);
        return abbreviation;
    }

  private:
    CaseInsensitiveList m_taken{abbreviationWidth};
    std::unordered_map<std::u16string, long long> m_nextCounter;
};

void appendTeacher(TableWriter& proft, const ExchangeRecord& record, TeacherAbbreviations& abbreviations)
{
    const std::u16string first = record.value(3);
    const std::u16string second = record.value(4);
    const std::u16string third = record.value(5);
    const std::u16string abbreviation = abbreviations.next(Left(first, 1) + Left(second, 1) + Left(third, 1));
    proft.append();
    proft.setText("ABREV", abbreviation);
    proft.setText("NOMBRE", first + u" " + second + u" " + third);
    proft.setText("X_EMPLEADO", record.value(0));
    proft.setText("F_TOMAPOS", record.value(1));
    proft.setText("DEPART", record.value(2));
    proft.post();
}

void appendRoom(TableWriter& aulat, const ExchangeRecord& record)
{
    // The key itself is the abbreviation, so the import can give it back
    // to Raíces as it is; two keys alike in their first ten characters
    // are not told apart.
    const std::u16string key = record.value(0);
    aulat.append();
    aulat.setText("ABREV", Left(key, tables::AULAT.width("ABREV")));
    aulat.setText("NOMBRE", record.value(1));
    aulat.setText("DEPCENTRO", key);
    aulat.post();
}

} // namespace

// The two tables hold one record for every employee and every room, the
// largest of the run in a large school: each is written as it is made, from
// the records where the document holds them.
void Exportacion::CrearProfesores()
{
    TeacherAbbreviations abbreviations;
    TableWriter::write(m_vtemp, tables::PROFT.name, tables::PROFT.fieldSpecs(), [&](TableWriter& proft) {
        forEachSectionRecord(*loadedDocument, "EMPLEADOS", [&](const ExchangeRecord& record) {
            if (record.passesGuard())
                appendTeacher(proft, record, abbreviations);
        });
    });
}

void Exportacion::CrearAulas()
{
    TableWriter::write(m_vtemp, tables::AULAT.name, tables::AULAT.fieldSpecs(), [&](TableWriter& aulat) {
        forEachSectionRecord(*loadedDocument, "DEPENDENCIAS", [&](const ExchangeRecord& record) {
            if (record.passesGuard())
                appendRoom(aulat, record);
        });
    });
}

} // namespace pasavel
