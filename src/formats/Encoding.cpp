#include "formats/Encoding.h"

#include "base/Error.h"
#include "platform/CodePages.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <memory>
#include <utility>

namespace pasavel {

namespace {

constexpr char32_t replacementCharacter = 0xFFFD;

// Length of the UTF-8 sequence starting at bytes[index] and its code point,
// or 0 when the sequence is not valid UTF-8.
std::pair<std::size_t, char32_t> decodeUtf8Sequence(std::string_view bytes, std::size_t index)
{
    const auto byteAt = [&](std::size_t offset) { return static_cast<unsigned char>(bytes[index + offset]); };
    const unsigned char lead = byteAt(0);
    if (lead < 0x80)
        return {1, lead};
    std::size_t length = 0;
    char32_t codePoint = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, codePoint = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, codePoint = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, codePoint = lead & 0x07, minimum = 0x10000;
    } else {
        return {0, 0};
    }
    if (index + length > bytes.size())
        return {0, 0};
    for (std::size_t offset = 1; offset < length; ++offset) {
        if ((byteAt(offset) & 0xC0) != 0x80)
            return {0, 0};
        codePoint = (codePoint << 6) | (byteAt(offset) & 0x3F);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return {0, 0};
    return {length, codePoint};
}

void appendUtf16(std::u16string& text, char32_t codePoint)
{
    if (codePoint < 0x10000) {
        text += static_cast<char16_t>(codePoint);
    } else {
        codePoint -= 0x10000;
        text += static_cast<char16_t>(0xD800 + (codePoint >> 10));
        text += static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
    }
}

void appendUtf8(std::string& bytes, char32_t codePoint)
{
    if (codePoint < 0x80) {
        bytes += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        bytes += static_cast<char>(0xC0 | (codePoint >> 6));
        bytes += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        bytes += static_cast<char>(0xE0 | (codePoint >> 12));
        bytes += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        bytes += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        bytes += static_cast<char>(0xF0 | (codePoint >> 18));
        bytes += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        bytes += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        bytes += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

// Walks UTF-16 text by code point; a lone surrogate yields U+FFFD.
template <typename Visit> void forEachCodePoint(std::u16string_view text, Visit visit)
{
    for (std::size_t index = 0; index < text.size(); ++index) {
        const char16_t unit = text[index];
        if (unit >= 0xD800 && unit <= 0xDBFF && index + 1 < text.size() && text[index + 1] >= 0xDC00 &&
            text[index + 1] <= 0xDFFF) {
            visit(0x10000 + ((char32_t(unit) - 0xD800) << 10) + (char32_t(text[index + 1]) - 0xDC00));
            ++index;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            visit(replacementCharacter);
        } else {
            visit(unit);
        }
    }
}

// Windows-1252 bytes 0x80 to 0x9F; the rest of the code page equals Latin-1.
constexpr std::array<char16_t, 32> windows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

struct BaseLetter {
    char16_t character;
    char16_t base;
};
constexpr BaseLetter baseLetters[] = {
#include "formats/BaseLetters.inc"
};

int windows1252Byte(char16_t character)
{
    if (character < 0x80 || (character >= 0xA0 && character <= 0xFF))
        return character;
    const auto found = std::find(windows1252High.begin(), windows1252High.end(), character);
    if (found != windows1252High.end())
        return 0x80 + static_cast<int>(found - windows1252High.begin());
    return -1;
}

// Into a buffer the caller keeps from piece to piece.
void toUtf32(std::u16string_view text, std::u32string& codePoints)
{
    codePoints.clear();
    codePoints.reserve(text.size());
    forEachCodePoint(text, [&](char32_t codePoint) { codePoints += codePoint; });
}

// Room for what an append adds, growing as appends do.
template <typename Text> void makeRoom(Text& text, std::size_t added)
{
    if (text.capacity() - text.size() < added)
        text.reserve(std::max(text.size() + added, 2 * text.capacity()));
}

} // namespace

bool isValidUtf8(std::string_view bytes)
{
    for (std::size_t index = 0; index < bytes.size();) {
        const auto [length, codePoint] = decodeUtf8Sequence(bytes, index);
        if (length == 0)
            return false;
        index += length;
    }
    return true;
}

std::u16string fromUtf8(std::string_view bytes)
{
    std::u16string text;
    appendFromUtf8(bytes, text);
    return text;
}

void appendFromUtf8(std::string_view bytes, std::u16string& text)
{
    makeRoom(text, bytes.size());
    for (std::size_t index = 0; index < bytes.size();) {
        const auto [length, codePoint] = decodeUtf8Sequence(bytes, index);
        appendUtf16(text, length == 0 ? replacementCharacter : codePoint);
        index += length == 0 ? 1 : length;
    }
}

std::string toUtf8(std::u16string_view text)
{
    std::string bytes;
    appendAsUtf8(text, bytes);
    return bytes;
}

void appendAsUtf8(std::u16string_view text, std::string& bytes)
{
    makeRoom(bytes, text.size());
    forEachCodePoint(text, [&](char32_t codePoint) { appendUtf8(bytes, codePoint); });
}

std::u16string fromWindows1252(std::string_view bytes)
{
    std::u16string text;
    appendFromWindows1252(bytes, text);
    return text;
}

void appendFromWindows1252(std::string_view bytes, std::u16string& text)
{
    makeRoom(text, bytes.size());
    for (char byte : bytes) {
        const auto value = static_cast<unsigned char>(byte);
        text += (value >= 0x80 && value < 0xA0) ? windows1252High[value - 0x80] : char16_t(value);
    }
}

std::string toWindows1252(std::u16string_view text)
{
    std::string bytes;
    bytes.reserve(text.size());
    forEachCodePoint(text, [&](char32_t codePoint) {
        int byte = codePoint < 0x10000 ? windows1252Byte(static_cast<char16_t>(codePoint)) : -1;
        if (byte < 0 && codePoint < 0x10000) {
            const auto found = std::lower_bound(
                std::begin(baseLetters), std::end(baseLetters), static_cast<char16_t>(codePoint),
                [](const BaseLetter& entry, char16_t character) { return entry.character < character; });
            if (found != std::end(baseLetters) && found->character == codePoint)
                byte = windows1252Byte(found->base);
        }
        bytes += static_cast<char>(byte < 0 ? '?' : byte);
    });
    return bytes;
}

std::u16string fromUtf16(std::string_view bytes, bool bigEndian)
{
    std::u16string text;
    appendFromUtf16(bytes, bigEndian, text);
    return text;
}

void appendFromUtf16(std::string_view bytes, bool bigEndian, std::u16string& text)
{
    makeRoom(text, bytes.size() / 2 + 1);
    for (std::size_t index = 0; index + 1 < bytes.size(); index += 2) {
        const auto first = static_cast<unsigned char>(bytes[index]);
        const auto second = static_cast<unsigned char>(bytes[index + 1]);
        text += static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
    }
    if (bytes.size() % 2 != 0)
        text += static_cast<char16_t>(replacementCharacter);
}

std::u16string decodeAs(std::string_view bytes, const std::string& encodingName)
{
    return decodeWithCodePage(bytes, encodingName);
}

struct PieceEncoder::Converter {
    CodePageEncoder encoder;
    // The code points of the piece in hand, in a buffer kept from piece to piece.
    std::u32string codePoints;
};

PieceEncoder::PieceEncoder(const std::string& encodingName)
    : m_converter(new Converter{CodePageEncoder(encodingName), {}})
{
}

PieceEncoder::~PieceEncoder() = default;

void PieceEncoder::append(std::u16string_view piece, std::string& encoded)
{
    // Code points let a character that does not convert be stepped over
    // exactly; the input is walked once, whatever it holds.
    toUtf32(piece, m_converter->codePoints);
    std::u32string_view left = m_converter->codePoints;
    while (!left.empty()) {
        left.remove_prefix(m_converter->encoder.encodeWhilePossible(left, encoded));
        if (left.empty())
            break;
        // The reference is ASCII, which every encoding an XML declaration names can hold.
        const std::string reference = "&#" + std::to_string(static_cast<std::uint32_t>(left.front())) + ";";
        m_converter->encoder.encodeWhilePossible(std::u32string(reference.begin(), reference.end()), encoded);
        left.remove_prefix(1);
    }
}

std::string encodeAs(std::u16string_view text, const std::string& encodingName)
{
    PieceEncoder encoder(encodingName);
    std::string encoded;
    encoded.reserve(text.size());
    // A piece at a time, so that the UTF-32 form of a long text is never whole.
    constexpr std::size_t pieceUnits = 1 << 16;
    while (!text.empty()) {
        std::size_t length = std::min(pieceUnits, text.size());
        if (length < text.size() && text[length - 1] >= 0xD800 && text[length - 1] <= 0xDBFF)
            --length;
        encoder.append(text.substr(0, length), encoded);
        text.remove_prefix(length);
    }
    return encoded;
}

} // namespace pasavel
