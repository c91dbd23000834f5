#include "formats/NormalisedCopy.h"

#include "app/Error.h"
#include "formats/Encoding.h"
#include "formats/Files.h"
#include "formats/XmlDocument.h"

namespace pasavel {

namespace {

enum class Mark { None, Utf8, Utf16LittleEndian, Utf16BigEndian };

const std::string_view utf8Mark = "\xEF\xBB\xBF";
const std::string_view utf16LittleEndianMark = "\xFF\xFE";
const std::string_view utf16BigEndianMark = "\xFE\xFF";

Mark markOf(std::string_view bytes)
{
    if (bytes.starts_with(utf8Mark))
        return Mark::Utf8;
    if (bytes.starts_with(utf16LittleEndianMark))
        return Mark::Utf16LittleEndian;
    if (bytes.starts_with(utf16BigEndianMark))
        return Mark::Utf16BigEndian;
    return Mark::None;
}

// Every line, the last one included, ends with CR LF; then one more CR LF.
std::u16string withCrLfLines(std::u16string_view text)
{
    std::u16string lines;
    lines.reserve(text.size() + text.size() / 32 + 4);
    std::size_t index = 0;
    while (index < text.size()) {
        const std::size_t lineEnd = text.find_first_of(u"\r\n", index);
        if (lineEnd == std::u16string_view::npos) {
            lines.append(text.substr(index));
            lines += u"\r\n";
            break;
        }
        lines.append(text.substr(index, lineEnd - index));
        lines += u"\r\n";
        index = lineEnd + (text.substr(lineEnd).starts_with(u"\r\n") ? 2 : 1);
    }
    lines += u"\r\n";
    return lines;
}

// The encoding named by an XML declaration at the start of the text, or empty.
std::string declaredEncoding(std::u16string_view text)
{
    if (!text.starts_with(u"<?xml"))
        return {};
    const std::u16string_view declaration = text.substr(0, text.find(u"?>"));
    const std::size_t keyword = declaration.find(u"encoding");
    if (keyword == std::u16string_view::npos)
        return {};
    std::size_t index = keyword + 8;
    const auto skipSpaces = [&] {
        while (index < declaration.size() && (declaration[index] == u' ' || declaration[index] == u'\t' ||
                                              declaration[index] == u'\r' || declaration[index] == u'\n'))
            ++index;
    };
    skipSpaces();
    if (index >= declaration.size() || declaration[index] != u'=')
        return {};
    ++index;
    skipSpaces();
    if (index >= declaration.size() || (declaration[index] != u'"' && declaration[index] != u'\''))
        return {};
    const char16_t quote = declaration[index++];
    const std::size_t closing = declaration.find(quote, index);
    if (closing == std::u16string_view::npos)
        return {};
    std::string name;
    for (char16_t character : declaration.substr(index, closing - index)) {
        if (character > 0x7F)
            return {};
        name += static_cast<char>(character);
    }
    return name;
}

std::string toUtf16Bytes(std::u16string_view text, bool bigEndian)
{
    std::string bytes;
    bytes.reserve(text.size() * 2);
    for (char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

std::string encodeLikeDeclaration(std::u16string_view text)
{
    const std::string encoding = declaredEncoding(text);
    if (encoding.empty())
        return toUtf8(text);
    return encodeAs(text, encoding);
}

} // namespace

std::filesystem::path normalisedCopyPath(const std::filesystem::path& chosen)
{
    std::filesystem::path copy = chosen;
    copy += "-copia";
    return copy;
}

std::string normalisedCopyBytes(std::string_view fileBytes)
{
    switch (markOf(fileBytes)) {
    case Mark::Utf8:
        return std::string(utf8Mark) + toUtf8(withCrLfLines(fromUtf8(fileBytes.substr(utf8Mark.size()))));
    case Mark::Utf16LittleEndian:
        return std::string(utf16LittleEndianMark) +
               toUtf16Bytes(withCrLfLines(fromUtf16(fileBytes.substr(2), false)), false);
    case Mark::Utf16BigEndian:
        return std::string(utf16BigEndianMark) +
               toUtf16Bytes(withCrLfLines(fromUtf16(fileBytes.substr(2), true)), true);
    case Mark::None:
        break;
    }
    const std::u16string text = isValidUtf8(fileBytes) ? fromUtf8(fileBytes) : fromWindows1252(fileBytes);
    return encodeLikeDeclaration(withCrLfLines(text));
}

ChosenDocument readChosenDocument(const std::filesystem::path& chosen)
{
    std::string copyBytes = normalisedCopyBytes(XmlDocument::readFile(chosen));
    XmlDocument document = XmlDocument::parseText(copyBytes, chosen.string());
    return {std::move(copyBytes), std::move(document)};
}

std::filesystem::path writeNormalisedCopy(const std::filesystem::path& chosen)
{
    const std::string bytes = XmlDocument::readFile(chosen);
    const std::filesystem::path copy = normalisedCopyPath(chosen);
    writeFileAtomically(copy, normalisedCopyBytes(bytes));
    return copy;
}

} // namespace pasavel
