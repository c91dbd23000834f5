#include "platform/CodePages.h"

#include "base/Error.h"

// windows.h first: the other system headers need its types.
#include <windows.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <limits>
#include <map>
#include <mutex>
#include <optional>

// Windows converts through its code pages, each known by a number; the
// encodings by the names an XML declaration gives them. Conversions are as
// strict as iconv's on Linux, so that a file is accepted or refused alike
// on both systems: a byte the code page leaves undefined is an error, and
// so is a character it cannot hold exactly (Windows would otherwise write its
// "best fit", Ć as C).
namespace pasavel {

namespace {

constexpr UINT utf16LittleEndian = 1200;
constexpr UINT utf16BigEndian = 1201;
// "UTF-16" without an order: read by its byte-order mark (big-endian without
// one) and written big-endian after a mark, as iconv does.
constexpr UINT utf16WithMark = 0xFFFF0000u | 1201;
constexpr UINT utf8 = CP_UTF8;

std::string upperCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char letter) { return static_cast<char>(std::toupper(letter)); });
    return text;
}

std::optional<UINT> numberAfter(const std::string& name, const std::string& prefix)
{
    if (!name.starts_with(prefix) || name.size() == prefix.size() || name.size() > prefix.size() + 5)
        return std::nullopt;
    UINT number = 0;
    for (char digit : name.substr(prefix.size())) {
        if (digit < '0' || digit > '9')
            return std::nullopt;
        number = number * 10 + static_cast<UINT>(digit - '0');
    }
    return number;
}

std::optional<UINT> codePageOf(const std::string& encodingName)
{
    static const std::map<std::string, UINT> names = {
        {"UTF-8", utf8},
        {"UTF8", utf8},
        {"UTF-16", utf16WithMark},
        {"UTF16", utf16WithMark},
        {"UTF-16LE", utf16LittleEndian},
        {"UTF-16BE", utf16BigEndian},
        {"US-ASCII", 20127},
        {"ASCII", 20127},
        {"ANSI_X3.4-1968", 20127},
        {"LATIN1", 28591},
        {"L1", 28591},
        {"ISO-LATIN-1", 28591},
        {"CP819", 28591},
        {"IBM819", 28591},
        {"LATIN2", 28592},
        {"LATIN-9", 28605},
        {"LATIN9", 28605},
        {"KOI8-R", 20866},
        {"KOI8-U", 21866},
        {"MACINTOSH", 10000},
        {"SHIFT_JIS", 932},
        {"SJIS", 932},
        {"GBK", 936},
        {"GB2312", 936},
        {"BIG5", 950},
        {"EUC-KR", 949},
        {"EUC-JP", 20932},
    };
    const std::string name = upperCase(encodingName);
    if (const auto found = names.find(name); found != names.end())
        return found->second;
    // ISO-8859-N in its spellings: 28590 + N.
    for (const char* prefix : {"ISO-8859-", "ISO8859-", "ISO_8859-", "ISO8859"}) {
        if (const auto part = numberAfter(name, prefix); part && *part >= 1 && *part <= 16 && *part != 12)
            return 28590 + *part;
    }
    for (const char* prefix : {"WINDOWS-", "CP", "IBM", "MS-"}) {
        if (const auto number = numberAfter(name, prefix); number && IsValidCodePage(*number))
            return *number;
    }
    return std::nullopt;
}

UINT knownCodePage(const std::string& encodingName)
{
    const std::optional<UINT> codePage = codePageOf(encodingName);
    if (!codePage)
        throw Error("La codificación «" + encodingName + "» no es conocida.");
    return *codePage;
}

bool isWindowsCodePage(UINT codePage)
{
    return codePage >= 1250 && codePage <= 1258;
}

// A single-byte code page as tables: byte to character (nothing where the
// byte is undefined) and character to byte (-1 where it has none).
struct SingleByteTable {
    std::array<std::optional<char16_t>, 256> characters{};
    std::array<std::int16_t, 0x10000> bytes;

