#include "formats/dbase/Table.h"

#include "base/Clipper.h"
#include "base/Error.h"
#include "base/Numbers.h"
#include "formats/Encoding.h"
#include "formats/dbase/Locks.h"
#include "formats/dbase/RecordBytes.h"
#include "platform/Files.h"
#include "platform/LocalTime.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <unordered_map>

namespace pasavel {

namespace {

constexpr std::size_t npos = static_cast<std::size_t>(-1);
constexpr char deletedFlag = '*';
constexpr char liveFlag = ' ';
constexpr char headerTerminator = 0x0D;
// Visual FoxPro keeps the path of its database container after the terminator.
constexpr std::size_t foxProBacklinkSize = 263;
constexpr unsigned char windowsAnsiDriver = 0x03;

// dBase III+ layout: a 32-byte header and 32-byte field descriptors with
// names of up to ten characters.
constexpr std::size_t dbase3HeaderSize = 32;
constexpr std::size_t dbase3DescriptorSize = 32;
constexpr std::size_t dbase3NameSize = 11;
// dBase level 7 layout: a 68-byte header (with the language driver's name)
// and 48-byte descriptors with names of up to 31 characters.
constexpr std::size_t dbase7HeaderSize = 68;
constexpr std::size_t dbase7DescriptorSize = 48;
constexpr std::size_t dbase7NameSize = 32;
constexpr std::string_view dbase7DriverName = "DBWINUS0";

enum class Codepage { Windows1252, Dos437, Dos850 };

std::string guillemets(std::string_view text)
{
    return "«" + std::string(text) + "»";
}

std::uint32_t readLittleEndian(std::string_view bytes, std::size_t offset, std::size_t size)
{
    std::uint32_t value = 0;
    for (std::size_t index = size; index > 0; --index)
        value = (value << 8) | static_cast<unsigned char>(bytes[offset + index - 1]);
    return value;
}

void writeLittleEndian(std::string& bytes, std::size_t offset, std::uint32_t value, std::size_t size)
{
    for (std::size_t index = 0; index < size; ++index)
        bytes[offset + index] = static_cast<char>((value >> (8 * index)) & 0xFF);
}

void stampToday(std::string& header)
{
    // dBase keeps the year of the last change as years since 1900.
    const CalendarDate today = localToday();
    header[1] = static_cast<char>((today.year - 1900) % 256);
    header[2] = static_cast<char>(today.month);
    header[3] = static_cast<char>(today.day);
}

std::string_view trimBlanks(std::string_view bytes, bool leadingToo)
{
    const auto isBlank = [](char byte) { return byte == ' ' || byte == '\0'; };
    while (!bytes.empty() && isBlank(bytes.back()))
        bytes.remove_suffix(1);
    while (leadingToo && !bytes.empty() && isBlank(bytes.front()))
        bytes.remove_prefix(1);
    return bytes;
}

bool isTextKind(char type)
{
    return type == 'C';
}

bool isNumericKind(char type)
{
    return type == 'N' || type == 'F';
}

char typeLetter(FieldKind kind)
{
    switch (kind) {
    case FieldKind::String:
        return 'C';
    case FieldKind::Integer:
    case FieldKind::Float:
        return 'N';
    case FieldKind::Boolean:
        return 'L';
    }
    return 'C';
}

bool fitsDbase3(const std::vector<FieldSpec>& fields)
{
    return std::all_of(fields.begin(), fields.end(),
                       [](const FieldSpec& field) { return field.name.size() < dbase3NameSize; });
}

void checkFieldSpec(std::string_view table, const FieldSpec& field)
{
    const bool validName = !field.name.empty() && field.name.size() < dbase7NameSize &&
                           std::all_of(field.name.begin(), field.name.end(), [](char character) {
                               return std::isupper(static_cast<unsigned char>(character)) ||
                                      std::isdigit(static_cast<unsigned char>(character)) || character == '_';
                           });
    const bool validWidth = field.width >= 1 && field.width <= 254 && field.decimals >= 0 &&
                            (field.decimals == 0 || field.decimals < field.width - 1);
    if (!validName || !validWidth)
        throw Error("La definición del campo " + guillemets(field.name) + " de la tabla " +
                    guillemets(table) + " no es válida.");
}

} // namespace

namespace detail {

std::string newTableHeader(std::string_view table, const std::vector<FieldSpec>& fields)
{
    if (fields.empty())
        throw Error("La tabla " + guillemets(table) + " no tiene campos.");
    const bool dbase3 = fitsDbase3(fields);
    const std::size_t headerSize = dbase3 ? dbase3HeaderSize : dbase7HeaderSize;
    const std::size_t descriptorSize = dbase3 ? dbase3DescriptorSize : dbase7DescriptorSize;
    const std::size_t headerLength = headerSize + descriptorSize * fields.size() + 1;
    std::size_t recordLength = 1;
    for (const FieldSpec& field : fields) {
        checkFieldSpec(table, field);
        recordLength += static_cast<std::size_t>(field.width);
    }
    if (recordLength > 0xFFFF)
        throw Error("Los registros de la tabla " + guillemets(table) + " son demasiado largos.");

    std::string header(headerLength, '\0');
    header[0] = dbase3 ? 0x03 : 0x04;
    stampToday(header);
    writeLittleEndian(header, 8, static_cast<std::uint32_t>(headerLength), 2);
    writeLittleEndian(header, 10, static_cast<std::uint32_t>(recordLength), 2);
    header[29] = static_cast<char>(windowsAnsiDriver);
    if (!dbase3)
        header.replace(32, dbase7DriverName.size(), dbase7DriverName);
    const std::size_t typeOffset = dbase3 ? 11 : 32;
    for (std::size_t index = 0; index < fields.size(); ++index) {
        const FieldSpec& field = fields[index];
        const std::size_t descriptor = headerSize + index * descriptorSize;
        header.replace(descriptor, field.name.size(), field.name);
        header[descriptor + typeOffset] = typeLetter(field.kind);
        header[descriptor + typeOffset + (dbase3 ? 5 : 1)] = static_cast<char>(field.width);
        header[descriptor + typeOffset + (dbase3 ? 6 : 2)] = static_cast<char>(field.decimals);
    }
    header[headerLength - 1] = headerTerminator;
    return header;
}

std::vector<FieldInfo> newTableFields(const std::vector<FieldSpec>& fields)
{
    std::vector<FieldInfo> infos;
    int offset = 0;
    for (const FieldSpec& field : fields) {
        infos.push_back({field.name, typeLetter(field.kind), field.width, field.decimals, offset});
        offset += field.width;
    }
    return infos;
}

void stampHeader(std::string& header, std::size_t recordCount)
{
    stampToday(header);
    writeLittleEndian(header, 4, static_cast<std::uint32_t>(recordCount), 4);
}

std::size_t fieldNumber(std::string_view table, const std::vector<FieldInfo>& fields,
                        std::string_view fieldName)
{
    for (std::size_t index = 0; index < fields.size(); ++index) {
        if (fields[index].name == fieldName)
            return index;
    }
    throw Error("La tabla " + guillemets(table) + " no tiene el campo " + guillemets(fieldName) + ".");
}

namespace {

void storeNumberText(std::string_view table, const FieldInfo& field, char* target, const std::string& digits)
{
    if (digits.size() > static_cast<std::size_t>(field.width)) {
        throw Error("El valor " + digits + " no cabe en el campo " + guillemets(field.name) +
                    " de la tabla " + guillemets(table) + " (" + std::to_string(field.width) +
                    " posiciones).");
    }
    std::fill(target, target + field.width, ' ');
    std::copy(digits.begin(), digits.end(), target + field.width - static_cast<int>(digits.size()));
}

} // namespace

void storeText(std::string_view table, const FieldInfo& field, char* target, std::u16string_view value)
{
    if (!isTextKind(field.type)) {
        const std::u16string trimmed = AllTrim(value);
        if (trimmed.empty()) {
            std::fill(target, target + field.width, ' ');
        } else if (field.type == 'L') {
            storeBoolean(table, field, target,
                         std::u16string_view(u"TtYySs").find(trimmed[0]) != std::u16string_view::npos);
        } else {
            const std::string digits = toUtf8(trimmed);
            double parsed = 0.0;
            const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), parsed);
            if (error != std::errc() || end != digits.data() + digits.size())
                throw Error("El valor " + guillemets(digits) + " no es un número para el campo " +
                            guillemets(field.name) + " de la tabla " + guillemets(table) + ".");
            storeNumberText(table, field, target, digits);
        }
        return;
    }
    std::string bytes = toWindows1252(value);
    bytes.resize(static_cast<std::size_t>(field.width), ' ');
    std::copy(bytes.begin(), bytes.end(), target);
}

