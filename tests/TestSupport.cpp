#include "TestSupport.h"

#include "platform/PathText.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <stdexcept>
#include <thread>
#ifdef _WIN32
#include <process.h>
#else
#include <sys/wait.h>
#endif

namespace pasavel::test {

TemporaryDirectory::TemporaryDirectory()
{
    std::random_device random;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = "pasavel-test-";
        for (int index = 0; index < 6; ++index)
            name += letters[random() % (sizeof letters - 1)];
        if (std::filesystem::create_directory(base / name)) {
            m_path = base / name;
            return;
        }
    }
    throw std::runtime_error("no temporary folder could be made");
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
#ifdef _WIN32
    std::FILE* pipe = ::_popen((command + " 2>&1").c_str(), "rb");
#else
    std::FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
#endif
    if (pipe == nullptr)
        return result;
    std::array<char, 4096> buffer{};
    std::size_t read = 0;
    while ((read = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        result.output.append(buffer.data(), read);
#ifdef _WIN32
    result.exitCode = ::_pclose(pipe);
#else
    const int status = ::pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    return result;
}

CommandResult checkWithXmllint(const std::filesystem::path& document)
{
#ifdef _WIN32
    // The xmllint of the Windows build of libxml2; its messages stay on its
    // own standard error.
    const std::filesystem::path xmllint = PASAVEL_XMLLINT;
    CommandResult result;
    if (!std::filesystem::exists(xmllint)) {
        result.exitCode = 127;
        return result;
    }
    const std::wstring program = L"\"" + xmllint.native() + L"\"";
    const std::wstring file = L"\"" + document.native() + L"\"";
    result.exitCode = static_cast<int>(
        ::_wspawnl(_P_WAIT, xmllint.c_str(), program.c_str(), L"--noout", file.c_str(), nullptr));
    return result;
#else
    return runCommand("xmllint --noout '" + document.string() + "'");
#endif
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

std::string missingPythonModule(const std::string& module)
{
#ifdef _WIN32
    return "python3-" + module +
           " es un programa de Linux: en Windows no se ejecuta (las pruebas de Windows "
           "comparan las tablas con las de Linux, byte a byte)";
#else
    if (runCommand(std::string(PASAVEL_PYTHON) + " -c 'import " + module + "'").exitCode == 0)
        return {};
    return "python3-" + module + " no está instalado (scripts/install-deps lo instala)";
#endif
}

void setEnvironment(const std::string& name, const std::filesystem::path& value)
{
#ifdef _WIN32
    // The wide environment, which the program reads.
    ::_wputenv_s(pathFromUtf8(name).c_str(), value.c_str());
#else
    ::setenv(name.c_str(), value.c_str(), 1);
#endif
}

void unsetEnvironment(const std::string& name)
{
#ifdef _WIN32
    ::_wputenv_s(pathFromUtf8(name).c_str(), L"");
#else
    ::unsetenv(name.c_str());
#endif
}

namespace {

#ifdef _WIN32
const char* const stateVariable = "LOCALAPPDATA";
const char* const settingsVariable = "APPDATA";
const char* const programFolder = "Pasavel";
#else
const char* const stateVariable = "XDG_STATE_HOME";
const char* const settingsVariable = "XDG_CONFIG_HOME";
const char* const programFolder = "pasavel";
#endif

// What the variables held when the tests started, to give them back.
struct KeptVariable {
    std::string name;
    std::optional<std::filesystem::path> value;
};

std::optional<std::filesystem::path> currentValue(const char* name)
{
#ifdef _WIN32
    const wchar_t* value = ::_wgetenv(pathFromUtf8(name).c_str());
#else
    const char* value = std::getenv(name);
#endif
    if (value == nullptr)
        return std::nullopt;
    return std::filesystem::path(value);
}

KeptVariable& kept(const char* name)
{
    static KeptVariable state{stateVariable, currentValue(stateVariable)};
    static KeptVariable settings{settingsVariable, currentValue(settingsVariable)};
    return std::string_view(name) == stateVariable ? state : settings;
}

} // namespace

std::filesystem::path redirectUserState(const std::filesystem::path& folder)
{
    kept(stateVariable);
    setEnvironment(stateVariable, folder);
    return folder / programFolder / "pasavel.log";
}

void redirectUserSettings(const std::filesystem::path& folder)
{
    kept(settingsVariable);
    setEnvironment(settingsVariable, folder);
}

void restoreUserFolders()
{
    for (const char* name : {stateVariable, settingsVariable}) {
        const KeptVariable& variable = kept(name);
        if (variable.value)
            setEnvironment(variable.name, *variable.value);
        else
            unsetEnvironment(variable.name);
    }
}

#ifdef _WIN32

namespace {

const std::filesystem::path holder = std::filesystem::path(PASAVEL_RUNTIME_DIR) / "pasavel-hold-table.exe";

std::wstring quotedArgument(const std::filesystem::path& argument)
{
    return L"\"" + argument.native() + L"\"";
}

} // namespace

TableHeldByAnotherProgram::TableHeldByAnotherProgram(const std::filesystem::path& folder,
                                                     const std::string& name)
{
    // The signals go beside no file of the test's own.
    std::random_device random;
    m_signal = std::filesystem::temp_directory_path() / ("pasavel-hold-" + std::to_string(random()));
    const std::wstring arguments[] = {quotedArgument(holder), quotedArgument(folder),
                                      quotedArgument(pathFromUtf8(name)), L"exclusiva",
                                      quotedArgument(m_signal)};
    m_process = ::_wspawnl(_P_NOWAIT, holder.c_str(), arguments[0].c_str(), arguments[1].c_str(),
                           arguments[2].c_str(), arguments[3].c_str(), arguments[4].c_str(), nullptr);
    if (m_process == -1)
        throw std::runtime_error("pasavel-hold-table could not be started");
    std::filesystem::path held = m_signal;
    held += "-abierta";
    std::filesystem::path failed = m_signal;
    failed += "-fallo";
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!std::filesystem::exists(held)) {
        if (std::filesystem::exists(failed) || std::chrono::steady_clock::now() > until) {
            writeBytes(m_signal, "");
            int status = 0;
            ::_cwait(&status, m_process, 0);
            throw std::runtime_error("the other program could not open " + name);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::filesystem::remove(held);
}

TableHeldByAnotherProgram::~TableHeldByAnotherProgram()
{
    writeBytes(m_signal, "");
    int status = 0;
    ::_cwait(&status, m_process, 0);
    std::error_code ignored;
    std::filesystem::remove(m_signal, ignored);
}

bool anotherProgramOpens(const std::filesystem::path& folder, const std::string& name, bool exclusive)
{
    const std::wstring arguments[] = {quotedArgument(holder), quotedArgument(folder),
                                      quotedArgument(pathFromUtf8(name)),
                                      exclusive ? L"exclusiva" : L"compartida"};
    return ::_wspawnl(_P_WAIT, holder.c_str(), arguments[0].c_str(), arguments[1].c_str(),
                      arguments[2].c_str(), arguments[3].c_str(), nullptr) == 0;
}

#endif

} // namespace pasavel::test
