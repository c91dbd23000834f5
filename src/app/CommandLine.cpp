#include "app/CommandLine.h"

#include "formats/Encoding.h"

#include <cctype>

namespace pasavel {

namespace {

std::optional<std::uint64_t> parseHexadecimal(const std::string& text)
{
    if (text.empty() || text.size() > 16)
        return std::nullopt;
    std::uint64_t value = 0;
    for (char character : text) {
        if (!std::isxdigit(static_cast<unsigned char>(character)))
            return std::nullopt;
        const int digit = std::isdigit(static_cast<unsigned char>(character))
                              ? character - '0'
                              : std::tolower(static_cast<unsigned char>(character)) - 'a' + 10;
        value = value * 16 + static_cast<std::uint64_t>(digit);
    }
    return value;
}

} // namespace

CommandLine readCommandLine(const std::vector<std::string>& parameters)
{
    CommandLine commandLine;
    if (parameters.size() != 2)
        return commandLine;
    commandLine.twoParameters = true;
    for (char character : parameters[0])
        commandLine.direction += static_cast<char>(std::tolower(static_cast<unsigned char>(character)));
    commandLine.hostWindow = parseHexadecimal(parameters[1]);
    if (!commandLine.hostWindow) {
        commandLine.handleError =
            u"«" + fromUtf8(parameters[1]) +
            u"» no es un identificador de ventana válido (se esperan dígitos hexadecimales). "
            u"El programa seguirá como una ventana independiente.";
    }
    return commandLine;
}

} // namespace pasavel