void storeInteger(std::string_view table, const FieldInfo& field, char* target, long long value)
{
    if (isTextKind(field.type)) {
        storeText(table, field, target, fromUtf8(std::to_string(value)));
        return;
    }
    storeNumberText(table, field, target, std::to_string(value));
}

void storeNumber(std::string_view table, const FieldInfo& field, char* target, double value)
{
    char digits[64];
    std::snprintf(digits, sizeof digits, "%.*f", field.decimals, value);
    if (isTextKind(field.type)) {
        storeText(table, field, target, fromUtf8(digits));
        return;
    }
    storeNumberText(table, field, target, digits);
}

void storeBoolean(std::string_view table, const FieldInfo& field, char* target, bool value)
{
    if (field.type != 'L') {
        storeText(table, field, target, value ? u"T" : u"F");
        return;
    }
    target[0] = value ? 'T' : 'F';
}

} // namespace detail

namespace {

// Tables that Windows programs wrote may carry their names in any letter case.
std::vector<std::filesystem::path> filesNamedIgnoringCase(const std::filesystem::path& directory,
                                                          std::string_view fileName)
{
    const auto sameIgnoringCase = [](std::string_view left, std::string_view right) {
        return left.size() == right.size() &&
               std::equal(left.begin(), left.end(), right.begin(), [](char a, char b) {
                   return std::toupper(static_cast<unsigned char>(a)) ==
                          std::toupper(static_cast<unsigned char>(b));
               });
    };
    std::vector<std::filesystem::path> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
        if (sameIgnoringCase(entry.path().filename().string(), fileName))
            found.push_back(entry.path());
    }
    std::sort(found.begin(), found.end());
    return found;
}

} // namespace

