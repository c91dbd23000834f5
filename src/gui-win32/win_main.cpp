// pasavel.exe: the window program, stand-alone or embedded in Velmora's window.
#include "app/CommandLine.h"
#include "app/ProgramPaths.h"
#include "gui-win32/TMForm.h"
#include "platform/ProgramLocations.h"

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <string>
#include <vector>

namespace {

std::string toUtf8(const wchar_t* text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1)
        return {};
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes.data(), size, nullptr, nullptr);
    bytes.resize(static_cast<std::size_t>(size - 1));
    return bytes;
}

// The parameters after the program's name, as typed, in UTF-8.
std::vector<std::string> parameters()
{
    std::vector<std::string> result;
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr)
        return result;
    for (int index = 1; index < count; ++index)
        result.push_back(toUtf8(arguments[index]));
    LocalFree(arguments);
    return result;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    // The list boxes, the hints and the themed buttons of the common
    // controls; the folder dialog needs COM.
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

    int status = 1;
    {
        pasavel::win32::TMForm window(pasavel::readCommandLine(parameters()),
                                      pasavel::ProgramPaths::forExecutable(pasavel::executablePath()));
        if (window.FormCreate())
            status = window.run();
        else
            MessageBoxW(nullptr, L"No se puede abrir la ventana de Pasavel.", L"Pasavel",
                        MB_OK | MB_ICONERROR);
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    return status;
}
