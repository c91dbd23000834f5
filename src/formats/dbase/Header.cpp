#include "formats/dbase/Header.h"

#include "base/Error.h"
#include "platform/LocalTime.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

namespace pasavel::dbase {

namespace {

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
constexpr std::size_t dbase7DriverNameOffset = 32;

// Where a descriptor keeps the type letter, and the width and decimals
// counted from that letter.
struct DescriptorLayout {
    std::size_t headerSize;
    std::size_t descriptorSize;
    std::size_t nameSize;
    std::size_t typeOffset;
    std::size_t widthAfterType;
    std::size_t decimalsAfterType;
};

constexpr DescriptorLayout dbase3Layout = {dbase3HeaderSize, dbase3DescriptorSize, dbase3NameSize, 11, 5, 6};
constexpr DescriptorLayout dbase7Layout = {dbase7HeaderSize, dbase7DescriptorSize, dbase7NameSize, 32, 1, 2};

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

std::string_view withoutBlanks(std::string_view bytes)
{
    const auto isBlank = [](char byte) { return byte == ' ' || byte == '\0'; };
    while (!bytes.empty() && isBlank(bytes.back()))
        bytes.remove_suffix(1);
    while (!bytes.empty() && isBlank(bytes.front()))
        bytes.remove_prefix(1);
    return bytes;
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

CodePage codePageOf(unsigned char languageDriver)
{
    switch (languageDriver) {
    case 0x01:
        return CodePage::Dos437;
    case 0x02:
        return CodePage::Dos850;
    default:
        return CodePage::Windows1252;
    }
}

} // namespace

Header readHeader(std::string_view file, std::string_view table, const std::filesystem::path& path)
{
    const auto damaged = [&](const std::string& reason) {
        throw Error("La tabla " + guillemets(table) + " está dañada o no es una tabla dBase (" +
                    path.string() + "): " + reason + ".");
    };
    if (file.size() < dbase3HeaderSize)
        damaged("el archivo es más corto que la cabecera");
    const auto version = static_cast<unsigned char>(file[0]);
    if ((version & 0x07) == 0x02 && version != 0xF5 && version != 0x02 + 0x30)
        damaged("el formato dBase II no se admite");
    const bool dbase7 = (version & 0x07) == 0x04;
    const DescriptorLayout& layout = dbase7 ? dbase7Layout : dbase3Layout;
    Header header;
    const std::size_t headerLength = readLittleEndian(file, 8, 2);
    header.recordLength = readLittleEndian(file, 10, 2);
    header.claimedCount = readLittleEndian(file, 4, 4);
    if (headerLength > file.size() || headerLength < layout.headerSize + 1)
        damaged("la longitud de la cabecera no es válida");
    if (header.recordLength < 2)
        damaged("la longitud de los registros no es válida");

    int offset = 0;
    std::size_t descriptor = layout.headerSize;
    for (; descriptor + layout.descriptorSize <= headerLength && file[descriptor] != headerTerminator;
         descriptor += layout.descriptorSize) {
        FieldInfo info;
        const std::string_view rawName = file.substr(descriptor, layout.nameSize);
        info.name = std::string(withoutBlanks(rawName.substr(0, rawName.find('\0'))));
        const std::size_t type = descriptor + layout.typeOffset;
        info.type = static_cast<char>(std::toupper(static_cast<unsigned char>(file[type])));
        info.width = static_cast<unsigned char>(file[type + layout.widthAfterType]);
        info.decimals = static_cast<unsigned char>(file[type + layout.decimalsAfterType]);
        if (info.type == 'C' && !dbase7) {
            // FoxPro keeps the high byte of a long character field's width here.
            info.width |= info.decimals << 8;
            info.decimals = 0;
        }
        info.offset = offset;
        offset += info.width;
        header.fields.push_back(std::move(info));
    }
    if (header.fields.empty())
        damaged("no tiene campos");
    // The header must agree with itself, or the records would be read from
    // the wrong place: the descriptors end at the terminator inside the
    // header, and the header ends right after it. What real programs put
    // after the terminator is allowed: one padding byte, FoxPro's backlink
    // area, dBase 7's field properties.
    if (descriptor >= headerLength || file[descriptor] != headerTerminator)
        damaged("la longitud de la cabecera no llega al final de la descripción de los campos");
    const std::size_t afterTerminator = headerLength - (descriptor + 1);
    const bool foxPro = version == 0x30 || version == 0x31 || version == 0x32;
    const bool allowedTail =
        afterTerminator <= 1 || dbase7 || (foxPro && afterTerminator == foxProBacklinkSize);
    if (!allowedTail)
        damaged("la longitud de la cabecera no acaba en la descripción de los campos");
    if (static_cast<std::size_t>(offset) + 1 > header.recordLength)
        damaged("los campos no caben en la longitud de registro");
    if (static_cast<std::size_t>(offset) + 1 != header.recordLength)
        damaged("la longitud de registro no es la suma de los anchos de los campos");

    header.bytes = std::string(file.substr(0, headerLength));
    header.codePage = codePageOf(static_cast<unsigned char>(file[29]));
    return header;
}

std::string newHeader(std::string_view table, const std::vector<FieldSpec>& fields)
{
    if (fields.empty())
        throw Error("La tabla " + guillemets(table) + " no tiene campos.");
    const bool dbase3 = fitsDbase3(fields);
    const DescriptorLayout& layout = dbase3 ? dbase3Layout : dbase7Layout;
    const std::size_t headerLength = layout.headerSize + layout.descriptorSize * fields.size() + 1;
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
        header.replace(dbase7DriverNameOffset, dbase7DriverName.size(), dbase7DriverName);
    for (std::size_t index = 0; index < fields.size(); ++index) {
        const FieldSpec& field = fields[index];
        const std::size_t descriptor = layout.headerSize + index * layout.descriptorSize;
        const std::size_t type = descriptor + layout.typeOffset;
        header.replace(descriptor, field.name.size(), field.name);
        header[type] = typeLetter(field.kind);
        header[type + layout.widthAfterType] = static_cast<char>(field.width);
        header[type + layout.decimalsAfterType] = static_cast<char>(field.decimals);
    }
    header[headerLength - 1] = headerTerminator;
    return header;
}

std::string stampedHeader(std::string_view header, std::size_t recordCount)
{
    std::string stamped(header);
    stampToday(stamped);
    writeLittleEndian(stamped, 4, static_cast<std::uint32_t>(recordCount), 4);
    return stamped;
}

} // namespace pasavel::dbase
