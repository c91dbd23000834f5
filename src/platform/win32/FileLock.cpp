#include "platform/FileLock.h"

#include "platform/SystemError.h"
#include "platform/win32/HeldLocks.h"
#include "platform/win32/ShellFunctions.h"
#include "platform/win32/WindowsText.h"

// windows.h first: the other system headers need its types.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace pasavel {

namespace {

// A file is locked twice over, for the two kinds of program that may share
// it. Its handle's sharing mode keeps writers out (an exclusive lock) or
// everyone who would write (a shared one), which every Windows program
// meets. And a byte range is locked with LockFileEx, which Wine turns into a
// POSIX record lock that the Linux build sees. The range lies far beyond any
// data: Windows refuses reads and writes inside a range another process
// holds, and below 2^63, which Linux record locks cannot pass.
constexpr DWORD lockOffsetLow = 0x00000000;
constexpr DWORD lockOffsetHigh = 0x7FFFFFFF;

struct HeldLock {
    HANDLE handle = INVALID_HANDLE_VALUE;
    std::filesystem::path file;
    FileLock::Kind kind = FileLock::Kind::Shared;
    bool isFile = false;
};

// The file locks of this process, so that a replacement can set them aside.
std::mutex heldLocksMutex;
std::vector<HeldLock*> heldLocks;

enum class Outcome { Locked, Conflict, Failed };

// Opens file and locks it as kind says; the handle stays in lock.
Outcome lockFile(HeldLock& lock, DWORD& errorCode)
{
    const bool exclusive = lock.kind == FileLock::Kind::Exclusive;
    // An exclusive lock asks to write, so that no other exclusive one is
    // granted; a file the user may not write is still held against writers.
    lock.handle = exclusive ? CreateFileW(lock.file.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
                            : INVALID_HANDLE_VALUE;
    errorCode = exclusive ? GetLastError() : ERROR_ACCESS_DENIED;
    if (lock.handle == INVALID_HANDLE_VALUE && errorCode == ERROR_ACCESS_DENIED) {
        lock.handle = CreateFileW(lock.file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        errorCode = GetLastError();
    }
    if (lock.handle == INVALID_HANDLE_VALUE)
        return errorCode == ERROR_SHARING_VIOLATION || errorCode == ERROR_LOCK_VIOLATION ? Outcome::Conflict
                                                                                         : Outcome::Failed;
    OVERLAPPED range{};
    range.Offset = lockOffsetLow;
    range.OffsetHigh = lockOffsetHigh;
    const DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    if (LockFileEx(lock.handle, flags, 0, 1, 0, &range))
        return Outcome::Locked;
    errorCode = GetLastError();
    CloseHandle(lock.handle);
    lock.handle = INVALID_HANDLE_VALUE;
    // Only a conflict counts; a file system without byte-range locks has none.
    if (errorCode == ERROR_LOCK_VIOLATION || errorCode == ERROR_IO_PENDING)
        return Outcome::Conflict;
    lock.handle = CreateFileW(lock.file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    return lock.handle == INVALID_HANDLE_VALUE ? Outcome::Conflict : Outcome::Locked;
}

void unlockFile(HeldLock& lock)
{
    if (lock.handle == INVALID_HANDLE_VALUE)
        return;
    // Closing the handle releases its range too; unlocked first, as Windows
    // asks, so the range is free at once.
    OVERLAPPED range{};
    range.Offset = lockOffsetLow;
    range.OffsetHigh = lockOffsetHigh;
    UnlockFileEx(lock.handle, 0, 1, 0, &range);
    CloseHandle(lock.handle);
    lock.handle = INVALID_HANDLE_VALUE;
}

bool sameFile(const std::filesystem::path& left, const std::filesystem::path& right)
{
    const std::wstring& first = left.native();
    const std::wstring& second = right.native();
    return CompareStringOrdinal(first.c_str(), static_cast<int>(first.size()), second.c_str(),
                                static_cast<int>(second.size()), TRUE) == CSTR_EQUAL;
}

std::filesystem::path absoluteFile(const std::filesystem::path& file)
{
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(file, error);
    return (error ? file : absolute).lexically_normal();
}

// The name of a folder's lock: a named kernel object, since Windows locks no
// byte range of a folder. It is made from the folder's final path (whatever
// the spelling of the path given, the same folder gives the same name),
// which a short hash keeps within the length an object name may have.
std::wstring folderLockName(const std::filesystem::path& folder)
{
    const HANDLE handle = CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return {};
    std::wstring finalPath(MAX_PATH, L'\0');
    DWORD length =
        GetFinalPathNameByHandleW(handle, finalPath.data(), static_cast<DWORD>(finalPath.size()), 0);
    if (length >= finalPath.size()) {
        finalPath.resize(length + 1);
        length = GetFinalPathNameByHandleW(handle, finalPath.data(), static_cast<DWORD>(finalPath.size()), 0);
    }
    CloseHandle(handle);
    if (length == 0 || length >= finalPath.size())
        return {};
    finalPath.resize(length);
    win32::toUpperInPlace(finalPath);
    std::uint64_t hash = 14695981039346656037ull; // FNV-1a
    for (wchar_t unit : finalPath) {
        hash = (hash ^ static_cast<std::uint16_t>(unit)) * 1099511628211ull;
    }
    // Global: a run in another session (another user, a remote desktop) on
    // the same folder sees it too.
    std::wstring name = L"Global\\Pasavel-carpeta-";
    for (int shift = 60; shift >= 0; shift -= 4)
        name += L"0123456789abcdef"[(hash >> shift) & 0xF];
    return name;
}

} // namespace

namespace win32 {

void withLocksSteppedAside(const std::filesystem::path& file, const std::function<void()>& replace)
{
    const std::lock_guard<std::mutex> guard(heldLocksMutex);
    const std::filesystem::path target = absoluteFile(file);
    std::vector<HeldLock*> aside;
    for (HeldLock* lock : heldLocks) {
        if (lock->handle != INVALID_HANDLE_VALUE && sameFile(lock->file, target)) {
            unlockFile(*lock);
            aside.push_back(lock);
        }
    }
    // Shared ones first: taken in any order, an exclusive lock of this
    // process would keep its own shared ones out.
    std::stable_sort(aside.begin(), aside.end(), [](const HeldLock* left, const HeldLock* right) {
        return left->kind == FileLock::Kind::Shared && right->kind == FileLock::Kind::Exclusive;
    });
    const auto takeAgain = [&] {
        for (HeldLock* lock : aside) {
            DWORD ignored = 0;
            lockFile(*lock, ignored);
        }
    };
    try {
        replace();
    } catch (...) {
        takeAgain();
        throw;
    }
    takeAgain();
}

} // namespace win32

std::optional<FileLock> FileLock::tryLockFile(const std::filesystem::path& file, Kind kind)
{
    auto lock = std::make_unique<HeldLock>();
    lock->file = absoluteFile(file);
    lock->kind = kind;
    lock->isFile = true;
    const std::lock_guard<std::mutex> guard(heldLocksMutex);
    DWORD errorCode = 0;
    switch (lockFile(*lock, errorCode)) {
    case Outcome::Conflict:
        return std::nullopt;
    case Outcome::Failed:
        throw SystemError(win32::windowsErrorText(errorCode));
    case Outcome::Locked:
        break;
    }
    heldLocks.push_back(lock.get());
    return FileLock(reinterpret_cast<std::intptr_t>(lock.release()));
}

// A folder is held through a named mutex that exists while the lock does:
// whoever finds it existing, or may not open it (another user made it), is
// kept out. The system removes it when the last handle goes, also when the
// program dies.
std::optional<FileLock> FileLock::tryLockFolder(const std::filesystem::path& folder)
{
    const std::wstring name = folderLockName(folder);
    if (name.empty())
        return FileLock(-1);
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
    const DWORD cause = GetLastError();
    if (mutex == nullptr)
        return cause == ERROR_ACCESS_DENIED ? std::nullopt : std::optional<FileLock>(FileLock(-1));
    if (cause == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return std::nullopt;
    }
    auto lock = std::make_unique<HeldLock>();
    lock->handle = mutex;
    return FileLock(reinterpret_cast<std::intptr_t>(lock.release()));
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
    if (m_handle == -1)
        return;
    HeldLock* lock = reinterpret_cast<HeldLock*>(m_handle);
    m_handle = -1;
    if (lock->isFile) {
        const std::lock_guard<std::mutex> guard(heldLocksMutex);
        heldLocks.erase(std::remove(heldLocks.begin(), heldLocks.end(), lock), heldLocks.end());
        unlockFile(*lock);
    } else if (lock->handle != INVALID_HANDLE_VALUE) {
        CloseHandle(lock->handle);
    }
    delete lock;
}

} // namespace pasavel
