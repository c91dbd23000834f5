#include "cli/BatchRunner.h"
#include "TestSupport.h"
#include "formats/XmlDocument.h"
#include "formats/dbase/Table.h"
#include "standin/StandInSolution.h"

#include <gtest/gtest.h>
#include <map>
#include <sstream>

using namespace pasavel;

namespace {

struct BatchResult {
    int exitCode;
    std::string out;
    std::string err;
};

// Every file of a folder with its bytes.
std::map<std::string, std::string> folderBytes(const std::filesystem::path& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        files[entry.path().filename().string()] = test::readBytes(entry.path());
    return files;
}

BatchResult runCli(const std::vector<std::string>& arguments)
{
    std::ostringstream out;
    std::ostringstream err;
    // As if run from the build's folder, where the reference subject table lies.
    const int exitCode = runBatch(arguments, PASAVEL_RUNTIME_DIR "/pasavel-cli", out, err);
    return {exitCode, out.str(), err.str()};
}

} // namespace

TEST(BatchRunner, UsageAndExitCodes)
{
    test::TemporaryDirectory directory;
    test::writeBytes(directory / "centro.xml", test::minimalExchangeDocument());
    test::writeBytes(directory / "roto.xml", "<SERVICIO>");
    const std::string vtemp = directory.path().string();

    EXPECT_EQ(runCli({"--help"}).exitCode, batchCompleted);
    EXPECT_NE(runCli({"--version"}).out.find("pasavel-cli"), std::string::npos);
    EXPECT_EQ(runCli({}).exitCode, batchUsage);
    EXPECT_EQ(runCli({"convertir", "x.xml"}).exitCode, batchUsage);
    EXPECT_EQ(runCli({"exportar", "x.xml", "--vtemp"}).exitCode, batchUsage);
    EXPECT_EQ(runCli({"importar", "x.xml", "--marcos", "1"}).exitCode, batchUsage);

    const BatchResult missing = runCli({"exportar", (directory / "no.xml").string(), "--vtemp", vtemp});
    EXPECT_EQ(missing.exitCode, batchFailed);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err, "No existe archivo «" + (directory / "no.xml").string() + "»\n");
    // Either earlier codings are taken over or they are discarded.
    EXPECT_EQ(runCli({"exportar", "x.xml", "--recuperar", "--descartar"}).exitCode, batchUsage);

    const BatchResult broken = runCli({"exportar", (directory / "roto.xml").string(), "--vtemp", vtemp});
    EXPECT_EQ(broken.exitCode, batchFailed);
    EXPECT_NE(broken.err.find("no es un documento XML válido"), std::string::npos) << broken.err;

    const BatchResult completed = runCli({"exportar", (directory / "centro.xml").string(), "--vtemp", vtemp});
    EXPECT_EQ(completed.exitCode, batchCompleted) << completed.err;
    EXPECT_TRUE(completed.out.ends_with("Proceso finalizado\n"));
}

