#pragma once

#include <stdexcept>
#include <string>

namespace pasavel {

// The one error type of the program: a Spanish message for a person, naming
// the file, table, field or value at fault. Raised by the table store, the
// exchange document and the conversions; it ends the current run and its
// text is what the user sees.
class Error : public std::runtime_error {
  public:
    explicit Error(const std::string& utf8Message) : std::runtime_error(utf8Message) {}
};

} // namespace pasavel
