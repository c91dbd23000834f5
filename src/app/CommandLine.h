#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pasavel {

// What the window program's parameters ask for. Exactly two parameters, a
// direction and the host window's handle in hexadecimal digits, start the
// program embedded in that window; any other count runs it stand-alone.
struct CommandLine {
    bool twoParameters = false;
    // The first parameter in lower case: "exportar" or "importar" start a run.
    std::string direction;
    // The host window, when the second parameter is a hexadecimal number.
    std::optional<std::uint64_t> hostWindow;
    // The message for a second parameter that is not one, shown at start-up.
    std::u16string handleError;
};

CommandLine readCommandLine(const std::vector<std::string>& parameters);

} // namespace pasavel
