#include "app/ProgramPaths.h"

#include <cstdlib>

namespace pasavel {

std::filesystem::path defaultVtemp()
{
    if (const char* configured = std::getenv("PASAVEL_VTEMP"); configured != nullptr && *configured != '\0')
        return configured;
#ifdef _WIN32
    return std::filesystem::current_path().root_path() / "VTEMP";
#else
    return "/VTEMP";
#endif
}

ProgramPaths ProgramPaths::forExecutable(const std::filesystem::path& executable)
{
    ProgramPaths paths;
    paths.vtemp = defaultVtemp();
    std::error_code error;
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(executable, error);
    paths.programDirectory = (error ? executable : resolved).parent_path();
    paths.materiasTable = paths.programDirectory / "RAICESMATERIAS.DBF";
    return paths;
}

} // namespace pasavel
