#include "platform/Files.h"

#include "base/Error.h"
#include "platform/SystemError.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace pasavel {

namespace {

std::string describeErrno()
{
    return systemErrorText(errno);
}

void flushToDisk(const std::filesystem::path& path)
{
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        throw Error("No se pudo escribir el archivo «" + path.string() + "»: " + describeErrno() + ".");
    const bool synced = ::fsync(descriptor) == 0;
    ::close(descriptor);
    if (!synced)
        throw Error("No se pudo escribir el archivo «" + path.string() + "»: " + describeErrno() + ".");
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

} // namespace

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

namespace {

// A file being written that has no name yet, in the target's folder: a
// killed run leaves nothing behind, since the system frees an unnamed file
// when its last descriptor goes. The writer reaches it through the
// descriptor's path in /proc. Empty where the file system or the system
// cannot make one.
class UnnamedFile {
  public:
    explicit UnnamedFile(const std::filesystem::path& folder)
    {
#ifdef O_TMPFILE
        m_descriptor = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (m_descriptor < 0)
            return;
        m_path = "/proc/self/fd/" + std::to_string(m_descriptor);
        if (::access(m_path.c_str(), W_OK) != 0) {
            ::close(m_descriptor);
            m_descriptor = -1;
        }
#else
        (void)folder;
#endif
    }
    ~UnnamedFile()
    {
        if (m_descriptor >= 0)
            ::close(m_descriptor);
    }
    UnnamedFile(const UnnamedFile&) = delete;
    UnnamedFile& operator=(const UnnamedFile&) = delete;

    bool made() const
    {
        return m_descriptor >= 0;
    }
    const std::filesystem::path& path() const
    {
        return m_path;
    }

    // Gives the file its final name: linked under a temporary name beside
    // the target, then renamed over it, so the target is replaced at once
    // (a symbolic link is replaced, not written through).
    void linkInPlaceOf(const std::filesystem::path& target)
    {
        const auto failed = [&] {
            throw Error("No se pudo escribir el archivo «" + target.string() + "»: " + describeErrno() + ".");
        };
        if (::fsync(m_descriptor) != 0)
            failed();
        std::random_device random;
        for (int attempt = 0;; ++attempt) {
            const std::filesystem::path name =
                target.parent_path() /
                ("." + target.filename().string() + "." + std::to_string(random() % 1000000));
            if (::linkat(AT_FDCWD, m_path.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                if (std::rename(name.c_str(), target.c_str()) != 0) {
                    const int cause = errno;
                    ::unlink(name.c_str());
                    errno = cause;
                    failed();
                }
                return;
            }
            if (errno != EEXIST || attempt > 100)
                failed();
        }
    }

  private:
    int m_descriptor = -1;
    std::filesystem::path m_path;
};

// Where no unnamed file can be made, a named one is written beside the
// target; a run that was killed left it there. Before writing a new one, a
// run removes those of the same target that nobody has written for a while.
void removeStaleTemporaries(const std::filesystem::path& target)
{
    const std::string prefix = "." + target.filename().string() + ".";
    std::error_code error;
    const auto now = std::filesystem::file_time_type::clock::now();
    for (const auto& entry : std::filesystem::directory_iterator(target.parent_path(), error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() != prefix.size() + 6 || !name.starts_with(prefix) || !entry.is_regular_file(error))
            continue;
        const auto written = std::filesystem::last_write_time(entry.path(), error);
        if (!error && now - written > std::chrono::minutes(10))
            std::filesystem::remove(entry.path(), error);
    }
}

} // namespace

void replaceFileAtomically(const std::filesystem::path& target,
                           const std::function<void(const std::filesystem::path& temporary)>& write)
{
    const std::filesystem::path absoluteTarget = std::filesystem::absolute(target);
    refuseReadOnlyFile(absoluteTarget);
    UnnamedFile unnamed(absoluteTarget.parent_path());
    if (!unnamed.made())
        removeStaleTemporaries(absoluteTarget);
    const std::filesystem::path temporary =
        unnamed.made() ? unnamed.path() : makeTemporaryPath(absoluteTarget);
    const auto removeTemporary = [&] {
        std::error_code ignored;
        if (!unnamed.made())
            std::filesystem::remove(temporary, ignored);
    };
    try {
        write(temporary);
        giveUsualPermissions(temporary, absoluteTarget);
        if (unnamed.made()) {
            unnamed.linkInPlaceOf(absoluteTarget);
        } else {
            flushToDisk(temporary);
            if (std::rename(temporary.c_str(), absoluteTarget.c_str()) != 0)
                throw Error("No se pudo escribir el archivo «" + target.string() + "»: " + describeErrno() +
                            ".");
        }
    } catch (const Error& error) {
        removeTemporary();
        // The user knows the file by its own name, not by the temporary one.
        std::string message = error.what();
        for (std::size_t at = message.find(temporary.string()); at != std::string::npos;
             at = message.find(temporary.string(), at + target.string().size()))
            message.replace(at, temporary.string().size(), target.string());
        throw Error(message);
    } catch (...) {
        removeTemporary();
        throw;
    }
}

std::string readFileBytes(const std::filesystem::path& path)
{
    return *readFileBytesUpTo(path, std::numeric_limits<std::size_t>::max() - 1);
}

std::optional<std::string> readFileBytesUpTo(const std::filesystem::path& path, std::size_t maximumSize)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        throw Error("No se puede leer el archivo «" + path.string() + "»: " + describeErrno() + ".");
    std::string bytes;
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (!error && size > maximumSize) {
        std::fclose(file);
        return std::nullopt;
    }
    if (!error)
        bytes.reserve(static_cast<std::size_t>(size));
    char buffer[65536];
    std::size_t read = 0;
    // One byte beyond the maximum tells a larger file.
    while (bytes.size() <= maximumSize &&
           (read = std::fread(buffer, 1, std::min(sizeof buffer, maximumSize + 1 - bytes.size()), file)) > 0)
        bytes.append(buffer, read);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed)
        throw Error("No se puede leer el archivo «" + path.string() + "»: " + describeErrno() + ".");
    if (bytes.size() > maximumSize)
        return std::nullopt;
    return bytes;
}

