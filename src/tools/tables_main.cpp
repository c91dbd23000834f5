// pasavel-tablas: shows the dBase tables of a folder, or what one table holds.
#include "tools/TableTool.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return pasavel::runTableTool(arguments, std::cout, std::cerr);
}
