// Groups: GRUPOST, one record per Raíces unit, with the level, course and
// description of its course (from CURSOST, as the course dialog completed it)
// and an abbreviation made of level, course and a letter: ESO1A, ESO1B...
#include "base/Clipper.h"
#include "base/Error.h"
#include "export/Exportacion.h"
#include "export/StepSupport.h"
#include "export/WorkingTables.h"
#include "formats/Encoding.h"
#include "formats/dbase/Table.h"
#include "formats/dbase/TableWriter.h"

#include <map>

namespace pasavel {

namespace {

constexpr std::size_t abbreviationWidth = tables::GRUPOST.width("ABREV");

struct Course {
    std::u16string nivel;
    std::u16string curso;
    std::u16string estud;
};

// The courses by key; of two with one key the first counts, as a walk from
// the first record would find it.
std::map<std::u16string, Course> readCourses(const std::filesystem::path& vtemp)
{
    std::map<std::u16string, Course> courses;
    Table cursos(vtemp, tables::CURSOST.name);
    for (cursos.first(); !cursos.eof(); cursos.next())
        courses.try_emplace(cursos.text("CLAVE"),
                            Course{cursos.text("NIVEL"), cursos.text("CURSO"), cursos.text("ESTUD")});
    cursos.close();
    return courses;
}

// The character with this code in the tables' code page, so that letters
// past Z go on with what the code page has there.
std::u16string codePageCharacter(int code)
{
    return fromWindows1252(std::string(1, static_cast<char>(code)));
}

// Level (five characters at most), first character of the course and "A";
// when that is taken in any letter case, the next free letter in code order.
std::u16string groupAbbreviation(const Course& course, const CaseInsensitiveList& taken)
{
    const std::u16string stem = Left(course.nivel, 5) + Left(course.curso, 1);
    for (int code = 'A'; code <= 0xFF; ++code) {
        const std::u16string candidate = stem + codePageCharacter(code);
        if (!taken.contains(candidate))
            return candidate;
    }
    throw Error("No quedan letras para más grupos de «" + toUtf8(stem) +
                "»: dé a sus cursos niveles distintos en sus cinco primeros caracteres.");
}

// The group of one unit, whose abbreviation joins those taken.
void appendGroup(TableWriter& grupos, const ExchangeRecord& record,
                 const std::map<std::u16string, Course>& courses, CaseInsensitiveList& taken)
{
    const std::u16string courseKey = record.value(2);
    // The key as the document gives it against the key as CURSOST holds
    // it: a key longer than the field finds no course, rather than the
    // course of another key that begins alike.
    const auto found = courses.find(courseKey);
    const Course course = found == courses.end() ? Course{} : found->second;
    const std::u16string abbreviation = groupAbbreviation(course, taken);
    taken.add(abbreviation);
    grupos.append();
    grupos.setText("ABREV", abbreviation);
    grupos.setText("TURNO", u"");
    // Only after the abbreviation: a group of an unknown course has none
    // from its level.
    grupos.setText("NIVEL", course.nivel.empty() ? u"NIV" : course.nivel);
    grupos.setText("CURSO", course.curso);
    grupos.setText("GRUPO", Right(abbreviation, 1));
    grupos.setText("CLAVE", record.value(0));
    grupos.setText("CLAVECURSO", courseKey);
    grupos.setText("DESCRIP", course.estud);
    grupos.setText("MARCO", u"0");
    grupos.post();
}

} // namespace

void Exportacion::CrearGrupos()
{
    const std::map<std::u16string, Course> courses = readCourses(m_vtemp);
    CaseInsensitiveList taken(abbreviationWidth);
    // One group for every unit, written as it is made and read where the
    // document holds it: a large school has tens of thousands.
    TableWriter::write(m_vtemp, tables::GRUPOST.name, tables::GRUPOST.fieldSpecs(), [&](TableWriter& grupos) {
        forEachSectionRecord(*loadedDocument, "UNIDADES", [&](const ExchangeRecord& record) {
            if (record.passesGuard())
                appendGroup(grupos, record, courses, taken);
        });
    });
}

} // namespace pasavel
