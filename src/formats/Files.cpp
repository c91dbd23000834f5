#include "formats/Files.h"

#include "app/Error.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace pasavel {

namespace {

std::string describeErrno()
{
    return std::strerror(errno);
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

void replaceFileAtomically(const std::filesystem::path& target,
                           const std::function<void(const std::filesystem::path& temporary)>& write)
{
    const std::filesystem::path absoluteTarget = std::filesystem::absolute(target);
    const std::filesystem::path temporary = makeTemporaryPath(absoluteTarget);
    try {
        write(temporary);
        giveUsualPermissions(temporary, absoluteTarget);
        flushToDisk(temporary);
        if (std::rename(temporary.c_str(), absoluteTarget.c_str()) != 0)
            throw Error("No se pudo escribir el archivo «" + target.string() + "»: " + describeErrno() + ".");
    } catch (...) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        throw;
    }
}

std::string readFileBytes(const std::filesystem::path& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        throw Error("No se puede leer el archivo «" + path.string() + "»: " + describeErrno() + ".");
    std::string bytes;
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (!error)
        bytes.reserve(static_cast<std::size_t>(size));
    char buffer[65536];
    std::size_t read = 0;
    while ((read = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, read);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed)
        throw Error("No se puede leer el archivo «" + path.string() + "»: " + describeErrno() + ".");
    return bytes;
}

void writeFileAtomically(const std::filesystem::path& target, std::string_view bytes)
{
    replaceFileAtomically(target, [&](const std::filesystem::path& temporary) {
        std::FILE* file = std::fopen(temporary.c_str(), "wb");
        if (file == nullptr)
            throw Error("No se pudo escribir el archivo «" + target.string() + "»: " + describeErrno() + ".");
        const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
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
    const bool complete = ::ftruncate(descriptor, static_cast<off_t>(bytes.size())) == 0 && ::fsync(descriptor) == 0;
    const int cause = errno;
    const bool closed = ::close(descriptor) == 0;
    if (!complete) {
        errno = cause;
        failed();
    }
    if (!closed)
        failed();
}

} // namespace pasavel
