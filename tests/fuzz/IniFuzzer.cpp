// The INI writer over whatever a file held before: it sets the run result
// (Transformadores / Transformado) and must keep every other line byte for
// byte. The only changes allowed are the key's line replaced in place (its
// line break kept), or the key's line (after a new section header when the
// section is missing) inserted at one place, with a line break added to the
// line before it when that one had none. The key then reads back as set.

#include "FuzzSupport.h"

#include "formats/IniFile.h"

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using namespace pasavel;
using fuzz::broken;

namespace {

// A line and its own line break, split independently of the writer.
struct Line {
    std::string content;
    std::string lineBreak;
    bool operator==(const Line&) const = default;
};

std::vector<Line> lines(std::string_view text)
{
    std::vector<Line> result;
    Line line;
    for (std::size_t index = 0; index < text.size(); ++index) {
        const char character = text[index];
        if (character != '\r' && character != '\n') {
            line.content += character;
            continue;
        }
        line.lineBreak = character;
        if (character == '\r' && index + 1 < text.size() && text[index + 1] == '\n')
            line.lineBreak += text[++index];
        result.push_back(line);
        line = {};
    }
    if (!line.content.empty())
        result.push_back(line);
    return result;
}

std::string trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return std::string(text);
}

std::string lowered(std::string text)
{
    for (char& character : text)
        character = static_cast<char>(std::tolower(static_cast<unsigned char>(character)));
    return text;
}

// Whether the line is a section header, and which section it opens.
bool isHeader(const std::string& content, std::string& section)
{
    const std::string text = trimmed(content);
    const std::size_t closing = text.find(']');
    if (text.size() < 2 || text.front() != '[' || closing == std::string::npos)
        return false;
    section = lowered(trimmed(text.substr(1, closing - 1)));
    return true;
}

// The value of the key in the first section of that name, as a reader of
// INI files finds it.
std::string readBack(const std::vector<Line>& fileLines, const std::string& section, const std::string& key)
{
    bool inSection = false;
    bool sectionSeen = false;
    for (const Line& line : fileLines) {
        std::string header;
        if (isHeader(line.content, header)) {
            if (inSection)
                break;
            inSection = !sectionSeen && header == lowered(section);
            sectionSeen = sectionSeen || inSection;
            continue;
        }
        const std::string text = trimmed(line.content);
        const std::size_t equals = text.find('=');
        if (!inSection || text.starts_with(";") || text.starts_with("#") || equals == std::string::npos)
            continue;
        if (lowered(trimmed(text.substr(0, equals))) == lowered(key))
            return text.substr(equals + 1);
    }
    return "(no está)";
}

bool sameButAddedBreak(const Line& before, const Line& after)
{
    return before == after || (before.lineBreak.empty() && before.content == after.content);
}

// Whether the text after is the text before with the new lines at this
// place: every line before it equal (the one just before may have gained a
// line break), every line after it equal.
bool insertedAt(std::size_t place, std::size_t equalPrefix, std::size_t equalSuffix,
                const std::vector<Line>& before, const std::vector<Line>& after)
{
    if (place > 0 && (place - 1 > equalPrefix || !sameButAddedBreak(before[place - 1], after[place - 1])))
        return false;
    return before.size() - place <= equalSuffix;
}

void checkOnlyTheKeyChanged(const std::vector<Line>& before, const std::vector<Line>& after,
                            const std::string& sectionLine, const std::string& keyLine)
{
    if (after.size() == before.size()) {
        std::size_t changed = 0;
        for (std::size_t index = 0; index < before.size(); ++index) {
            if (before[index] == after[index])
                continue;
            ++changed;
            if (after[index].content != keyLine || after[index].lineBreak != before[index].lineBreak)
                broken("line " + std::to_string(index + 1) + " changed");
        }
        if (changed > 1)
            broken(std::to_string(changed) + " lines changed");
        return;
    }
    if (after.size() < before.size() || after.size() > before.size() + 2)
        broken("lines were lost or too many were added");
    const std::size_t inserted = after.size() - before.size();
    std::size_t equalPrefix = 0;
    while (equalPrefix < before.size() && before[equalPrefix] == after[equalPrefix])
        ++equalPrefix;
    std::size_t equalSuffix = 0;
    while (equalSuffix < before.size() &&
           before[before.size() - 1 - equalSuffix] == after[after.size() - 1 - equalSuffix])
        ++equalSuffix;
    for (std::size_t place = 0; place <= before.size(); ++place) {
        if (!insertedAt(place, equalPrefix, equalSuffix, before, after))
            continue;
        const bool keyInserted = after[place + inserted - 1].content == keyLine;
        const bool headerInserted = inserted == 1 || after[place].content == sectionLine;
        if (keyInserted && headerInserted)
            return;
    }
    broken("other lines changed where the key was added");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the value and the letter case the program uses
    // for the names; the rest is the file as it stood.
    static const char* const values[] = {"1", "0", "-1"};
    const std::string value = values[data[0] % 3];
    const std::string section = (data[0] & 0x10) != 0 ? "TRANSFORMADORES" : "Transformadores";
    const std::string key = (data[0] & 0x20) != 0 ? "transformado" : "Transformado";
    const std::string_view before(reinterpret_cast<const char*>(data) + 1, size - 1);

    const std::string after = withIniValue(before, section, key, value);
    checkOnlyTheKeyChanged(lines(before), lines(after), "[" + section + "]", key + "=" + value);
    if (readBack(lines(after), section, key) != value)
        broken("the key does not read back as set");

    // The file itself ends up holding exactly that text.
    const std::filesystem::path file = fuzz::scratchFolder() / "Velmora.ini";
    fuzz::writeFile(file, before);
    writeIniValue(file, section, key, value);
    std::FILE* stream = std::fopen(file.c_str(), "rb");
    std::string written(after.size() + 1, '\0');
    const std::size_t read = stream != nullptr ? std::fread(written.data(), 1, written.size(), stream) : 0;
    if (stream != nullptr)
        std::fclose(stream);
    if (std::string_view(written).substr(0, read) != after)
        broken("the file does not hold the text written");
    return 0;
}
