#include "formats/IniFile.h"

#include "base/Error.h"
#include "platform/Files.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <vector>

namespace pasavel {

namespace {

// One line of the file with its own line break ("\r\n", "\n", "\r" or none).
struct Line {
    std::string_view content;
    std::string_view lineBreak;
};

std::vector<Line> splitLines(std::string_view text)
{
    std::vector<Line> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.push_back({text.substr(start), {}});
            break;
        }
        const std::size_t breakLength = text.substr(end).starts_with("\r\n") ? 2 : 1;
        lines.push_back({text.substr(start, end - start), text.substr(end, breakLength)});
        start = end + breakLength;
    }
    return lines;
}

std::string_view trimmed(std::string_view text)
{
    const auto isSpace = [](char character) { return character == ' ' || character == '\t'; };
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

bool equalIgnoringCase(std::string_view left, std::string_view right)
{
    return left.size() == right.size() &&
           std::equal(left.begin(), left.end(), right.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

// The section a header line opens, or nothing when the line is no header.
std::optional<std::string_view> sectionHeader(std::string_view content)
{
    const std::string_view text = trimmed(content);
    if (text.size() < 2 || text.front() != '[' || text.find(']') == std::string_view::npos)
        return std::nullopt;
    return trimmed(text.substr(1, text.find(']') - 1));
}

bool isKeyLine(std::string_view content, std::string_view key)
{
    const std::string_view text = trimmed(content);
    if (text.starts_with(";") || text.starts_with("#"))
        return false;
    const std::size_t equals = text.find('=');
    return equals != std::string_view::npos && equalIgnoringCase(trimmed(text.substr(0, equals)), key);
}

// The file a chain of links ends at; the path itself when it is no link.
std::filesystem::path followLinks(std::filesystem::path file)
{
    std::error_code error;
    for (int hop = 0; hop < 16 && std::filesystem::is_symlink(file, error); ++hop) {
        const std::filesystem::path target = std::filesystem::read_symlink(file, error);
        if (error)
            break;
        file = target.is_absolute() ? target : file.parent_path() / target;
    }
    return file;
}

} // namespace

std::string withIniValue(std::string_view text, std::string_view section, std::string_view key,
                         std::string_view value)
{
    const std::vector<Line> lines = splitLines(text);
    // New lines follow the file's own line breaks; a new file gets Windows ones.
    const auto withBreak =
        std::find_if(lines.begin(), lines.end(), [](const Line& line) { return !line.lineBreak.empty(); });
    const std::string newline = withBreak == lines.end() ? "\r\n" : std::string(withBreak->lineBreak);
    const std::string keyLine = std::string(key) + "=" + std::string(value);

    // The section may be the file's last line, so "not found" is no position.
    bool sectionFound = false;
    std::size_t insertAt = lines.size();
    for (std::size_t index = 0; index < lines.size(); ++index) {
        const auto header = sectionHeader(lines[index].content);
        if (!sectionFound) {
            if (header && equalIgnoringCase(*header, section)) {
                sectionFound = true;
                insertAt = index + 1;
            }
            continue;
        }
        if (header)
            break;
        if (isKeyLine(lines[index].content, key)) {
            // Replace the value in place; the line keeps its own line break.
            std::string result;
            for (std::size_t other = 0; other < lines.size(); ++other) {
                result += other == index ? std::string_view(keyLine) : lines[other].content;
                result += lines[other].lineBreak;
            }
            return result;
        }
        if (!trimmed(lines[index].content).empty())
            insertAt = index + 1;
    }

    std::string result;
    const auto appendLine = [&](std::string_view content, std::string_view lineBreak) {
        result += content;
        result += lineBreak;
    };
    for (std::size_t index = 0; index < insertAt; ++index)
        appendLine(lines[index].content, index + 1 == insertAt && lines[index].lineBreak.empty()
                                             ? std::string_view(newline)
                                             : lines[index].lineBreak);
    if (!sectionFound)
        appendLine("[" + std::string(section) + "]", newline);
    // A lone CR before an empty line that ends in LF would read as one CR LF
    // and swallow that line.
    const bool beforeLoneLineFeed =
        insertAt < lines.size() && lines[insertAt].content.empty() && lines[insertAt].lineBreak == "\n";
    appendLine(keyLine,
               newline == "\r" && beforeLoneLineFeed ? std::string_view("\r\n") : std::string_view(newline));
    for (std::size_t index = insertAt; index < lines.size(); ++index)
        appendLine(lines[index].content, lines[index].lineBreak);
    return result;
}

void writeIniValue(const std::filesystem::path& file, std::string_view section, std::string_view key,
                   std::string_view value)
{
    // A link is kept and the file it names changes: an installed program's
    // folder belongs to root, and its Velmora.ini links to a shared file.
    const std::filesystem::path target = followLinks(file);
    std::string text;
    std::error_code error;
    if (std::filesystem::exists(target, error)) {
        text = readFileBytes(target);
    }
    const std::string changed = withIniValue(text, section, key, value);
    // A file its users may write in a folder they may not can only be
    // rewritten in place; everywhere else it is replaced atomically.
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    if (!mayWrite(folder) && mayWrite(target)) {
        rewriteFileInPlace(target, changed);
        return;
    }
    writeFileAtomically(target, changed);
}

std::optional<std::string> iniValue(std::string_view text, std::string_view section, std::string_view key)
{
    bool inSection = false;
    for (const Line& line : splitLines(text)) {
        if (const auto header = sectionHeader(line.content)) {
            inSection = equalIgnoringCase(*header, section);
        } else if (inSection && isKeyLine(line.content, key)) {
            const std::string_view content = trimmed(line.content);
            return std::string(trimmed(content.substr(content.find('=') + 1)));
        }
    }
    return std::nullopt;
}

} // namespace pasavel
