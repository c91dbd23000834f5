#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

namespace pasavel {

// An advisory lock on a file or a folder, held for the object's lifetime.
// Shared locks coexist; an exclusive one keeps every other lock out, whether
// this program or another one takes it, and whichever of the system's kinds
// of lock the other program uses.
class FileLock {
  public:
    enum class Kind { Shared, Exclusive };

    // Locks an existing file. Nothing when another program holds a lock that
    // conflicts. Throws SystemError when the file cannot be opened.
    static std::optional<FileLock> tryLockFile(const std::filesystem::path& file, Kind kind);

    // An exclusive lock on a folder itself: no file is added to it. Nothing
    // when another holds it; a lock that holds nothing when the folder cannot
    // be opened (whoever uses the folder then finds out what is wrong).
    static std::optional<FileLock> tryLockFolder(const std::filesystem::path& folder);

    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock();

  private:
    explicit FileLock(std::intptr_t handle) : m_handle(handle) {}
    void release();

    // A descriptor on POSIX, a file handle on Windows; -1 holds nothing.
    std::intptr_t m_handle = -1;
};

} // namespace pasavel
