// pasavel-tablas shows what every table holds, in whichever layout it was
// written: the sample's export (dBase III+ and level 7) and foreign tables.
#include "tools/TableTool.h"
#include "TestSupport.h"
#include "cli/BatchRunner.h"
#include "formats/Encoding.h"
#include "formats/dbase/Table.h"

#include <gtest/gtest.h>
#include <memory>
#include <sstream>

using namespace pasavel;

namespace {

struct ToolResult {
    int exitCode;
    std::string out;
    std::string err;
};

ToolResult runTool(const std::vector<std::string>& arguments)
{
    std::ostringstream out;
    std::ostringstream err;
    const int exitCode = runTableTool(arguments, out, err);
    return {exitCode, out.str(), err.str()};
}

// RFC 4180 rows, read independently of the tool's writer.
std::vector<std::vector<std::string>> parseCsv(const std::string& text)
{
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row;
    std::string value;
    bool inQuotes = false;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char character = text[at];
        if (inQuotes) {
            if (character == '"' && at + 1 < text.size() && text[at + 1] == '"') {
                value += '"';
                ++at;
            } else if (character == '"') {
                inQuotes = false;
            } else {
                value += character;
            }
        } else if (character == '"') {
            inQuotes = true;
        } else if (character == ',') {
            row.push_back(std::move(value));
            value.clear();
        } else if (character == '\r' && at + 1 < text.size() && text[at + 1] == '\n') {
            row.push_back(std::move(value));
            value.clear();
            rows.push_back(std::move(row));
            row.clear();
            ++at;
        } else {
            value += character;
        }
    }
    EXPECT_TRUE(row.empty() && value.empty() && !inQuotes) << "CSV sin CR LF final: " << text;
    return rows;
}

// The rows a CSV of the table must hold: field names, then every record as
// the store reads it.
std::vector<std::vector<std::string>> rowsOf(const std::filesystem::path& file)
{
    Table table(file);
    std::vector<std::vector<std::string>> rows(1);
    for (const FieldInfo& field : table.fields())
        rows[0].push_back(field.name);
    for (table.first(); !table.eof(); table.next()) {
        rows.emplace_back();
        for (const FieldInfo& field : table.fields())
            rows.back().push_back(toUtf8(table.text(field.name)));
    }
    return rows;
}

// The bundled sample, exported once for every test of the suite.
class TableToolOnSample : public ::testing::Test {
  protected:
    static void SetUpTestSuite()
    {
        s_directory = std::make_unique<test::TemporaryDirectory>();
        const std::filesystem::path data = std::filesystem::path(PASAVEL_TEST_SOURCE_DIR) / ".." / "data";
        const auto chosen = *s_directory / "centro.xml";
        std::filesystem::copy_file(data / "centro-ejemplo.xml", chosen);
        std::filesystem::create_directory(*s_directory / "VTEMP");
        std::ostringstream out;
        std::ostringstream err;
        const int status =
            runBatch({"exportar", chosen.string(), "--vtemp", vtemp().string(), "--niveles",
                      (data / "niveles-ejemplo.csv").string(), "--descartar", "--marcos", "1,2"},
                     PASAVEL_RUNTIME_DIR "/pasavel-cli", out, err);
        ASSERT_EQ(status, batchCompleted) << out.str() << err.str();
    }
    static void TearDownTestSuite() { s_directory.reset(); }
    static std::filesystem::path vtemp() { return *s_directory / "VTEMP"; }

    static std::unique_ptr<test::TemporaryDirectory> s_directory;
};

std::unique_ptr<test::TemporaryDirectory> TableToolOnSample::s_directory;

} // namespace

TEST_F(TableToolOnSample, CsvHoldsTheHeaderAndEveryRecordOfIIIPlusAndLevel7Tables)
{
    for (const char* name : {"ASIGT", "AUTORIZA_C", "NIVELES_C", "PROFT"}) {
        SCOPED_TRACE(name);
        const auto file = Table::filePath(vtemp(), name);
        const ToolResult result = runTool({file.string(), "--csv"});
        ASSERT_EQ(result.exitCode, tableToolDone) << result.err;
        EXPECT_EQ(result.err, "");
        const auto expected = rowsOf(file);
        EXPECT_GT(expected.size(), 1u);
        EXPECT_EQ(parseCsv(result.out), expected);
    }
}

