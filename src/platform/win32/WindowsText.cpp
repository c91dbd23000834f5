#include "platform/win32/WindowsText.h"

#include <windows.h>

namespace pasavel::win32 {

std::wstring wideFromUtf8(std::string_view text)
{
    if (text.empty())
        return {};
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

std::string utf8FromWide(std::wstring_view text)
{
    if (text.empty())
        return {};
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), length, nullptr,
                        nullptr);
    return bytes;
}

namespace {

// The reasons a user meets most, for a Windows without its Spanish texts.
const char* ownText(DWORD errorCode)
{
    switch (errorCode) {
    case ERROR_FILE_NOT_FOUND:
        return "no existe";
    case ERROR_PATH_NOT_FOUND:
        return "no existe la ruta";
    case ERROR_ACCESS_DENIED:
        return "acceso denegado";
    case ERROR_SHARING_VIOLATION:
        return "otro programa está usando el archivo";
    case ERROR_LOCK_VIOLATION:
        return "otro programa ha bloqueado una parte del archivo";
    case ERROR_WRITE_PROTECT:
        return "el disco está protegido contra escritura";
    case ERROR_NOT_READY:
        return "la unidad no está preparada";
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL:
        return "no queda espacio en el disco";
    case ERROR_INVALID_NAME:
        return "el nombre no es válido";
    case ERROR_FILENAME_EXCED_RANGE:
        return "el nombre es demasiado largo";
    case ERROR_DIRECTORY:
        return "no es una carpeta";
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
        return "ya existe";
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return "no hay memoria suficiente";
    case ERROR_TOO_MANY_OPEN_FILES:
        return "hay demasiados archivos abiertos";
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
        return "no se encuentra la ruta de red";
    case ERROR_NETNAME_DELETED:
    case ERROR_UNEXP_NET_ERR:
        return "se ha perdido la conexión de red";
    default:
        return nullptr;
    }
}

// The system's own text in a language, without its closing full stop and
// line end and with a small initial, to follow a colon in a sentence.
std::string systemText(DWORD errorCode, DWORD language)
{
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        errorCode, language, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    if (length == 0 || buffer == nullptr)
        return {};
    std::wstring text(buffer, length);
    LocalFree(buffer);
    while (!text.empty() &&
           (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ' || text.back() == L'.'))
        text.pop_back();
    if (text.size() > 1 && text[0] >= L'A' && text[0] <= L'Z' && !(text[1] >= L'A' && text[1] <= L'Z'))
        text[0] = static_cast<wchar_t>(text[0] - L'A' + L'a');
    return utf8FromWide(text);
}

} // namespace

std::string windowsErrorText(unsigned long errorCode)
{
    const std::string spanish = systemText(errorCode, MAKELANGID(LANG_SPANISH, SUBLANG_SPANISH_MODERN));
    if (!spanish.empty())
        return spanish;
    if (const char* own = ownText(errorCode))
        return own;
    const std::string system = systemText(errorCode, 0);
    return "error del sistema " + std::to_string(errorCode) + (system.empty() ? "" : " (" + system + ")");
}

std::string lastErrorText()
{
    return windowsErrorText(GetLastError());
}

} // namespace pasavel::win32
