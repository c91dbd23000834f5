#include "formats/dbase/FieldCodec.h"

#include "base/Clipper.h"
#include "base/Error.h"
#include "base/Numbers.h"
#include "formats/Encoding.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace pasavel::dbase {

namespace {

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

bool isBinaryInteger(const FieldInfo& info)
{
    return (info.type == 'I' || info.type == '+') && info.width == 4;
}

// Leading blanks of a string are its own; those of a number are padding.
std::string_view unpadded(const FieldInfo& info, std::string_view bytes)
{
    return trimBlanks(bytes, !isTextKind(info.type));
}

} // namespace

std::string_view fieldBytes(std::string_view record, const FieldInfo& info)
{
    return record.empty() ? std::string_view() : record.substr(1 + info.offset, info.width);
}

bool isIntegerField(const FieldInfo& info)
{
    return isBinaryInteger(info) || (isNumericKind(info.type) && info.decimals == 0);
}

FieldCodec::FieldCodec(std::string table, CodePage codePage, bool level7)
    : m_table(std::move(table)), m_codePage(codePage), m_level7(level7)
{
}

std::u16string FieldCodec::decode(std::string_view bytes) const
{
    switch (m_codePage) {
    case CodePage::Dos437:
        return decodeAs(bytes, "CP437");
    case CodePage::Dos850:
        return decodeAs(bytes, "CP850");
    case CodePage::Windows1252:
        break;
    }
    return fromWindows1252(bytes);
}

// The stored bytes of a value in the table's code page, or nothing when the
// code page cannot hold it exactly (then no stored value can equal it).
std::optional<std::string> FieldCodec::encodeExactly(std::u16string_view value) const
{
    std::string bytes;
    switch (m_codePage) {
    case CodePage::Dos437:
        bytes = encodeAs(value, "CP437");
        break;
    case CodePage::Dos850:
        bytes = encodeAs(value, "CP850");
        break;
    case CodePage::Windows1252:
        bytes = toWindows1252(value);
        break;
    }
    if (decode(bytes) != value)
        return std::nullopt;
    return bytes;
}

std::u16string FieldCodec::text(const FieldInfo& info, std::string_view bytes) const
{
    if (isBinaryInteger(info))
        return bytes.empty() ? std::u16string() : fromUtf8(std::to_string(integer(info, bytes)));
    return decode(unpadded(info, bytes));
}

long long FieldCodec::integer(const FieldInfo& info, std::string_view bytes) const
{
    if (isBinaryInteger(info) && bytes.size() == 4) {
        // dBase 7 stores long integers big-endian with the sign bit flipped;
        // FoxPro stores them little-endian.
        std::uint32_t bits = 0;
        for (std::size_t index = 0; index < 4; ++index)
            bits = (bits << 8) | static_cast<unsigned char>(bytes[m_level7 ? index : 3 - index]);
        return m_level7 ? static_cast<std::int32_t>(bits ^ 0x80000000u) : static_cast<std::int32_t>(bits);
    }
    const std::string_view digits = trimBlanks(bytes, true);
    if (digits.empty())
        return 0;
    long long value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error == std::errc() && end == digits.data() + digits.size())
        return value;
    if (isNumericKind(info.type))
        return std::llround(number(info, bytes));
    throw Error("El campo " + guillemets(info.name) + " de la tabla " + guillemets(m_table) +
                " tiene el valor " + guillemets(toUtf8(decode(digits))) + ", que no es un número entero.");
}

double FieldCodec::number(const FieldInfo& info, std::string_view bytes) const
{
    if (isBinaryInteger(info))
        return static_cast<double>(integer(info, bytes));
    const std::string_view digits = trimBlanks(bytes, true);
    if (digits.empty())
        return 0.0;
    double value = 0.0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error == std::errc() && end == digits.data() + digits.size())
        return value;
    throw Error("El campo " + guillemets(info.name) + " de la tabla " + guillemets(m_table) +
                " tiene el valor " + guillemets(toUtf8(decode(digits))) + ", que no es un número.");
}