TEST_F(TableToolOnSample, FolderListsEveryTableWithItsCountAndLayout)
{
    const ToolResult result = runTool({vtemp().string(), "--csv"});
    ASSERT_EQ(result.exitCode, tableToolDone) << result.err;
    const auto rows = parseCsv(result.out);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0], (std::vector<std::string>{"tabla", "registros", "campos", "formato"}));

    // Name, records and fields as the store reads them, in name order.
    std::vector<std::vector<std::string>> expected;
    for (const auto& entry : std::filesystem::directory_iterator(vtemp())) {
        if (entry.path().extension() != ".DBF")
            continue;
        const Table table(entry.path());
        expected.push_back({entry.path().filename().string(), std::to_string(table.recordCount()),
                            std::to_string(table.fields().size())});
    }
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(rows.size(), expected.size() + 1);
    for (std::size_t index = 0; index < expected.size(); ++index) {
        const auto& row = rows[index + 1];
        ASSERT_EQ(row.size(), 4u);
        EXPECT_EQ(std::vector(row.begin(), row.begin() + 3), expected[index]);
    }
    const auto layoutOf = [&](const std::string& table) {
        for (const auto& row : rows) {
            if (row[0] == table)
                return row[3];
        }
        return std::string("(no listada)");
    };
    for (const char* level7 :
         {"ASIGNOMT2.DBF", "ASIGT.DBF", "ORIGENES_C.DBF", "NIVELES_C.DBF", "CUR_NIV_C.DBF", "AUTORIZA_C.DBF"})
        EXPECT_EQ(layoutOf(level7), "nivel 7") << level7;
    for (const char* plain : {"PROFT.DBF", "CURSOST.DBF", "DIASHORAST.DBF"})
        EXPECT_EQ(layoutOf(plain), "dBase III+") << plain;

    // The readable form: a grid with the same tables and a total.
    const ToolResult grid = runTool({vtemp().string()});
    EXPECT_EQ(grid.exitCode, tableToolDone);
    EXPECT_TRUE(grid.out.starts_with("tabla ")) << grid.out;
    EXPECT_NE(grid.out.find("\nASIGT.DBF "), std::string::npos) << grid.out;
    EXPECT_TRUE(grid.out.ends_with("(" + std::to_string(expected.size()) + " tablas)\n")) << grid.out;
}

TEST_F(TableToolOnSample, SchemaGivesLongFieldNamesWithKindWidthAndDecimals)
{
    const auto file = Table::filePath(vtemp(), "ASIGT");
    const ToolResult result = runTool({file.string(), "--esquema", "--csv"});
    ASSERT_EQ(result.exitCode, tableToolDone) << result.err;
    const auto rows = parseCsv(result.out);
    const Table table(file);
    ASSERT_EQ(rows.size(), table.fields().size() + 1);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"campo", "tipo", "ancho", "decimales"}));
    bool longName = false;
    for (std::size_t index = 0; index < table.fields().size(); ++index) {
        const FieldInfo& field = table.fields()[index];
        EXPECT_EQ(rows[index + 1],
                  (std::vector<std::string>{field.name, std::string(1, field.type),
                                            std::to_string(field.width), std::to_string(field.decimals)}));
        longName = longName || field.name == "X_NIVCONPAGLEG";
    }
    EXPECT_TRUE(longName);
}

TEST(TableTool, ReadsAForeignVisualFoxProTable)
{
    if (const std::string missing = test::missingPythonModule("dbf"); !missing.empty())
        GTEST_SKIP() << missing;
    test::TemporaryDirectory directory;
    const std::string script = "import dbf\n"
                               "t = dbf.Table('" +
                               (directory / "ZORRO.DBF").string() +
                               "', "
                               "'NOMBRE C(20); HORAS N(5,0); PESO N(6,2); ACTIVO L', "
                               "dbf_type='vfp', codepage='cp1252')\n"
                               "t.open(dbf.READ_WRITE)\n"
                               "t.append(('Ñandú, \"el\" ave', 3, 1.5, True))\n"
                               "t.append(('borrado', 1, 0, False))\n"
                               "t.append(('Último', 12, -2.25, False))\n"
                               "dbf.delete(t[1])\n"
                               "t.close()\n";
    test::writeBytes(directory / "escribir.py", script);
    const auto written =
        test::runCommand(std::string(PASAVEL_PYTHON) + " " + (directory / "escribir.py").string());
    ASSERT_EQ(written.exitCode, 0) << written.output;
    const auto file = directory / "ZORRO.DBF";

    const ToolResult csv = runTool({file.string(), "--csv"});
    ASSERT_EQ(csv.exitCode, tableToolDone) << csv.err;
    const auto rows = parseCsv(csv.out);
    EXPECT_EQ(rows, rowsOf(file));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1][0], "Ñandú, \"el\" ave");
    EXPECT_EQ(rows[2][0], "Último");

    const ToolResult listing = runTool({directory.path().string(), "--csv"});
    ASSERT_EQ(listing.exitCode, tableToolDone) << listing.err;
    EXPECT_EQ(parseCsv(listing.out)[1],
              (std::vector<std::string>{"ZORRO.DBF", "2", std::to_string(Table(file).fields().size()),
                                        "ajena (0x30, Visual FoxPro)"}));
}

