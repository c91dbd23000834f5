// Reads the XML document named by the first argument, prints its root element
// and text, then a Spanish line. On a console the text goes out as UTF-16
// (WriteConsoleW); on a pipe or file as UTF-8 bytes.
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <windows.h>

#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <io.h>
#include <iterator>
#include <string>

namespace {

std::wstring widen(const std::string& utf8)
{
    std::wstring wide(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide.data(), int(wide.size()));
    return wide;
}

void writeText(HANDLE handle, std::FILE* stream, const std::string& utf8)
{
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode)) {
        const std::wstring wide = widen(utf8);
        DWORD written = 0;
        WriteConsoleW(handle, wide.data(), DWORD(wide.size()), &written, nullptr);
        return;
    }
    std::fwrite(utf8.data(), 1, utf8.size(), stream);
    std::fflush(stream);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (argc < 2) {
        writeText(err, stderr, "Uso: probe DOCUMENTO.xml\n");
        return 2;
    }
    const std::filesystem::path path(argv[1]);
    std::ifstream stream(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    if (!stream.is_open()) {
        writeText(err, stderr, "No se puede leer el archivo «" + path.string() + "».\n");
        return 1;
    }
    xmlDocPtr document = xmlReadMemory(bytes.data(), int(bytes.size()), nullptr, nullptr, XML_PARSE_NONET);
    if (document == nullptr) {
        writeText(err, stderr, "El archivo «" + path.string() + "» no es un documento XML.\n");
        return 1;
    }
    const xmlNode* root = xmlDocGetRootElement(document);
    xmlChar* text = xmlNodeGetContent(root);
    writeText(out, stdout,
              std::string(reinterpret_cast<const char*>(root->name)) + ": " +
                  reinterpret_cast<const char*>(text) + "\n");
    xmlFree(text);
    xmlFreeDoc(document);
    writeText(out, stdout, "Proceso finalizado: año, línea\n");
    return 0;
}
