#pragma once

#include <filesystem>
#include <optional>

// Where the system keeps what the program needs to find.
namespace pasavel {

// The running executable's own path.
std::filesystem::path executablePath();

// The value of an environment variable as a path; nothing when it is unset
// or empty.
std::optional<std::filesystem::path> environmentPath(const char* variable);

// The working folder when none is configured: VTEMP at the root of the
// current drive on Windows, /VTEMP elsewhere.
std::filesystem::path defaultWorkingFolder();

// The folders for this user's settings and for this user's records of runs,
// each with the program's own subfolder; nothing when the system gives none.
std::optional<std::filesystem::path> userSettingsFolder();
std::optional<std::filesystem::path> userStateFolder();

} // namespace pasavel
