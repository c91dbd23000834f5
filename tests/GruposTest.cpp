#include "StepsFixture.h"

using namespace pasavel;
using test::Columns;
using test::Xml;

namespace {

class CrearGruposTest : public test::StepsFixture {
  protected:
    void SetUp() override
    {
        StepsFixture::SetUp();
        writeCourses({{u"1ESO", u"ESO", u"1", u"1º de E.S.O."},
                      {u"2ESO", u"ESO", u"2", u"2º de E.S.O."},
                      {u"1BCT", u"BCT", u"1", u"1º Bach. Ciencias"},
                      {u"10ESO", u"ESO", u"10", u"Décimo"},
                      {u"1eso", u"eso", u"1", u"1º (otra oferta)"},
                      {u"PMAR", u"", u"1", u"Programa de mejora"}});
    }

    // Group keys G1, G2... of units of these courses, in this order.
    void runCrearGrupos(const std::vector<std::string>& courseKeys)
    {
        std::vector<std::vector<std::string>> units;
        for (const std::string& courseKey : courseKeys)
            units.push_back({"G" + std::to_string(units.size() + 1), "unidad", courseKey});
        load({Xml::section("UNIDADES", units)});
        exportacion.CrearGrupos();
    }
};

} // namespace

TEST_F(CrearGruposTest, GroupsTakeLevelCourseAndLetter)
{
    runCrearGrupos({"1ESO", "1ESO", " 2ESO ", "1BCT", "NOEXISTE", "OTRO"});
    EXPECT_EQ(columns("GRUPOST", {"ABREV", "TURNO", "NIVEL", "CURSO", "GRUPO", "CLAVE", "CLAVECURSO",
                                  "DESCRIP", "MARCO"}),
              (Columns{{u"ESO1A", u"", u"ESO", u"1", u"A", u"G1", u"1ESO", u"1º de E.S.O.", u"0"},
                       {u"ESO1B", u"", u"ESO", u"1", u"B", u"G2", u"1ESO", u"1º de E.S.O.", u"0"},
                       {u"ESO2A", u"", u"ESO", u"2", u"A", u"G3", u"2ESO", u"2º de E.S.O.", u"0"},
                       {u"BCT1A", u"", u"BCT", u"1", u"A", u"G4", u"1BCT", u"1º Bach. Ciencias", u"0"},
                       {u"A", u"", u"NIV", u"", u"A", u"G5", u"NOEXISTE", u"", u"0"},
                       {u"B", u"", u"NIV", u"", u"B", u"G6", u"OTRO", u"", u"0"}}));
}

TEST_F(CrearGruposTest, LetterSequencesAreSharedAcrossLetterCaseAndCourseNumbers)
{
    load({Xml::section("UNIDADES", {{"G1", "u", "1ESO"},
                                    {"G2", "u", "1ESO"},
                                    {"G3", "u", "1eso"},
                                    {"G4", "u", "10ESO"},
                                    {"G5", "u", "PMAR"},
                                    {"G6", "u", "PMAR"},
                                    {"G7", "u", "NOEXISTE"},
                                    // Two values: the course key is empty, like that of an unknown course.
                                    {"G8", "u"},
                                    {"G9"}})});
    exportacion.CrearGrupos();
    EXPECT_EQ(columns("GRUPOST", {"ABREV", "NIVEL", "CURSO", "GRUPO", "CLAVE", "CLAVECURSO"}),
              (Columns{{u"ESO1A", u"ESO", u"1", u"A", u"G1", u"1ESO"},
                       {u"ESO1B", u"ESO", u"1", u"B", u"G2", u"1ESO"},
                       {u"eso1C", u"eso", u"1", u"C", u"G3", u"1eso"},
                       {u"ESO1D", u"ESO", u"10", u"D", u"G4", u"10ESO"},
                       {u"1A", u"NIV", u"1", u"A", u"G5", u"PMAR"},
                       {u"1B", u"NIV", u"1", u"B", u"G6", u"PMAR"},
                       {u"A", u"NIV", u"", u"A", u"G7", u"NOEXISTE"},
                       {u"B", u"NIV", u"", u"B", u"G8", u""}}));
}

// Past Z the letter runs on in character order; a to z count as taken, being
// A to Z in another case.
TEST_F(CrearGruposTest, LettersRunOnPastZ)
{
    runCrearGrupos(std::vector<std::string>(34, "1ESO"));
    const Columns groups = columns("GRUPOST", {"ABREV", "GRUPO"});
    ASSERT_EQ(groups.size(), 34u);
    EXPECT_EQ(groups[25], (std::vector<std::u16string>{u"ESO1Z", u"Z"}));
    EXPECT_EQ(groups[26], (std::vector<std::u16string>{u"ESO1[", u"["}));
    EXPECT_EQ(groups[31], (std::vector<std::u16string>{u"ESO1`", u"`"}));
    EXPECT_EQ(groups[32], (std::vector<std::u16string>{u"ESO1{", u"{"}));
    EXPECT_EQ(groups[33], (std::vector<std::u16string>{u"ESO1|", u"|"}));
}

// CURSOST keeps ten characters of a key. A unit's key is compared whole with
// what is stored, so a longer key finds no course instead of the course of
// another key that begins alike.
TEST_F(CrearGruposTest, CourseKeyLongerThanItsFieldFindsNoCourse)
{
    writeCourses(
        {{u"168321565899", u"BCT", u"2", u"Otro curso"}, {u"168321565832", u"ESO", u"1", u"Primero"}});
    runCrearGrupos({"168321565832", "1683215658"});
    EXPECT_EQ(
        columns("GRUPOST", {"ABREV", "NIVEL", "DESCRIP", "CLAVECURSO"}),
        (Columns{{u"A", u"NIV", u"", u"1683215658"}, {u"BCT2A", u"BCT", u"Otro curso", u"1683215658"}}));
}
