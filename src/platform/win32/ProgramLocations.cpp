#include "platform/ProgramLocations.h"

#include "platform/win32/ShellFunctions.h"
#include "platform/win32/WindowsText.h"

// windows.h first: the other system headers need its types.
#include <windows.h>

#include <cstdlib>
#include <shlobj.h>
#include <string>

namespace pasavel {

std::filesystem::path executablePath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// _wgetenv: the narrow environment is in the ANSI code page.
std::optional<std::filesystem::path> environmentPath(const char* variable)
{
    const wchar_t* value = _wgetenv(win32::wideFromUtf8(variable).c_str());
    if (value == nullptr || *value == L'\0')
        return std::nullopt;
    return std::filesystem::path(value);
}

// \VTEMP of the current drive, made absolute once so that messages name the
// drive.
std::filesystem::path defaultWorkingFolder()
{
    wchar_t full[MAX_PATH];
    const DWORD length = GetFullPathNameW(L"\\VTEMP", MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH)
        return L"\\VTEMP";
    return std::filesystem::path(std::wstring(full, length));
}

namespace {

// The folder in the variable that Windows sets for every user, or failing
// that the one the shell knows.
std::optional<std::filesystem::path> knownFolder(const char* variable, const KNOWNFOLDERID& folder)
{
    if (const auto configured = environmentPath(variable))
        return *configured / "Pasavel";
    if (const std::optional<std::wstring> found = win32::knownFolderPath(folder))
        return std::filesystem::path(*found) / "Pasavel";
    return std::nullopt;
}

} // namespace

// Settings roam with the user; the record of runs stays on this computer.
std::optional<std::filesystem::path> userSettingsFolder()
{
    return knownFolder("APPDATA", FOLDERID_RoamingAppData);
}

std::optional<std::filesystem::path> userStateFolder()
{
    return knownFolder("LOCALAPPDATA", FOLDERID_LocalAppData);
}

} // namespace pasavel
