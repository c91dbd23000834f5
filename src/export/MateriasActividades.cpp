// Subjects and activities: ASIGNOMT, one record per subject name with a short
// code unique within the run, and ASIGNOMT2, which maps every pair of Raíces
// subject key and course key to that code; then the activities, appended to
// ASIGNOMT as tasks.
#include "base/Clipper.h"
#include "base/Error.h"
#include "export/Exportacion.h"
#include "export/StepSupport.h"
#include "export/WorkingTables.h"
#include "formats/Encoding.h"
#include "formats/dbase/Table.h"

#include <map>

namespace pasavel {

namespace {

constexpr std::size_t codeWidth = tables::ASIGNOMT.width("COD");
constexpr std::size_t longCodeWidth = tables::ASIGNOMT.width("CODLARGO");
constexpr std::size_t nameWidth = tables::ASIGNOMT.width("NOMBRE");

struct SubjectCodes {
    std::u16string cod;
    std::u16string codLargo;
};

Table openReferenceSubjects(const std::filesystem::path& file)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) {
        throw Error("No se encuentra la tabla de materias de referencia RAICESMATERIAS.DBF (" +
                    file.string() + "), que se instala junto al programa.");
    }
    Table reference(file);
    for (const char* field : {"NOMBRE", "COD", "CODLARGO"}) {
        if (!reference.hasField(field)) {
            throw Error("La tabla de materias de referencia (" + file.string() + ") no tiene el campo «" +
                        std::string(field) + "».");
        }
    }
    return reference;
}

// The codes the reference table proposes for a subject of this exact name.
SubjectCodes referenceCodes(Table& reference, const std::u16string& name)
{
    if (!reference.locate({{"NOMBRE", name}}))
        return {};
    return {reference.text("COD"), reference.text("CODLARGO")};
}

// The first character of the name and its capitals A to Z; when that is one
// character only, the first six characters of a single word, or the first
// character of every word.
std::u16string shortCode(const std::u16string& name)
{
    const std::u16string first = Left(name, 1);
    const std::u16string code = first + Capitals(std::u16string_view(name).substr(first.size()));
    if (code.size() > 1)
        return code;
    if (name.find(u' ') == std::u16string::npos)
        return Left(name, 6);
    return first + Initials(name);
}

// Completes the codes the reference gave (possibly none). False when there is
// nothing to build a short code from: no name and no reference code.
bool completeCodes(SubjectCodes& codes, const std::u16string& name)
{
    if (AllTrim(codes.cod).empty()) {
        if (name.empty())
            return false;
        codes.cod = shortCode(name);
    }
    if (AllTrim(codes.codLargo).empty())
        codes.codLargo = codes.cod.size() >= 5 ? codes.cod : Left(name, longCodeWidth);
    codes.cod = Left(codes.cod, codeWidth);
    return true;
}

// A code longer than ten characters keeps its first eight and its last two,
// so that a counter at its end survives.
std::u16string fitCode(const std::u16string& code)
{
    if (code.size() <= codeWidth)
        return code;
    return code.substr(0, 8) + code.substr(code.size() - 2);
}

// The code itself when no subject has it yet; otherwise the code with its last
// character replaced by the first counter that gives a free code. Candidates
// are tested as they will be stored, cut and in the tables' code page, so two
// subjects never share a code in the table.
//
// Codes are only ever added to the taken ones while subjects are read, so a
// counter found taken for a stem stays taken: the search for the same stem
// goes on from the counter it ended at (kept in nextCounters), which keeps
// thousands of subjects with alike names linear. The result is the first
// free counter all the same.
std::u16string uniqueCode(const std::u16string& code, const RunWideLists::SortedList& taken,
                          std::map<std::u16string, int>& nextCounters, const std::u16string& name)
{
    const std::u16string stored = asStored(code, codeWidth);
    if (!taken.contains(stored))
        return stored;
    const std::u16string stem = stored.substr(0, stored.size() - 1);
    int& counter = nextCounters.try_emplace(stem, 1).first->second;
    // Past two-digit counters a cut code only repeats earlier candidates.
    for (; counter < 1000; ++counter) {
        const std::u16string candidate = fitCode(stem + fromUtf8(std::to_string(counter)));
        if (!taken.contains(candidate))
            return candidate;
    }
    throw Error("No queda ningún código libre para la materia «" + toUtf8(name) +
                "»: están ocupados todos los que derivan de «" + toUtf8(stored) + "».");
}

class SubjectWriter {
  public:
    SubjectWriter(const std::filesystem::path& vtemp, RunWideLists& lists)
        : m_asignomt(vtemp, tables::ASIGNOMT.name), m_asignomt2(vtemp, tables::ASIGNOMT2.name), m_lists(lists)
    {
    }

