#include "app/BatchRunner.h"

#include "app/MainForm.h"
#include "formats/Encoding.h"

#include <ostream>

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

struct BatchOptions {
    std::string direction;
    std::filesystem::path document;
    std::optional<std::filesystem::path> vtemp;
    std::optional<std::filesystem::path> materias;
    std::optional<std::filesystem::path> niveles;
    bool recuperar = true;
    std::optional<std::string> marcos;
};

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

    ProgramPaths paths = ProgramPaths::forExecutable(executable);
    if (options->vtemp)
        paths.vtemp = *options->vtemp;
    if (options->materias)
        paths.materiasTable = *options->materias;

    BatchInterface userInterface(*options, out, err);
    MainForm form(userInterface, paths);
    if (options->direction == "exportar")
        form.BExportarClick();
    else
        form.BImportarClick();
    if (form.runResult == 1)
        return batchCompleted;
    return userInterface.answersFailed() ? batchAnswersInvalid : batchFailed;
}

} // namespace pasavel
