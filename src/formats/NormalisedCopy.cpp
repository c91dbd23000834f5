#include "formats/NormalisedCopy.h"

#include "app/Error.h"
#include "formats/Encoding.h"
#include "formats/Files.h"
#include "formats/XmlDocument.h"

#include <algorithm>
#include <memory>

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

void appendUtf16Bytes(std::u16string_view text, bool bigEndian, std::string& bytes)
{
    for (char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
}

bool isHighSurrogate(char16_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

// The copy is made a piece at a time: each piece of the file is decoded, its
// line breaks made CR LF and the result encoded, so that besides the file and
// the copy only a piece is ever held. A piece of text keeps back its last unit
// when that is a CR (whose LF may start the next piece: one line break) or the
// first half of a surrogate pair.
class CopyWriter {
  public:
    enum class Output { Utf8, Utf16LittleEndian, Utf16BigEndian, AsDeclared };

    CopyWriter(Output output, std::string& copy) : m_output(output), m_copy(copy) {}

    void add(std::u16string_view text)
    {
        m_pending.append(text);
        if (m_pending.empty())
            return;
        const char16_t last = m_pending.back();
        const bool keepLast = last == u'\r' || isHighSurrogate(last);
        normalise(std::u16string_view(m_pending).substr(0, m_pending.size() - (keepLast ? 1 : 0)));
        m_pending.erase(0, m_pending.size() - (keepLast ? 1 : 0));
    }

    // Every line, the last one included, ends with CR LF; then one more CR LF.
    void finish()
    {
        normalise(m_pending);
        m_pending.clear();
        if (m_anyText && !m_atLineStart)
            m_lines += u"\r\n";
        m_lines += u"\r\n";
        m_atEnd = true;
        encodeLines();
    }

  private:
    void normalise(std::u16string_view text)
    {
        for (char16_t unit : text) {
            m_anyText = true;
            if (unit == u'\n' && m_afterCr) {
                m_afterCr = false;
                continue;
            }
            m_afterCr = unit == u'\r';
            m_atLineStart = unit == u'\r' || unit == u'\n';
            if (m_atLineStart)
                m_lines += u"\r\n";
            else
                m_lines += unit;
        }
        encodeLines();
    }

    // The encoding that the XML declaration names is known once the text is
    // known up to the declaration's end; until then the lines wait.
    void encodeLines()
    {
        if (m_output == Output::AsDeclared && !m_encoder && !m_utf8Declared) {
            const bool decidable = m_atEnd || (m_lines.size() >= 5 && !m_lines.starts_with(u"<?xml")) ||
                                   m_lines.find(u"?>") != std::u16string::npos;
            if (!decidable)
                return;
            const std::string encoding = declaredEncoding(m_lines);
            if (encoding.empty())
                m_utf8Declared = true;
            else
                m_encoder = std::make_unique<PieceEncoder>(encoding);
        }
        switch (m_output) {
        case Output::Utf8:
            m_copy += toUtf8(m_lines);
            break;
        case Output::Utf16LittleEndian:
        case Output::Utf16BigEndian:
            appendUtf16Bytes(m_lines, m_output == Output::Utf16BigEndian, m_copy);
            break;
        case Output::AsDeclared:
            if (m_encoder)
                m_encoder->append(m_lines, m_copy);
            else
                m_copy += toUtf8(m_lines);
            break;
        }
        m_lines.clear();
    }

    Output m_output;
    std::string& m_copy;
    std::u16string m_pending;
    std::u16string m_lines;
    bool m_anyText = false;
    bool m_afterCr = false;
    bool m_atLineStart = false;
    bool m_atEnd = false;
    bool m_utf8Declared = false;
    std::unique_ptr<PieceEncoder> m_encoder;
};

constexpr std::size_t pieceBytes = 1 << 16;

// Feeds the bytes to the writer a piece at a time, each piece decoded by
// DECODE. A piece ends where CUT_AT allows, at or after its nominal end.
template <typename Decode, typename CutAt>
void copyInPieces(std::string_view bytes, CopyWriter& writer, Decode decode, CutAt cutAt)
{
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = std::min(bytes.size(), start + pieceBytes);
        while (end < bytes.size() && !cutAt(bytes, end))
            ++end;
        writer.add(decode(bytes.substr(start, end - start)));
        start = end;
    }
    writer.finish();
}

// A UTF-8 sequence, valid or not, never goes on past a byte that is no
// continuation byte: the text decodes the same cut there.
bool utf8CutAt(std::string_view bytes, std::size_t index)
{
    return (static_cast<unsigned char>(bytes[index]) & 0xC0) != 0x80;
}

bool evenCutAt(std::string_view, std::size_t index)
{
    return index % 2 == 0;
}

bool anyCutAt(std::string_view, std::size_t)
{
    return true;
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
    std::string copy;
    // Room for the file and a CR for each LF: the copy rarely needs more.
    copy.reserve(fileBytes.size() +
                 static_cast<std::size_t>(std::count(fileBytes.begin(), fileBytes.end(), '\n')) + 16);
    const auto utf16 = [](bool bigEndian) {
        return [bigEndian](std::string_view piece) { return fromUtf16(piece, bigEndian); };
    };
    switch (markOf(fileBytes)) {
    case Mark::Utf8: {
        copy += utf8Mark;
        CopyWriter writer(CopyWriter::Output::Utf8, copy);
        copyInPieces(fileBytes.substr(utf8Mark.size()), writer, fromUtf8, utf8CutAt);
        return copy;
    }
    case Mark::Utf16LittleEndian: {
        copy += utf16LittleEndianMark;
        CopyWriter writer(CopyWriter::Output::Utf16LittleEndian, copy);
        copyInPieces(fileBytes.substr(2), writer, utf16(false), evenCutAt);
        return copy;
    }
    case Mark::Utf16BigEndian: {
        copy += utf16BigEndianMark;
        CopyWriter writer(CopyWriter::Output::Utf16BigEndian, copy);
        copyInPieces(fileBytes.substr(2), writer, utf16(true), evenCutAt);
        return copy;
    }
    case Mark::None:
        break;
    }
    CopyWriter writer(CopyWriter::Output::AsDeclared, copy);
    if (isValidUtf8(fileBytes))
        copyInPieces(fileBytes, writer, fromUtf8, utf8CutAt);
    else
        copyInPieces(fileBytes, writer, fromWindows1252, anyCutAt);
    return copy;
}

ChosenDocument readChosenDocument(const std::filesystem::path& chosen, const XmlReading& reading)
{
    std::string copyBytes = normalisedCopyBytes(XmlDocument::readFile(chosen));
    XmlDocument document = XmlDocument::parseText(copyBytes, chosen.string(), reading);
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