    int byteOf(char32_t character) const { return character < 0x10000 ? bytes[character] : -1; }
};

// The table of a single-byte code page; nothing for one with longer
// sequences. Made once per code page.
const SingleByteTable* singleByteTable(UINT codePage)
{
    static std::mutex mutex;
    static std::map<UINT, std::unique_ptr<SingleByteTable>> tables;
    const std::lock_guard<std::mutex> guard(mutex);
    if (const auto found = tables.find(codePage); found != tables.end())
        return found->second.get();
    CPINFO information{};
    if (codePage == utf8 || codePage == utf16LittleEndian || codePage == utf16BigEndian ||
        codePage == utf16WithMark || !GetCPInfo(codePage, &information) || information.MaxCharSize != 1) {
        tables[codePage] = nullptr;
        return nullptr;
    }
    auto table = std::make_unique<SingleByteTable>();
    table->bytes.fill(-1);
    for (int byte = 0; byte < 256; ++byte) {
        const char input = static_cast<char>(byte);
        wchar_t output[2];
        if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, &input, 1, output, 2) != 1)
            continue;
        const char16_t character = static_cast<char16_t>(output[0]);
        // Windows gives the bytes a code page leaves undefined a character
        // of their own: the C1 control of the same value in the Windows
        // code pages (where no C1 control is a character), a private-use
        // one elsewhere.
        // A byte that repeats an earlier byte's character is no character
        // of its own either (US-ASCII's bytes from 0x80).
        if ((isWindowsCodePage(codePage) && character >= 0x80 && character <= 0x9F) ||
            (character >= 0xE000 && character <= 0xF8FF) || table->bytes[character] >= 0)
            continue;
        table->characters[static_cast<std::size_t>(byte)] = character;
        table->bytes[character] = static_cast<std::int16_t>(byte);
    }
    const SingleByteTable* made = table.get();
    tables[codePage] = std::move(table);
    return made;
}

std::u16string decodeUtf16(std::string_view bytes, bool bigEndian, const std::string& encodingName)
{
    if (bytes.size() % 2 != 0)
        throw Error("El texto contiene bytes que no son válidos en la codificación «" + encodingName + "».");
    std::u16string text(bytes.size() / 2, u'\0');
    for (std::size_t index = 0; index < text.size(); ++index) {
        const auto first = static_cast<unsigned char>(bytes[2 * index]);
        const auto second = static_cast<unsigned char>(bytes[2 * index + 1]);
        text[index] = static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
    }
    return text;
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

void appendUtf16(std::wstring& text, char32_t codePoint)
{
    if (codePoint < 0x10000) {
        text += static_cast<wchar_t>(codePoint);
    } else {
        text += static_cast<wchar_t>(0xD800 + ((codePoint - 0x10000) >> 10));
        text += static_cast<wchar_t>(0xDC00 + ((codePoint - 0x10000) & 0x3FF));
    }
}

} // namespace

std::u16string decodeWithCodePage(std::string_view bytes, const std::string& encodingName)
{
    const UINT codePage = knownCodePage(encodingName);
    const auto invalid = [&] {
        return Error("El texto contiene bytes que no son válidos en la codificación «" + encodingName + "».");
    };
    if (codePage == utf16LittleEndian || codePage == utf16BigEndian)
        return decodeUtf16(bytes, codePage == utf16BigEndian, encodingName);
    if (codePage == utf16WithMark) {
        if (bytes.starts_with("\xFF\xFE"))
            return decodeUtf16(bytes.substr(2), false, encodingName);
        if (bytes.starts_with("\xFE\xFF"))
            bytes.remove_prefix(2);
        return decodeUtf16(bytes, true, encodingName);
    }
    if (const SingleByteTable* table = singleByteTable(codePage)) {
        std::u16string text;
        text.reserve(bytes.size());
        for (char byte : bytes) {
            const auto& character = table->characters[static_cast<unsigned char>(byte)];
            if (!character)
                throw invalid();
            text += *character;
        }
        return text;
    }
    if (bytes.empty())
        return {};
    if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        throw invalid();
    const int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(),
                                           static_cast<int>(bytes.size()), nullptr, 0);
    if (length == 0)
        throw invalid();
    std::u16string text(static_cast<std::size_t>(length), u'\0');
    MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                        reinterpret_cast<wchar_t*>(text.data()), length);
    return text;
}

