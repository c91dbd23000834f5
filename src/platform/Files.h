#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

// Reading a whole file, and writing one safely.
//
// Files are written beside their final place and renamed over it only once
// complete, so a crash or an error never leaves a truncated file behind: the
// reader finds either the previous file or the new one.
namespace pasavel {

// Calls write with a temporary path in the target's folder; when it returns,
// the temporary file is flushed to disk and renamed to target. If write throws
// (or the rename fails), the temporary file is removed and target is untouched.
void replaceFileAtomically(const std::filesystem::path& target,
                           const std::function<void(const std::filesystem::path& temporary)>& write);

void writeFileAtomically(const std::filesystem::path& target, std::string_view bytes);
// The same for a file made of these parts, one after another, which are
// written as they stand instead of being joined first.
void writeFileAtomically(const std::filesystem::path& target, std::initializer_list<std::string_view> parts);

// Rewrites an existing file through its own descriptor, for a file that may
// be written where no file may be created beside it. The new bytes go over
// the old ones before the file is cut to their length, so the file is never
// seen empty. Throws Error naming the file.
void rewriteFileInPlace(const std::filesystem::path& target, std::string_view bytes);

// std::fopen for a path: the path's own characters, whatever the system's
// narrow encoding. Nothing when the file cannot be opened (errno says why).
std::FILE* openFile(const std::filesystem::path& path, const char* mode);

// The whole content of a file; throws Error naming the file when it cannot
// be read.
std::string readFileBytes(const std::filesystem::path& path);

// The content of a file of at most maximumSize bytes, or nothing for a larger
// one, of which no more than that is read; throws Error naming the file when
// it cannot be read.
std::optional<std::string> readFileBytesUpTo(const std::filesystem::path& path, std::size_t maximumSize);

// A file read from its start a piece at a time, for a reader that must not
// hold it whole.
class FileReader {
  public:
    // Throws Error naming the file when it cannot be opened.
    explicit FileReader(const std::filesystem::path& path);
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    // The file's size when it was opened, or nothing when the system cannot
    // tell it (the file may still grow or shrink while it is read).
    std::optional<std::uintmax_t> size() const { return m_size; }

    // Reads up to length bytes from where the last read ended into buffer:
    // fewer only at the end of the file, none there. Throws Error naming the
    // file when it cannot be read.
    std::size_t read(char* buffer, std::size_t length);

  private:
    std::filesystem::path m_path;
    std::FILE* m_file = nullptr;
    std::optional<std::uintmax_t> m_size;
};

// A new file written from its start a piece at a time (in the temporary of
// replaceFileAtomically, say). Every failure throws Error naming the file.
class FileWriter {
  public:
    // Creates the file, or empties an existing one.
    explicit FileWriter(const std::filesystem::path& path);
    // Closes a file that close() did not, saying nothing of a failure.
    ~FileWriter();
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;

    void write(std::string_view bytes);
    // Writes these bytes over the first ones written (no more of them than
    // were written), then goes on at the end: for a header that is known
    // only once what follows it is written.
    void overwriteStart(std::string_view bytes);
    // Closes the file once everything is written; a failure here means that
    // what was written may not all be in it.
    void close();

  private:
    std::filesystem::path m_path;
    std::FILE* m_file = nullptr;
};

// A file that no one may write carries the read-only mark (the attribute a
// Windows user sets): the program neither replaces nor deletes it, even as a
// user the system would let do so. Throws Error naming the file.
void refuseReadOnlyFile(const std::filesystem::path& path);

// Why no file can be created in a folder (in Spanish), or nothing when one
// can: a file is made there and removed again, which is the only sure test.
std::optional<std::string> folderWriteProblem(const std::filesystem::path& folder);

// Whether this user may write the file or folder (create files in it).
bool mayWrite(const std::filesystem::path& path);

} // namespace pasavel
