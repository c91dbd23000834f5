#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace pasavel::test {

// A fresh folder under the system's temporary folder, removed with its
// content when the object goes.
class TemporaryDirectory {
  public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(std::string_view name) const { return m_path / name; }

  private:
    std::filesystem::path m_path;
};

std::string readBytes(const std::filesystem::path& path);
void writeBytes(const std::filesystem::path& path, std::string_view bytes);

struct CommandResult {
    int exitCode = -1;
    std::string output; // standard output and standard error together
};
CommandResult runCommand(const std::string& command);

// xmllint --noout on a document: whether a reader of its own finds it
// well-formed. Exit status 127 when there is no xmllint.
CommandResult checkWithXmllint(const std::filesystem::path& document);

// The smallest exchange document a whole export run accepts.
std::string minimalExchangeDocument();

// Why a test that reads or writes tables with Debian's python3 and this
// module (the interoperability peers) cannot run here; empty when it can.
std::string missingPythonModule(const std::string& module);

// Sets or removes an environment variable of this process.
void setEnvironment(const std::string& name, const std::filesystem::path& value);
void unsetEnvironment(const std::string& name);

// Points the user's folder for records of runs (XDG_STATE_HOME, on Windows
// LOCALAPPDATA) at folder; returns where the record of runs then is.
std::filesystem::path redirectUserState(const std::filesystem::path& folder);
// The same for the user's settings (XDG_CONFIG_HOME, on Windows APPDATA).
void redirectUserSettings(const std::filesystem::path& folder);
// Gives both back to what the tests run with.
void restoreUserFolders();

#ifdef _WIN32
// Another program (pasavel-hold-table) holding a table for exclusive use
// until this ends. Throws when it cannot open the table.
class TableHeldByAnotherProgram {
  public:
    TableHeldByAnotherProgram(const std::filesystem::path& folder, const std::string& name);
    ~TableHeldByAnotherProgram();
    TableHeldByAnotherProgram(const TableHeldByAnotherProgram&) = delete;
    TableHeldByAnotherProgram& operator=(const TableHeldByAnotherProgram&) = delete;

  private:
    std::filesystem::path m_signal;
    std::intptr_t m_process = -1;
};

// Whether another program can open the table (shared or exclusive), at once.
bool anotherProgramOpens(const std::filesystem::path& folder, const std::string& name, bool exclusive);
#endif

} // namespace pasavel::test
