// pasavel-cli: the batch runner.
#include "app/BatchRunner.h"

#include <clocale>
#include <iostream>

int main(int argc, char** argv)
{
    // Dates in the output document follow the user's locale.
    std::setlocale(LC_TIME, "");
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return pasavel::runBatch(arguments, "/proc/self/exe", std::cout, std::cerr);
}
