#include "cli/BatchRunner.h"

#include "app/MainForm.h"
#include "base/Clipper.h"
#include "base/Error.h"
#include "dialogs/Cursos.h"
#include "dialogs/Plantihoras.h"
#include "formats/Encoding.h"
#include "formats/ExchangeDocument.h"
#include "formats/NormalisedCopy.h"
#include "formats/dbase/Table.h"
#include "platform/PathText.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <ostream>
#include <sstream>

#ifndef PASAVEL_VERSION
#define PASAVEL_VERSION "desarrollo"
#endif

namespace pasavel {

namespace {

const char* const usage =
    "Uso:\n"
    "  pasavel-cli exportar DOCUMENTO.xml [--vtemp DIR] [--materias RAICESMATERIAS.DBF]\n"
    "                       [--niveles NIVELES.csv] [--recuperar | --descartar] [--marcos COD[,COD]]\n"
    "  pasavel-cli importar DOCUMENTO.xml [--vtemp DIR]\n"
    "  pasavel-cli --help | --version\n"
    "\n"
    "exportar  convierte un documento de intercambio de Raíces en las tablas de trabajo de Velmora.\n"
    "importar  convierte el horario calculado por Velmora en un documento de intercambio para Raíces.\n"
    "\n"
    "  --vtemp DIR        carpeta de trabajo de Velmora (por omisión PASAVEL_VTEMP o /VTEMP)\n"
    "  --materias ARCHIVO tabla de materias de referencia (por omisión, junto al programa)\n"
    "  --niveles ARCHIVO  nivel y curso de cada curso, una línea CLAVE;NIVEL;CURSO (UTF-8)\n"
    "  --recuperar        recupera los niveles y cursos de una exportación anterior (por omisión)\n"
    "  --descartar        descarta los niveles y cursos de una exportación anterior\n"
    "  --marcos COD[,COD] marcos horarios que se aplican cuando el documento tiene dos o más\n";

struct Coding {
    std::u16string nivel;
    std::u16string curso;
};

// A course of the document: its key as the document gives it, and as the
// course table keeps it (and the grid shows it).
struct DocumentCourse {
    std::u16string key;
    std::u16string storedKey;
};

constexpr std::size_t courseKeyWidth = 10; // CURSOST.CLAVE
constexpr std::size_t nivelWidth = 5;      // CURSOST.NIVEL
constexpr std::size_t cursoWidth = 3;      // CURSOST.CURSO

struct BatchOptions {
    std::string direction;
    std::filesystem::path document;
    std::optional<std::filesystem::path> vtemp;
    std::optional<std::filesystem::path> materias;
    std::optional<std::filesystem::path> niveles;
    bool recuperar = true;
    // The frame codes of --marcos, empty pieces left out; nothing without it.
    std::optional<std::vector<std::u16string>> marcos;
    // The levels file, read before the run: course key -> what the user types.
    std::map<std::u16string, Coding> codings;
    // The document's courses in the order of the course table's rows.
    std::vector<DocumentCourse> courses;