TEST(BatchRunner, CourseCodingsComeFromTheLevelsFile)
{
    test::TemporaryDirectory directory;
    std::string document = test::minimalExchangeDocument();
    document.insert(document.find("</BLOQUE_DATOS>"),
                    "<grupo_datos seq=\"CURSOS_DEL_CENTRO\">"
                    "<grupo_datos><dato>1ESO</dato><dato>1º ESO</dato></grupo_datos>"
                    "<grupo_datos><dato>2ESO</dato><dato>2º ESO</dato></grupo_datos></grupo_datos>");
    test::writeBytes(directory / "centro.xml", document);
    test::writeBytes(directory / "incompleto.csv", "1ESO;ESO;1\n");
    test::writeBytes(directory / "completo.csv", "\xEF\xBB\xBF"
                                                 "1ESO;ESO;1\r\n\r\n 2ESO ; ESO;2\r\n");
    test::writeBytes(directory / "malo.csv", "1ESO;ESO\n");
    const std::vector<std::string> run = {"exportar", (directory / "centro.xml").string(), "--vtemp",
                                          directory.path().string(), "--niveles"};
    const auto with = [&](const std::string& levels, std::vector<std::string> extra = {}) {
        std::vector<std::string> arguments = run;
        arguments.push_back((directory / levels).string());
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        return runCli(arguments);
    };

    const BatchResult malformed = with("malo.csv");
    EXPECT_EQ(malformed.exitCode, batchAnswersInvalid);
    EXPECT_NE(malformed.err.find("línea 1"), std::string::npos) << malformed.err;
    EXPECT_FALSE(std::filesystem::exists(directory / "CURSOST.DBF")) << "checked before any table is touched";

    const BatchResult gaps = with("incompleto.csv");
    EXPECT_EQ(gaps.exitCode, batchAnswersInvalid);
    EXPECT_NE(gaps.err.find("2ESO"), std::string::npos) << gaps.err;
    EXPECT_EQ(gaps.err.find("1ESO"), std::string::npos) << gaps.err;
    EXPECT_FALSE(std::filesystem::exists(directory / "CURSOST2.DBF"));

    EXPECT_EQ(with("completo.csv").exitCode, batchCompleted);
    EXPECT_TRUE(std::filesystem::exists(directory / "CURSOST2.DBF"));
    // Earlier codings are taken over by default, and can be discarded.
    EXPECT_EQ(with("incompleto.csv").exitCode, batchCompleted);
    EXPECT_EQ(with("incompleto.csv", {"--descartar"}).exitCode, batchAnswersInvalid);
}

TEST(BatchRunner, TimeFramesComeFromMarcosCheckedBeforeAnyTable)
{
    test::TemporaryDirectory directory;
    const std::filesystem::path data = std::filesystem::path(PASAVEL_TEST_SOURCE_DIR) / ".." / "data";
    std::filesystem::copy_file(data / "centro-ejemplo.xml", directory / "centro.xml");
    const auto run = [&](std::vector<std::string> marcos) {
        std::vector<std::string> arguments = {
            "exportar",
            (directory / "centro.xml").string(),
            "--vtemp",
            directory.path().string(),
            "--niveles",
            (data / "niveles-ejemplo.csv").string(),
            "--descartar",
            "--materias",
            (std::filesystem::path(PASAVEL_RUNTIME_DIR) / "RAICESMATERIAS.DBF").string()};
        arguments.insert(arguments.end(), marcos.begin(), marcos.end());
        return runCli(arguments);
    };
    for (const auto& [marcos, expected] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{},
              "Debe al menos seleccionar 1 Marco Horario.\nIndique con --marcos uno o dos marcos horarios. "
              "Marcos del documento: 1, 2."},
             {{"--marcos", "1,3"}, "(«3» no existe)"},
             {{"--marcos", "1,2,1"},
              "Demasiados Marcos Horarios seleccionados.\nComo máximo puede "
              "seleccionar 2 Marcos Horarios\nCon --marcos se pueden elegir como máximo 2 "
              "marcos"}}) {
        const BatchResult refused = run(marcos);
        EXPECT_EQ(refused.exitCode, batchAnswersInvalid);
        EXPECT_NE(refused.err.find(expected), std::string::npos) << refused.err;
        EXPECT_FALSE(std::filesystem::exists(directory / "PERIODOS.DBF")) << refused.err;
    }
    const BatchResult completed = run({"--marcos", "2"});
    ASSERT_EQ(completed.exitCode, batchCompleted) << completed.err;
    Table slots(directory.path(), "DIASHORAST");
    EXPECT_EQ(slots.recordCount(), 35u) << "seven days of the five afternoon hours";
}

