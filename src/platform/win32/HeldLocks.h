#pragma once

#include <filesystem>
#include <functional>

namespace pasavel::win32 {

// Runs replace with every lock this process holds on file released and its
// handle closed (Windows renames nothing over an open file), then takes each
// lock again on the file that replace left there. A lock that another
// process takes in between is lost; the caller finds out when it locks again.
void withLocksSteppedAside(const std::filesystem::path& file, const std::function<void()>& replace);

} // namespace pasavel::win32