bool FieldCodec::boolean(const FieldInfo&, std::string_view bytes) const
{
    return !bytes.empty() && std::string_view("TtYy").find(bytes[0]) != std::string_view::npos;
}

bool FieldCodec::isBlank(std::string_view bytes) const
{
    return trimBlanks(bytes, true).empty();
}

void FieldCodec::setText(const FieldInfo& info, std::span<char> bytes, std::u16string_view value) const
{
    if (!isTextKind(info.type)) {
        const std::u16string trimmed = AllTrim(value);
        if (trimmed.empty()) {
            std::fill(bytes.begin(), bytes.end(), ' ');
        } else if (info.type == 'L') {
            setBoolean(info, bytes,
                       std::u16string_view(u"TtYySs").find(trimmed[0]) != std::u16string_view::npos);
        } else {
            const std::string digits = toUtf8(trimmed);
            double parsed = 0.0;
            const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), parsed);
            if (error != std::errc() || end != digits.data() + digits.size())
                throw Error("El valor " + guillemets(digits) + " no es un número para el campo " +
                            guillemets(info.name) + " de la tabla " + guillemets(m_table) + ".");
            storeDigits(info, bytes, digits);
        }
        return;
    }
    std::string encoded = toWindows1252(value);
    encoded.resize(bytes.size(), ' ');
    std::copy(encoded.begin(), encoded.end(), bytes.begin());
}

void FieldCodec::setInteger(const FieldInfo& info, std::span<char> bytes, long long value) const
{
    if (isTextKind(info.type)) {
        setText(info, bytes, fromUtf8(std::to_string(value)));
        return;
    }
    storeDigits(info, bytes, std::to_string(value));
}

void FieldCodec::setNumber(const FieldInfo& info, std::span<char> bytes, double value) const
{
    char digits[64];
    std::snprintf(digits, sizeof digits, "%.*f", info.decimals, value);
    if (isTextKind(info.type)) {
        setText(info, bytes, fromUtf8(digits));
        return;
    }
    storeDigits(info, bytes, digits);
}

void FieldCodec::setBoolean(const FieldInfo& info, std::span<char> bytes, bool value) const
{
    if (info.type != 'L') {
        setText(info, bytes, value ? u"T" : u"F");
        return;
    }
    bytes[0] = value ? 'T' : 'F';
}

void FieldCodec::storeDigits(const FieldInfo& info, std::span<char> bytes, const std::string& digits) const
{
    if (digits.size() > bytes.size()) {
        throw Error("El valor " + digits + " no cabe en el campo " + guillemets(info.name) + " de la tabla " +
                    guillemets(m_table) + " (" + std::to_string(info.width) + " posiciones).");
    }
    std::fill(bytes.begin(), bytes.end(), ' ');
    std::copy(digits.begin(), digits.end(), bytes.end() - static_cast<std::ptrdiff_t>(digits.size()));
}

std::string FieldCodec::storedKey(const FieldInfo& info, std::string_view bytes) const
{
    if (isBinaryInteger(info))
        return std::to_string(integer(info, bytes));
    const std::string_view trimmed = unpadded(info, bytes);
    if (!isIntegerField(info) || trimmed.empty())
        return std::string(trimmed);
    long long value = 0;
    const auto [end, error] = std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), value);
    if (error == std::errc() && end == trimmed.data() + trimmed.size())
        return std::to_string(value);
    // Not a whole number: no searched value can equal it.
    return "?" + std::string(trimmed);
}

std::optional<std::string> FieldCodec::searchKey(const FieldInfo& info, std::u16string_view value) const
{
    if (isIntegerField(info)) {
        // Searched as an integer conversion reads the text: "06001" is 6001.
        if (const std::optional<long long> number = parseInteger(AllTrim(value)))
            return std::to_string(*number);
        throw Error("El valor " + guillemets(toUtf8(value)) + " que se busca en el campo " +
                    guillemets(info.name) + " de la tabla " + guillemets(m_table) +
                    " no es un número entero.");
    }
    const std::optional<std::string> encoded = encodeExactly(RTrim(value));
    if (!encoded)
        return std::nullopt;
    return std::string(unpadded(info, *encoded));
}

} // namespace pasavel::dbase
