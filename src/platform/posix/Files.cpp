#include "platform/Files.h"

#include "base/Error.h"
#include "platform/SystemError.h"
#include "platform/detail/TemporaryFile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace pasavel {

namespace {

std::string describeErrno()
{
    return systemErrorText(errno);
}

[[noreturn]] void failedToWrite(const std::filesystem::path& path)
{
    throw Error("No se pudo escribir el archivo «" + path.string() + "»: " + describeErrno() + ".");
}

void flushToDisk(const std::filesystem::path& path)
{
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        failedToWrite(path);
    const bool synced = ::fsync(descriptor) == 0;
    ::close(descriptor);
    if (!synced)
        failedToWrite(path);
}

std::filesystem::path makeTemporaryPath(const std::filesystem::path& target)
{
    std::string pattern = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
    const int descriptor = ::mkstemp(pattern.data());
    if (descriptor < 0) {
        throw Error("No se puede escribir en la carpeta «" + target.parent_path().string() +
                    "»: " + describeErrno() + ".");
    }
    ::close(descriptor);
    return pattern;
}

// mkstemp makes the file private to its owner; the result keeps the
// permissions of the file it replaces, or those of any new file of the user.
void giveUsualPermissions(const std::filesystem::path& temporary, const std::filesystem::path& target)
{
    std::error_code error;
    const auto targetStatus = std::filesystem::status(target, error);
    if (!error && std::filesystem::exists(targetStatus)) {
        std::filesystem::permissions(temporary, targetStatus.permissions(), error);
        return;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::chmod(temporary.c_str(), 0666 & ~mask);
}

// A file being written that has no name yet, in the target's folder: a
// killed run leaves nothing behind, since the system frees an unnamed file
// when its last descriptor goes. The writer reaches it through the
// descriptor's path in /proc. -1 where the file system or the system cannot
// make one.
int makeUnnamedFile(const std::filesystem::path& folder, std::filesystem::path& path)
{
#ifdef O_TMPFILE
    const int descriptor = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (descriptor < 0)
        return -1;
    path = "/proc/self/fd/" + std::to_string(descriptor);
    if (::access(path.c_str(), W_OK) != 0) {
        ::close(descriptor);
        return -1;
    }
    return descriptor;
#else
    (void)folder;
    (void)path;
    return -1;
#endif
}

// Gives an unnamed file its final name: linked under a temporary name beside
// the target, then renamed over it, so the target is replaced at once (a
// symbolic link is replaced, not written through).
void linkInPlaceOf(int descriptor, const std::filesystem::path& path, const std::filesystem::path& target)
{
    if (::fsync(descriptor) != 0)
        failedToWrite(target);
    std::random_device random;
    for (int attempt = 0;; ++attempt) {
        const std::filesystem::path name = target.parent_path() / ("." + target.filename().string() + "." +
                                                                   std::to_string(random() % 1000000));
        if (::linkat(AT_FDCWD, path.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            if (std::rename(name.c_str(), target.c_str()) != 0) {
                const int cause = errno;
                ::unlink(name.c_str());
                errno = cause;
                failedToWrite(target);
            }
            return;
        }
        if (errno != EEXIST || attempt > 100)
            failedToWrite(target);
    }
}

} // namespace

namespace detail {

// Where no unnamed file can be made, a named one is written beside the
// target; a run that was killed left it there, and is cleared up later.
TemporaryFile::TemporaryFile(const std::filesystem::path& target)
{
    m_handle = makeUnnamedFile(target.parent_path(), m_path);
    if (m_handle < 0) {
        removeStaleTemporaries(target);
        m_path = makeTemporaryPath(target);
    }
}

TemporaryFile::~TemporaryFile()
{
    if (m_handle >= 0)
        ::close(static_cast<int>(m_handle));
}

void TemporaryFile::replace(const std::filesystem::path& target)
{
    giveUsualPermissions(m_path, target);
    if (m_handle >= 0) {
        linkInPlaceOf(static_cast<int>(m_handle), m_path, target);
        return;
    }
    flushToDisk(m_path);
    if (std::rename(m_path.c_str(), target.c_str()) != 0)
        failedToWrite(target);
}

void TemporaryFile::discard()
{
    std::error_code ignored;
    if (m_handle < 0)
        std::filesystem::remove(m_path, ignored);
}

} // namespace detail

std::FILE* openFile(const std::filesystem::path& path, const char* mode)
{
    return std::fopen(path.c_str(), mode);
}

bool mayWrite(const std::filesystem::path& path)
{
    return ::access(path.c_str(), W_OK) == 0;
}

void refuseReadOnlyFile(const std::filesystem::path& path)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && (status.st_mode & 0222) == 0) {
        throw Error("El archivo «" + path.string() +
                    "» es de solo lectura: no se puede modificar. Quítele la marca de solo lectura e "
                    "inténtelo de nuevo.");
    }
}

void rewriteFileInPlace(const std::filesystem::path& target, std::string_view bytes)
{
    refuseReadOnlyFile(target);
    const int descriptor = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
    if (descriptor < 0)
        failedToWrite(target);
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t count = ::write(descriptor, bytes.data() + written, bytes.size() - written);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            const int cause = errno;
            ::close(descriptor);
            errno = cause;
            failedToWrite(target);
        }
        written += static_cast<std::size_t>(count);
    }
    const bool complete =
        ::ftruncate(descriptor, static_cast<off_t>(bytes.size())) == 0 && ::fsync(descriptor) == 0;
    const int cause = errno;
    const bool closed = ::close(descriptor) == 0;
    if (!complete) {
        errno = cause;
        failedToWrite(target);
    }
    if (!closed)
        failedToWrite(target);
}

std::optional<std::string> folderWriteProblem(const std::filesystem::path& folder)
{
    std::string pattern = (folder / ".pasavel-prueba-XXXXXX").string();
    const int descriptor = ::mkstemp(pattern.data());
    if (descriptor < 0)
        return systemErrorText(errno);
    ::close(descriptor);
    ::unlink(pattern.c_str());
    return std::nullopt;
}

} // namespace pasavel
