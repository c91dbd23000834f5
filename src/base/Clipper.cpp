#include "base/Clipper.h"

namespace pasavel {

namespace {
constexpr char16_t space = u' ';
}

std::u16string LTrim(std::u16string_view text)
{
    const auto first = text.find_first_not_of(space);
    return first == std::u16string_view::npos ? std::u16string() : std::u16string(text.substr(first));
}

std::u16string RTrim(std::u16string_view text)
{
    const auto last = text.find_last_not_of(space);
    return last == std::u16string_view::npos ? std::u16string() : std::u16string(text.substr(0, last + 1));
}

std::u16string AllTrim(std::u16string_view text)
{
    return LTrim(RTrim(text));
}

std::u16string Left(std::u16string_view text, std::size_t count)
{
    return std::u16string(text.substr(0, count));
}

std::u16string Right(std::u16string_view text, std::size_t count)
{
    return text.size() > count ? std::u16string(text.substr(text.size() - count)) : std::u16string(text);
}

std::u16string Capitals(std::u16string_view text)
{
    std::u16string capitals;
    for (char16_t character : text) {
        if (character >= u'A' && character <= u'Z')
            capitals += character;
    }
    return capitals;
}

std::u16string Initials(std::u16string_view text)
{
    std::u16string initials;
    for (std::size_t position = 0; position + 1 < text.size(); ++position) {
        if (text[position] == space)
            initials += text[position + 1];
    }
    return initials;
}

} // namespace pasavel