// Answers that cannot complete the course dialog end the run before anything
// is written: an earlier export's tables, and the codings kept from it, stay
// exactly as they were.
TEST(BatchRunner, IncompleteLevelsLeaveEveryFileAsItWas)
{
    test::TemporaryDirectory directory;
    std::filesystem::create_directory(directory / "VTEMP");
    std::string document = test::minimalExchangeDocument();
    document.insert(document.find("</BLOQUE_DATOS>"),
                    "<grupo_datos seq=\"CURSOS_DEL_CENTRO\">"
                    "<grupo_datos><dato>168321565832</dato><dato>1º ESO</dato></grupo_datos>"
                    "<grupo_datos><dato>168321565899</dato><dato>1º BCT</dato></grupo_datos></grupo_datos>");
    test::writeBytes(directory / "centro.xml", document);
    test::writeBytes(directory / "ambos.csv", "168321565832;ESO;1\n168321565899;BCT;1\n");
    test::writeBytes(directory / "uno.csv", "168321565832;ESO;1\n");
    test::writeBytes(directory / "vacio.csv", "168321565832;ESO;\n");
    test::writeBytes(directory / "ansi.csv", "168321565832;ESO;1\n168321565899;BACH\xC9;1\n");
    const auto run = [&](std::vector<std::string> options) {
        std::vector<std::string> arguments = {"exportar", (directory / "centro.xml").string(), "--vtemp",
                                              (directory / "VTEMP").string()};
        for (std::string& option : options)
            arguments.push_back(option.ends_with(".csv") ? (directory / option).string() : option);
        return runCli(arguments);
    };

    // Keys longer than the field each take the line of their whole key.
    ASSERT_EQ(run({"--niveles", "ambos.csv"}).exitCode, batchCompleted);
    {
        Table cursos(directory / "VTEMP", "CURSOST");
        std::vector<std::u16string> levels;
        for (; !cursos.eof(); cursos.next())
            levels.push_back(cursos.text("NIVEL"));
        EXPECT_EQ(levels, (std::vector<std::u16string>{u"ESO", u"BCT"}));
    }
    const auto before = folderBytes(directory / "VTEMP");
    const auto copy = test::readBytes(directory / "centro.xml-copia");
    std::filesystem::remove(directory / "centro.xml-copia");

    struct Case {
        std::vector<std::string> options;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"--descartar", "--marcos", "M"},
         "¡Atención! Falta algún Dato\nFaltan el NIVEL o el CURSO de estos "
         "cursos (indíquelos en --niveles como CLAVE;NIVEL;CURSO): "
         "168321565832 168321565899\n"},
        {{"--descartar", "--niveles", "uno.csv"}, ": 168321565899\n"},
        // Both recovered by the short key they share, then one given an empty
        // course number.
        {{"--niveles", "vacio.csv"}, ": 168321565832\n"},
        {{"--niveles", "ansi.csv"}, "La línea 2 del archivo de niveles"},
        {{"--niveles", "ambos.csv", "--marcos", "X"}, "(«X» no existe). Marcos del documento: M."},
    };
    for (const Case& testCase : cases) {
        const BatchResult refused = run(testCase.options);
        EXPECT_EQ(refused.exitCode, batchAnswersInvalid) << testCase.message;
        EXPECT_NE(refused.err.find(testCase.message), std::string::npos) << refused.err;
        EXPECT_EQ(folderBytes(directory / "VTEMP"), before) << testCase.message;
        EXPECT_FALSE(std::filesystem::exists(directory / "centro.xml-copia")) << testCase.message;
    }
    // "M," and ",M" name the one frame alike.
    for (const char* marcos : {"M,", ",M"})
        EXPECT_EQ(run({"--niveles", "ambos.csv", "--marcos", marcos}).exitCode, batchCompleted) << marcos;
    EXPECT_EQ(test::readBytes(directory / "centro.xml-copia"), copy);
}

TEST(BatchRunner, MissingWorkingFolderSaysHowToNameOne)
{
    test::TemporaryDirectory directory;
    test::writeBytes(directory / "centro.xml", test::minimalExchangeDocument());
    for (const char* direction : {"exportar", "importar"}) {
        const BatchResult refused = runCli(
            {direction, (directory / "centro.xml").string(), "--vtemp", (directory / "VTEMP").string()});
        EXPECT_EQ(refused.exitCode, batchFailed);
        EXPECT_EQ(refused.err,
                  "No existe la carpeta de trabajo «" + (directory / "VTEMP").string() +
                      "», donde están las tablas de Velmora.\nIndique la carpeta de trabajo con "
                      "--vtemp CARPETA o con la variable de entorno PASAVEL_VTEMP (y créela si no "
                      "existe).\n");
        EXPECT_FALSE(std::filesystem::exists(directory / "centro.xml-copia"));
    }
}