FieldSpec stringField(std::string name, int width)
{
    return {std::move(name), FieldKind::String, width, 0};
}

FieldSpec integerField(std::string name)
{
    return {std::move(name), FieldKind::Integer, 11, 0};
}

FieldSpec floatField(std::string name, int width, int decimals)
{
    return {std::move(name), FieldKind::Float, width, decimals};
}

FieldSpec booleanField(std::string name)
{
    return {std::move(name), FieldKind::Boolean, 1, 0};
}

struct Table::State {
    enum class Editing { None, Changing, Appending };
    struct Filter {
        std::size_t field = 0;
        std::optional<std::string> key; // empty when the value cannot be stored, so nothing matches
    };

    std::filesystem::path path;
    std::string name;
    OpenMode mode = OpenMode::Shared;
    std::optional<FileLock> lock;
    Codepage codepage = Codepage::Windows1252;

    std::string header;
    std::vector<FieldInfo> fields;
    std::size_t recordLength = 0;
    std::string records; // every stored record, deleted ones included
    std::size_t storedCount = 0;

    std::size_t current = npos;
    bool atEof = true;
    bool atBof = true;
    Editing editing = Editing::None;
    std::string buffer;
    bool modified = false;
    std::optional<Filter> filter;

    // Lookups by value go through indexes built on first use for each set of
    // fields: composite key -> record numbers in stored order. A lookup still
    // returns the first visible record in stored order, exactly as a walk
    // from the first record would.
    using FieldNumbers = std::vector<std::size_t>;
    using Index = std::unordered_map<std::string, std::vector<std::size_t>>;
    std::map<FieldNumbers, Index> indexes;
    // While a filter is set: the records that match it, in stored order.
    std::vector<std::size_t> filtered;

    State() = default;
    State(const State&) = delete;
    State& operator=(const State&) = delete;

    [[noreturn]] void fail(const std::string& message) const { throw Error(message); }

    void load();
    void write();

    std::string_view storedRecord(std::size_t index) const
    {
        return std::string_view(records).substr(index * recordLength, recordLength);
    }
    std::string_view currentRecord() const
    {
        if (editing != Editing::None)
            return buffer;
        return current == npos ? std::string_view() : storedRecord(current);
    }
    const FieldInfo& field(std::string_view fieldName) const;
    std::size_t fieldIndex(std::string_view fieldName) const;
    std::string_view rawValue(std::string_view record, const FieldInfo& info) const
    {
        return record.empty() ? std::string_view() : record.substr(1 + info.offset, info.width);
    }

    std::u16string decode(std::string_view bytes) const;
    std::optional<std::string> encodeExactly(std::u16string_view value) const;

    // The one reading of a field's stored bytes, whichever way they are asked for.
    std::u16string fieldText(std::string_view record, const FieldInfo& info) const;
    long long fieldInteger(std::string_view record, const FieldInfo& info) const;
    double fieldNumber(std::string_view record, const FieldInfo& info) const;

    // What lookups compare: a string as stored without trailing blanks, a
    // number field's text without padding, an integer field's value.
    std::string storedKey(std::string_view record, const FieldInfo& info) const;
    // The key a searched value has in a field; nothing when no stored value
    // can equal it. A value an integer field cannot take is an error.
    std::optional<std::string> searchKey(const FieldInfo& info, std::u16string_view value) const;
    bool isVisible(std::size_t index) const;
    std::string compositeKey(std::string_view record, const FieldNumbers& fieldNumbers) const;
    const std::vector<std::size_t>* candidates(const FieldNumbers& fieldNumbers, const std::string& key);
    void reindex(std::size_t record, std::string_view before);
    std::size_t nextVisible(std::size_t from) const;
    std::size_t previousVisible(std::size_t before) const;

    void postPending();
    char* writableValue(std::string_view fieldName, const FieldInfo*& info);
};

const FieldInfo& Table::State::field(std::string_view fieldName) const
{
    return fields[fieldIndex(fieldName)];
}

std::size_t Table::State::fieldIndex(std::string_view fieldName) const
{
    return detail::fieldNumber(name, fields, fieldName);
}

std::u16string Table::State::decode(std::string_view bytes) const
{
    switch (codepage) {
    case Codepage::Dos437:
        return decodeAs(bytes, "CP437");
    case Codepage::Dos850:
        return decodeAs(bytes, "CP850");
    case Codepage::Windows1252:
        break;
    }
    return fromWindows1252(bytes);
}

// The stored bytes of a value in the table's code page, or nothing when the
// code page cannot hold it exactly (then no stored value can equal it).
std::optional<std::string> Table::State::encodeExactly(std::u16string_view value) const
{
    std::string bytes;
    switch (codepage) {
    case Codepage::Dos437:
        bytes = encodeAs(value, "CP437");
        break;
    case Codepage::Dos850:
        bytes = encodeAs(value, "CP850");
        break;
    case Codepage::Windows1252:
        bytes = toWindows1252(value);
        break;
    }
    if (decode(bytes) != value)
        return std::nullopt;
    return bytes;
}

bool isBinaryInteger(const FieldInfo& info)
{
    return (info.type == 'I' || info.type == '+') && info.width == 4;
}