    // The line of --niveles for a course: by its key as the document gives
    // it, failing that by its key as the grid shows it.
    const Coding* codingFor(const DocumentCourse& course) const
    {
        auto found = codings.find(course.key);
        if (found == codings.end())
            found = codings.find(course.storedKey);
        return found == codings.end() ? nullptr : &found->second;
    }
};

std::string utf8(std::u16string_view text)
{
    return toUtf8(text);
}

// Reads CLAVE;NIVEL;CURSO lines in UTF-8; returns false, after saying why,
// when the file cannot be read or a line is not of that form.
bool readCodings(const std::filesystem::path& file, std::map<std::u16string, Coding>& codings,
                 std::ostream& err)
{
    std::ifstream stream(file, std::ios::binary);
    if (!stream) {
        err << "No se puede leer el archivo de niveles «" << file.string() << "».\n";
        return false;
    }
    std::string line;
    for (int number = 1; std::getline(stream, line); ++number) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (number == 1 && line.starts_with("\xEF\xBB\xBF"))
            line.erase(0, 3);
        if (!isValidUtf8(line)) {
            err << "La línea " << number << " del archivo de niveles «" << file.string()
                << "» no está escrita en UTF-8: guarde el archivo con la codificación UTF-8.\n";
            return false;
        }
        if (AllTrim(fromUtf8(line)).empty())
            continue;
        const std::size_t first = line.find(';');
        const std::size_t second = first == std::string::npos ? first : line.find(';', first + 1);
        if (second == std::string::npos || line.find(';', second + 1) != std::string::npos) {
            err << "La línea " << number << " del archivo de niveles «" << file.string()
                << "» no tiene la forma CLAVE;NIVEL;CURSO: " << line << "\n";
            return false;
        }
        codings[AllTrim(fromUtf8(line.substr(0, first)))] = {
            fromUtf8(line.substr(first + 1, second - first - 1)), fromUtf8(line.substr(second + 1))};
    }
    return true;
}

std::vector<std::u16string> frameCodesOf(const std::string& list)
{
    std::vector<std::u16string> codes;
    std::istringstream pieces(list);
    for (std::string piece; std::getline(pieces, piece, ',');) {
        // "1," and ",1" both name frame 1.
        if (std::u16string code = AllTrim(fromUtf8(piece)); !code.empty())
            codes.push_back(std::move(code));
    }
    return codes;
}

// Reads the options; returns nothing, after saying why, on wrong usage.
std::optional<BatchOptions> readOptions(const std::vector<std::string>& arguments, std::ostream& err)
{
    if (arguments.size() < 2 || (arguments[0] != "exportar" && arguments[0] != "importar")) {
        err << usage;
        return std::nullopt;
    }
    BatchOptions options;
    options.direction = arguments[0];
    options.document = pathFromUtf8(arguments[1]);
    const bool exporting = options.direction == "exportar";
    bool recuperarGiven = false;
    bool descartarGiven = false;
    for (std::size_t index = 2; index < arguments.size(); ++index) {
        const std::string& option = arguments[index];
        const bool hasValue = index + 1 < arguments.size();
        if (option == "--vtemp" && hasValue) {
            options.vtemp = pathFromUtf8(arguments[++index]);
        } else if (exporting && option == "--materias" && hasValue) {
            options.materias = pathFromUtf8(arguments[++index]);
        } else if (exporting && option == "--niveles" && hasValue) {
            options.niveles = pathFromUtf8(arguments[++index]);
        } else if (exporting && option == "--recuperar") {
            recuperarGiven = true;
        } else if (exporting && option == "--descartar") {
            descartarGiven = true;
        } else if (exporting && option == "--marcos" && hasValue) {
            options.marcos = frameCodesOf(arguments[++index]);
        } else {
            err << "Opción no válida para " << options.direction << ": " << option << "\n\n" << usage;
            return std::nullopt;
        }
    }
    if (recuperarGiven && descartarGiven) {
        err << "--recuperar y --descartar no pueden usarse juntas: o se recuperan los niveles y cursos de la "
               "exportación anterior, o se descartan.\n\n"
            << usage;
        return std::nullopt;
    }
    options.recuperar = !descartarGiven;
    return options;
}

std::u16string listOf(const std::vector<std::u16string>& items)
{
    std::u16string list;
    for (const std::u16string& item : items)
        list += (list.empty() ? u"" : u", ") + item;
    return list.empty() ? u"ninguno" : list;
}

// Why --marcos is no valid choice among the document's frames, in the words
// of the time-frame dialog where it has them; nothing when it is valid. With
// two or more frames one or two must be chosen; a code the document does not
// have is wrong however many frames it has.
std::optional<std::u16string> frameChoiceProblem(const std::vector<std::u16string>& frames,
                                                 const std::optional<std::vector<std::u16string>>& marcos)
{
    std::vector<std::u16string> available;
    for (const std::u16string& frame : frames)
        available.push_back(AllTrim(frame));
    const std::u16string ofTheDocument = u"Marcos del documento: " + listOf(available) + u".";
    const std::vector<std::u16string> wanted = marcos.value_or(std::vector<std::u16string>());
    for (const std::u16string& code : wanted) {
        if (std::find(available.begin(), available.end(), code) == available.end())
            return u"La elección de --marcos no es válida («" + code + u"» no existe). " + ofTheDocument;
    }
    if (frames.size() < 2)
        return std::nullopt;
    if (wanted.empty()) {
        return u"Debe al menos seleccionar 1 Marco Horario.\nIndique con --marcos uno o dos marcos "
               u"horarios. " +
               ofTheDocument;
    }
    if (wanted.size() > 2) {
        return u"Demasiados Marcos Horarios seleccionados.\nComo máximo puede seleccionar 2 Marcos Horarios\n"
               u"Con --marcos se pueden elegir como máximo 2 marcos horarios. " +
               ofTheDocument;
    }
    return std::nullopt;
}

// The codings kept from an earlier export, by course key as stored.
std::map<std::u16string, Coding> earlierCodings(const std::filesystem::path& vtemp)
{
    std::map<std::u16string, Coding> codings;
    if (!Table::exists(vtemp, "CURSOST2"))
        return codings;
    Table stored(vtemp, "CURSOST2");
    for (stored.first(); !stored.eof(); stored.next())
        codings.try_emplace(stored.text("CLAVE"), Coding{stored.text("NIVEL"), stored.text("CURSO")});
    stored.close();
    return codings;
}

// The course keys that the level and course dialog, answered from the
// options, would leave without a level or a course number.
std::vector<std::u16string> coursesLeftWithGaps(const BatchOptions& options,
                                                const std::filesystem::path& vtemp)
{
    const std::map<std::u16string, Coding> earlier =
        options.recuperar ? earlierCodings(vtemp) : std::map<std::u16string, Coding>();
    std::vector<std::u16string> gaps;
    for (const DocumentCourse& course : options.courses) {
        Coding coding;
        if (const auto found = earlier.find(course.storedKey); found != earlier.end())
            coding = found->second;
        if (const Coding* typed = options.codingFor(course))
            coding = *typed;
        if (Cursos::isMissing(Table::storedText(coding.nivel, nivelWidth)) ||
            Cursos::isMissing(Table::storedText(coding.curso, cursoWidth)))
            gaps.push_back(course.key);
    }
    return gaps;
}

void reportGaps(const std::vector<std::u16string>& keys, std::ostream& err)
{
    err << "¡Atención! Falta algún Dato\n"
        << "Faltan el NIVEL o el CURSO de estos cursos (indíquelos en --niveles como CLAVE;NIVEL;CURSO):";
    for (const std::u16string& key : keys)
        err << " " << utf8(key);
    err << std::endl;
}

// Checks the dialogs' answers against the chosen file before any table is
// touched: the frames of --marcos, and a level and a course number for every
// course (after taking over earlier codings, unless --descartar). A file that
// cannot be read is left to the run, which reports it.
bool answersFit(BatchOptions& options, const std::filesystem::path& vtemp, std::ostream& err)
{
    std::optional<XmlDocument> document;
    try {
        // Only the two sections the answers are checked against are kept.
        document = parseChosenDocument(options.document,
                                       {.readOnly = true,
                                        .keep = keepingSections({"JORNADAS_ESCOLARES", "CURSOS_DEL_CENTRO"}),
                                        .keepAttributes = {}});
    } catch (const Error&) {
        return true;
    }
    std::vector<std::u16string> frames;
    for (const ExchangeRecord& frame : sectionRecords(*document, "JORNADAS_ESCOLARES"))
        frames.push_back(frame.untrimmedValue(0));
    if (const auto problem = frameChoiceProblem(frames, options.marcos)) {
        err << utf8(*problem) << std::endl;
        return false;
    }
    for (const ExchangeRecord& course : sectionRecords(*document, "CURSOS_DEL_CENTRO")) {
        if (course.passesGuard())
            options.courses.push_back({course.value(0), Table::storedText(course.value(0), courseKeyWidth)});
    }
    const std::vector<std::u16string> gaps = coursesLeftWithGaps(options, vtemp);
    if (gaps.empty())
        return true;
    reportGaps(gaps, err);
    return false;
}

// Answers the run's questions from the options and prints its messages.
class BatchInterface : public UserInterface {
  public:
    BatchInterface(const BatchOptions& options, std::ostream& out, std::ostream& err)
        : m_options(options), m_out(out), m_err(err)
    {
    }

