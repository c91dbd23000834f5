// A whole export through the batch runner, its subject, teacher, room, group
// and assignment tables read back by readers that share nothing with the
// table store.
#include "TestSupport.h"
#include "cli/BatchRunner.h"
#include "formats/Encoding.h"

#include <gtest/gtest.h>
#include <sstream>

using namespace pasavel;

namespace {

std::string dato(const std::string& name, const std::string& value)
{
    return "<dato nombre_dato=\"" + name + "\">" + value + "</dato>";
}

std::string record(const std::vector<std::pair<std::string, std::string>>& values)
{
    std::string xml = "<grupo_datos>";
    for (const auto& [name, value] : values)
        xml += dato(name, value);
    return xml + "</grupo_datos>";
}

std::string section(const std::string& seq, const std::vector<std::string>& records)
{
    std::string xml = "<grupo_datos seq=\"" + seq + "\">";
    for (const std::string& one : records)
        xml += one;
    return xml + "</grupo_datos>";
}

std::string schoolDocument()
{
    std::string document = test::minimalExchangeDocument();
    const std::string sections =
        section("CURSOS_DEL_CENTRO",
                {record({{"X_OFERTAMATRIG", "6001"}, {"D_OFERTAMATRIG", "1º de E.S.O."}}),
                 record({{"X_OFERTAMATRIG", "6002"}, {"D_OFERTAMATRIG", "2º de E.S.O."}})}) +
        section(
            "MATERIAS",
            {record({{"X_OFERTAMATRIG", "6001"}, {"D_MATERIAC", "Matemáticas"}, {"X_MATERIAOMG", "101"}}),
             record({{"X_OFERTAMATRIG", "6002"}, {"X_MATERIAOMG", "201"}, {"D_MATERIAC", "Matemáticas"}}),
             record(
                 {{"X_OFERTAMATRIG", "6002"}, {"D_MATERIAC", "Ética y Ñandúes"}, {"X_MATERIAOMG", "202"}})}) +
        section("ACTIVIDADES", {record({{"L_LECTIVA", "N"},
                                        {"X_ACTIVIDAD", "9001"},
                                        {"D_ACTIVIDAD", "Guardia de recreo"},
                                        {"L_UNIDAD", "N"},
                                        {"L_MATERIA", "S"}})}) +
        section("EMPLEADOS", {record({{"X_EMPLEADO", "E1"},
                                      {"F_TOMAPOS", "01/09/2020"},
                                      {"D_DEPARTAMENTO", "Matemáticas"},
                                      {"NOMBRE", "Juan"},
                                      {"APELLIDO1", "García"},
                                      {"APELLIDO2", "López"}}),
                              record({{"X_EMPLEADO", "E2"},
                                      {"F_TOMAPOS", "02/09/2021"},
                                      {"D_DEPARTAMENTO", "Lengua"},
                                      {"NOMBRE", "juana"},
                                      {"APELLIDO1", "gil"},
                                      {"APELLIDO2", "lara"}})}) +
        section("DEPENDENCIAS",
                {record({{"X_DEPENDENCIA", "LABORATORIO1"}, {"D_DEPENDENCIA", "Laboratorio"}})}) +
        section("UNIDADES", {record({{"X_UNIDAD", "U1"}, {"T_NOMBRE", "1ºA"}, {"X_OFERTAMATRIG", "6001"}}),
                             record({{"X_UNIDAD", "U2"}, {"T_NOMBRE", "1ºB"}, {"X_OFERTAMATRIG", "6001"}}),
                             record({{"X_UNIDAD", "U3"}, {"T_NOMBRE", "2ºA"}, {"X_OFERTAMATRIG", "6002"}})});
    // The document declares ISO-8859-1, so its letters are single bytes.
    document.insert(document.find("</BLOQUE_DATOS>"), toWindows1252(fromUtf8(sections)));
    return document;
}

// dbfread reads the dBase III+ tables; the tables with field names longer
// than ten characters are in the level 7 layout, which no Debian reader
// knows, so a few lines follow its published description instead.
const char* readerScript = R"(import struct, sys
import dbfread
folder = sys.argv[1]

def show(name, fields, records):
    print(name, fields)
    for values in records:
        print(' ', values)

for name in ['ASIGNOMT', 'PROFT', 'AULAT', 'GRUPOST']:
    table = dbfread.DBF(folder + '/' + name + '.DBF', encoding=None)
    show(name + ' ' + table.encoding, [(f.name, f.type, f.length) for f in table.fields],
         [list(r.values()) for r in table])

for name in ['ASIGNOMT2', 'ASIGT']:
    data = open(folder + '/' + name + '.DBF', 'rb').read()
    count, header, length = struct.unpack('<IHH', data[4:12])
    fields, at = [], 68
    while data[at] != 0x0D:
        fields.append((data[at:at+32].rstrip(b'\0').decode(), chr(data[at+32]), data[at+33]))
        at += 48
    assert data[0] == 4 and at + 1 == header and data[29] == 3
    records = []
    for index in range(count):
        record = data[header + index * length:header + (index + 1) * length]
        values, offset = [], 1
        for _, _, width in fields:
            values.append(record[offset:offset + width].decode('cp1252').strip())
            offset += width
        records.append(values)
    show(name + ' level7', fields, records)
)";

