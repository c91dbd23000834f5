#include "platform/win32/ShellFunctions.h"

// windows.h first: the other system headers need its types.
#include <windows.h>

#include <shlobj.h>

namespace pasavel::win32 {

namespace {

// A function of a system library, from the first of these libraries that
// has it: the newer ones hold the same function without pulling in the
// window system. Libraries come from the system folder only.
template <typename Function>
Function* systemFunction(std::initializer_list<const wchar_t*> libraries, const char* name)
{
    for (const wchar_t* library : libraries) {
        HMODULE module = GetModuleHandleW(library);
        if (module == nullptr)
            module = LoadLibraryExW(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (module == nullptr)
            continue;
        if (FARPROC found = GetProcAddress(module, name))
            return reinterpret_cast<Function*>(reinterpret_cast<void*>(found));
    }
    return nullptr;
}

} // namespace

std::vector<std::wstring> commandLineArguments()
{
    // shcore.dll (Windows 8.1 and later) holds the same function as shell32.
    static auto* const split =
        systemFunction<decltype(CommandLineToArgvW)>({L"shcore.dll", L"shell32.dll"}, "CommandLineToArgvW");
    std::vector<std::wstring> arguments;
    int count = 0;
    wchar_t** wide = split != nullptr ? split(GetCommandLineW(), &count) : nullptr;
    if (wide == nullptr)
        return arguments;
    for (int index = 0; index < count; ++index)
        arguments.emplace_back(wide[index]);
    LocalFree(wide);
    return arguments;
}

void toUpperInPlace(std::wstring& text)
{
    // kernelbase.dll (Windows 8 and later), which every program has loaded,
    // holds the function that user32's forwards to.
    static auto* const upper =
        systemFunction<decltype(CharUpperBuffW)>({L"kernelbase.dll", L"user32.dll"}, "CharUpperBuffW");
    if (upper != nullptr && !text.empty())
        upper(text.data(), static_cast<DWORD>(text.size()));
}

std::optional<std::wstring> knownFolderPath(const GUID& folder)
{
    static auto* const find =
        systemFunction<decltype(SHGetKnownFolderPath)>({L"shell32.dll"}, "SHGetKnownFolderPath");
    static auto* const release = systemFunction<decltype(CoTaskMemFree)>({L"ole32.dll"}, "CoTaskMemFree");
    if (find == nullptr || release == nullptr)
        return std::nullopt;
    wchar_t* path = nullptr;
    std::optional<std::wstring> found;
    if (find(folder, 0, nullptr, &path) == S_OK)
        found = std::wstring(path);
    release(path);
    return found;
}

} // namespace pasavel::win32
