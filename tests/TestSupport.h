#pragma once

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

// The smallest exchange document a whole export run accepts.
std::string minimalExchangeDocument();

// Whether Debian's python3 can import this module (the interoperability peers).
bool pythonHasModule(const std::string& module);

} // namespace pasavel::test
