#include "platform/FileLock.h"

#include "platform/SystemError.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <utility>

namespace pasavel {

// Two kinds of lock are taken, since other programs hold either: a flock
// lock, and a POSIX record lock over the whole file, which is what Windows
// programs running under Wine take. The record lock is an open-file-
// description lock: it conflicts with classic fcntl and lockf locks of other
// processes, and unlike those it is not dropped when this process closes
// another descriptor of the same file (as reading a table does).
std::optional<FileLock> FileLock::tryLockFile(const std::filesystem::path& file, Kind kind)
{
    const bool exclusive = kind == Kind::Exclusive;
    // A write lock needs a descriptor open for writing; a file the user may
    // not write is still locked against writers with a read lock.
    int descriptor = exclusive ? ::open(file.c_str(), O_RDWR | O_CLOEXEC) : -1;
    const bool writable = descriptor >= 0;
    if (!writable)
        descriptor = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        throw SystemError(systemErrorText(errno));
    FileLock lock(descriptor);
    if (::flock(descriptor, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0)
        return std::nullopt;
    struct flock range {};
    range.l_type = exclusive && writable ? F_WRLCK : F_RDLCK;
    range.l_whence = SEEK_SET;
    range.l_start = 0;
    range.l_len = 0; // to the end of the file, however long it grows
    // Only a conflict counts; a file system without record locks has none.
    if (::fcntl(descriptor, F_OFD_SETLK, &range) != 0 && (errno == EAGAIN || errno == EACCES))
        return std::nullopt;
    return lock;
}

std::optional<FileLock> FileLock::tryLockFolder(const std::filesystem::path& folder)
{
    const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return FileLock(-1);
    FileLock lock(descriptor);
    if (::flock(descriptor, LOCK_EX | LOCK_NB) == 0)
        return lock;
    if (errno == EWOULDBLOCK)
        return std::nullopt;
    return FileLock(-1);
}

FileLock::FileLock(FileLock&& other) noexcept : m_handle(std::exchange(other.m_handle, -1)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept
{
    if (this != &other) {
        release();
        m_handle = std::exchange(other.m_handle, -1);
    }
    return *this;
}

FileLock::~FileLock()
{
    release();
}

void FileLock::release()
{
    if (m_handle >= 0)
        ::close(static_cast<int>(m_handle));
    m_handle = -1;
}

} // namespace pasavel