// The round trip of the bundled sample says what each direction wrote: the
// tables with their records, the output document with its teachers and
// hours, and every hour left out with why; each run is kept in the user's
// record of runs.
TEST(BatchRunner, EachRunSaysWhatItWrote)
{
    test::TemporaryDirectory directory;
    const std::filesystem::path data = std::filesystem::path(PASAVEL_TEST_SOURCE_DIR) / ".." / "data";
    std::filesystem::copy_file(data / "centro-ejemplo.xml", directory / "centro.xml");
    std::filesystem::create_directory(directory / "VTEMP");
    const std::filesystem::path logFile = test::redirectUserState(directory / "estado");
    const std::string vtemp = (directory / "VTEMP").string();
    const BatchResult exported =
        runCli({"exportar", (directory / "centro.xml").string(), "--vtemp", vtemp, "--niveles",
                (data / "niveles-ejemplo.csv").string(), "--marcos", "1,2"});
    ASSERT_EQ(exported.exitCode, batchCompleted) << exported.err;
    std::string expected = "Tablas de trabajo en «" + vtemp + "»:\n";
    for (const char* name :
         {"PERIODOS", "CURSOST", "CURSOST2", "ASIGNOMT", "ASIGNOMT2", "PROFT", "AULAT", "GRUPOST", "ASIGT",
          "DIASHORAST", "ORIGENES_C", "NIVELES_C", "CUR_NIV_C", "AUTORIZA_C"}) {
        Table table(directory / "VTEMP", name);
        const std::size_t count = table.recordCount();
        expected +=
            std::string(name) + ": " + std::to_string(count) + (count == 1 ? " registro\n" : " registros\n");
    }
    expected += "Copia normalizada del documento: «" + (directory / "centro.xml-copia").string() +
                "»\nProceso finalizado\n";
    EXPECT_EQ(exported.out, expected);

    bench::writeStandInSolution(directory / "VTEMP");
    const BatchResult imported = runCli({"importar", (directory / "centro.xml").string(), "--vtemp", vtemp});
    ASSERT_EQ(imported.exitCode, batchCompleted) << imported.err;
    const XmlDocument output = XmlDocument::parseFile(directory / "ResultadoQuelvocentro.xml");
    const auto count = [&](const std::string& path) { return std::to_string(output.select(path).size()); };
    const std::string regular = count("//grupo_datos[@seq='HORARIOS_REGULARES']/grupo_datos/grupo_datos");
    const std::string nonRegular =
        count("//grupo_datos[@seq='HORARIOS_NO_REGULARES']/grupo_datos/grupo_datos");
    EXPECT_TRUE(imported.out.starts_with(
        "Documento para Raíces: «" + (directory / "ResultadoQuelvocentro.xml").string() +
        "»\nProfesores con horario: " + count("//grupo_datos[@seq='HORARIOS_REGULARES']/grupo_datos") +
        "\nHoras de horario regular: " + regular + "\nHoras de actividades no regulares: " + nonRegular +
        "\n"))
        << imported.out;
    const std::size_t dropped = imported.out.find("Horas que no se han pasado: ");
    ASSERT_NE(dropped, std::string::npos) << imported.out;
    const int droppedCount = std::atoi(imported.out.c_str() + dropped + 28);
    EXPECT_GT(droppedCount, 0) << "the sample's stand-in timetable places activities without their subject";
    std::size_t listed = 0;
    for (std::size_t at = imported.out.find("\n- profesor «"); at != std::string::npos;
         at = imported.out.find("\n- profesor «", at + 1))
        ++listed;
    EXPECT_EQ(listed, static_cast<std::size_t>(droppedCount));
    EXPECT_NE(imported.out.find("su actividad necesita una materia"), std::string::npos);
    EXPECT_TRUE(imported.out.ends_with("\nProceso finalizado\n"));

    const std::string log = test::readBytes(logFile);
    EXPECT_NE(log.find(" exportar «" + (directory / "centro.xml").string() + "»\n  Tablas de trabajo en"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find(" importar «" + (directory / "centro.xml").string() + "»\n  Documento para Raíces"),
              std::string::npos)
        << log;
    test::restoreUserFolders();
}
