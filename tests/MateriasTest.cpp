#include "StepsFixture.h"

using namespace pasavel;
using test::Columns;
using test::Materias;
using test::Xml;

namespace {

class CrearMateriasTest : public test::StepsFixture {
  protected:
    void runCrearMaterias(const std::vector<std::string>& records)
    {
        load({Materias::section(records)});
        exportacion.CrearMaterias();
    }
};

} // namespace

TEST_F(CrearMateriasTest, WorkedExamplesGetTheirCodes)
{
    const std::vector<std::string> records = {
        Materias::record("1ESO", "Lengua Castellana y Literatura", "M01"),
        Materias::record("1ESO", "Matemáticas", "M02"),
        Materias::record("1ESO", "Educación física", "M03"),
        Materias::record("1ESO", "Latín Cultura Literaria", "M04"),
        Materias::record("1ESO", "Lógica Computacional Lineal", "M05"),
        Materias::record("1ESO", "Tecnología", "M06"),
        Materias::record("1ESO", "Tecnologías", "M07"),
        Materias::record("1ESO", "ámbito científico", "M08"),
        Materias::record("2ESO", "Lengua Castellana y Literatura", "M11"),
    };
    // Twice: a step that starts again finds the codes of the earlier attempt gone.
    for (int attempt = 0; attempt < 2; ++attempt) {
        runCrearMaterias(records);
        // "Educación " is stored with its space; a blank at the end is padding.
        EXPECT_EQ(columns("ASIGNOMT", {"COD", "CODLARGO", "NOMBRE", "CODTAREA", "ESTAREA", "R_UNI_MAT"}),
                  (Columns{{u"LCL", u"Lengua Cas", u"Lengua Castellana y Literatura", u"", u"F", u""},
                           {u"Matemá", u"Matemá", u"Matemáticas", u"", u"F", u""},
                           {u"Ef", u"Educación", u"Educación física", u"", u"F", u""},
                           {u"LC1", u"Latín Cult", u"Latín Cultura Literaria", u"", u"F", u""},
                           {u"LC2", u"Lógica Com", u"Lógica Computacional Lineal", u"", u"F", u""},
                           {u"Tecnol", u"Tecnol", u"Tecnología", u"", u"F", u""},
                           {u"Tecno1", u"Tecnol", u"Tecnologías", u"", u"F", u""},
                           {u"ác", u"ámbito cie", u"ámbito científico", u"", u"F", u""}}));
        const Columns cross =
            columns("ASIGNOMT2", {"COD", "CODLARGO", "MATERIA", "OFERTAMATRI", "CODTAREA", "ESTAREA"});
        ASSERT_EQ(cross.size(), 9u);
        EXPECT_EQ(cross[6], (std::vector<std::u16string>{u"Tecno1", u"Tecnol", u"M07", u"1ESO", u"", u"F"}));
        EXPECT_EQ(cross[8], (std::vector<std::u16string>{u"LCL", u"Lengua Cas", u"M11", u"2ESO", u"", u"F"}));
    }
}

TEST_F(CrearMateriasTest, NameAndKeyAreToldApartByTheirFieldNames)
{
    struct Case {
        const char* description;
        std::string record;
        std::vector<std::u16string> expected; // NOMBRE, MATERIA, OFERTAMATRI
    };
    const std::vector<Case> cases = {
        {"name, then key", Materias::record("1ESO", "Música", "M1"), {u"Música", u"M1", u"1ESO"}},
        {"key, then name", Materias::swapped("1ESO", "Música", "M1"), {u"Música", u"M1", u"1ESO"}},
        {"a field name that begins with the Raíces name passes",
         "<grupo_datos>" + Materias::dato("C", "1ESO") + Materias::dato("D_MATERIACX", "Música") +
             Materias::dato("X_MATERIAOMGX", "M1") + "</grupo_datos>",
         {u"Música", u"M1", u"1ESO"}},
        {"neither name: dato 1 is the key, dato 2 the name",
         "<grupo_datos>" + Materias::dato("C", "1ESO") + Materias::dato("A", "M1") +
             Materias::dato("B", "Música") + "</grupo_datos>",
         {u"Música", u"M1", u"1ESO"}},
        {"values are trimmed", Materias::record(" 1ESO ", "  Música ", " M1"), {u"Música", u"M1", u"1ESO"}},
    };
    for (const Case& testCase : cases) {
        runCrearMaterias({testCase.record});
        EXPECT_EQ(columns("ASIGNOMT2", {"NOMBRE", "MATERIA", "OFERTAMATRI"}), Columns{testCase.expected})
            << testCase.description;
    }
}

