#include "StepsFixture.h"
#include "export/WorkingTables.h"

using namespace pasavel;
using test::Columns;
using test::Materias;
using test::Xml;

namespace {

class CrearAsignacionesTest : public test::StepsFixture {
  protected:
    void SetUp() override
    {
        StepsFixture::SetUp();
        writeCourses({{u"1ESO", u"ESO", u"1", u"1º ESO"}, {u"2ESO", u"ESO", u"2", u"2º ESO"}});
    }

    const std::string units = Xml::section(
        "UNIDADES",
        {{"U1", "1ºA", "1ESO"}, {"U2", "1ºB", "1ESO"}, {"U3", "1ºC", "1ESO"}, {"U4", "2ºA", "2ESO"}});
};

} // namespace

TEST_F(CrearAsignacionesTest, EverySubjectInCourseGetsOneAssignmentPerGroup)
{
    load({Materias::section({
              Materias::record("1ESO", "Matemáticas", "M1"), Materias::record("2ESO", "Matemáticas", "M2"),
              Materias::record("4ESO", "Música", "X1"), // a course without groups
              Materias::record("2ESO", "Historia", "H1"), Materias::swapped("2ESO", "HISTORIA", "H2"),
              // Two values: the subject key is empty.
              "<grupo_datos>" + Materias::dato("X_OFERTAMATRIG", "2ESO") +
                  Materias::dato("D_MATERIAC", "Música") + "</grupo_datos>",
              Materias::record("2ESO", "Matemáticas", "M2"), // repeated: its assignments come twice
          }),
          units});
    exportacion.CrearMaterias();
    exportacion.CrearActividades();
    exportacion.CrearGrupos();
    exportacion.CrearAsignaciones();

    const std::vector<test::Row> assignments = rows("ASIGT");
    ASSERT_FALSE(assignments.empty());
    EXPECT_EQ(assignments[0], (test::Row{{"CASIG", u"Matemá"},
                                         {"CPROF", u""},
                                         {"CGRUP", u"ESO1A"},
                                         {"CAULA", u""},
                                         {"TURNO", u""},
                                         {"NIVEL", u"ESO"},
                                         {"CURSO", u"1"},
                                         {"GRUPO", u"A"},
                                         {"HORAS", u"4.00"},
                                         {"SESIONES", u"1111"},
                                         {"NCONEX", u""},
                                         {"CLAVE", u"M1"},
                                         {"CLAVECURSO", u"1ESO"},
                                         {"CLAVEGRUPO", u"U1"},
                                         {"CTAREA", u"1"},
                                         {"CORIGEN", u""},
                                         {"X_NIVCONPAGLEG", u""}}));
    // HISTORIA is a subject of its own, but the first name alike gives the code.
    EXPECT_EQ(columns("ASIGT", {"CASIG", "CGRUP", "GRUPO", "CLAVE", "CLAVECURSO", "CLAVEGRUPO"}),
              (Columns{{u"Matemá", u"ESO1A", u"A", u"M1", u"1ESO", u"U1"},
                       {u"Matemá", u"ESO1B", u"B", u"M1", u"1ESO", u"U2"},
                       {u"Matemá", u"ESO1C", u"C", u"M1", u"1ESO", u"U3"},
                       {u"Matemá", u"ESO2A", u"A", u"M2", u"2ESO", u"U4"},
                       {u"Histor", u"ESO2A", u"A", u"H1", u"2ESO", u"U4"},
                       {u"Histor", u"ESO2A", u"A", u"H2", u"2ESO", u"U4"},
                       {u"Música", u"ESO2A", u"A", u"", u"2ESO", u"U4"},
                       {u"Matemá", u"ESO2A", u"A", u"M2", u"2ESO", u"U4"}}));
}

TEST_F(CrearAsignacionesTest, SubjectNamesAreFoundIgnoringAsciiCaseAndPadding)
{
    // Codes and names as ASIGNOMT holds them: padded, in several cases, and
    // a name cut to the eighty characters of its field.
    const std::vector<std::pair<std::u16string, std::u16string>> subjects = {
        {u"MAT", u"  matemáticas "},
        {u"LEN", u"LENGUA"},
        {u"len", u"lengua"},
        {u"MUS", u"MÚSICA"},
        {u"LARGA", std::u16string(85, u'x')}};
    tables::ASIGNOMT.create(vtemp());
    Table asignomt(vtemp(), tables::ASIGNOMT.name);
    for (const auto& [code, name] : subjects) {
        asignomt.append();
        asignomt.setText("COD", code);
        asignomt.setText("NOMBRE", name);
    }
    asignomt.close();

    struct Case {
        std::string name;
        std::u16string expectedCode; // empty: no assignment
    };
    const std::vector<Case> cases = {
        {"Matemáticas", u"MAT"}, {"lengua", u"LEN"}, {"Música", u""}, // accented letters keep their case
        {"MÚSICA", u"MUS"},      {"Física", u""},    {std::string(85, 'x'), u"LARGA"},
    };
    std::vector<std::string> records;
    Columns expected;
    for (const Case& testCase : cases) {
        const std::string key = "K" + std::to_string(records.size());
        records.push_back(Materias::record("2ESO", testCase.name, key));
        if (!testCase.expectedCode.empty())
            expected.push_back({testCase.expectedCode, std::u16string(key.begin(), key.end())});
    }
    load({Materias::section(records), units});
    exportacion.CrearGrupos();
    exportacion.CrearAsignaciones();
    EXPECT_EQ(columns("ASIGT", {"CASIG", "CLAVE"}), expected);
}

// GRUPOST keeps ten characters of a course key: a subject of a longer key is
// assigned to no group, not to the groups of a course that begins alike.
TEST_F(CrearAsignacionesTest, CourseKeyLongerThanItsFieldFindsNoGroup)
{
    writeCourses({{u"1683215658", u"ESO", u"1", u"1º ESO"}});
    load({Materias::section({Materias::record("168321565832", "Música", "M1"),
                             Materias::record("1683215658", "Música", "M2")}),
          Xml::section("UNIDADES", {{"U1", "1ºA", "1683215658"}})});
    exportacion.CrearMaterias();
    exportacion.CrearActividades();
    exportacion.CrearGrupos();
    exportacion.CrearAsignaciones();
    EXPECT_EQ(columns("ASIGT", {"CGRUP", "CLAVE", "CLAVECURSO"}),
              (Columns{{u"ESO1A", u"M2", u"1683215658"}}));
}
