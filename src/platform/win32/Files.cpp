#include "platform/Files.h"

#include "base/Error.h"
#include "platform/PathText.h"
#include "platform/detail/TemporaryFile.h"
#include "platform/win32/HeldLocks.h"
#include "platform/win32/WindowsText.h"

// windows.h first: the other system headers need its types.
#include <windows.h>

#include <random>
#include <string>

namespace pasavel {

namespace {

std::string quoted(const std::filesystem::path& path)
{
    return "«" + pathToUtf8(path) + "»";
}

[[noreturn]] void failedToWrite(const std::filesystem::path& path, DWORD errorCode)
{
    throw Error("No se pudo escribir el archivo " + quoted(path) + ": " + win32::windowsErrorText(errorCode) +
                ".");
}

class Handle {
  public:
    explicit Handle(HANDLE handle) : m_handle(handle) {}
    ~Handle() { close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool valid() const { return m_handle != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return m_handle; }
    bool close()
    {
        const bool closed = !valid() || CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
        return closed;
    }

  private:
    HANDLE m_handle;
};

// Data flushed to the disk before the file takes the target's place, so that
// a power cut after the replacement finds the new bytes, not an empty file.
void flushToDisk(const std::filesystem::path& path, const std::filesystem::path& target)
{
    Handle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid() || !FlushFileBuffers(file.get()))
        failedToWrite(target, GetLastError());
}

} // namespace

namespace detail {

// A named file beside the target, made with a name no other file has.
TemporaryFile::TemporaryFile(const std::filesystem::path& target)
{
    removeStaleTemporaries(target);
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    for (int attempt = 0;; ++attempt) {
        std::string suffix;
        for (int index = 0; index < 6; ++index)
            suffix += letters[random() % (sizeof letters - 1)];
        m_path = target.parent_path() / pathFromUtf8("." + pathToUtf8(target.filename()) + "." + suffix);
        const HANDLE file = CreateFileW(m_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return;
        }
        const DWORD cause = GetLastError();
        if ((cause != ERROR_FILE_EXISTS && cause != ERROR_ALREADY_EXISTS) || attempt > 100) {
            throw Error("No se puede escribir en la carpeta " + quoted(target.parent_path()) + ": " +
                        win32::windowsErrorText(cause) + ".");
        }
    }
}

TemporaryFile::~TemporaryFile() = default;

void TemporaryFile::replace(const std::filesystem::path& target)
{
    flushToDisk(m_path, target);
    DWORD cause = ERROR_SUCCESS;
    // Windows renames nothing over a file that is open, and this program's
    // own lock on the target keeps it open: the lock steps aside meanwhile.
    win32::withLocksSteppedAside(target, [&] {
        if (!MoveFileExW(m_path.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            cause = GetLastError();
    });
    if (cause == ERROR_ACCESS_DENIED || cause == ERROR_SHARING_VIOLATION) {
        // What the user can do about it: another program, an editor or a
        // viewer, holds the file open.
        throw Error("No se pudo escribir el archivo " + quoted(target) + ": " +
                    win32::windowsErrorText(cause) +
                    ". Puede que otro programa lo tenga abierto: ciérrelo e inténtelo de nuevo.");
    }
    if (cause != ERROR_SUCCESS)
        failedToWrite(target, cause);
}

void TemporaryFile::discard()
{
    std::error_code ignored;
    std::filesystem::remove(m_path, ignored);
}

} // namespace detail

std::FILE* openFile(const std::filesystem::path& path, const char* mode)
{
    const std::string narrow(mode);
    return _wfopen(path.c_str(), std::wstring(narrow.begin(), narrow.end()).c_str());
}

// The read-only attribute of a folder means nothing to Windows (Explorer
// uses it to mark special folders): a folder may be written when a file can
// be made in it.
bool mayWrite(const std::filesystem::path& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return !folderWriteProblem(path);
    if (attributes & FILE_ATTRIBUTE_READONLY)
        return false;
    const Handle file(CreateFileW(path.c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.valid();
}

void refuseReadOnlyFile(const std::filesystem::path& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
        (attributes & FILE_ATTRIBUTE_READONLY)) {
        throw Error("El archivo " + quoted(path) +
                    " es de solo lectura: no se puede modificar. Quítele la marca de solo lectura e "
                    "inténtelo de nuevo.");
    }
}

void rewriteFileInPlace(const std::filesystem::path& target, std::string_view bytes)
{
    refuseReadOnlyFile(target);
    Handle file(CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid())
        failedToWrite(target, GetLastError());
    std::size_t written = 0;
    while (written < bytes.size()) {
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - written, 1 << 20));
        DWORD count = 0;
        if (!WriteFile(file.get(), bytes.data() + written, piece, &count, nullptr) || count == 0)
            failedToWrite(target, GetLastError());
        written += count;
    }
    if (!SetEndOfFile(file.get()) || !FlushFileBuffers(file.get()))
        failedToWrite(target, GetLastError());
    if (!file.close())
        failedToWrite(target, GetLastError());
}

std::optional<std::string> folderWriteProblem(const std::filesystem::path& folder)
{
    std::random_device random;
    const std::filesystem::path probe = folder / (".pasavel-prueba-" + std::to_string(random() % 1000000));
    const HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD cause = GetLastError();
        // Another run's probe of the same name says nothing about the folder.
        if (cause == ERROR_FILE_EXISTS)
            return folderWriteProblem(folder);
        return win32::windowsErrorText(cause);
    }
    CloseHandle(file);
    return std::nullopt;
}

} // namespace pasavel
