// pasavel-cli: the batch runner.
#include "app/MainForm.h"
#include "cli/BatchRunner.h"
#include "formats/Encoding.h"
#include "platform/ProgramLocations.h"

#include <clocale>
#include <iostream>
#include <new>

int main(int argc, char** argv)
{
    // Dates in the output document follow the user's locale.
    std::setlocale(LC_TIME, "");
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    try {
        return pasavel::runBatch(arguments, pasavel::executablePath(), std::cout, std::cerr);
    } catch (const std::bad_alloc&) {
        // Reading the chosen file before the run (to check the answers) may
        // run out of memory too.
        std::cerr << pasavel::toUtf8(pasavel::outOfMemoryMessage()) << std::endl;
        return 1;
    }
}