    void add(const Materia& materia, SubjectCodes codes)
    {
        if (seenBefore(materia.name, codes.codLargo)) {
            addCourseOfKnownSubject(materia, codes.codLargo);
            return;
        }
        m_lists.subjectNames.insert(upperAscii(materia.name));
        m_lists.longCodes.insert(codes.codLargo);
        m_lists.longCodesWithNames.insert(codes.codLargo + materia.name);
        codes.cod = uniqueCode(codes.cod, m_lists.subjectCodes, m_nextCounters, materia.name);
        m_lists.subjectCodes.insert(codes.cod);

        m_asignomt.append();
        m_asignomt.setText("COD", codes.cod);
        m_asignomt.setText("CODLARGO", codes.codLargo);
        m_asignomt.setText("NOMBRE", materia.name);
        m_asignomt.setBoolean("ESTAREA", false);
        m_asignomt.setText("R_UNI_MAT", u"");
        m_asignomt.post();
        appendCourse(materia, codes);
    }

    void close()
    {
        m_asignomt.close();
        m_asignomt2.close();
    }

  private:
    bool seenBefore(const std::u16string& name, const std::u16string& codLargo) const
    {
        return m_lists.subjectNames.contains(upperAscii(name)) && m_lists.longCodes.contains(codLargo) &&
               m_lists.longCodesWithNames.contains(codLargo + name);
    }

    // A subject already in ASIGNOMT, offered in one more course: only the
    // pair of keys is recorded, with the code the subject already has.
    void addCourseOfKnownSubject(const Materia& materia, const std::u16string& codLargo)
    {
        // The keys as the document gives them: a key longer than its field
        // matches no record, rather than the record of another key.
        if (m_asignomt2.locate({{"MATERIA", materia.subjectKey}, {"OFERTAMATRI", materia.courseKey}}))
            return;
        if (!m_asignomt.locate(
                {{"CODLARGO", asStored(codLargo, codeWidth)}, {"NOMBRE", asStored(materia.name, nameWidth)}}))
            return;
        appendCourse(materia, {m_asignomt.text("COD"), m_asignomt.text("CODLARGO")});
    }

    void appendCourse(const Materia& materia, const SubjectCodes& codes)
    {
        m_asignomt2.append();
        m_asignomt2.setText("COD", codes.cod);
        m_asignomt2.setText("CODLARGO", codes.codLargo);
        m_asignomt2.setText("NOMBRE", materia.name);
        m_asignomt2.setText("MATERIA", materia.subjectKey);
        m_asignomt2.setText("OFERTAMATRI", materia.courseKey);
        m_asignomt2.setBoolean("ESTAREA", false);
        m_asignomt2.post();
    }

    Table m_asignomt;
    Table m_asignomt2;
    RunWideLists& m_lists;
    // For uniqueCode: the lists only grow while this writer adds subjects.
    std::map<std::u16string, int> m_nextCounters;
};

} // namespace

void Exportacion::CrearMaterias()
{
    // A run that stopped half-way must not leave its codes to this one.
    runWideLists.clear();
    // Opened first, so that without it the tables stay as they were.
    Table reference = openReferenceSubjects(m_materiasTable);
    tables::ASIGNOMT.create(m_vtemp);
    tables::ASIGNOMT2.create(m_vtemp);
    SubjectWriter writer(m_vtemp, runWideLists);
    for (const ExchangeRecord& record : sectionRecords(*loadedDocument, "MATERIAS")) {
        if (!record.passesGuard())
            continue;
        const Materia materia = readMateria(record);
        SubjectCodes codes = referenceCodes(reference, materia.name);
        // A subject without a name, which the reference does not code, has
        // nothing a code could be made of: it is left out.
        if (!completeCodes(codes, materia.name))
            continue;
        writer.add(materia, codes);
    }
    writer.close();
    reference.close();
}

void Exportacion::CrearActividades()
{
    Table asignomt(m_vtemp, tables::ASIGNOMT.name);
    for (const ExchangeRecord& record : sectionRecords(*loadedDocument, "ACTIVIDADES")) {
        if (!record.passesGuard())
            continue;
        const std::u16string name = record.value(2);
        // The "#" marks the code as an activity's; the import takes it off again.
        const std::u16string code = record.value(0) == u"N" ? u"#" + record.value(1) : record.value(1);
        asignomt.append();
        asignomt.setText("COD", code);
        asignomt.setText("CODLARGO", Left(name, longCodeWidth));
        asignomt.setText("NOMBRE", name);
        asignomt.setText("CODTAREA", code);
        asignomt.setBoolean("ESTAREA", true);
        asignomt.setText("R_UNI_MAT", record.value(3) + record.value(4));
        asignomt.post();
    }
    asignomt.close();
    runWideLists.clear();
}

} // namespace pasavel