// Integer fields: dBase's long integers, and numbers without decimals.
bool isIntegerField(const FieldInfo& info)
{
    return isBinaryInteger(info) || (isNumericKind(info.type) && info.decimals == 0);
}

// Each value is prefixed with its length, so no two value lists share a key.
void appendKeyPart(std::string& key, std::string_view value)
{
    key += std::to_string(value.size());
    key += ':';
    key += value;
}

std::u16string Table::State::fieldText(std::string_view record, const FieldInfo& info) const
{
    const std::string_view raw = rawValue(record, info);
    if (isBinaryInteger(info))
        return record.empty() ? std::u16string() : fromUtf8(std::to_string(fieldInteger(record, info)));
    return decode(trimBlanks(raw, !isTextKind(info.type)));
}

long long Table::State::fieldInteger(std::string_view record, const FieldInfo& info) const
{
    const std::string_view raw = rawValue(record, info);
    if (isBinaryInteger(info) && raw.size() == 4) {
        // dBase 7 stores long integers big-endian with the sign bit flipped;
        // FoxPro stores them little-endian.
        const bool dbase7 = (static_cast<unsigned char>(header[0]) & 0x07) == 0x04;
        std::uint32_t bits = 0;
        for (std::size_t index = 0; index < 4; ++index)
            bits = (bits << 8) | static_cast<unsigned char>(raw[dbase7 ? index : 3 - index]);
        return dbase7 ? static_cast<std::int32_t>(bits ^ 0x80000000u) : static_cast<std::int32_t>(bits);
    }
    const std::string_view digits = trimBlanks(raw, true);
    if (digits.empty())
        return 0;
    long long value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error == std::errc() && end == digits.data() + digits.size())
        return value;
    if (isNumericKind(info.type))
        return std::llround(fieldNumber(record, info));
    throw Error("El campo " + guillemets(info.name) + " de la tabla " + guillemets(name) +
                " tiene el valor " + guillemets(toUtf8(decode(digits))) + ", que no es un número entero.");
}

double Table::State::fieldNumber(std::string_view record, const FieldInfo& info) const
{
    if (isBinaryInteger(info))
        return static_cast<double>(fieldInteger(record, info));
    const std::string_view digits = trimBlanks(rawValue(record, info), true);
    if (digits.empty())
        return 0.0;
    double value = 0.0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error == std::errc() && end == digits.data() + digits.size())
        return value;
    throw Error("El campo " + guillemets(info.name) + " de la tabla " + guillemets(name) +
                " tiene el valor " + guillemets(toUtf8(decode(digits))) + ", que no es un número.");
}

std::string Table::State::storedKey(std::string_view record, const FieldInfo& info) const
{
    if (isBinaryInteger(info))
        return std::to_string(fieldInteger(record, info));
    const std::string_view trimmed = trimBlanks(rawValue(record, info), !isTextKind(info.type));
    if (!isIntegerField(info) || trimmed.empty())
        return std::string(trimmed);
    long long value = 0;
    const auto [end, error] = std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), value);
    if (error == std::errc() && end == trimmed.data() + trimmed.size())
        return std::to_string(value);
    // Not a whole number: no searched value can equal it.
    return "?" + std::string(trimmed);
}

std::optional<std::string> Table::State::searchKey(const FieldInfo& info, std::u16string_view value) const
{
    if (isIntegerField(info)) {
        // Searched as an integer conversion reads the text: "06001" is 6001.
        if (const std::optional<long long> number = parseInteger(AllTrim(value)))
            return std::to_string(*number);
        throw Error("El valor " + guillemets(toUtf8(value)) + " que se busca en el campo " +
                    guillemets(info.name) + " de la tabla " + guillemets(name) + " no es un número entero.");
    }
    const std::optional<std::string> encoded = encodeExactly(RTrim(value));
    if (!encoded)
        return std::nullopt;
    return std::string(trimBlanks(*encoded, !isTextKind(info.type)));
}

