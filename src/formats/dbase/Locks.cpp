#include "formats/dbase/Locks.h"

#include "base/Error.h"
#include "platform/Files.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>

namespace pasavel {

namespace {

std::string guillemets(std::string_view text)
{
    return "«" + std::string(text) + "»";
}

} // namespace

// Takes advisory locks on the file; shared locks coexist, an exclusive one
// keeps every other opener out. Two kinds are taken, since other programs
// hold either: a flock lock, and a POSIX record lock over the whole file,
// which is what Windows programs running under Wine take. The record lock is
// an open-file-description lock: it conflicts with classic fcntl and lockf
// locks of other processes, and unlike those it is not dropped when this
// process closes another descriptor of the same file (as reading the table
// does). Returns the descriptor holding both.
int lockFile(const std::filesystem::path& path, OpenMode mode, std::string_view table)
{
    const bool exclusive = mode == OpenMode::Exclusive;
    // A write lock needs a descriptor open for writing; a file the user may
    // not write is still locked against writers with a read lock.
    int descriptor = exclusive ? ::open(path.c_str(), O_RDWR | O_CLOEXEC) : -1;
    const bool writable = descriptor >= 0;
    if (!writable)
        descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        throw Error("No se puede abrir la tabla " + guillemets(table) + " (" + path.string() +
                    "): " + systemErrorText(errno) + ".");
    }
    const auto inUse = [&] {
        ::close(descriptor);
        throw Error("La tabla " + guillemets(table) + " está en uso por otro programa (" + path.string() +
                    "). Ciérrelo e inténtelo de nuevo.");
    };
    if (::flock(descriptor, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0)
        inUse();
    struct flock range {};
    range.l_type = exclusive && writable ? F_WRLCK : F_RDLCK;
    range.l_whence = SEEK_SET;
    range.l_start = 0;
    range.l_len = 0; // to the end of the file, however long it grows
    // Only a conflict counts; a file system without record locks has none.
    if (::fcntl(descriptor, F_OFD_SETLK, &range) != 0 && (errno == EAGAIN || errno == EACCES))
        inUse();
    return descriptor;
}

WorkingFolderLock::WorkingFolderLock(const std::filesystem::path& folder)
{
    m_descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_descriptor < 0)
        return;
    if (::flock(m_descriptor, LOCK_EX | LOCK_NB) == 0)
        return;
    const int cause = errno;
    ::close(m_descriptor);
    m_descriptor = -1;
    if (cause != EWOULDBLOCK)
        return;
    throw Error("La carpeta de trabajo " + guillemets(folder.string()) +
                " está en uso por otra exportación o importación que aún no ha terminado. Espere a que "
                "termine e inténtelo de nuevo; no se ha cambiado nada.");
}

WorkingFolderLock::~WorkingFolderLock()
{
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}

} // namespace pasavel
