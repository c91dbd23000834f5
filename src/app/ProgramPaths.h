#pragma once

#include <filesystem>

namespace pasavel {

// Where the program finds its files: the working folder with Velmora's
// tables, and the folder of the executable with the reference subject table,
// the help pages and Velmora.ini.
struct ProgramPaths {
    std::filesystem::path vtemp;
    std::filesystem::path programDirectory;
    std::filesystem::path materiasTable; // RAICESMATERIAS.DBF

    // PASAVEL_VTEMP when set, otherwise \VTEMP at the root of the current
    // drive (/VTEMP outside Windows); the rest beside the executable.
    static ProgramPaths forExecutable(const std::filesystem::path& executable);
};

std::filesystem::path defaultVtemp();

} // namespace pasavel
