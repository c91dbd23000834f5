// pasavel-bench: times the export and the import of made-up schools at
// several scales against the time libxml2 alone takes to parse the same
// document and write it back, and reports peak memory. Not a test: it prints
// figures.
#include "SyntheticSchool.h"
#include "cli/BatchRunner.h"
#include "formats/XmlDocument.h"
#include "standin/StandInSolution.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Figures {
    double exportSeconds = 0;
    double importSeconds = 0;
    double exportFloor = 0;
    double importFloor = 0;
    std::size_t documentBytes = 0;
    long peakKilobytes = 0;
};

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void writeFile(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream stream(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

// What libxml2 alone needs to parse a document and write it back.
double parseAndWriteSeconds(const std::string& bytes, const std::filesystem::path& target)
{
    const auto start = Clock::now();
    const pasavel::XmlDocument document = pasavel::XmlDocument::parseText(bytes, "floor");
    writeFile(target, document.serialise());
    return secondsSince(start);
}

int runCli(const std::vector<std::string>& arguments)
{
    std::ostringstream out;
    std::ostringstream err;
    const int status = pasavel::runBatch(arguments, "/proc/self/exe", out, err);
    if (status != 0)
        std::fprintf(stderr, "%s%s", out.str().c_str(), err.str().c_str());
    return status;
}

// One export and one import of a school, in this process.
Figures measureOnce(std::size_t scale, const std::filesystem::path& folder)
{
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder / "VTEMP");
    const pasavel::bench::SyntheticSchool school = pasavel::bench::makeSyntheticSchool(scale);
    const auto document = folder / "centro.xml";
    writeFile(document, school.document);
    writeFile(folder / "niveles.csv", school.levels);
    const std::string vtemp = (folder / "VTEMP").string();

    Figures figures;
    figures.documentBytes = school.document.size();
    auto start = Clock::now();
    if (runCli({"exportar", document.string(), "--vtemp", vtemp, "--niveles",
                (folder / "niveles.csv").string(), "--descartar", "--marcos", "1,2"}) != 0)
        std::exit(1);
    figures.exportSeconds = secondsSince(start);

    pasavel::bench::writeStandInSolution(folder / "VTEMP");
    start = Clock::now();
    if (runCli({"importar", document.string(), "--vtemp", vtemp}) != 0)
        std::exit(1);
    figures.importSeconds = secondsSince(start);
    return figures;
}

// Runs in a fresh process (this program again), so that its peak memory is
// that of the export and the import alone.
Figures measureInChild(std::size_t scale, const std::filesystem::path& folder)
{
    const std::string command =
        "/proc/" + std::to_string(getpid()) + "/exe --medir " + std::to_string(scale) + " " + folder.string();
    std::FILE* child = popen(command.c_str(), "r");
    Figures figures;
    const bool received = child != nullptr && std::fscanf(child, "%lf %lf %zu %ld", &figures.exportSeconds,
                                                          &figures.importSeconds, &figures.documentBytes,
                                                          &figures.peakKilobytes) == 4;
    if (child == nullptr || pclose(child) != 0 || !received) {
        std::fprintf(stderr, "La medida a escala %zu ha fallado.\n", scale);
        std::exit(1);
    }
    // The floors are measured here, apart from the child's memory.
    figures.exportFloor = parseAndWriteSeconds(readFile(folder / "centro.xml"), folder / "floor.xml");
    figures.importFloor =
        parseAndWriteSeconds(readFile(folder / "ResultadoQuelvocentro.xml"), folder / "floor.xml");
    return figures;
}

// A document whose one value holds characters its declared encoding cannot
// hold (ISO-8859-1 and '中'): the normalised copy writes each as a character
// reference. Returns the export's seconds.
double measureHostileText(std::size_t characters, const std::filesystem::path& folder)
{
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder / "VTEMP");
    std::string hostile;
    for (std::size_t index = 0; index < characters; ++index)
        hostile += "\xE4\xB8\xAD"; // 中 in UTF-8
    const std::string document =
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><SERVICIO><BLOQUE_DATOS>"
        "<grupo_datos "
        "seq=\"ANNO\"><dato>2025</dato><dato>15/09/2025</dato><dato>22/06/2026</dato></grupo_datos>"
        "<grupo_datos seq=\"CENTRO\"/>"
        "<grupo_datos seq=\"JORNADAS_ESCOLARES\"><grupo_datos><dato>M</dato><dato>Mañana</dato></grupo_datos>"
        "</grupo_datos><grupo_datos seq=\"TRAMOS_HORARIOS\"><grupo_datos><dato>1</dato><dato>1ª</dato>"
        "<dato>510</dato><dato>565</dato><dato>M</dato></grupo_datos></grupo_datos>"
        "<grupo_datos seq=\"CURSOS_DEL_CENTRO\"><grupo_datos><dato>1ESO</dato><dato>" +
        hostile + "</dato></grupo_datos></grupo_datos></BLOQUE_DATOS></SERVICIO>";
    writeFile(folder / "hostil.xml", document);
    writeFile(folder / "niveles.csv", "1ESO;ESO;1\n");
    const auto start = Clock::now();
    if (runCli({"exportar", (folder / "hostil.xml").string(), "--vtemp", (folder / "VTEMP").string(),
                "--niveles", (folder / "niveles.csv").string(), "--descartar"}) != 0)
        std::exit(1);
    return secondsSince(start);
}

