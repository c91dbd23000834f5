#include "formats/NormalisedCopy.h"

#include "base/Error.h"
#include "formats/Encoding.h"
#include "formats/XmlDocument.h"
#include "platform/Files.h"

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

    explicit CopyWriter(Output output) : m_output(output) {}

    // Where the encoded lines go from now on.
    void writeTo(std::string& copy) { m_copy = &copy; }

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
            *m_copy += toUtf8(m_lines);
            break;
        case Output::Utf16LittleEndian:
        case Output::Utf16BigEndian:
            appendUtf16Bytes(m_lines, m_output == Output::Utf16BigEndian, *m_copy);
            break;
        case Output::AsDeclared:
            if (m_encoder)
                m_encoder->append(m_lines, *m_copy);
            else
                *m_copy += toUtf8(m_lines);
            break;
        }
        m_lines.clear();
    }

    Output m_output;
    std::string* m_copy = nullptr;
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

// The copy of a file's bytes, made a piece of the file at a time.
class CopyMaker {
  public:
    explicit CopyMaker(std::string_view fileBytes) : m_bytes(fileBytes)
    {
        switch (markOf(fileBytes)) {
        case Mark::Utf8:
            start(utf8Mark, Decoding::Utf8, CopyWriter::Output::Utf8);
            break;
        case Mark::Utf16LittleEndian:
            start(utf16LittleEndianMark, Decoding::Utf16LittleEndian, CopyWriter::Output::Utf16LittleEndian);
            break;
        case Mark::Utf16BigEndian:
            start(utf16BigEndianMark, Decoding::Utf16BigEndian, CopyWriter::Output::Utf16BigEndian);
            break;
        case Mark::None:
            start({}, isValidUtf8(fileBytes) ? Decoding::Utf8 : Decoding::Windows1252,
                  CopyWriter::Output::AsDeclared);
            break;
        }
    }

    // Appends the next part of the copy; false once the copy is complete.
    bool next(std::string& copy)
    {
        if (m_finished)
            return false;
        copy += m_mark;
        m_mark = {};
        m_writer->writeTo(copy);
        if (m_start >= m_bytes.size()) {
            m_writer->finish();
            m_finished = true;
            return true;
        }
        std::size_t end = std::min(m_bytes.size(), m_start + pieceBytes);
        while (end < m_bytes.size() && !cutAt(end))
            ++end;
        m_writer->add(decode(m_bytes.substr(m_start, end - m_start)));
        m_start = end;
        return true;
    }

  private:
    enum class Decoding { Utf8, Utf16LittleEndian, Utf16BigEndian, Windows1252 };

    void start(std::string_view mark, Decoding decoding, CopyWriter::Output output)
    {
        m_mark = mark;
        m_bytes.remove_prefix(mark.size());
        m_decoding = decoding;
        m_writer = std::make_unique<CopyWriter>(output);
    }

    // Where a piece may end: the text must decode the same cut there.
    bool cutAt(std::size_t index) const
    {
        switch (m_decoding) {
        case Decoding::Utf8:
            return utf8CutAt(m_bytes, index);
        case Decoding::Utf16LittleEndian:
        case Decoding::Utf16BigEndian:
            return evenCutAt(m_bytes, index);
        case Decoding::Windows1252:
            break;
        }
        return anyCutAt(m_bytes, index);
    }

    std::u16string decode(std::string_view piece) const
    {
        switch (m_decoding) {
        case Decoding::Utf8:
            return fromUtf8(piece);
        case Decoding::Utf16LittleEndian:
            return fromUtf16(piece, false);
        case Decoding::Utf16BigEndian:
            return fromUtf16(piece, true);
        case Decoding::Windows1252:
            break;
        }
        return fromWindows1252(piece);
    }

    std::string_view m_bytes;
    std::string_view m_mark;
    Decoding m_decoding = Decoding::Utf8;
    std::unique_ptr<CopyWriter> m_writer;
    std::size_t m_start = 0;
    bool m_finished = false;
};

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
    CopyMaker maker(fileBytes);
    while (maker.next(copy)) {
    }
    return copy;
}

ChosenDocument readChosenDocument(const std::filesystem::path& chosen, const XmlReading& reading)
{
    std::string copyBytes = normalisedCopyBytes(XmlDocument::readFile(chosen));
    XmlDocument document = XmlDocument::parseText(copyBytes, chosen.string(), reading);
    return {std::move(copyBytes), std::move(document)};
}

XmlDocument parseChosenDocument(const std::filesystem::path& chosen, const XmlReading& reading)
{
    const std::string fileBytes = XmlDocument::readFile(chosen);
    CopyMaker maker(fileBytes);
    std::string piece;
    std::size_t given = 0;
    const auto read = [&](char* buffer, std::size_t length) {
        while (given == piece.size()) {
            piece.clear();
            given = 0;
            if (!maker.next(piece))
                return std::size_t{0};
        }
        const std::size_t count = std::min(length, piece.size() - given);
        piece.copy(buffer, count, given);
        given += count;
        return count;
    };
    return XmlDocument::parseStream(read, chosen.string(), reading);
}

std::filesystem::path writeNormalisedCopy(const std::filesystem::path& chosen)
{
    const std::string bytes = XmlDocument::readFile(chosen);
    const std::filesystem::path copy = normalisedCopyPath(chosen);
    writeFileAtomically(copy, normalisedCopyBytes(bytes));
    return copy;
}

} // namespace pasavel
