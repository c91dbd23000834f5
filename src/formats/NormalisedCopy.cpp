#include "formats/NormalisedCopy.h"

#include "base/Error.h"
#include "formats/Encoding.h"
#include "formats/XmlDocument.h"
#include "platform/Files.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <optional>
#include <utility>

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
// line breaks made CR LF and the result encoded, so that only a piece of the
// text is ever held. A piece of text keeps back its last unit when that is a
// CR (whose LF may start the next piece: one line break) or the first half of
// a surrogate pair.
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
            appendAsUtf8(m_lines, *m_copy);
            break;
        case Output::Utf16LittleEndian:
        case Output::Utf16BigEndian:
            appendUtf16Bytes(m_lines, m_output == Output::Utf16BigEndian, *m_copy);
            break;
        case Output::AsDeclared:
            if (m_encoder)
                m_encoder->append(m_lines, *m_copy);
            else
                appendAsUtf8(m_lines, *m_copy);
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

enum class Decoding { Utf8, Utf16LittleEndian, Utf16BigEndian, Windows1252 };

// How a file's bytes become the copy: what the first reading of the file
// finds, the second one follows.
struct CopySource {
    std::string_view mark;
    Decoding decoding = Decoding::Utf8;
    CopyWriter::Output output = CopyWriter::Output::AsDeclared;
};

// The length of the UTF-8 sequence that a byte other than a continuation
// byte starts, as fromUtf8 reads it: 1 for one that starts none.
std::size_t utf8SequenceLength(unsigned char byte)
{
    if (byte >= 0xF8)
        return 1;
    if (byte >= 0xF0)
        return 4;
    if (byte >= 0xE0)
        return 3;
    if (byte >= 0xC0)
        return 2;
    return 1;
}

// How many bytes at the end of a piece to keep for the next one, so that the
// text decodes as it would uncut. Of UTF-8, a sequence of several bytes that
// is not complete: only the last byte that starts one, among the last three,
// can be the start of such, since no sequence goes on past a byte that is no
// continuation byte. Of UTF-16, an odd last byte.
std::size_t keptBack(std::string_view bytes, Decoding decoding)
{
    switch (decoding) {
    case Decoding::Utf8:
        for (std::size_t back = 1; back <= std::min<std::size_t>(3, bytes.size()); ++back) {
            const auto byte = static_cast<unsigned char>(bytes[bytes.size() - back]);
            if ((byte & 0xC0) != 0x80)
                return utf8SequenceLength(byte) > back ? back : 0;
        }
        return 0;
    case Decoding::Utf16LittleEndian:
    case Decoding::Utf16BigEndian:
        return bytes.size() % 2;
    case Decoding::Windows1252:
        break;
    }
    return 0;
}

// The text of some bytes, in place of what text held.
void decode(std::string_view bytes, Decoding decoding, std::u16string& text)
{
    text.clear();
    switch (decoding) {
    case Decoding::Utf8:
        appendFromUtf8(bytes, text);
        return;
    case Decoding::Utf16LittleEndian:
        appendFromUtf16(bytes, false, text);
        return;
    case Decoding::Utf16BigEndian:
        appendFromUtf16(bytes, true, text);
        return;
    case Decoding::Windows1252:
        break;
    }
    appendFromWindows1252(bytes, text);
}

// Takes the bytes of a piece after those kept back from the one before, and
// says where the piece may be cut: the bytes up to there are handed out and
// the rest kept back for the next piece.
class PieceJoiner {
  public:
    template <typename Use> void add(std::string_view piece, Decoding decoding, Use use)
    {
        std::string_view bytes = piece;
        if (!m_kept.empty()) {
            m_kept.append(piece);
            bytes = m_kept;
        }
        const std::size_t cut = bytes.size() - keptBack(bytes, decoding);
        use(bytes.substr(0, cut));
        // The buffer is kept for the next piece rather than made anew.
        if (bytes.data() == m_kept.data())
            m_kept.erase(0, cut);
        else
            m_kept.assign(bytes.substr(cut));
    }

    // What is kept back at the end of the file.
    std::string takeRest() { return std::exchange(m_kept, {}); }

  private:
    std::string m_kept;
};

// The first reading of a file: its byte-order mark, or else whether all of it
// is valid UTF-8. The reading can stop as soon as the answer is known.
class SourceFinder {
  public:
    // Takes the next piece of the file; false once the rest cannot change the
    // answer.
    bool add(std::string_view piece)
    {
        if (!m_markKnown) {
            m_head.append(piece);
            if (m_head.size() < utf8Mark.size())
                return true;
            findMark();
            return m_mark == Mark::None && checkUtf8(std::exchange(m_head, {}));
        }
        return m_mark == Mark::None && checkUtf8(piece);
    }