TEST_F(CrearMateriasTest, OneSubjectInSeveralCoursesKeepsOneCode)
{
    runCrearMaterias({
        Materias::record("1ESO", "Lengua Castellana y Literatura", "L1"),
        Materias::record("2ESO", "Lengua Castellana y Literatura", "L2"),
        Materias::record("2ESO", "Lengua Castellana y Literatura", "L2"), // the same pair again: nothing
        Materias::record("1ESO", "Lengua Castellana y Literatura", "L2"), // a new pair of the known keys
        Materias::swapped("3ESO", "Lengua Castellana y Literatura", "L3"),
    });
    EXPECT_EQ(columns("ASIGNOMT", {"COD", "NOMBRE"}), (Columns{{u"LCL", u"Lengua Castellana y Literatura"}}));
    EXPECT_EQ(columns("ASIGNOMT2", {"COD", "CODLARGO", "MATERIA", "OFERTAMATRI"}),
              (Columns{{u"LCL", u"Lengua Cas", u"L1", u"1ESO"},
                       {u"LCL", u"Lengua Cas", u"L2", u"2ESO"},
                       {u"LCL", u"Lengua Cas", u"L2", u"1ESO"},
                       {u"LCL", u"Lengua Cas", u"L3", u"3ESO"}}));
}

TEST_F(CrearMateriasTest, NamesThatDifferInLetterCaseAreDifferentSubjects)
{
    runCrearMaterias({
        Materias::record("1ESO", "Historia", "H1"),
        Materias::record("2ESO", "HISTORIA", "H2"),
        Materias::record("3ESO", "historia", "H3"),
        // Same upper-cased name and same long code: only the exact name merges.
        Materias::record("1ESO", "Educación física", "E1"),
        Materias::record("2ESO", "Educación Física", "E2"),
        Materias::record("3ESO", "Educación física", "E3"),
    });
    EXPECT_EQ(columns("ASIGNOMT", {"COD", "CODLARGO", "NOMBRE"}),
              (Columns{{u"Histor", u"Histor", u"Historia"},
                       {u"HISTORIA", u"HISTORIA", u"HISTORIA"},
                       {u"histor", u"histor", u"historia"},
                       {u"Ef", u"Educación", u"Educación física"},
                       {u"EF", u"Educación", u"Educación Física"}}));
    EXPECT_EQ(columns("ASIGNOMT2", {"COD", "MATERIA"}).back(), (std::vector<std::u16string>{u"Ef", u"E3"}));
}

TEST_F(CrearMateriasTest, ReferenceCodesAreTakenAndCompleted)
{
    writeReference({{u"Matemáticas", u"MAT", u"MATEMAT"},
                    {u"Música", u"", u"MUSICA"},
                    {u"Geografía e Historia", u"GEOHI", u""},
                    {u"Física y Química", u"FQ", u""},
                    {u"Biología y Geología", u"", u""},
                    {u"Tecnología", u"MAT", u"TECNO"}});
    runCrearMaterias({
        Materias::record("1ESO", "Matemáticas", "1"),
        Materias::record("1ESO", "Música", "2"),
        Materias::record("1ESO", "Geografía e Historia", "3"),
        Materias::record("1ESO", "Física y Química", "4"),
        Materias::record("1ESO", "Biología y Geología", "5"),
        Materias::record("1ESO", "Tecnología", "6"),
        Materias::record("1ESO", "matemáticas", "7"),
    });
    EXPECT_EQ(columns("ASIGNOMT", {"NOMBRE", "COD", "CODLARGO"}),
              (Columns{{u"Matemáticas", u"MAT", u"MATEMAT"},
                       {u"Música", u"Música", u"MUSICA"},             // blank COD: derived
                       {u"Geografía e Historia", u"GEOHI", u"GEOHI"}, // blank CODLARGO from a long COD
                       {u"Física y Química", u"FQ", u"Física y Q"},   // ... or from the name
                       {u"Biología y Geología", u"BG", u"Biología y"},
                       {u"Tecnología", u"MA1", u"TECNO"},         // a proposed code is made unique too
                       {u"matemáticas", u"matemá", u"matemá"}})); // the name must match exactly
}

// Ten-character codes take a counter in their last two places; a code cut that
// way is checked again, so it never repeats a code already given.
TEST_F(CrearMateriasTest, CutTenCharacterCodesStayUnique)
{
    writeReference({{u"Referencia", u"ABCDEFGH10", u"REF"}});
    std::vector<std::string> records = {Materias::record("1ESO", "Referencia", "R")};
    for (int number = 1; number <= 11; ++number)
        records.push_back(
            Materias::record("1ESO", "ABCDEFGHIJ " + std::to_string(number), std::to_string(number)));
    runCrearMaterias(records);

    Columns expected = {{u"ABCDEFGH10"}, {u"ABCDEFGHIJ"}};
    for (char16_t digit = u'1'; digit <= u'9'; ++digit)
        expected.push_back({u"ABCDEFGHI" + std::u16string(1, digit)});
    expected.push_back({u"ABCDEFGH11"});
    EXPECT_EQ(columns("ASIGNOMT", {"COD"}), expected);
    EXPECT_EQ(columns("ASIGNOMT2", {"COD"}), expected);
    EXPECT_EQ(columns("ASIGNOMT", {"CODLARGO"})[11][0], u"ABCDEFGHIJ") << "the long code takes no counter";
}

