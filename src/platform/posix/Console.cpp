#include "platform/Console.h"

#include <iostream>

namespace pasavel {

// The arguments and the terminal are in the locale's encoding, which the
// program takes to be UTF-8: both pass as they are.
std::vector<std::string> programArguments(int argc, char** argv)
{
    return std::vector<std::string>(argv + 1, argv + argc);
}

std::ostream& standardOutput()
{
    return std::cout;
}

std::ostream& standardError()
{
    return std::cerr;
}

} // namespace pasavel