struct CodePageEncoder::Converter {
    UINT codePage;
    std::string encodingName;
    const SingleByteTable* table;
    bool markWritten = false;
};

CodePageEncoder::CodePageEncoder(const std::string& encodingName)
    : m_converter(new Converter{knownCodePage(encodingName), encodingName, nullptr})
{
    m_converter->table = singleByteTable(m_converter->codePage);
}

CodePageEncoder::~CodePageEncoder() = default;

std::size_t CodePageEncoder::encodeWhilePossible(std::u32string_view text, std::string& encoded)
{
    Converter& converter = *m_converter;
    const UINT codePage = converter.codePage;
    if (codePage == utf8) {
        for (char32_t codePoint : text)
            appendUtf8(encoded, codePoint);
        return text.size();
    }
    if (codePage == utf16LittleEndian || codePage == utf16BigEndian || codePage == utf16WithMark) {
        const bool bigEndian = codePage != utf16LittleEndian;
        if (codePage == utf16WithMark && !converter.markWritten) {
            encoded += "\xFE\xFF";
            converter.markWritten = true;
        }
        std::wstring units;
        for (char32_t codePoint : text)
            appendUtf16(units, codePoint);
        for (wchar_t unit : units) {
            const char high = static_cast<char>((unit >> 8) & 0xFF);
            const char low = static_cast<char>(unit & 0xFF);
            encoded += bigEndian ? high : low;
            encoded += bigEndian ? low : high;
        }
        return text.size();
    }
    if (converter.table != nullptr) {
        for (std::size_t index = 0; index < text.size(); ++index) {
            const int byte = converter.table->byteOf(text[index]);
            if (byte < 0)
                return index;
            encoded += static_cast<char>(byte);
        }
        return text.size();
    }
    // Code pages of several bytes a character: a character at a time, so
    // that the first one the code page cannot hold is known.
    for (std::size_t index = 0; index < text.size(); ++index) {
        std::wstring units;
        appendUtf16(units, text[index]);
        char bytes[8];
        BOOL usedDefault = FALSE;
        const int length =
            WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, units.data(), static_cast<int>(units.size()),
                                bytes, sizeof bytes, nullptr, &usedDefault);
        if (length == 0 || usedDefault)
            return index;
        encoded.append(bytes, static_cast<std::size_t>(length));
    }
    return text.size();
}