void Table::State::load()
{
    std::string bytes = readFileBytes(path);
    const auto damaged = [&](const std::string& reason) {
        fail("La tabla " + guillemets(name) + " está dañada o no es una tabla dBase (" + path.string() +
             "): " + reason + ".");
    };
    if (bytes.size() < dbase3HeaderSize)
        damaged("el archivo es más corto que la cabecera");
    const auto version = static_cast<unsigned char>(bytes[0]);
    if ((version & 0x07) == 0x02 && version != 0xF5 && version != 0x02 + 0x30)
        damaged("el formato dBase II no se admite");
    const bool dbase7 = (version & 0x07) == 0x04;
    const std::size_t headerLength = readLittleEndian(bytes, 8, 2);
    recordLength = readLittleEndian(bytes, 10, 2);
    const std::size_t claimedCount = readLittleEndian(bytes, 4, 4);
    const std::size_t firstDescriptor = dbase7 ? dbase7HeaderSize : dbase3HeaderSize;
    const std::size_t descriptorSize = dbase7 ? dbase7DescriptorSize : dbase3DescriptorSize;
    if (headerLength > bytes.size() || headerLength < firstDescriptor + 1)
        damaged("la longitud de la cabecera no es válida");
    if (recordLength < 2)
        damaged("la longitud de los registros no es válida");

    const std::size_t nameSize = dbase7 ? dbase7NameSize : dbase3NameSize;
    const std::size_t typeOffset = dbase7 ? 32 : 11;
    int offset = 0;
    std::size_t descriptor = firstDescriptor;
    for (; descriptor + descriptorSize <= headerLength && bytes[descriptor] != headerTerminator;
         descriptor += descriptorSize) {
        FieldInfo info;
        const std::string_view rawName = std::string_view(bytes).substr(descriptor, nameSize);
        info.name = std::string(trimBlanks(rawName.substr(0, rawName.find('\0')), true));
        info.type =
            static_cast<char>(std::toupper(static_cast<unsigned char>(bytes[descriptor + typeOffset])));
        info.width = static_cast<unsigned char>(bytes[descriptor + typeOffset + (dbase7 ? 1 : 5)]);
        info.decimals = static_cast<unsigned char>(bytes[descriptor + typeOffset + (dbase7 ? 2 : 6)]);
        if (info.type == 'C' && !dbase7) {
            // FoxPro keeps the high byte of a long character field's width here.
            info.width |= info.decimals << 8;
            info.decimals = 0;
        }
        info.offset = offset;
        offset += info.width;
        fields.push_back(std::move(info));
    }
    if (fields.empty())
        damaged("no tiene campos");
    // The header must agree with itself, or the records would be read from
    // the wrong place: the descriptors end at the terminator inside the
    // header, and the header ends right after it. What real programs put
    // after the terminator is allowed: one padding byte, FoxPro's backlink
    // area, dBase 7's field properties.
    if (descriptor >= headerLength || bytes[descriptor] != headerTerminator)
        damaged("la longitud de la cabecera no llega al final de la descripción de los campos");
    const std::size_t afterTerminator = headerLength - (descriptor + 1);
    const bool foxPro = version == 0x30 || version == 0x31 || version == 0x32;
    const bool allowedTail =
        afterTerminator <= 1 || dbase7 || (foxPro && afterTerminator == foxProBacklinkSize);
    if (!allowedTail)
        damaged("la longitud de la cabecera no acaba en la descripción de los campos");
    if (static_cast<std::size_t>(offset) + 1 > recordLength)
        damaged("los campos no caben en la longitud de registro");
    if (static_cast<std::size_t>(offset) + 1 != recordLength)
        damaged("la longitud de registro no es la suma de los anchos de los campos");

    // A count that the file cannot hold is not trusted beyond its end.
    storedCount = std::min(claimedCount, (bytes.size() - headerLength) / recordLength);
    header = bytes.substr(0, headerLength);
    const auto driver = static_cast<unsigned char>(bytes[29]);
    // The records stay where the file was read: a large table is not copied.
    records = std::move(bytes);
    records.erase(0, headerLength);
    records.resize(storedCount * recordLength);
    switch (driver) {
    case 0x01:
        codepage = Codepage::Dos437;
        break;
    case 0x02:
        codepage = Codepage::Dos850;
        break;
    default:
        codepage = Codepage::Windows1252;
    }
}

void Table::State::write()
{
    std::string stamped = header;
    detail::stampHeader(stamped, storedCount);
    // Written in parts: a large table's records are not copied once more.
    const char end = detail::tableEndOfFile;
    writeFileAtomically(path, {stamped, records, std::string_view(&end, 1)});
    modified = false;
    // The lock stayed on the file that was replaced: take it again on the new one.
    lock.reset();
    lock = lockTableFile(path, mode, name);
}

bool Table::State::isVisible(std::size_t index) const
{
    const std::string_view record = storedRecord(index);
    if (record[0] == deletedFlag)
        return false;
    if (!filter)
        return true;
    const FieldInfo& info = fields[filter->field];
    return filter->key && storedKey(record, info) == *filter->key;
}

std::string Table::State::compositeKey(std::string_view record, const FieldNumbers& fieldNumbers) const
{
    std::string key;
    for (std::size_t number : fieldNumbers)
        appendKeyPart(key, storedKey(record, fields[number]));
    return key;
}

const std::vector<std::size_t>* Table::State::candidates(const FieldNumbers& fieldNumbers,
                                                         const std::string& key)
{
    auto found = indexes.find(fieldNumbers);
    if (found == indexes.end()) {
        Index index;
        for (std::size_t record = 0; record < storedCount; ++record)
            index[compositeKey(storedRecord(record), fieldNumbers)].push_back(record);
        found = indexes.emplace(fieldNumbers, std::move(index)).first;
    }
    const auto entry = found->second.find(key);
    return entry == found->second.end() ? nullptr : &entry->second;
}

// Keeps the indexes and the filtered records right after a record was
// appended (before is empty) or changed.
void Table::State::reindex(std::size_t record, std::string_view before)
{
    const std::string_view after = storedRecord(record);
    const auto move = [&](std::vector<std::size_t>* from, std::vector<std::size_t>& to) {
        if (from != nullptr)
            from->erase(std::remove(from->begin(), from->end(), record), from->end());
        to.insert(std::lower_bound(to.begin(), to.end(), record), record);
    };
    for (auto& [fieldNumbers, index] : indexes) {
        const std::string newKey = compositeKey(after, fieldNumbers);
        if (before.empty()) {
            index[newKey].push_back(record);
            continue;
        }
        const std::string oldKey = compositeKey(before, fieldNumbers);
        if (oldKey != newKey)
            move(&index[oldKey], index[newKey]);
    }
    if (!filter)
        return;
    const FieldInfo& info = fields[filter->field];
    const bool matches = filter->key && storedKey(after, info) == *filter->key;
    const auto listed = std::lower_bound(filtered.begin(), filtered.end(), record);
    const bool isListed = listed != filtered.end() && *listed == record;
    if (matches && !isListed)
        filtered.insert(listed, record);
    else if (!matches && isListed)
        filtered.erase(listed);
}

