#include "formats/dbase/Locks.h"

#include "base/Error.h"
#include "platform/SystemError.h"

#include <string>

namespace pasavel {

FileLock lockTableFile(const std::filesystem::path& path, OpenMode mode, std::string_view table)
{
    const FileLock::Kind kind =
        mode == OpenMode::Exclusive ? FileLock::Kind::Exclusive : FileLock::Kind::Shared;
    std::optional<FileLock> lock;
    try {
        lock = FileLock::tryLockFile(path, kind);
    } catch (const SystemError& error) {
        throw Error("No se puede abrir la tabla " + guillemets(table) + " (" + path.string() +
                    "): " + error.what() + ".");
    }
    if (!lock) {
        throw Error("La tabla " + guillemets(table) + " está en uso por otro programa (" + path.string() +
                    "). Ciérrelo e inténtelo de nuevo.");
    }
    return std::move(*lock);
}

WorkingFolderLock::WorkingFolderLock(const std::filesystem::path& folder)
    : m_lock(FileLock::tryLockFolder(folder))
{
    if (!m_lock) {
        throw Error("La carpeta de trabajo " + guillemets(folder.string()) +
                    " está en uso por otra exportación o importación que aún no ha terminado. Espere a que "
                    "termine e inténtelo de nuevo; no se ha cambiado nada.");
    }
}

} // namespace pasavel
