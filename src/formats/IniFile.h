#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace pasavel {

// Sets one key of one section of an INI file and keeps every other line byte
// for byte. Sections and keys are matched without regard to letter case, as
// Windows does; a missing key is added at the end of its section, a missing
// section at the end of the file, a missing file is created. The file is
// replaced atomically, except a file that may be written in a folder that may
// not: that one is rewritten in place. When the path is a link, the link
// stays and the file it names is the one written.
void writeIniValue(const std::filesystem::path& file, std::string_view section, std::string_view key,
                   std::string_view value);

// The value of one key of one section (letter case ignored, as the writer
// matches them), or nothing when the text has none.
std::optional<std::string> iniValue(std::string_view text, std::string_view section, std::string_view key);

// The same change on the file's text, for a file that may not exist yet
// (empty text).
std::string withIniValue(std::string_view text, std::string_view section, std::string_view key,
                         std::string_view value);

} // namespace pasavel
