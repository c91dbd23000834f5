#include "gui-win32/HelpPages.h"

#include <shellapi.h>

namespace pasavel::win32 {

std::filesystem::path helpPage(const std::filesystem::path& programDirectory, HelpTopic topic)
{
    const std::filesystem::path folder = programDirectory / "RAICES";
    switch (topic) {
    case HelpTopic::mainWindow:
        return folder / "topic1.html";
    case HelpTopic::frameDialog:
        return folder / "topic3.html";
    case HelpTopic::contents:
        break;
    }
    return folder / "index.html";
}

std::optional<std::u16string> openHelpPage(HWND owner, const std::filesystem::path& programDirectory,
                                           HelpTopic topic)
{
    const std::filesystem::path page = helpPage(programDirectory, topic);
    std::error_code error;
    if (!std::filesystem::is_regular_file(page, error))
        return u"No se encuentra la página de ayuda «" + fromWide(page.wstring()) +
               u"». Las páginas de ayuda deben estar en la carpeta RAICES junto al programa.";
    const std::wstring file = page.wstring();
    const std::wstring folder = page.parent_path().wstring();
    // The browser the user has chosen for web pages shows it.
    const auto outcome = reinterpret_cast<INT_PTR>(
        ShellExecuteW(owner, L"open", file.c_str(), nullptr, folder.c_str(), SW_SHOWNORMAL));
    if (outcome <= 32)
        return u"No se puede abrir la página de ayuda «" + fromWide(file) +
               u"»: no hay ningún navegador que abra las páginas web en este equipo.";
    return std::nullopt;
}

} // namespace pasavel::win32