const char* expectedTables =
    R"(ASIGNOMT cp1252 [('COD', 'C', 10), ('CODLARGO', 'C', 10), ('NOMBRE', 'C', 80), ('CODTAREA', 'C', 10), ('ESTAREA', 'L', 1), ('R_UNI_MAT', 'C', 4)]
  ['MAT', 'MATEMAT', 'Matemáticas', '', False, '']
  ['ÉyÑ', 'Ética y Ña', 'Ética y Ñandúes', '', False, '']
  ['#9001', 'Guardia de', 'Guardia de recreo', '#9001', True, 'NS']
PROFT cp1252 [('ABREV', 'C', 10), ('NOMBRE', 'C', 80), ('DEPART', 'C', 40), ('DNI', 'N', 11), ('X_EMPLEADO', 'C', 10), ('F_TOMAPOS', 'C', 10), ('EMAIL', 'C', 100)]
  ['JGL', 'Juan García López', 'Matemáticas', None, 'E1', '01/09/2020', '']
  ['jgl1', 'juana gil lara', 'Lengua', None, 'E2', '02/09/2021', '']
AULAT cp1252 [('ABREV', 'C', 10), ('NOMBRE', 'C', 80), ('EDIFICIO', 'C', 1), ('MAXALUM', 'N', 11), ('DEPCENTRO', 'C', 10)]
  ['LABORATORI', 'Laboratorio', '', None, 'LABORATORI']
GRUPOST cp1252 [('ABREV', 'C', 10), ('TURNO', 'C', 1), ('NIVEL', 'C', 5), ('CURSO', 'C', 3), ('GRUPO', 'C', 2), ('CLAVE', 'C', 10), ('CLAVECURSO', 'C', 10), ('DESCRIP', 'C', 80), ('MARCO', 'C', 1)]
  ['ESO1A', '', 'ESO', '1', 'A', 'U1', '6001', '1º de E.S.O.', '0']
  ['ESO1B', '', 'ESO', '1', 'B', 'U2', '6001', '1º de E.S.O.', '0']
  ['ESO2A', '', 'ESO', '2', 'A', 'U3', '6002', '2º de E.S.O.', '0']
ASIGNOMT2 level7 [('COD', 'C', 10), ('CODLARGO', 'C', 10), ('NOMBRE', 'C', 80), ('MATERIA', 'C', 20), ('OFERTAMATRI', 'C', 20), ('CODTAREA', 'C', 10), ('ESTAREA', 'L', 1)]
  ['MAT', 'MATEMAT', 'Matemáticas', '101', '6001', '', 'F']
  ['MAT', 'MATEMAT', 'Matemáticas', '201', '6002', '', 'F']
  ['ÉyÑ', 'Ética y Ña', 'Ética y Ñandúes', '202', '6002', '', 'F']
ASIGT level7 [('CASIG', 'C', 10), ('CPROF', 'C', 10), ('CGRUP', 'C', 10), ('CAULA', 'C', 10), ('TURNO', 'C', 1), ('NIVEL', 'C', 5), ('CURSO', 'C', 3), ('GRUPO', 'C', 2), ('HORAS', 'N', 6), ('SESIONES', 'C', 20), ('NCONEX', 'C', 4), ('CLAVE', 'C', 10), ('CLAVECURSO', 'C', 10), ('CLAVEGRUPO', 'C', 10), ('CTAREA', 'C', 10), ('CORIGEN', 'C', 20), ('X_NIVCONPAGLEG', 'N', 11)]
  ['MAT', '', 'ESO1A', '', '', 'ESO', '1', 'A', '4.00', '1111', '', '101', '6001', 'U1', '1', '', '']
  ['MAT', '', 'ESO1B', '', '', 'ESO', '1', 'B', '4.00', '1111', '', '101', '6001', 'U2', '1', '', '']
  ['MAT', '', 'ESO2A', '', '', 'ESO', '2', 'A', '4.00', '1111', '', '201', '6002', 'U3', '1', '', '']
  ['ÉyÑ', '', 'ESO2A', '', '', 'ESO', '2', 'A', '4.00', '1111', '', '202', '6002', 'U3', '1', '', '']
)";

} // namespace

TEST(ExportInterop, IndependentReadersSeeTheTablesOfAWholeExport)
{
    if (const std::string missing = test::missingPythonModule("dbfread"); !missing.empty())
        GTEST_SKIP() << missing;
    test::TemporaryDirectory directory;
    test::writeBytes(directory / "centro.xml", schoolDocument());
    test::writeBytes(directory / "niveles.csv", "6001;ESO;1\n6002;ESO;2\n");
    std::filesystem::create_directory(directory / "VTEMP");
    std::ostringstream out;
    std::ostringstream err;
    // From the build's folder, so the run reads the reference subject table
    // the build made from its source.
    const int exitCode =
        runBatch({"exportar", (directory / "centro.xml").string(), "--vtemp", (directory / "VTEMP").string(),
                  "--niveles", (directory / "niveles.csv").string()},
                 PASAVEL_RUNTIME_DIR "/pasavel-cli", out, err);
    ASSERT_EQ(exitCode, batchCompleted) << err.str();

    test::writeBytes(directory / "leer.py", readerScript);
    const auto result =
        test::runCommand(std::string(PASAVEL_PYTHON) + " " + (directory / "leer.py").string() + " " +
                         (directory / "VTEMP").string());
    ASSERT_EQ(result.exitCode, 0) << result.output;
    // Matemáticas takes the codes of the shipped reference table; the other
    // subject has its codes made from its name.
    EXPECT_EQ(result.output, expectedTables);
}
