#include "platform/ProgramLocations.h"

#include <cstdlib>
#include <system_error>

namespace pasavel {

std::filesystem::path executablePath()
{
    std::error_code error;
    const std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path("/proc/self/exe") : path;
}

std::optional<std::filesystem::path> environmentPath(const char* variable)
{
    const char* value = std::getenv(variable);
    if (value == nullptr || *value == '\0')
        return std::nullopt;
    return std::filesystem::path(value);
}

std::filesystem::path defaultWorkingFolder()
{
    return "/VTEMP";
}

// The base directories of the XDG convention, which desktops and the tests
// set; without them, their usual places in the home folder.
std::optional<std::filesystem::path> userSettingsFolder()
{
    if (const auto configured = environmentPath("XDG_CONFIG_HOME"))
        return *configured / "pasavel";
    if (const auto home = environmentPath("HOME"))
        return *home / ".config" / "pasavel";
    return std::nullopt;
}

std::optional<std::filesystem::path> userStateFolder()
{
    if (const auto configured = environmentPath("XDG_STATE_HOME"))
        return *configured / "pasavel";
    if (const auto home = environmentPath("HOME"))
        return *home / ".local" / "state" / "pasavel";
    return std::nullopt;
}

} // namespace pasavel