// The grid counts characters, not bytes; cuts long values; puts numbers to
// the right; keeps a value with a line break on its row.
TEST(TableTool, GridAlignsColumnsByCharacters)
{
    test::TemporaryDirectory directory;
    Table::create(directory.path(), "MUESTRA", {stringField("NOMBRE", 60), integerField("N")});
    {
        Table table(directory.path(), "MUESTRA");
        table.append();
        table.setText("NOMBRE", u"Educación Física");
        table.setInteger("N", 7);
        table.append();
        table.setText("NOMBRE", u"Una materia de nombre tan largo que no cabe en la columna");
        table.setInteger("N", 1234);
        table.append();
        table.setText("NOMBRE", u"dos\nlíneas");
        table.close();
    }
    const ToolResult result = runTool({(directory / "MUESTRA.DBF").string()});
    ASSERT_EQ(result.exitCode, tableToolDone) << result.err;
    EXPECT_EQ(result.out, "NOMBRE                                   |    N\n"
                          "-----------------------------------------+-----\n"
                          "Educación Física                         |    7\n"
                          "Una materia de nombre tan largo que no…  | 1234\n"
                          "dos líneas                               |     \n"
                          "(3 registros)\n");
}

TEST(TableTool, UsageAndFailures)
{
    test::TemporaryDirectory directory;
    Table::create(directory.path(), "BUENA", {stringField("COD", 10)});
    test::writeBytes(directory / "ROTA.DBF", "no es una tabla");
    const std::string good = (directory / "BUENA.DBF").string();
    const std::string folder = directory.path().string();

    const struct {
        std::vector<std::string> arguments;
        int exitCode;
        std::string errStart; // empty: nothing on the error stream
    } cases[] = {
        {{}, tableToolUsage, "Uso:\n"},
        {{"--tabla", good}, tableToolUsage, "Opción no válida: --tabla\n"},
        {{good, folder}, tableToolUsage, "Se espera una sola carpeta o tabla y sobra «" + folder + "»."},
        {{folder, "--esquema"}, tableToolUsage, "La opción --esquema muestra los campos de una tabla"},
        {{(directory / "NADA.DBF").string()},
         tableToolFailed,
         "No existe la carpeta ni la tabla «" + (directory / "NADA.DBF").string() + "»."},
        {{(directory / "ROTA.DBF").string()}, tableToolFailed, "La tabla «ROTA» está dañada"},
        // One damaged table does not hide the others.
        {{folder}, tableToolFailed, "La tabla «ROTA» está dañada"},
        {{good, "--esquema"}, tableToolDone, ""},
        {{"--help"}, tableToolDone, ""},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(::testing::PrintToString(testCase.arguments));
        const ToolResult result = runTool(testCase.arguments);
        EXPECT_EQ(result.exitCode, testCase.exitCode);
        if (testCase.errStart.empty())
            EXPECT_EQ(result.err, "");
        else
            EXPECT_TRUE(result.err.starts_with(testCase.errStart)) << result.err;
    }
    EXPECT_NE(runTool({folder}).out.find("BUENA.DBF"), std::string::npos);

    // Output that cannot be written (a full disk) is a failure, not a success.
    std::ostream unwritable(nullptr);
    std::ostringstream errors;
    EXPECT_EQ(runTableTool({good}, unwritable, errors), tableToolFailed);
    EXPECT_EQ(errors.str(), "No se ha podido escribir todo el resultado en la salida estándar.\n");
    EXPECT_EQ(runTool({"--version"}).out.rfind("pasavel-tablas ", 0), 0u);
    EXPECT_NE(runTool({"--help"}).out.find("pasavel-tablas TABLA.DBF"), std::string::npos);
}
