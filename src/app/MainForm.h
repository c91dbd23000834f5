#pragma once

#include "app/CommandLine.h"
#include "app/ProgramPaths.h"
#include "base/UserInterface.h"
#include "formats/dbase/Locks.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace pasavel {

class Exportacion;

// The main window's program state and runs, without any widget: the window
// program, the batch runner and the tests all drive this class. Its handlers
// keep the names of the window's controls and events.
// What the user is told when a run runs out of memory.
std::u16string outOfMemoryMessage();

class MainForm {
  public:
    MainForm(UserInterface& userInterface, ProgramPaths paths);

    // Path of the exchange document last confirmed in the file dialog.
    std::filesystem::path filenameXML;
    // 1 after a completed run, -1 when in embedded mode the chosen file was
    // missing, 0 otherwise; left in Velmora.ini in embedded mode.
    int runResult = 0;
    bool embedded = false;

    const ProgramPaths& paths() const { return m_paths; }
    UserInterface& userInterface() { return m_userInterface; }
    bool isClosed() const { return m_closed; }

    // When the window is first shown: with two parameters, starts the
    // direction the first one names.
    void FormShow(const CommandLine& commandLine);
    // Whenever the main window closes: in embedded mode, leaves the run
    // result in Velmora.ini.
    void FormClose();

    void BExportarClick();
    void BImportarClick();

    // Closes the main window; the run in progress stops after its current step.
    void closeMainWindow();

  private:
    // File dialog and missing-file check shared by both runs.
    bool chooseExistingFile();
    // Makes sure the working folder can serve the run before anything is
    // written, offering to choose another one (remembered from then on).
    bool ensureWorkingFolder(bool forWriting);
    // Reads the chosen file and writes its normalised copy; reports why not.
    bool loadChosenDocument(Exportacion& exportacion);
    // The working folder for this run alone; nothing (the user told) when
    // another run holds it.
    std::optional<WorkingFolderLock> lockWorkingFolder();
    bool runBusy(const std::function<void()>& run);
    // The import after the file choice; false when PERIODOS is missing.
    bool runImport(std::u16string& cleaningReport, std::vector<std::u16string>& summary);
    void completeRun(std::string_view direction, const std::vector<std::u16string>& summary);
    void reportFailure(const std::u16string& message);

    UserInterface& m_userInterface;
    ProgramPaths m_paths;
    bool m_closed = false;
};

} // namespace pasavel
