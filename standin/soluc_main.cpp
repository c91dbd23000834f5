// pasavel-soluc-prueba: writes a stand-in timetable solution SOLUC into a
// working folder an export filled, so the import can be tried without the
// timetable program.
#include "base/Error.h"
#include "standin/StandInSolution.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("Uso: pasavel-soluc-prueba CARPETA_DE_TRABAJO\n", stderr);
        return 2;
    }
    try {
        const auto summary = pasavel::bench::writeStandInSolution(argv[1]);
        std::printf("SOLUC de prueba: %zu entradas (%zu sin día, %zu actividades no regulares)\n",
                    summary.entries, summary.unplaced, summary.nonRegular);
    } catch (const pasavel::Error& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
