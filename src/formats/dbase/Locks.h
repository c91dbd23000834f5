#pragma once

#include "formats/dbase/Table.h"
#include "platform/FileLock.h"

#include <filesystem>
#include <optional>
#include <string_view>

// The locks by which this program and others keep out of each other's way:
// on a table while it is open, and on a working folder while a run uses it.
namespace pasavel {

// Locks a table's file; shared locks coexist, an exclusive one keeps every
// other opener out. Throws Error, naming the table, when the file cannot be
// opened or another program holds a lock that conflicts.
FileLock lockTableFile(const std::filesystem::path& path, OpenMode mode, std::string_view table);

// An exclusive lock on a working folder for the whole of a run, so that a
// second run on the same folder is refused before it touches anything. It is
// taken on the folder itself: no file is added to it. A folder that cannot be
// opened is not locked; the run then reports what is wrong with it.
class WorkingFolderLock {
  public:
    // Throws Error, naming the folder, when another run holds it.
    explicit WorkingFolderLock(const std::filesystem::path& folder);

  private:
    std::optional<FileLock> m_lock;
};

} // namespace pasavel
