// pasavel-tablas: shows the dBase tables of a folder, or what one table holds.
#include "platform/Console.h"
#include "tools/TableTool.h"

#include <string>
#include <vector>

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments = pasavel::programArguments(argc, argv);
    const int status = pasavel::runTableTool(arguments, pasavel::standardOutput(), pasavel::standardError());
    pasavel::standardOutput().flush();
    return status;
}
