// pasavel-hold-table: another program using a table, for the Windows tests,
// which have no fork().
//
//   pasavel-hold-table CARPETA TABLA compartida|exclusiva [SEÑAL]
//
// Opens the table in that mode. Without SEÑAL it closes it again at once:
// the exit status says whether it could be opened (0) or not (1). With
// SEÑAL it makes the file SEÑAL-abierta once it holds the table (SEÑAL-fallo
// when it cannot open it) and keeps the table until the file SEÑAL exists,
// or a minute has passed.
#include "formats/dbase/Table.h"
#include "platform/Console.h"
#include "platform/PathText.h"

#include <chrono>
#include <exception>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

void makeFile(const std::filesystem::path& file)
{
    std::ofstream{file};
}

} // namespace

int main(int argc, char** argv)
{
    using namespace pasavel;
    const std::vector<std::string> arguments = programArguments(argc, argv);
    if ((arguments.size() != 3 && arguments.size() != 4) ||
        (arguments[2] != "compartida" && arguments[2] != "exclusiva")) {
        standardError() << "Uso: pasavel-hold-table CARPETA TABLA compartida|exclusiva [SEÑAL]\n";
        return 2;
    }
    const OpenMode mode = arguments[2] == "exclusiva" ? OpenMode::Exclusive : OpenMode::Shared;
    const std::filesystem::path signal =
        arguments.size() == 4 ? pathFromUtf8(arguments[3]) : std::filesystem::path();
    const auto signalled = [&](const char* suffix) {
        std::filesystem::path file = signal;
        file += suffix;
        return file;
    };
    try {
        Table table(pathFromUtf8(arguments[0]), arguments[1], mode);
        if (signal.empty())
            return 0;
        makeFile(signalled("-abierta"));
        const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(1);
        while (!std::filesystem::exists(signal) && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } catch (const std::exception& error) {
        standardError() << error.what() << std::endl;
        if (!signal.empty())
            makeFile(signalled("-fallo"));
        return 1;
    }
    return 0;
}