std::size_t Table::State::nextVisible(std::size_t from) const
{
    if (filter) {
        for (auto candidate = std::lower_bound(filtered.begin(), filtered.end(), from);
             candidate != filtered.end(); ++candidate) {
            if (isVisible(*candidate))
                return *candidate;
        }
        return npos;
    }
    for (std::size_t index = from; index < storedCount; ++index) {
        if (isVisible(index))
            return index;
    }
    return npos;
}

std::size_t Table::State::previousVisible(std::size_t before) const
{
    if (filter) {
        auto candidate = std::lower_bound(filtered.begin(), filtered.end(), std::min(before, storedCount));
        while (candidate != filtered.begin()) {
            --candidate;
            if (isVisible(*candidate))
                return *candidate;
        }
        return npos;
    }
    for (std::size_t index = std::min(before, storedCount); index > 0; --index) {
        if (isVisible(index - 1))
            return index - 1;
    }
    return npos;
}

void Table::State::postPending()
{
    // Values are written in Windows-1252: in a table of another code page
    // they would read back as other characters.
    if (editing != Editing::None && codepage != Codepage::Windows1252)
        fail("La tabla " + guillemets(name) +
             " usa una página de códigos de MS-DOS y no se puede modificar.");
    if (editing == Editing::Appending) {
        records += buffer;
        current = storedCount++;
        atEof = atBof = false;
        modified = true;
        reindex(current, {});
    } else if (editing == Editing::Changing) {
        const std::string before(storedRecord(current));
        records.replace(current * recordLength, recordLength, buffer);
        modified = true;
        reindex(current, before);
    }
    editing = Editing::None;
}

char* Table::State::writableValue(std::string_view fieldName, const FieldInfo*& info)
{
    info = &field(fieldName);
    if (editing == Editing::None) {
        fail("La tabla " + guillemets(name) +
             " no tiene ningún registro en edición: no se puede escribir el campo " + guillemets(fieldName) +
             ".");
    }
    return buffer.data() + 1 + info->offset;
}

std::u16string Table::storedText(std::u16string_view value, std::size_t width)
{
    std::string bytes = toWindows1252(value);
    if (bytes.size() > width)
        bytes.resize(width);
    return RTrim(fromWindows1252(bytes));
}

std::filesystem::path Table::filePath(const std::filesystem::path& directory, std::string_view name)
{
    const std::string fileName = std::string(name) + ".DBF";
    std::error_code error;
    if (std::filesystem::exists(directory / fileName, error))
        return directory / fileName;
    const std::vector<std::filesystem::path> found = filesNamedIgnoringCase(directory, fileName);
    return found.empty() ? directory / fileName : found.front();
}

bool Table::exists(const std::filesystem::path& directory, std::string_view name)
{
    std::error_code error;
    return std::filesystem::is_regular_file(filePath(directory, name), error);
}

void Table::remove(const std::filesystem::path& directory, std::string_view name)
{
    std::error_code error;
    for (const auto& file : filesNamedIgnoringCase(directory, std::string(name) + ".DBF")) {
        refuseReadOnlyFile(file);
        // A table another program has open must not be taken away from it.
        lockTableFile(file, OpenMode::Exclusive, name);
        std::filesystem::remove(file, error);
    }
    for (const auto& index : filesNamedIgnoringCase(directory, std::string(name) + ".MDX"))
        std::filesystem::remove(index, error);
}

void Table::create(const std::filesystem::path& directory, std::string_view name,
                   const std::vector<FieldSpec>& fields)
{
    std::error_code error;
    if (!std::filesystem::is_directory(directory, error))
        throw Error("No existe la carpeta de trabajo " + guillemets(directory.string()) + ".");
    std::string bytes = detail::newTableHeader(name, fields);
    bytes += detail::tableEndOfFile;
    remove(directory, name);
    writeFileAtomically(directory / (std::string(name) + ".DBF"), bytes);
}

Table::Table(const std::filesystem::path& directory, std::string_view name, OpenMode mode)
    : m_state(std::make_unique<State>())
{
    m_state->path = filePath(directory, name);
    m_state->name = std::string(name);
    m_state->mode = mode;
    std::error_code error;
    if (!std::filesystem::is_directory(directory, error))
        throw Error("No existe la carpeta de trabajo " + guillemets(directory.string()) + ".");
    if (!std::filesystem::is_regular_file(m_state->path, error))
        throw Error("No se encuentra la tabla " + guillemets(name) + " (" + m_state->path.string() + ").");
    m_state->lock = lockTableFile(m_state->path, mode, name);
    m_state->load();
    first();
}

