// pasavel-cli: the batch runner. Runs a conversion without a window,
// answering the dialogs from its options.
#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

constexpr int exitUsage = 2;

const char* const usage =
    "Uso:\n"
    "  pasavel-cli exportar DOCUMENTO.xml [--vtemp DIR] [--materias RAICESMATERIAS.DBF]\n"
    "                       [--niveles NIVELES.csv] [--recuperar | --descartar] [--marcos COD[,COD]]\n"
    "  pasavel-cli importar DOCUMENTO.xml [--vtemp DIR]\n"
    "  pasavel-cli --help | --version\n"
    "\n"
    "exportar  convierte un documento de intercambio de Raíces en las tablas de trabajo de Velmora.\n"
    "importar  convierte el horario calculado por Velmora en un documento de intercambio para Raíces.\n";

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(usage, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("pasavel-cli %s\n", PASAVEL_VERSION);
        return 0;
    }
    std::fputs(usage, stderr);
    return exitUsage;
}
