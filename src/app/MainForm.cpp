#include "app/MainForm.h"

#include "app/RunSummary.h"
#include "base/Error.h"
#include "export/Exportacion.h"
#include "formats/Encoding.h"
#include "formats/ExchangeDocument.h"
#include "formats/IniFile.h"
#include "formats/NormalisedCopy.h"
#include "formats/dbase/Locks.h"
#include "formats/dbase/Table.h"
#include "import/Importacion.h"
#include "platform/Files.h"

#include <functional>
#include <new>

namespace pasavel {

std::u16string outOfMemoryMessage()
{
    return u"No hay memoria suficiente para terminar el proceso: cierre otros programas e inténtelo de "
           u"nuevo. "
           u"No se ha dado por terminado ningún archivo a medias.";
}

MainForm::MainForm(UserInterface& userInterface, ProgramPaths paths)
    : m_userInterface(userInterface), m_paths(std::move(paths))
{
}

void MainForm::FormShow(const CommandLine& commandLine)
{
    if (!commandLine.twoParameters)
        return;
    if (commandLine.direction == "importar")
        BImportarClick();
    if (commandLine.direction == "exportar" && !m_closed)
        BExportarClick();
}

void MainForm::FormClose()
{
    m_closed = true;
    if (!embedded)
        return;
    writeIniValue(m_paths.programDirectory / "Velmora.ini", "Transformadores", "Transformado",
                  std::to_string(runResult));
}

void MainForm::closeMainWindow()
{
    if (m_closed)
        return;
    m_closed = true;
    m_userInterface.closeMainWindow();
}

bool MainForm::chooseExistingFile()
{
    if (const auto chosen = m_userInterface.chooseExchangeFile())
        filenameXML = *chosen;
    std::error_code error;
    if (!filenameXML.empty() && std::filesystem::is_regular_file(filenameXML, error))
        return true;
    m_userInterface.showMissingFile(filenameXML);
    if (embedded) {
        runResult = -1;
        closeMainWindow();
    }
    return false;
}

bool MainForm::ensureWorkingFolder(bool forWriting)
{
    for (;;) {
        const std::optional<std::u16string> problem = workingFolderProblem(m_paths.vtemp, forWriting);
        if (!problem)
            return true;
        const std::optional<std::filesystem::path> chosen = m_userInterface.chooseWorkingFolder(*problem);
        if (!chosen)
            return false;
        m_paths.vtemp = *chosen;
        try {
            rememberWorkingFolder(m_paths.settingsFile, *chosen);
        } catch (const Error& error) {
            // The run can use the folder all the same; next time it is asked for again.
            reportFailure(fromUtf8(error.what()));
        }
    }
}

bool MainForm::loadChosenDocument(Exportacion& exportacion)
{
    try {
        exportacion.readDocument();
        return true;
    } catch (const Error& error) {
        reportFailure(fromUtf8(error.what()));
        return false;
    } catch (const std::bad_alloc&) {
        reportFailure(outOfMemoryMessage());
        return false;
    }
}

std::optional<WorkingFolderLock> MainForm::lockWorkingFolder()
{
    try {
        return std::optional<WorkingFolderLock>(std::in_place, m_paths.vtemp);
    } catch (const Error& error) {
        reportFailure(fromUtf8(error.what()));
        return std::nullopt;
    }
}

void MainForm::reportFailure(const std::u16string& message)
{
    m_userInterface.showError(message);
}

// Runs a conversion under the hourglass. An error ends it: the cursor comes
// back and the error is shown. Returns whether it ran to its end.
bool MainForm::runBusy(const std::function<void()>& run)
{
    BusyCursor busy(m_userInterface);
    try {
        run();
        return true;
    } catch (const Error& error) {
        busy.release();
        reportFailure(fromUtf8(error.what()));
    } catch (const std::bad_alloc&) {
        busy.release();
        reportFailure(outOfMemoryMessage());
    } catch (const std::exception& error) {
        busy.release();
        reportFailure(u"Error inesperado: " + fromUtf8(error.what()));
    }
    return false;
}

void MainForm::BExportarClick()
{
    if (!chooseExistingFile() || !ensureWorkingFolder(true))
        return;
    const std::optional<WorkingFolderLock> folderLock = lockWorkingFolder();
    if (!folderLock)
        return;
    Exportacion exportacion(m_userInterface, m_paths.vtemp, m_paths.materiasTable);
    exportacion.filenameXML = filenameXML;
    if (!loadChosenDocument(exportacion))
        return;
    bool completed = false;
    // Closing the main window meanwhile stops the run after its current step.
    if (!runBusy([&] { completed = exportacion.run([this] { return m_closed; }); }))
        return;
    if (exportacion.forcedExit())
        closeMainWindow();
    if (!completed || m_closed)
        return;
    std::vector<std::u16string> summary;
    // Counting is reading the tables again: a failure there is no failure of
    // the export, whose tables are written.
    try {
        summary = exportSummary(m_paths.vtemp, normalisedCopyPath(filenameXML));
    } catch (const Error& error) {
        summary = {fromUtf8(error.what())};
    }
    completeRun("exportar", summary);
}

void MainForm::completeRun(std::string_view direction, const std::vector<std::u16string>& summary)
{
    runResult = 1;
    appendToRunLog(m_paths.logFile, direction, filenameXML, summary);
    m_userInterface.showCompletion(summary);
    m_userInterface.disableRunButtons();
    if (embedded)
        closeMainWindow();
}

void MainForm::BImportarClick()
{
    // The import only reads the working tables.
    if (!chooseExistingFile() || !ensureWorkingFolder(false))
        return;
    const std::optional<WorkingFolderLock> folderLock = lockWorkingFolder();
    if (!folderLock)
        return;
    bool periodsFound = false;
    std::u16string cleaningReport;
    std::vector<std::u16string> summary;
    if (!runBusy([&] { periodsFound = runImport(cleaningReport, summary); }))
        return;
    if (!periodsFound) {
        m_userInterface.showWarning(
            u"ATENCIÓN - PERIODOS.DBF No encontrado - Importe de nuevo XML de RAÍCES.");
        return;
    }
    if (!cleaningReport.empty())
        m_userInterface.showMessage(cleaningReport);
    completeRun("importar", summary);
}

bool MainForm::runImport(std::u16string& cleaningReport, std::vector<std::u16string>& summary)
{
    Importacion importacion(m_paths.vtemp);
    if (!importacion.run(filenameXML, currentDateTimeText()))
        return false;
    importacion.close();
    cleaningReport = importacion.cleaningReport();
    summary = importSummary(Importacion::outputPath(filenameXML), importacion.summary());
    return true;
}

} // namespace pasavel