Table::Table(const std::filesystem::path& file, OpenMode mode)
    : Table(file.parent_path().empty() ? std::filesystem::path(".") : file.parent_path(),
            file.stem().string(), mode)
{
}

Table::Table(Table&&) noexcept = default;

Table& Table::operator=(Table&& other)
{
    // The table given up is closed as it would be on its own: its posted
    // changes reach its file.
    if (this != &other) {
        close();
        m_state = std::move(other.m_state);
    }
    return *this;
}

Table::~Table()
{
    try {
        close();
    } catch (...) {
    }
}

void Table::close()
{
    if (!isOpen())
        return;
    // Closed even when the last change cannot be written: the error is
    // reported, the file stays as it was, and no lock outlives the table.
    const std::unique_ptr<State> state = std::move(m_state);
    state->postPending();
    if (state->modified)
        state->write();
}

bool Table::isOpen() const
{
    return m_state != nullptr;
}

const std::string& Table::name() const
{
    return m_state->name;
}

const std::vector<FieldInfo>& Table::fields() const
{
    return m_state->fields;
}

unsigned char Table::versionByte() const
{
    return static_cast<unsigned char>(m_state->header[0]);
}

bool Table::hasField(std::string_view fieldName) const
{
    return std::any_of(m_state->fields.begin(), m_state->fields.end(),
                       [&](const FieldInfo& info) { return info.name == fieldName; });
}

void Table::first()
{
    m_state->postPending();
    m_state->current = m_state->nextVisible(0);
    m_state->atBof = true;
    m_state->atEof = m_state->current == npos;
}

void Table::next()
{
    m_state->postPending();
    const std::size_t found = m_state->current == npos ? npos : m_state->nextVisible(m_state->current + 1);
    if (found == npos) {
        m_state->atEof = true;
        return;
    }
    m_state->current = found;
    m_state->atBof = false;
}

void Table::prior()
{
    m_state->postPending();
    const std::size_t found = m_state->current == npos ? npos : m_state->previousVisible(m_state->current);
    if (found == npos) {
        m_state->atBof = true;
        return;
    }
    m_state->current = found;
    m_state->atEof = false;
}

void Table::last()
{
    m_state->postPending();
    m_state->current = m_state->previousVisible(m_state->storedCount);
    m_state->atEof = true;
    m_state->atBof = m_state->current == npos;
}

bool Table::eof() const
{
    return m_state->atEof;
}

bool Table::bof() const
{
    return m_state->atBof;
}

bool Table::isEmpty() const
{
    return m_state->nextVisible(0) == npos;
}

std::size_t Table::recordCount() const
{
    std::size_t count = 0;
    for (std::size_t index = 0; index < m_state->storedCount; ++index)
        count += m_state->isVisible(index) ? 1 : 0;
    return count;
}

std::size_t Table::recordNumber() const
{
    return m_state->current;
}

void Table::goToRecord(std::size_t number)
{
    m_state->postPending();
    if (number >= m_state->storedCount || !m_state->isVisible(number))
        throw Error("La tabla " + guillemets(m_state->name) + " no tiene el registro " +
                    std::to_string(number + 1) + ".");
    m_state->current = number;
    m_state->atEof = m_state->atBof = false;
}

void Table::append()
{
    m_state->postPending();
    m_state->buffer.assign(m_state->recordLength, ' ');
    m_state->buffer[0] = liveFlag;
    m_state->editing = State::Editing::Appending;
}

void Table::reserveForAppending(std::size_t count)
{
    m_state->records.reserve(m_state->records.size() + (count + 1) * m_state->recordLength);
}

void Table::edit()
{
    if (m_state->editing != State::Editing::None)
        return;
    if (m_state->current == npos)
        throw Error("La tabla " + guillemets(m_state->name) + " no tiene ningún registro que modificar.");
    m_state->buffer = std::string(m_state->storedRecord(m_state->current));
    m_state->editing = State::Editing::Changing;
}

void Table::post()
{
    m_state->postPending();
}

void Table::cancel()
{
    m_state->editing = State::Editing::None;
}

void Table::deleteRecord()
{
    if (m_state->editing == State::Editing::Appending) {
        cancel();
        return;
    }
    cancel();
    if (m_state->current == npos)
        throw Error("La tabla " + guillemets(m_state->name) + " no tiene ningún registro que borrar.");
    m_state->records[m_state->current * m_state->recordLength] = deletedFlag;
    m_state->modified = true;
    std::size_t found = m_state->nextVisible(m_state->current + 1);
    if (found == npos)
        found = m_state->previousVisible(m_state->current);
    m_state->current = found;
    m_state->atEof = found == npos;
}

std::u16string Table::text(std::string_view fieldName) const
{
    return m_state->fieldText(m_state->currentRecord(), m_state->field(fieldName));
}

std::u16string Table::text(std::size_t recordNumber, std::string_view fieldName) const
{
    const bool appendedRecord =
        m_state->editing == State::Editing::Appending && recordNumber == m_state->storedCount;
    if (recordNumber >= m_state->storedCount && !appendedRecord)
        throw Error("La tabla " + guillemets(m_state->name) + " no tiene el registro " +
                    std::to_string(recordNumber + 1) + ".");
    const FieldInfo& info = m_state->field(fieldName);
    const bool pending = m_state->editing != State::Editing::None &&
                         (m_state->editing == State::Editing::Appending ? recordNumber == m_state->storedCount
                                                                        : recordNumber == m_state->current);
    const std::string_view record =
        pending ? std::string_view(m_state->buffer) : m_state->storedRecord(recordNumber);
    return m_state->fieldText(record, info);
}