// The peak resident memory of this process so far, in kilobytes.
long peakKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// A fresh working folder with the chosen document of this school.
std::filesystem::path prepareFolder(const std::filesystem::path& folder,
                                    const pasavel::bench::SyntheticSchool& school)
{
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder / "VTEMP");
    writeFile(folder / "centro.xml", school.document);
    writeFile(folder / "niveles.csv", school.levels);
    return folder / "centro.xml";
}

bool exportSchool(const std::filesystem::path& folder)
{
    return runCli({"exportar", (folder / "centro.xml").string(), "--vtemp", (folder / "VTEMP").string(),
                   "--niveles", (folder / "niveles.csv").string(), "--descartar", "--marcos", "1,2"}) == 0;
}

// Makes the input of one of the single measures below in CARPETA.
int prepareCase(const std::string& name, std::size_t count, const std::filesystem::path& folder)
{
    using pasavel::bench::SchoolShape;
    if (name == "profesores-iguales" || name == "profesores-variados") {
        prepareFolder(folder, pasavel::bench::makeSyntheticSchool(
                                  1, SchoolShape{count, name == "profesores-iguales", 0}));
    } else if (name == "un-profesor") {
        prepareFolder(folder, pasavel::bench::makeSyntheticSchool(1));
        if (!exportSchool(folder))
            return 1;
        pasavel::bench::writeOneTeacherSolution(folder / "VTEMP", count);
    } else if (name == "documento") {
        // The smallest scale whose document holds at least COUNT megabytes.
        const SchoolShape shape{0, false, 400 * 16};
        const auto bytesAt = [&](std::size_t scale) {
            return pasavel::bench::makeSyntheticSchool(scale, shape).document.size();
        };
        std::size_t high = 1;
        while (bytesAt(high) < count * 1000000)
            high *= 2;
        std::size_t low = high / 2;
        while (low + 1 < high) {
            const std::size_t middle = (low + high) / 2;
            (bytesAt(middle) < count * 1000000 ? low : high) = middle;
        }
        prepareFolder(folder, pasavel::bench::makeSyntheticSchool(high, shape));
    } else {
        return 2;
    }
    return 0;
}

// "--caso NOMBRE CARPETA", in a fresh process: the run of a prepared case,
// printed as seconds, bytes of the document read or written, and peak
// kilobytes.
int measureCase(const std::string& name, const std::filesystem::path& folder)
{
    const auto start = Clock::now();
    std::size_t documentBytes = 0;
    if (name == "un-profesor") {
        if (runCli({"importar", (folder / "centro.xml").string(), "--vtemp", (folder / "VTEMP").string()}) !=
            0)
            return 1;
        documentBytes = std::filesystem::file_size(folder / "ResultadoQuelvocentro.xml");
    } else {
        if (!exportSchool(folder))
            return 1;
        documentBytes = std::filesystem::file_size(folder / "centro.xml");
    }
    const double seconds = secondsSince(start);
    std::printf("%.6f %zu %ld\n", seconds, documentBytes, peakKilobytes());
    return 0;
}

struct CaseFigures {
    double seconds = 0;
    std::size_t documentBytes = 0;
    long peakKilobytes = 0;
};

CaseFigures measureCaseInChild(const std::string& name, std::size_t count,
                               const std::filesystem::path& folder)
{
    const std::string self = "/proc/" + std::to_string(getpid()) + "/exe ";
    if (std::system((self + "--preparar-caso " + name + " " + std::to_string(count) + " " + folder.string())
                        .c_str()) != 0) {
        std::fprintf(stderr, "La preparación de «%s» ha fallado.\n", name.c_str());
        std::exit(1);
    }
    const std::string command = self + "--caso " + name + " " + folder.string();
    std::FILE* child = popen(command.c_str(), "r");
    CaseFigures figures;
    const bool received =
        child != nullptr && std::fscanf(child, "%lf %zu %ld", &figures.seconds, &figures.documentBytes,
                                        &figures.peakKilobytes) == 3;
    if (child == nullptr || pclose(child) != 0 || !received) {
        std::fprintf(stderr, "La medida «%s» ha fallado.\n", name.c_str());
        std::exit(1);
    }
    return figures;
}

