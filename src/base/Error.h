#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace pasavel {

// The one error type of the program: a Spanish message for a person, naming
// the file, table, field or value at fault. Raised by the table store, the
// exchange document and the conversions; it ends the current run and its
// text is what the user sees.
class Error : public std::runtime_error {
  public:
    explicit Error(const std::string& utf8Message) : std::runtime_error(utf8Message) {}
};

// How a message names a table, field, file or value: «NAME».
inline std::string guillemets(std::string_view text)
{
    return "«" + std::string(text) + "»";
}

} // namespace pasavel
