#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Small text functions used to clean and cut the values that move between the
// exchange document and the working tables. Text is UTF-16; a character is one
// code unit and a space is U+0020 only (tabs, no-break spaces and line breaks
// are kept).
namespace pasavel {

std::u16string LTrim(std::u16string_view text);
std::u16string RTrim(std::u16string_view text);
std::u16string AllTrim(std::u16string_view text);

// The first / last count characters, or the whole text when it is not longer.
std::u16string Left(std::u16string_view text, std::size_t count);
std::u16string Right(std::u16string_view text, std::size_t count);

// Only the ASCII capitals A to Z of the text, in order.
std::u16string Capitals(std::u16string_view text);

// The character that follows each space.
std::u16string Initials(std::u16string_view text);

} // namespace pasavel