// The export of a 60 MB document, in a fresh process: its peak memory
// against the document's size.
void measureLargeDocument(const std::filesystem::path& folder)
{
    const CaseFigures large = measureCaseInChild("documento", 60, folder);
    std::printf("documento de %.1f MB: exportar %.3fs, memoria %.1f MB (%.1f veces el documento)\n",
                large.documentBytes / 1e6, large.seconds, large.peakKilobytes / 1024.0,
                large.peakKilobytes * 1024.0 / static_cast<double>(large.documentBytes));
}

// Inputs that once took far more time or memory than their size: each line
// is one run in a fresh process.
void measureHardCases(const std::filesystem::path& folder)
{
    std::printf("\nCasos difíciles (una ejecución cada uno)\n");
    const CaseFigures same = measureCaseInChild("profesores-iguales", 4000, folder);
    std::printf("4.000 profesores con las mismas iniciales: exportar %.3fs, memoria %.1f MB\n", same.seconds,
                same.peakKilobytes / 1024.0);
    const CaseFigures varied = measureCaseInChild("profesores-variados", 50000, folder);
    std::printf("50.000 profesores al azar: exportar %.3fs, memoria %.1f MB\n", varied.seconds,
                varied.peakKilobytes / 1024.0);
    const CaseFigures oneTeacher = measureCaseInChild("un-profesor", 250000, folder);
    std::printf(
        "un profesor con 250.000 entradas en SOLUC: importar %.3fs, salida %.1f MB, memoria %.1f MB\n",
        oneTeacher.seconds, oneTeacher.documentBytes / 1e6, oneTeacher.peakKilobytes / 1024.0);
    measureLargeDocument(folder);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::string quoted(const std::string& text)
{
    std::string quoted = "'";
    for (char character : text)
        quoted += character == '\'' ? std::string("'\\''") : std::string(1, character);
    return quoted + "'";
}

// The wall time of a command, its output dropped; the run ends when it fails.
double commandSeconds(const std::string& command)
{
    const auto start = Clock::now();
    if (std::system((command + " >/dev/null 2>&1").c_str()) != 0) {
        std::fprintf(stderr, "Ha fallado: %s\n", command.c_str());
        std::exit(1);
    }
    return secondsSince(start);
}

// "--windows PASAVEL-CLI.EXE [EJECUCIONES]": the 16x school exported and
// imported by the Linux pasavel-cli beside this program and by the Windows
// one under Wine, each a whole program run from start to end, so the two
// times compare. The Wine prefix is the one of the Windows build (the
// folder wineprefix beside its bin), started once before the runs; a run of
// --version says what starting a program under Wine costs.
int compareWithWindows(const std::filesystem::path& windowsCli, int runs, const std::filesystem::path& folder)
{
    std::error_code error;
    const std::filesystem::path linuxCli =
        std::filesystem::read_symlink("/proc/self/exe", error).parent_path() / "pasavel-cli";
    const std::filesystem::path prefix =
        std::filesystem::absolute(windowsCli).parent_path().parent_path() / "wineprefix";
    const std::string wine = quoted(PASAVEL_WINE_RUN) + " --prefix " + quoted(prefix.string()) + " ";
    const pasavel::bench::SyntheticSchool school = pasavel::bench::makeSyntheticSchool(16);
    commandSeconds(wine + quoted(windowsCli.string()) + " --version");
    std::vector<double> starts;
    for (int run = 0; run < runs; ++run)
        starts.push_back(commandSeconds(wine + quoted(windowsCli.string()) + " --version"));

    struct Times {
        std::vector<double> exports, imports;
    };
    const auto measure = [&](const std::string& program) {
        Times times;
        for (int run = 0; run < runs; ++run) {
            const std::string document = prepareFolder(folder, school).string();
            const std::string vtemp = (folder / "VTEMP").string();
            times.exports.push_back(commandSeconds(
                program + " exportar " + quoted(document) + " --vtemp " + quoted(vtemp) + " --niveles " +
                quoted((folder / "niveles.csv").string()) + " --descartar --marcos 1,2"));
            pasavel::bench::writeStandInSolution(folder / "VTEMP");
            times.imports.push_back(
                commandSeconds(program + " importar " + quoted(document) + " --vtemp " + quoted(vtemp)));
        }
        return times;
    };
    const Times onLinux = measure(quoted(linuxCli.string()));
    const Times underWine = measure(wine + quoted(windowsCli.string()));
    std::printf("Pasavel: el centro 16x (%.1f KB) con pasavel-cli de Linux y con pasavel-cli.exe bajo Wine\n"
                "(programa entero, mediana de %d ejecuciones)\n\n",
                school.document.size() / 1024.0, runs);
    std::printf("%-18s %10s %10s\n", "", "exportar", "importar");
    std::printf("%-18s %9.3fs %9.3fs\n", "Linux", median(onLinux.exports), median(onLinux.imports));
    std::printf("%-18s %9.3fs %9.3fs\n", "Windows bajo Wine", median(underWine.exports),
                median(underWine.imports));
    std::printf("%-18s %9.1fx %9.1fx\n", "Wine / Linux", median(underWine.exports) / median(onLinux.exports),
                median(underWine.imports) / median(onLinux.imports));
    std::printf("\narranque de un programa bajo Wine (--version): %.3fs\n", median(starts));
    std::filesystem::remove_all(folder);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    // "--medir ESCALA CARPETA": one measure, printed for the parent process.
    if (argc == 4 && std::string(argv[1]) == "--medir") {
        const Figures figures = measureOnce(static_cast<std::size_t>(std::atoi(argv[2])), argv[3]);
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("%.6f %.6f %zu %ld\n", figures.exportSeconds, figures.importSeconds,
                    figures.documentBytes, usage.ru_maxrss);
        return 0;
    }
    if (argc == 5 && std::string(argv[1]) == "--preparar-caso")
        return prepareCase(argv[2], static_cast<std::size_t>(std::atol(argv[3])), argv[4]);
    if (argc == 4 && std::string(argv[1]) == "--caso")
        return measureCase(argv[2], argv[3]);
    // "--preparar ESCALA CARPETA" leaves one exported school with its solution
    // in CARPETA, to profile a run by hand.
    if (argc == 4 && std::string(argv[1]) == "--preparar") {
        const Figures figures = measureOnce(static_cast<std::size_t>(std::atoi(argv[2])), argv[3]);
        std::printf("exportar %.3fs, importar %.3fs\n", figures.exportSeconds, figures.importSeconds);
        return 0;
    }
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("pasavel-bench-" + std::to_string(getpid()));
    if ((argc == 3 || argc == 4) && std::string(argv[1]) == "--windows")
        return compareWithWindows(argv[2], argc == 4 ? std::max(1, std::atoi(argv[3])) : 3, folder);
    // "--dificiles": only the hard cases.
    if (argc == 2 && std::string(argv[1]) == "--dificiles") {
        measureHardCases(folder);
        std::filesystem::remove_all(folder);
        return 0;
    }
    // "--documento": only the large document.
    if (argc == 2 && std::string(argv[1]) == "--documento") {
        measureLargeDocument(folder);
        std::filesystem::remove_all(folder);
        return 0;
    }
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    std::printf("Pasavel: exportación e importación de centros sintéticos (mediana de %d ejecuciones)\n\n",
                runs);
    std::printf("%6s %12s %10s %10s %10s %10s %8s %8s %9s\n", "escala", "documento", "exportar", "suelo",
                "importar", "suelo", "exp/sue", "imp/sue", "memoria");
    double exportAtOne = 0;
    double importAtOne = 0;
    for (std::size_t scale : {1, 4, 16}) {
        std::vector<double> exports, imports, exportFloors, importFloors;
        long peak = 0;
        std::size_t bytes = 0;
        for (int run = 0; run < runs; ++run) {
            const Figures figures = measureInChild(scale, folder);
            exports.push_back(figures.exportSeconds);
            imports.push_back(figures.importSeconds);
            exportFloors.push_back(figures.exportFloor);
            importFloors.push_back(figures.importFloor);
            peak = std::max(peak, figures.peakKilobytes);
            bytes = figures.documentBytes;
        }
        const double exportSeconds = median(exports);
        const double importSeconds = median(imports);
        if (scale == 1) {
            exportAtOne = exportSeconds;
            importAtOne = importSeconds;
        }
        std::printf("%5zux %9.1f KB %9.3fs %9.3fs %9.3fs %9.3fs %7.1fx %7.1fx %6.1f MB\n", scale,
                    bytes / 1024.0, exportSeconds, median(exportFloors), importSeconds, median(importFloors),
                    exportSeconds / median(exportFloors), importSeconds / median(importFloors),
                    peak / 1024.0);
        if (scale == 16) {
            std::printf("\ncrecimiento de 1x a 16x: exportar %.1f veces, importar %.1f veces\n",
                        exportSeconds / exportAtOne, importSeconds / importAtOne);
        }
    }
    const double hostile = measureHostileText(320000, folder);
    const double hostileTwice = measureHostileText(640000, folder);
    std::printf(
        "\ntexto que la codificación declarada no admite (320.000 caracteres en un dato, ISO-8859-1): "
        "exportar %.3fs; el doble %.3fs (%.1f veces)\n",
        hostile, hostileTwice, hostileTwice / hostile);
    measureHardCases(folder);
    std::filesystem::remove_all(folder);
    return 0;
}
