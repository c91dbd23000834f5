#pragma once

#include <filesystem>

// For the implementations in platform/ only: the file that
// replaceFileAtomically writes before it takes the target's place. Each
// system makes it its own way; the rest of the replacement is shared.
namespace pasavel::detail {

class TemporaryFile {
  public:
    // A new file beside target (an absolute path). Throws Error naming the
    // folder when none can be made there.
    explicit TemporaryFile(const std::filesystem::path& target);
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Where the writer writes.
    const std::filesystem::path& path() const { return m_path; }

    // Flushes the written file to disk and puts it in target's place in one
    // step. Throws Error naming target.
    void replace(const std::filesystem::path& target);

    // Removes the file when it was not put in place.
    void discard();

  private:
    std::filesystem::path m_path;
    // A descriptor or handle of the system's own, where it keeps one.
    long long m_handle = -1;
};

// A temporary file with a name is called "." + the target's name + "." + six
// characters. Those that a killed run left beside target, and that nobody has
// written for a while, are removed.
void removeStaleTemporaries(const std::filesystem::path& target);

} // namespace pasavel::detail
