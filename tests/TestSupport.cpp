#include "TestSupport.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <sys/wait.h>

namespace pasavel::test {

TemporaryDirectory::TemporaryDirectory()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "pasavel-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TemporaryDirectory::~TemporaryDirectory()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::string readBytes(const std::filesystem::path& path)
{
    std::ifstream stream(path, std::ios::binary);
    if (!stream)
        throw std::runtime_error("cannot read " + path.string());
    return std::string((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
}

void writeBytes(const std::filesystem::path& path, std::string_view bytes)
{
    std::ofstream stream(path, std::ios::binary | std::ios::trunc);
    stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!stream)
        throw std::runtime_error("cannot write " + path.string());
}

CommandResult runCommand(const std::string& command)
{
    CommandResult result;
    std::FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr)
        return result;
    std::array<char, 4096> buffer{};
    std::size_t read = 0;
    while ((read = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        result.output.append(buffer.data(), read);
    const int status = ::pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string minimalExchangeDocument()
{
    return "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
           "<SERVICIO><BLOQUE_DATOS>\n"
           "<grupo_datos seq=\"ANNO_ACADEMICO\"><dato nombre_dato=\"C_ANNO\">2025</dato>"
           "<dato nombre_dato=\"F_INICIO\">15/09/2025</dato><dato nombre_dato=\"F_FIN\">22/06/2026</dato>"
           "</grupo_datos>\n"
           "<grupo_datos seq=\"CENTRO\"/>\n"
           "<grupo_datos seq=\"JORNADAS_ESCOLARES\"><grupo_datos><dato>M</dato><dato>Ma\xF1"
           "ana</dato>"
           "<dato>15/09/2025</dato><dato>22/06/2026</dato></grupo_datos></grupo_datos>\n"
           "<grupo_datos seq=\"TRAMOS_HORARIOS\"><grupo_datos><dato>1</dato><dato>1\xAA"
           " hora</dato>"
           "<dato>510</dato><dato>565</dato><dato>M</dato></grupo_datos></grupo_datos>\n"
           "</BLOQUE_DATOS></SERVICIO>\n";
}

bool pythonHasModule(const std::string& module)
{
    return runCommand(std::string(PASAVEL_PYTHON) + " -c 'import " + module + "'").exitCode == 0;
}

} // namespace pasavel::test