    CopySource source()
    {
        if (!m_markKnown) {
            findMark();
            checkUtf8(std::exchange(m_head, {}));
        }
        switch (m_mark) {
        case Mark::Utf8:
            return {utf8Mark, Decoding::Utf8, CopyWriter::Output::Utf8};
        case Mark::Utf16LittleEndian:
            return {utf16LittleEndianMark, Decoding::Utf16LittleEndian,
                    CopyWriter::Output::Utf16LittleEndian};
        case Mark::Utf16BigEndian:
            return {utf16BigEndianMark, Decoding::Utf16BigEndian, CopyWriter::Output::Utf16BigEndian};
        case Mark::None:
            break;
        }
        const bool valid = m_validUtf8 && isValidUtf8(m_joiner.takeRest());
        return {{}, valid ? Decoding::Utf8 : Decoding::Windows1252, CopyWriter::Output::AsDeclared};
    }

  private:
    void findMark()
    {
        m_mark = markOf(m_head);
        m_markKnown = true;
    }

    bool checkUtf8(std::string_view piece)
    {
        if (m_validUtf8)
            m_joiner.add(piece, Decoding::Utf8,
                         [&](std::string_view bytes) { m_validUtf8 = isValidUtf8(bytes); });
        return m_validUtf8;
    }

    std::string m_head;
    bool m_markKnown = false;
    Mark m_mark = Mark::None;
    bool m_validUtf8 = true;
    PieceJoiner m_joiner;
};

// The second reading: the copy of a file's bytes, made a piece of the file at
// a time, however the file comes cut.
class CopyMaker {
  public:
    explicit CopyMaker(const CopySource& source)
        : m_source(source), m_markLeft(source.mark.size()), m_writer(source.output)
    {
    }

    // Appends to the copy what the next piece of the file makes of it.
    void add(std::string_view piece, std::string& copy)
    {
        begin(copy);
        // The mark goes into the copy as it stands, not through the text.
        const std::size_t markPart = std::min(m_markLeft, piece.size());
        piece.remove_prefix(markPart);
        m_markLeft -= markPart;
        m_joiner.add(piece, m_source.decoding, [&](std::string_view bytes) {
            decode(bytes, m_source.decoding, m_text);
            m_writer.add(m_text);
        });
    }

    // Appends the end of the copy once the whole file has been added.
    void finish(std::string& copy)
    {
        begin(copy);
        decode(m_joiner.takeRest(), m_source.decoding, m_text);
        m_writer.add(m_text);
        m_writer.finish();
    }

  private:
    void begin(std::string& copy)
    {
        if (!m_begun)
            copy += m_source.mark;
        m_begun = true;
        m_writer.writeTo(copy);
    }

    CopySource m_source;
    std::size_t m_markLeft;
    bool m_begun = false;
    CopyWriter m_writer;
    PieceJoiner m_joiner;
    // The text of the piece in hand: one buffer for all the pieces of a
    // file, not a new one for each (on some systems every large block freed
    // goes back to the system, to be taken from it again for the next piece).
    std::u16string m_text;
};

} // namespace

struct NormalisedCopyMaker::State {
    SourceFinder finder;
    std::optional<CopyMaker> maker;

    CopyMaker& made()
    {
        if (!maker)
            maker.emplace(finder.source());
        return *maker;
    }
};

NormalisedCopyMaker::NormalisedCopyMaker() : m_state(std::make_unique<State>()) {}
NormalisedCopyMaker::~NormalisedCopyMaker() = default;

bool NormalisedCopyMaker::examine(std::string_view piece)
{
    return m_state->finder.add(piece);
}

void NormalisedCopyMaker::add(std::string_view piece, std::string& copy)
{
    m_state->made().add(piece, copy);
}

void NormalisedCopyMaker::finish(std::string& copy)
{
    m_state->made().finish(copy);
}

namespace {

// The copy of a chosen file, made as the file is read: once through to find
// how its bytes are to be read (often stopping after the first piece), once
// more to make the copy a piece at a time.
class ChosenFileCopy {
  public:
    explicit ChosenFileCopy(const std::filesystem::path& chosen) : m_file(examined(chosen, m_maker)) {}

    // Puts the next part of the copy in place of what piece held (it may be
    // empty); false once the copy is complete.
    bool next(std::string& piece)
    {
        piece.clear();
        if (m_complete)
            return false;
        const std::size_t count = m_file.read(m_buffer.data(), m_buffer.size());
        if (count > 0) {
            m_maker.add(std::string_view(m_buffer.data(), count), piece);
        } else {
            m_maker.finish(piece);
            m_complete = true;
        }
        return true;
    }

  private:
    // The first reading, before the file is opened again for the second.
    static const std::filesystem::path& examined(const std::filesystem::path& chosen,
                                                 NormalisedCopyMaker& maker)
    {
        DocumentFileReader file(chosen);
        std::string buffer(pieceBytes, '\0');
        for (std::size_t count = 0; (count = file.read(buffer.data(), buffer.size())) > 0;) {
            if (!maker.examine(std::string_view(buffer.data(), count)))
                break;
        }
        return chosen;
    }