namespace {

// libxml2's input hook: bytes of a single-byte code page to UTF-8.
int singleBytesToUtf8(const SingleByteTable& table, unsigned char* out, int* outLength,
                      const unsigned char* in, int* inLength)
{
    if (in == nullptr) {
        *outLength = 0;
        *inLength = 0;
        return 0;
    }
    int consumed = 0;
    int produced = 0;
    int status = 0;
    std::string bytes;
    while (consumed < *inLength) {
        const auto& character = table.characters[in[consumed]];
        if (!character) {
            status = -2;
            break;
        }
        bytes.clear();
        appendUtf8(bytes, *character);
        if (produced + static_cast<int>(bytes.size()) > *outLength)
            break;
        std::copy(bytes.begin(), bytes.end(), out + produced);
        produced += static_cast<int>(bytes.size());
        ++consumed;
    }
    *inLength = consumed;
    *outLength = produced;
    return status == 0 ? produced : status;
}

// libxml2's output hook: UTF-8 to a single-byte code page. A sequence cut at
// the end of the input waits for the rest.
int utf8ToSingleBytes(const SingleByteTable& table, unsigned char* out, int* outLength,
                      const unsigned char* in, int* inLength)
{
    if (in == nullptr) {
        *outLength = 0;
        *inLength = 0;
        return 0;
    }
    int consumed = 0;
    int produced = 0;
    int status = 0;
    while (consumed < *inLength && produced < *outLength) {
        const unsigned char lead = in[consumed];
        const int length = lead < 0x80             ? 1
                           : (lead & 0xE0) == 0xC0 ? 2
                           : (lead & 0xF0) == 0xE0 ? 3
                           : (lead & 0xF8) == 0xF0 ? 4
                                                   : 0;
        if (length == 0) {
            status = -2;
            break;
        }
        if (consumed + length > *inLength)
            break;
        char32_t character = length == 1 ? lead : lead & (0x7F >> length);
        for (int index = 1; index < length; ++index)
            character = (character << 6) | (in[consumed + index] & 0x3F);
        const int byte = table.byteOf(character);
        if (byte < 0) {
            status = -2;
            break;
        }
        out[produced++] = static_cast<unsigned char>(byte);
        consumed += length;
    }
    *inLength = consumed;
    *outLength = produced;
    return status == 0 ? produced : status;
}

template <UINT CodePage>
int toUtf8From(unsigned char* out, int* outLength, const unsigned char* in, int* inLength)
{
    return singleBytesToUtf8(*singleByteTable(CodePage), out, outLength, in, inLength);
}

template <UINT CodePage>
int fromUtf8To(unsigned char* out, int* outLength, const unsigned char* in, int* inLength)
{
    return utf8ToSingleBytes(*singleByteTable(CodePage), out, outLength, in, inLength);
}

// Offered only when the system has the code page.
template <UINT CodePage>
void addConverter(std::vector<XmlEncodingConverter>& converters, const char* name,
                  std::vector<const char*> aliases)
{
    if (singleByteTable(CodePage) != nullptr)
        converters.push_back({name, std::move(aliases), toUtf8From<CodePage>, fromUtf8To<CodePage>});
}

} // namespace

std::vector<XmlEncodingConverter> xmlEncodingConverters()
{
    std::vector<XmlEncodingConverter> converters;
    addConverter<1250>(converters, "windows-1250", {"CP1250"});
    addConverter<1251>(converters, "windows-1251", {"CP1251"});
    addConverter<1252>(converters, "windows-1252", {"CP1252", "WINDOWS1252", "MS-ANSI"});
    addConverter<1253>(converters, "windows-1253", {"CP1253"});
    addConverter<1254>(converters, "windows-1254", {"CP1254"});
    addConverter<1255>(converters, "windows-1255", {"CP1255"});
    addConverter<1256>(converters, "windows-1256", {"CP1256"});
    addConverter<1257>(converters, "windows-1257", {"CP1257"});
    addConverter<1258>(converters, "windows-1258", {"CP1258"});
    addConverter<437>(converters, "IBM437", {"CP437", "437"});
    addConverter<850>(converters, "IBM850", {"CP850", "850"});
    addConverter<852>(converters, "IBM852", {"CP852", "852"});
    addConverter<858>(converters, "IBM00858", {"CP858", "IBM858"});
    addConverter<20866>(converters, "KOI8-R", {});
    addConverter<21866>(converters, "KOI8-U", {});
    addConverter<10000>(converters, "MACINTOSH", {"MAC"});
    // libxml2 has these itself, under fewer names than iconv knows.
    converters.push_back(
        {"ISO-8859-1", {"LATIN1", "L1", "ISO8859-1", "ISO_8859-1", "CP819", "IBM819"}, nullptr, nullptr});
    converters.push_back(
        {"ISO-8859-15", {"LATIN-9", "LATIN9", "ISO8859-15", "ISO_8859-15"}, nullptr, nullptr});
    return converters;
}

} // namespace pasavel
