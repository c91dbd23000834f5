// pasavel-cli: the batch runner.
#include "app/BatchRunner.h"

#include <iostream>

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return pasavel::runBatch(arguments, "/proc/self/exe", std::cout, std::cerr);
}