    std::optional<std::filesystem::path> chooseExchangeFile() override { return m_options.document; }
    void showMessage(std::u16string_view text) override { m_out << utf8(text) << std::endl; }
    void showError(std::u16string_view text) override { m_err << utf8(text) << std::endl; }
    void showWarning(std::u16string_view text) override { showError(text); }
    void showMissingFile(const std::filesystem::path& file) override
    {
        m_err << "No existe archivo «" << file.string() << "»" << std::endl;
    }
    void showCompletion(const std::vector<std::u16string>& summary) override
    {
        for (const std::u16string& line : summary)
            m_out << utf8(line) << "\n";
        showMessage(u"Proceso finalizado");
    }
    std::optional<std::filesystem::path> chooseWorkingFolder(std::u16string_view problem) override
    {
        m_err << utf8(problem)
              << "\nIndique la carpeta de trabajo con --vtemp CARPETA o con la variable de entorno "
                 "PASAVEL_VTEMP (y créela si no existe)."
              << std::endl;
        return std::nullopt;
    }
    // The only question is whether to take over earlier codings.
    bool askOkCancel(std::u16string_view, std::u16string_view) override { return m_options.recuperar; }

    void showCourseDialog(Cursos& dialog) override
    {
        dialog.FormShow();
        // The rows are the document's courses in their order. Counting them
        // walks the table, so it is done once.
        const std::size_t rowCount = dialog.rowCount();
        const bool rowsAreCourses = rowCount == m_options.courses.size();
        for (std::size_t row = 0; row < rowCount; ++row) {
            const std::u16string clave = dialog.course(row).clave;
            const Coding* coding =
                m_options.codingFor(rowsAreCourses ? m_options.courses[row] : DocumentCourse{clave, clave});
            if (coding == nullptr)
                continue;
            dialog.moveTo(row);
            dialog.setNivel(coding->nivel);
            dialog.setCurso(coding->curso);
        }
        dialog.post();
        const std::vector<std::u16string> gaps = dialog.coursesWithGaps();
        if (gaps.empty()) {
            dialog.okClick();
            return;
        }
        // Nobody can complete the grid here: end as the forced exit does.
        reportGaps(gaps, m_err);
        m_answersFailed = true;
        dialog.forcedExitClick();
    }