FileReader::FileReader(const std::filesystem::path& path) : m_path(path)
{
    m_file = std::fopen(path.c_str(), "rb");
    if (m_file == nullptr)
        throw Error("No se puede leer el archivo «" + path.string() + "»: " + describeErrno() + ".");
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (!error)
        m_size = size;
}

FileReader::~FileReader()
{
    std::fclose(m_file);
}

std::size_t FileReader::read(char* buffer, std::size_t length)
{
    const std::size_t count = std::fread(buffer, 1, length, m_file);
    if (count < length && std::ferror(m_file) != 0)
        throw Error("No se puede leer el archivo «" + m_path.string() + "»: " + describeErrno() + ".");
    return count;
}

FileWriter::FileWriter(const std::filesystem::path& path) : m_path(path)
{
    m_file = std::fopen(path.c_str(), "wb");
    if (m_file == nullptr)
        throw Error("No se pudo escribir el archivo «" + path.string() + "»: " + describeErrno() + ".");
}

FileWriter::~FileWriter()
{
    if (m_file != nullptr)
        std::fclose(m_file);
}

void FileWriter::write(std::string_view bytes)
{
    if (std::fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size())
        throw Error("No se pudo escribir el archivo «" + m_path.string() + "»: " + describeErrno() + ".");
}

void FileWriter::close()
{
    std::FILE* file = std::exchange(m_file, nullptr);
    if (file != nullptr && std::fclose(file) != 0)
        throw Error("No se pudo escribir el archivo «" + m_path.string() + "»: " + describeErrno() + ".");
}

void writeFileAtomically(const std::filesystem::path& target, std::string_view bytes)
{
    writeFileAtomically(target, {bytes});
}

void writeFileAtomically(const std::filesystem::path& target, std::initializer_list<std::string_view> parts)
{
    replaceFileAtomically(target, [&](const std::filesystem::path& temporary) {
        std::FILE* file = std::fopen(temporary.c_str(), "wb");
        if (file == nullptr)
            throw Error("No se pudo escribir el archivo «" + target.string() + "»: " + describeErrno() + ".");
        bool written = true;
        for (std::string_view part : parts)
            written = written && std::fwrite(part.data(), 1, part.size(), file) == part.size();
        const bool closed = std::fclose(file) == 0;
        if (!written || !closed)
            throw Error("No se pudo escribir el archivo «" + target.string() + "»: " + describeErrno() + ".");
    });
}

void rewriteFileInPlace(const std::filesystem::path& target, std::string_view bytes)
{
    const auto failed = [&] {
        throw Error("No se pudo escribir el archivo «" + target.string() + "»: " + describeErrno() + ".");
    };
    refuseReadOnlyFile(target);
    const int descriptor = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
    if (descriptor < 0)
        failed();
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t count = ::write(descriptor, bytes.data() + written, bytes.size() - written);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            const int cause = errno;
            ::close(descriptor);
            errno = cause;
            failed();
        }
        written += static_cast<std::size_t>(count);
    }
    const bool complete =
        ::ftruncate(descriptor, static_cast<off_t>(bytes.size())) == 0 && ::fsync(descriptor) == 0;
    const int cause = errno;
    const bool closed = ::close(descriptor) == 0;
    if (!complete) {
        errno = cause;
        failed();
    }
    if (!closed)
        failed();
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
