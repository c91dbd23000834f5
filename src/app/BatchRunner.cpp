#include "app/BatchRunner.h"

#include "app/Clipper.h"
#include "app/MainForm.h"
#include "dialogs/Cursos.h"
#include "dialogs/Plantihoras.h"
#include "formats/Encoding.h"

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

struct BatchOptions {
    std::string direction;
    std::filesystem::path document;
    std::optional<std::filesystem::path> vtemp;
    std::optional<std::filesystem::path> materias;
    std::optional<std::filesystem::path> niveles;
    bool recuperar = true;
    std::optional<std::string> marcos;
    // The levels file, read before the run: course key -> what the user types.
    std::map<std::u16string, Coding> codings;
};

// Reads CLAVE;NIVEL;CURSO lines; returns false, after saying why, when the
// file cannot be read or a line is not of that form.
bool readCodings(const std::filesystem::path& file, std::map<std::u16string, Coding>& codings, std::ostream& err)
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
        if (AllTrim(fromUtf8(line)).empty())
            continue;
        const std::size_t first = line.find(';');
        const std::size_t second = first == std::string::npos ? first : line.find(';', first + 1);
        if (second == std::string::npos || line.find(';', second + 1) != std::string::npos) {
            err << "La línea " << number << " del archivo de niveles «" << file.string()
                << "» no tiene la forma CLAVE;NIVEL;CURSO: " << line << "\n";
            return false;
        }
        codings[AllTrim(fromUtf8(line.substr(0, first)))] = {fromUtf8(line.substr(first + 1, second - first - 1)),
                                                            fromUtf8(line.substr(second + 1))};
    }
    return true;
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
    options.document = arguments[1];
    const bool exporting = options.direction == "exportar";
    for (std::size_t index = 2; index < arguments.size(); ++index) {
        const std::string& option = arguments[index];
        const bool hasValue = index + 1 < arguments.size();
        if (option == "--vtemp" && hasValue) {
            options.vtemp = arguments[++index];
        } else if (exporting && option == "--materias" && hasValue) {
            options.materias = arguments[++index];
        } else if (exporting && option == "--niveles" && hasValue) {
            options.niveles = arguments[++index];
        } else if (exporting && option == "--recuperar") {
            options.recuperar = true;
        } else if (exporting && option == "--descartar") {
            options.recuperar = false;
        } else if (exporting && option == "--marcos" && hasValue) {
            options.marcos = arguments[++index];
        } else {
            err << "Opción no válida para " << options.direction << ": " << option << "\n\n" << usage;
            return std::nullopt;
        }
    }
    return options;
}

std::vector<std::u16string> wantedFrames(const BatchOptions& options)
{
    std::vector<std::u16string> wanted;
    if (options.marcos) {
        std::istringstream codes(*options.marcos);
        for (std::string code; std::getline(codes, code, ',');)
            wanted.push_back(AllTrim(fromUtf8(code)));
    }
    return wanted;
}

// Why --marcos is no valid choice among the document's frames: one or two
// codes, each of them one of the frames. Nothing when it is valid.
std::optional<std::u16string> frameChoiceProblem(const std::vector<std::u16string>& frames,
                                                 const std::vector<std::u16string>& wanted)
{
    std::u16string reason;
    if (wanted.empty())
        reason = u"Indique con --marcos uno o dos marcos horarios";
    else if (wanted.size() > 2)
        reason = u"Con --marcos se pueden elegir como máximo 2 marcos horarios";
    for (const std::u16string& code : wanted) {
        const bool exists = std::any_of(frames.begin(), frames.end(),
                                        [&](const std::u16string& frame) { return AllTrim(frame) == code; });
        if (!exists)
            reason += (reason.empty() ? u"La elección de --marcos no es válida" : u"") + (u" («" + code + u"» no existe)");
    }
    if (reason.empty())
        return std::nullopt;
    std::u16string available;
    for (const std::u16string& frame : frames)
        available += (available.empty() ? u"" : u", ") + AllTrim(frame);
    return reason + u". Marcos del documento: " + (available.empty() ? u"ninguno" : available) + u".";
}

// Answers the run's questions from the options and prints its messages.
class BatchInterface : public UserInterface {
public:
    BatchInterface(const BatchOptions& options, std::ostream& out, std::ostream& err)
        : m_options(options), m_out(out), m_err(err)
    {
    }

    std::optional<std::filesystem::path> chooseExchangeFile() override { return m_options.document; }
    void showMessage(std::u16string_view text) override { m_out << toUtf8(text) << std::endl; }
    void showError(std::u16string_view text) override { m_err << toUtf8(text) << std::endl; }
    // The only question is whether to take over earlier codings.
    bool askOkCancel(std::u16string_view, std::u16string_view) override { return m_options.recuperar; }

    void showCourseDialog(CursosLogic& dialog) override
    {
        dialog.FormShow();
        for (std::size_t row = 0; row < dialog.rowCount(); ++row) {
            const auto coding = m_options.codings.find(dialog.course(row).clave);
            if (coding == m_options.codings.end())
                continue;
            dialog.moveTo(row);
            dialog.setNivel(coding->second.nivel);
            dialog.setCurso(coding->second.curso);
        }
        dialog.post();
        const std::vector<std::u16string> gaps = dialog.coursesWithGaps();
        if (gaps.empty()) {
            dialog.BitBtn1Click();
            return;
        }
        // Nobody can complete the grid here: end as the forced exit does.
        m_err << "Faltan el NIVEL o el CURSO de estos cursos (indíquelos en --niveles como CLAVE;NIVEL;CURSO):";
        for (const std::u16string& key : gaps)
            m_err << " " << toUtf8(key);
        m_err << std::endl;
        m_answersFailed = true;
        dialog.BitBtn2Click();
    }

    void showFrameDialog(PlantillasLogic& dialog) override
    {
        dialog.FormActivate();
        const std::vector<std::u16string> wanted = wantedFrames(m_options);
        const std::optional<std::u16string> problem = frameChoiceProblem(dialog.frameCodes(), wanted);
        for (const std::u16string& code : wanted) {
            const auto& frames = dialog.frameCodes();
            const auto found = std::find_if(frames.begin(), frames.end(),
                                            [&](const std::u16string& frame) { return AllTrim(frame) == code; });
            if (found != frames.end())
                dialog.setSelected(static_cast<std::size_t>(found - frames.begin()), true);
        }
        dialog.FormClose(*this);
        if (dialog.resultMH && !problem)
            return;
        m_answersFailed = true;
        dialog.abandon(problem.value_or(dialog.noChoiceReason()));
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

// The frame dialog reads the chosen file itself; when it has two or more
// frames, --marcos is checked against them before any table is touched.
bool framesChoiceFits(const BatchOptions& options, std::ostream& err)
{
    PlantillasLogic frames(options.document);
    frames.FormActivate();
    if (frames.frameCodes().size() < 2)
        return true;
    if (const auto problem = frameChoiceProblem(frames.frameCodes(), wantedFrames(options))) {
        err << toUtf8(*problem) << std::endl;
        return false;
    }
    return true;
}

} // namespace

int runBatch(const std::vector<std::string>& arguments, const std::filesystem::path& executable, std::ostream& out,
             std::ostream& err)
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
    if (checked.direction == "exportar" && !framesChoiceFits(checked, err))
        return batchAnswersInvalid;

    ProgramPaths paths = ProgramPaths::forExecutable(executable);
    if (options->vtemp)
        paths.vtemp = *options->vtemp;
    if (options->materias)
        paths.materiasTable = *options->materias;

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