    NormalisedCopyMaker m_maker;
    DocumentFileReader m_file;
    std::string m_buffer = std::string(pieceBytes, '\0');
    bool m_complete = false;
};

// Parses the copy of a chosen file as it is made; each part of the copy goes
// to COPIED too when given, the whole copy even where the parser needs no
// more of it.
XmlDocument parseCopy(const std::filesystem::path& chosen, const XmlReading& reading,
                      const std::function<void(std::string_view part)>& copied)
{
    ChosenFileCopy copy(chosen);
    std::string piece;
    std::size_t given = 0;
    bool complete = false;
    const auto read = [&](char* buffer, std::size_t length) {
        while (given == piece.size()) {
            given = 0;
            if (complete || !copy.next(piece)) {
                complete = true;
                piece.clear();
                return std::size_t{0};
            }
            if (copied)
                copied(piece);
        }
        const std::size_t count = std::min(length, piece.size() - given);
        piece.copy(buffer, count, given);
        given += count;
        return count;
    };
    XmlDocument document = XmlDocument::parseStream(read, chosen.string(), reading);
    if (copied) {
        while (!complete && copy.next(piece))
            copied(piece);
    }
    return document;
}

// Runs READ, which makes the copy and gives each part of it to the function
// it is given, writing the parts into a new copy at COPY_PATH. The new copy
// replaces an earlier one once READ has returned; when READ throws, nothing
// is left of it and the earlier one stays as it was. READ's errors come
// before those of writing the copy, as if the copy were written after the
// reading.
void writeCopyWhileReading(
    const std::filesystem::path& copyPath,
    const std::function<void(const std::function<void(std::string_view part)>& write)>& read)
{
    bool readingStarted = false;
    try {
        replaceFileAtomically(copyPath, [&](const std::filesystem::path& temporary) {
            readingStarted = true;
            std::optional<FileWriter> file;
            std::exception_ptr writeFailure;
            const auto tryWriting = [&](const std::function<void()>& step) {
                if (writeFailure)
                    return;
                try {
                    step();
                } catch (const Error&) {
                    writeFailure = std::current_exception();
                }
            };
            tryWriting([&] { file.emplace(temporary); });
            read([&](std::string_view part) { tryWriting([&] { file->write(part); }); });
            tryWriting([&] { file->close(); });
            if (writeFailure)
                std::rethrow_exception(writeFailure);
        });
    } catch (const Error&) {
        if (readingStarted)
            throw;
        // No copy could be begun (it is read-only, say, or its folder cannot
        // be written): what is wrong with the chosen file is told first all
        // the same.
        read([](std::string_view) {});
        throw;
    }
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
    NormalisedCopyMaker maker;
    maker.examine(fileBytes);
    for (std::size_t start = 0; start < fileBytes.size(); start += pieceBytes)
        maker.add(fileBytes.substr(start, pieceBytes), copy);
    maker.finish(copy);
    return copy;
}

ChosenDocument readChosenDocument(const std::filesystem::path& chosen, const XmlReading& reading)
{
    std::string copyBytes;
    // Room for the file and for some of its line breaks made longer, so that
    // the copy is seldom moved to a larger place while the tree grows beside it.
    std::error_code unknownSize;
    const std::uintmax_t fileSize = std::filesystem::file_size(chosen, unknownSize);
    if (!unknownSize && fileSize <= XmlDocument::maximumSize)
        copyBytes.reserve(static_cast<std::size_t>(fileSize + fileSize / 8 + 16));
    XmlDocument document = parseCopy(chosen, reading, [&](std::string_view part) { copyBytes += part; });
    return {std::move(copyBytes), std::move(document)};
}

XmlDocument parseChosenDocument(const std::filesystem::path& chosen, const XmlReading& reading)
{
    return parseCopy(chosen, reading, {});
}

XmlDocument parseChosenDocumentWritingCopy(const std::filesystem::path& chosen, const XmlReading& reading,
                                           const std::function<void(const XmlDocument& document)>& accept)
{
    std::optional<XmlDocument> document;
    writeCopyWhileReading(normalisedCopyPath(chosen), [&](const auto& write) {
        XmlDocument parsed = parseCopy(chosen, reading, write);
        accept(parsed);
        document = std::move(parsed);
    });
    return std::move(*document);
}

std::filesystem::path writeNormalisedCopy(const std::filesystem::path& chosen)
{
    const std::filesystem::path copy = normalisedCopyPath(chosen);
    writeCopyWhileReading(copy, [&](const auto& write) {
        ChosenFileCopy made(chosen);
        std::string piece;
        while (made.next(piece))
            write(piece);
    });
    return copy;
}

} // namespace pasavel
