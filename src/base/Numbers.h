#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pasavel {

// Decimal text to integer: an optional sign and digits, nothing else (no
// blanks, no point). Nothing when the text is not such a number or is too large.
std::optional<long long> parseInteger(std::u16string_view text);

// The decimal text of a number.
std::u16string decimalText(long long number);

} // namespace pasavel