TEST_F(CrearMateriasTest, ShortRecordsReadMissingValuesAsEmptyAndNamelessSubjectsAreLeftOut)
{
    runCrearMaterias({
        "<grupo_datos>" + Materias::dato("X_OFERTAMATRIG", "1ESO") + Materias::dato("D_MATERIAC", "Música") +
            "</grupo_datos>",
        "<grupo_datos>" + Materias::dato("X_OFERTAMATRIG", "1ESO") + Materias::dato("X_MATERIAOMG", "K1") +
            "</grupo_datos>",
        Materias::record("1ESO", "  ", "K2"),
        "<grupo_datos>" + Materias::dato("X_OFERTAMATRIG", "1ESO") + "</grupo_datos>",
    });
    EXPECT_EQ(columns("ASIGNOMT", {"COD", "NOMBRE"}), (Columns{{u"Música", u"Música"}}));
    EXPECT_EQ(columns("ASIGNOMT2", {"NOMBRE", "MATERIA", "OFERTAMATRI"}),
              (Columns{{u"Música", u"", u"1ESO"}}));

    // A reference record without a name does give nameless subjects a code.
    writeReference({{u"", u"SINNOMBRE", u""}});
    runCrearMaterias({Materias::record("1ESO", "", "K2")});
    EXPECT_EQ(columns("ASIGNOMT2", {"COD", "CODLARGO", "NOMBRE", "MATERIA"}),
              (Columns{{u"SINNOMBRE", u"SINNOMBRE", u"", u"K2"}}));
}

TEST_F(CrearMateriasTest, MissingReferenceTableEndsTheStepBeforeAnyTableIsTouched)
{
    std::filesystem::remove(form.paths().materiasTable);
    load({Materias::section({Materias::record("1ESO", "Música", "M1")})});
    const std::string message = errorOf([&] { exportacion.CrearMaterias(); });
    EXPECT_NE(message.find("RAICESMATERIAS.DBF"), std::string::npos) << message;
    EXPECT_FALSE(Table::exists(vtemp(), "ASIGNOMT"));
    EXPECT_FALSE(Table::exists(vtemp(), "ASIGNOMT2"));
}

TEST_F(CrearMateriasTest, ActivitiesFollowTheSubjectsAsTasks)
{
    load({Materias::section({Materias::record("1ESO", "Matemáticas", "M1")}),
          Xml::section("ACTIVIDADES", {{"N", "GUARDIA", "Guardia de recreo", "S", "N"},
                                       {"n", "REUNION", "Reunión de departamento", "N", "S"},
                                       {" N ", "TUT", "Tutoría", "S", "S"},
                                       {"S", "Matemá", "Matemáticas de refuerzo", "N", "N"},
                                       {"N", "X1"},
                                       {"N"}})});
    exportacion.CrearMaterias();
    exportacion.CrearActividades();
    EXPECT_EQ(columns("ASIGNOMT", {"COD", "CODLARGO", "NOMBRE", "CODTAREA", "ESTAREA", "R_UNI_MAT"}),
              (Columns{{u"Matemá", u"Matemá", u"Matemáticas", u"", u"F", u""},
                       {u"#GUARDIA", u"Guardia de", u"Guardia de recreo", u"#GUARDIA", u"T", u"SN"},
                       {u"REUNION", u"Reunión de", u"Reunión de departamento", u"REUNION", u"T", u"NS"},
                       {u"#TUT", u"Tutoría", u"Tutoría", u"#TUT", u"T", u"SS"},
                       // An activity may share a subject's code: nothing checks it.
                       {u"Matemá", u"Matemática", u"Matemáticas de refuerzo", u"Matemá", u"T", u"NN"},
                       {u"#X1", u"", u"", u"#X1", u"T", u""}}));
    EXPECT_EQ(rows("ASIGNOMT2").size(), 1u);
    EXPECT_TRUE(exportacion.runWideLists.subjectCodes.empty());
    EXPECT_TRUE(exportacion.runWideLists.subjectNames.empty());
    EXPECT_TRUE(exportacion.runWideLists.longCodes.empty());
    EXPECT_TRUE(exportacion.runWideLists.longCodesWithNames.empty());
}

// ASIGNOMT2 keeps twenty characters of a key. Two subject keys alike in
// those twenty are two subjects-in-course, each recorded; only a pair of
// keys equal as a whole is recorded once.
TEST_F(CrearMateriasTest, KeysLongerThanTheirFieldAreComparedWhole)
{
    const std::string longKey(20, '7');
    runCrearMaterias({Materias::record("1ESO", "Música", longKey + "01"),
                      Materias::record("1ESO", "Música", longKey + "02"),
                      Materias::record("1ESO", "Música", "M3"), Materias::record("1ESO", "Música", "M3")});
    EXPECT_EQ(columns("ASIGNOMT2", {"COD", "MATERIA"}),
              (Columns{{u"Música", fromUtf8(longKey)}, {u"Música", fromUtf8(longKey)}, {u"Música", u"M3"}}));
}
