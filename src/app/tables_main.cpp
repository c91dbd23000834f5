// pasavel-tablas: lists the dBase tables of a folder with their record counts,
// to see at a glance what an export wrote.
#include "app/Error.h"
#include "formats/Table.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("Uso: pasavel-tablas CARPETA\n", stderr);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::vector<std::filesystem::path> tables;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        std::string extension = entry.path().extension().string();
        std::transform(extension.begin(), extension.end(), extension.begin(), ::toupper);
        if (extension == ".DBF")
            tables.push_back(entry.path());
    }
    if (error) {
        std::fprintf(stderr, "No se puede leer la carpeta %s.\n", folder.c_str());
        return 1;
    }
    std::sort(tables.begin(), tables.end());
    int status = 0;
    for (const auto& path : tables) {
        try {
            pasavel::Table table(path);
            std::printf("%-16s %6zu registros  %2zu campos\n", path.filename().c_str(), table.recordCount(),
                        table.fields().size());
        } catch (const pasavel::Error& failure) {
            std::fprintf(stderr, "%s\n", failure.what());
            status = 1;
        }
    }
    return status;
}