long long Table::integer(std::string_view fieldName) const
{
    return m_state->fieldInteger(m_state->currentRecord(), m_state->field(fieldName));
}

double Table::number(std::string_view fieldName) const
{
    return m_state->fieldNumber(m_state->currentRecord(), m_state->field(fieldName));
}

bool Table::boolean(std::string_view fieldName) const
{
    const FieldInfo& info = m_state->field(fieldName);
    const std::string_view raw = m_state->rawValue(m_state->currentRecord(), info);
    return !raw.empty() && std::string_view("TtYy").find(raw[0]) != std::string_view::npos;
}

bool Table::isBlank(std::string_view fieldName) const
{
    const FieldInfo& info = m_state->field(fieldName);
    return trimBlanks(m_state->rawValue(m_state->currentRecord(), info), true).empty();
}

void Table::setText(std::string_view fieldName, std::u16string_view value)
{
    const FieldInfo* info = nullptr;
    char* target = m_state->writableValue(fieldName, info);
    detail::storeText(m_state->name, *info, target, value);
}

void Table::setInteger(std::string_view fieldName, long long value)
{
    const FieldInfo* info = nullptr;
    char* target = m_state->writableValue(fieldName, info);
    detail::storeInteger(m_state->name, *info, target, value);
}

void Table::setNumber(std::string_view fieldName, double value)
{
    const FieldInfo* info = nullptr;
    char* target = m_state->writableValue(fieldName, info);
    detail::storeNumber(m_state->name, *info, target, value);
}

void Table::setBoolean(std::string_view fieldName, bool value)
{
    const FieldInfo* info = nullptr;
    char* target = m_state->writableValue(fieldName, info);
    detail::storeBoolean(m_state->name, *info, target, value);
}

bool Table::locate(std::string_view fieldNames, const std::vector<std::u16string>& values)
{
    std::vector<std::size_t> fieldIndexes;
    for (std::size_t start = 0; start <= fieldNames.size();) {
        const std::size_t end = std::min(fieldNames.find(';', start), fieldNames.size());
        fieldIndexes.push_back(m_state->fieldIndex(fieldNames.substr(start, end - start)));
        start = end + 1;
    }
    if (fieldIndexes.size() != values.size())
        throw Error("La búsqueda en la tabla " + guillemets(m_state->name) + " por " +
                    guillemets(fieldNames) + " necesita un valor por campo.");
    std::string key;
    bool matchable = true;
    for (std::size_t index = 0; index < values.size(); ++index) {
        // Every value is converted, so that one an integer field cannot take
        // is reported even when another already matches nothing.
        const std::optional<std::string> part =
            m_state->searchKey(m_state->fields[fieldIndexes[index]], values[index]);
        if (part)
            appendKeyPart(key, *part);
        matchable = matchable && part.has_value();
    }
    if (!matchable)
        return false;
    m_state->postPending();
    if (const auto* records = m_state->candidates(fieldIndexes, key)) {
        for (std::size_t record : *records) {
            if (m_state->isVisible(record)) {
                m_state->current = record;
                m_state->atEof = m_state->atBof = false;
                return true;
            }
        }
    }
    return false;
}

void Table::setFilter(std::u16string_view expression)
{
    const auto invalid = [&] {
        throw Error("El filtro " + guillemets(toUtf8(expression)) + " de la tabla " +
                    guillemets(m_state->name) + " no es válido.");
    };
    const std::u16string text = AllTrim(expression);
    const std::size_t equals = text.find(u'=');
    if (equals == std::u16string::npos)
        invalid();
    const std::u16string fieldName = AllTrim(std::u16string_view(text).substr(0, equals));
    const std::u16string quotedValue = AllTrim(std::u16string_view(text).substr(equals + 1));
    if (quotedValue.size() < 2 || (quotedValue[0] != u'\'' && quotedValue[0] != u'"') ||
        quotedValue.back() != quotedValue[0])
        invalid();
    const char16_t quote = quotedValue[0];
    std::u16string value;
    for (std::size_t index = 1; index + 1 < quotedValue.size(); ++index) {
        if (quotedValue[index] == quote) {
            if (quotedValue[index + 1] != quote || index + 2 >= quotedValue.size())
                invalid();
            ++index;
        }
        value += quotedValue[index];
    }
    m_state->postPending();
    State::Filter filter;
    filter.field = m_state->fieldIndex(toUtf8(fieldName));
    filter.key = m_state->searchKey(m_state->fields[filter.field], value);
    m_state->filter = filter;
    m_state->filtered.clear();
    if (filter.key) {
        std::string key;
        appendKeyPart(key, *filter.key);
        if (const auto* records = m_state->candidates({filter.field}, key))
            m_state->filtered = *records;
    }
    first();
}

void Table::clearFilter()
{
    m_state->postPending();
    m_state->filter.reset();
    m_state->filtered.clear();
    first();
}

} // namespace pasavel
