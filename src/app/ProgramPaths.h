#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace pasavel {

// Where the program finds its files: the working folder with Velmora's
// tables, the folder of the executable with the reference subject table,
// the help pages and Velmora.ini, and the user's own settings.
struct ProgramPaths {
    std::filesystem::path vtemp;
    std::filesystem::path programDirectory;
    std::filesystem::path materiasTable; // RAICESMATERIAS.DBF
    // The user's settings (the working folder chosen in the window); empty:
    // nothing is remembered.
    std::filesystem::path settingsFile;
    // The user's record of every completed run; empty: none is kept.
    std::filesystem::path logFile;

    // The working folder: PASAVEL_VTEMP when set, otherwise the one the user
    // chose and the program remembered, otherwise \VTEMP at the root of the
    // current drive (/VTEMP outside Windows). The rest beside the executable.
    static ProgramPaths forExecutable(const std::filesystem::path& executable);
};

std::filesystem::path defaultVtemp();

// The settings file of this user: pasavel/pasavel.ini in XDG_CONFIG_HOME, or
// in ~/.config (on Windows Pasavel\pasavel.ini in %APPDATA%).
std::filesystem::path userSettingsFile();

// The record of this user's runs: pasavel/pasavel.log in XDG_STATE_HOME, or
// in ~/.local/state (on Windows Pasavel\pasavel.log in %LOCALAPPDATA%).
std::filesystem::path userLogFile();

// The working folder the user chose, as the settings file keeps it.
std::optional<std::filesystem::path> rememberedWorkingFolder(const std::filesystem::path& settingsFile);
// Keeps the working folder the user chose for the next starts. Throws Error
// when the settings file cannot be written.
void rememberWorkingFolder(const std::filesystem::path& settingsFile, const std::filesystem::path& folder);

// Why the working folder cannot serve a run, or nothing when it can: it must
// exist, and an export must be able to write its tables there.
std::optional<std::u16string> workingFolderProblem(const std::filesystem::path& folder, bool forWriting);

} // namespace pasavel
