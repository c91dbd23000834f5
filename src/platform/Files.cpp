// What writing and reading files does the same way on every system; how a
// file is made, flushed and put in place is in posix/ and win32/.
#include "platform/Files.h"

#include "base/Error.h"
#include "platform/PathText.h"
#include "platform/SystemError.h"
#include "platform/detail/TemporaryFile.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <limits>
#include <utility>

namespace pasavel {

namespace detail {

void removeStaleTemporaries(const std::filesystem::path& target)
{
    const std::string prefix = "." + pathToUtf8(target.filename()) + ".";
    std::error_code error;
    const auto now = std::filesystem::file_time_type::clock::now();
    for (const auto& entry : std::filesystem::directory_iterator(target.parent_path(), error)) {
        const std::string name = pathToUtf8(entry.path().filename());
        if (name.size() != prefix.size() + 6 || !name.starts_with(prefix) || !entry.is_regular_file(error))
            continue;
        const auto written = std::filesystem::last_write_time(entry.path(), error);
        if (!error && now - written > std::chrono::minutes(10))
            std::filesystem::remove(entry.path(), error);
    }
}

} // namespace detail

void replaceFileAtomically(const std::filesystem::path& target,
                           const std::function<void(const std::filesystem::path& temporary)>& write)
{
    const std::filesystem::path absoluteTarget = std::filesystem::absolute(target);
    refuseReadOnlyFile(absoluteTarget);
    detail::TemporaryFile temporary(absoluteTarget);
    try {
        write(temporary.path());
        temporary.replace(absoluteTarget);
    } catch (const Error& error) {
        temporary.discard();
        // The user knows the file by its own name, not by the temporary one.
        const std::string temporaryName = pathToUtf8(temporary.path());
        const std::string targetName = pathToUtf8(target);
        std::string message = error.what();
        for (std::size_t at = message.find(temporaryName); at != std::string::npos;
             at = message.find(temporaryName, at + targetName.size()))
            message.replace(at, temporaryName.size(), targetName);
        throw Error(message);
    } catch (...) {
        temporary.discard();
        throw;
    }
}

std::string readFileBytes(const std::filesystem::path& path)
{
    return *readFileBytesUpTo(path, std::numeric_limits<std::size_t>::max() - 1);
}

std::optional<std::string> readFileBytesUpTo(const std::filesystem::path& path, std::size_t maximumSize)
{
    std::FILE* file = openFile(path, "rb");
    if (file == nullptr)
        throw Error("No se puede leer el archivo «" + pathToUtf8(path) + "»: " + systemErrorText(errno) +
                    ".");
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
        throw Error("No se puede leer el archivo «" + pathToUtf8(path) + "»: " + systemErrorText(errno) +
                    ".");
    if (bytes.size() > maximumSize)
        return std::nullopt;
    return bytes;
}

FileReader::FileReader(const std::filesystem::path& path) : m_path(path)
{
    m_file = openFile(path, "rb");
    if (m_file == nullptr)
        throw Error("No se puede leer el archivo «" + pathToUtf8(path) + "»: " + systemErrorText(errno) +
                    ".");
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
        throw Error("No se puede leer el archivo «" + pathToUtf8(m_path) + "»: " + systemErrorText(errno) +
                    ".");
    return count;
}

FileWriter::FileWriter(const std::filesystem::path& path) : m_path(path)
{
    m_file = openFile(path, "wb");
    if (m_file == nullptr)
        throw Error("No se pudo escribir el archivo «" + pathToUtf8(path) + "»: " + systemErrorText(errno) +
                    ".");
}

FileWriter::~FileWriter()
{
    if (m_file != nullptr)
        std::fclose(m_file);
}

void FileWriter::write(std::string_view bytes)
{
    if (std::fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size())
        throw Error("No se pudo escribir el archivo «" + pathToUtf8(m_path) + "»: " + systemErrorText(errno) +
                    ".");
}

void FileWriter::overwriteStart(std::string_view bytes)
{
    // Moving flushes what is buffered first.
    if (std::fseek(m_file, 0, SEEK_SET) != 0 ||
        std::fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size() ||
        std::fseek(m_file, 0, SEEK_END) != 0)
        throw Error("No se pudo escribir el archivo «" + pathToUtf8(m_path) + "»: " + systemErrorText(errno) +
                    ".");
}

void FileWriter::close()
{
    std::FILE* file = std::exchange(m_file, nullptr);
    if (file != nullptr && std::fclose(file) != 0)
        throw Error("No se pudo escribir el archivo «" + pathToUtf8(m_path) + "»: " + systemErrorText(errno) +
                    ".");
}

void writeFileAtomically(const std::filesystem::path& target, std::string_view bytes)
{
    writeFileAtomically(target, {bytes});
}

void writeFileAtomically(const std::filesystem::path& target, std::initializer_list<std::string_view> parts)
{
    replaceFileAtomically(target, [&](const std::filesystem::path& temporary) {
        const auto failed = [&] {
            throw Error("No se pudo escribir el archivo «" + pathToUtf8(target) +
                        "»: " + systemErrorText(errno) + ".");
        };
        std::FILE* file = openFile(temporary, "wb");
        if (file == nullptr)
            failed();
        bool written = true;
        for (std::string_view part : parts)
            written = written && std::fwrite(part.data(), 1, part.size(), file) == part.size();
        const bool closed = std::fclose(file) == 0;
        if (!written || !closed)
            failed();
    });
}

} // namespace pasavel
