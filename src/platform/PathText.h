#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// The program's text is UTF-8; a path is whatever the system names files
// with. On Windows the two differ: a path built from a narrow string reads it
// in the ANSI code page, so "Ñoño" in UTF-8 would name another file. Paths
// that come from text (arguments, settings) and paths that become text
// (messages) go through these.
namespace pasavel {

inline std::filesystem::path pathFromUtf8(std::string_view text)
{
#ifdef _WIN32
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
#else
    // File names are bytes here: kept as they are, valid UTF-8 or not.
    return std::filesystem::path(std::string(text));
#endif
}

inline std::string pathToUtf8(const std::filesystem::path& path)
{
#ifdef _WIN32
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
#else
    return path.string();
#endif
}

} // namespace pasavel
