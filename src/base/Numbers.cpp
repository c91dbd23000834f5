#include "base/Numbers.h"

#include <charconv>

namespace pasavel {

std::optional<long long> parseInteger(std::u16string_view text)
{
    std::string ascii;
    for (char16_t character : text) {
        if (character > 0x7F)
            return std::nullopt;
        ascii += static_cast<char>(character);
    }
    std::string_view digits = ascii;
    if (digits.starts_with('+'))
        digits.remove_prefix(1);
    if (digits.empty() || digits.starts_with('+'))
        return std::nullopt;
    long long value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    return value;
}

std::u16string decimalText(long long number)
{
    const std::string digits = std::to_string(number);
    return std::u16string(digits.begin(), digits.end());
}

} // namespace pasavel
