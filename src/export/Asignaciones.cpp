// Teaching assignments: ASIGT, one assignment for every subject-in-course and
// every group of that course, with a fixed weekly load and no teacher or room.
#include "base/Clipper.h"
#include "export/Exportacion.h"
#include "export/StepSupport.h"
#include "export/WorkingTables.h"
#include "formats/dbase/Table.h"
#include "formats/dbase/TableWriter.h"

#include <map>

namespace pasavel {

namespace {

constexpr std::size_t nameWidth = tables::ASIGNOMT.width("NOMBRE");

// Every assignment starts with four weekly hours: 240 minutes, rounded up to
// whole hours, one session a hour.
constexpr int weeklyMinutes = 240;
constexpr int weeklyHours = (weeklyMinutes + 59) / 60;

struct Group {
    std::u16string abrev;
    std::u16string nivel;
    std::u16string curso;
    std::u16string grupo;
    std::u16string clave;
};

// Names are compared trimmed and with a to z upper-cased.
std::u16string nameKey(std::u16string_view name)
{
    return AllTrim(upperAscii(name));
}

// The code of every subject name; of names alike once compared, the first
// record in ASIGNOMT gives the code.
std::map<std::u16string, std::u16string> readSubjectCodes(const std::filesystem::path& vtemp)
{
    std::map<std::u16string, std::u16string> codes;
    Table asignomt(vtemp, tables::ASIGNOMT.name);
    for (asignomt.first(); !asignomt.eof(); asignomt.next())
        codes.try_emplace(nameKey(asignomt.text("NOMBRE")), asignomt.text("COD"));
    asignomt.close();
    return codes;
}

// The groups of every course key, in the order of GRUPOST.
std::map<std::u16string, std::vector<Group>> readGroupsByCourse(const std::filesystem::path& vtemp)
{
    std::map<std::u16string, std::vector<Group>> groups;
    Table grupos(vtemp, tables::GRUPOST.name);
    for (grupos.first(); !grupos.eof(); grupos.next()) {
        groups[grupos.text("CLAVECURSO")].push_back({grupos.text("ABREV"), grupos.text("NIVEL"),
                                                     grupos.text("CURSO"), grupos.text("GRUPO"),
                                                     grupos.text("CLAVE")});
    }
    grupos.close();
    return groups;
}

void appendAssignment(TableWriter& asigt, const Materia& materia, const std::u16string& subjectCode,
                      const Group& group)
{
    asigt.append();
    asigt.setText("CASIG", subjectCode);
    asigt.setText("CGRUP", group.abrev);
    asigt.setText("CAULA", u"");
    asigt.setText("TURNO", u"");
    asigt.setText("NIVEL", group.nivel);
    asigt.setText("CURSO", group.curso);
    asigt.setText("GRUPO", group.grupo);
    asigt.setNumber("HORAS", weeklyHours);
    asigt.setText("SESIONES", std::u16string(weeklyHours, u'1'));
    asigt.setText("CLAVE", materia.subjectKey);
    asigt.setText("CLAVECURSO", materia.courseKey);
    asigt.setText("CLAVEGRUPO", group.clave);
    asigt.setText("CTAREA", u"1");
    asigt.post();
}

} // namespace

void Exportacion::CrearAsignaciones()
{
    const std::map<std::u16string, std::u16string> subjectCodes = readSubjectCodes(m_vtemp);
    const std::map<std::u16string, std::vector<Group>> groupsByCourse = readGroupsByCourse(m_vtemp);
    // One assignment for every subject of a course and group of that course:
    // written as they are made, from the subjects where the document holds them.
    TableWriter::write(m_vtemp, tables::ASIGT.name, tables::ASIGT.fieldSpecs(), [&](TableWriter& asigt) {
        forEachSectionRecord(*loadedDocument, "MATERIAS", [&](const ExchangeRecord& record) {
            if (!record.passesGuard())
                return;
            const Materia materia = readMateria(record);
            const auto code = subjectCodes.find(nameKey(asStored(materia.name, nameWidth)));
            if (code == subjectCodes.end() || code->second.empty())
                return;
            // Exact: a course key longer than the field matches no group.
            const auto groups = groupsByCourse.find(materia.courseKey);
            if (groups == groupsByCourse.end())
                return;
            for (const Group& group : groups->second)
                appendAssignment(asigt, materia, code->second, group);
        });
    });
}

} // namespace pasavel
