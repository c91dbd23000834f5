#pragma once

#include <stdexcept>
#include <string>

namespace pasavel {

// A call to the operating system failed. what() is the system's own reason,
// in Spanish, for the caller to put into a message that names its object.
class SystemError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// What went wrong, in Spanish, for an errno value.
std::string systemErrorText(int errorNumber);

} // namespace pasavel