    void showFrameDialog(Plantihoras& dialog) override
    {
        dialog.FormActivate();
        const std::optional<std::u16string> problem =
            frameChoiceProblem(dialog.frameCodes(), m_options.marcos);
        for (const std::u16string& code : m_options.marcos.value_or(std::vector<std::u16string>())) {
            const auto& frames = dialog.frameCodes();
            const auto found = std::find_if(frames.begin(), frames.end(), [&](const std::u16string& frame) {
                return AllTrim(frame) == code;
            });
            if (found != frames.end())
                dialog.setSelected(static_cast<std::size_t>(found - frames.begin()), true);
        }
        if (problem) {
            m_answersFailed = true;
            dialog.abandon(*problem);
            return;
        }
        dialog.FormClose(*this);
        if (dialog.resultMH)
            return;
        m_answersFailed = true;
        dialog.abandon(dialog.noChoiceReason());
    }

    void setBusy(bool) override {}
    void disableRunButtons() override {}
    void closeMainWindow() override {}

    bool answersFailed() const { return m_answersFailed; }

  private:
    const BatchOptions& m_options;
    std::ostream& m_out;
    std::ostream& m_err;
    bool m_answersFailed = false;
};

} // namespace

int runBatch(const std::vector<std::string>& arguments, const std::filesystem::path& executable,
             std::ostream& out, std::ostream& err)
{
    if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h")) {
        out << usage;
        return batchCompleted;
    }
    if (arguments.size() == 1 && arguments[0] == "--version") {
        out << "pasavel-cli " << PASAVEL_VERSION << "\n";
        return batchCompleted;
    }
    const std::optional<BatchOptions> options = readOptions(arguments, err);
    if (!options)
        return batchUsage;
    BatchOptions checked = *options;
    if (checked.niveles && !readCodings(*checked.niveles, checked.codings, err))
        return batchAnswersInvalid;

    ProgramPaths paths = ProgramPaths::forExecutable(executable);
    if (checked.vtemp)
        paths.vtemp = *checked.vtemp;
    if (checked.materias)
        paths.materiasTable = *checked.materias;
    if (checked.direction == "exportar") {
        try {
            if (!answersFit(checked, paths.vtemp, err))
                return batchAnswersInvalid;
        } catch (const Error& error) {
            err << error.what() << std::endl;
            return batchFailed;
        }
    }

    BatchInterface userInterface(checked, out, err);
    MainForm form(userInterface, paths);
    if (checked.direction == "exportar")
        form.BExportarClick();
    else
        form.BImportarClick();
    if (form.runResult == 1)
        return batchCompleted;
    return userInterface.answersFailed() ? batchAnswersInvalid : batchFailed;
}

} // namespace pasavel
