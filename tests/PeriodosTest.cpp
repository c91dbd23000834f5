#include "ExportFixture.h"
#include "base/Error.h"

using namespace pasavel;
using test::Xml;

namespace {

class CrearPeriodosTest : public test::ExportFixture {};

const std::string frames = Xml::section("JORNADAS_ESCOLARES", {{"1", "Mañana", "01/09/2025", "30/06/2026"},
                                                               {"2", "Tarde", "02/09/2025", "29/06/2026"}});

} // namespace

TEST_F(CrearPeriodosTest, SchoolYearAndDatesFromTheFirstTwoSections)
{
    struct Case {
        const char* description;
        std::vector<std::string> sections;
        std::vector<std::vector<std::u16string>> expected;
    };
    const std::vector<Case> cases = {
        {"dates present: the frames are not read",
         {Xml::valueSection("CENTRO", {" 2025/2026 ", "15/09/2025", "22/06/2026"}),
          Xml::valueSection("X", {"a"}), frames},
         {{u"2025", u"15/09/2025", u"22/06/2026"}}},
        {"an empty last day takes both dates from the first frame",
         {Xml::valueSection("CENTRO", {"2025", "15/09/2025", " "}), Xml::valueSection("X", {}), frames},
         {{u"2025", u"01/09/2025", u"30/06/2026"}}},
        {"first section with one value: the record comes from the second",
         {Xml::valueSection("CENTRO", {"2024"}), Xml::valueSection("CURSO", {"2025", "a", "b"})},
         {{u"2025", u"a", u"b"}}},
        {"both sections pass: two records, the fallback only on the second",
         {Xml::valueSection("A", {"2024", "", "x"}), Xml::valueSection("B", {"2025", "", "y"}), frames},
         {{u"2024", u"", u"x"}, {u"2025", u"01/09/2025", u"30/06/2026"}}},
        {"a first frame with one value changes nothing",
         {Xml::valueSection("A", {"2025", "", "x"}), Xml::valueSection("B", {}),
          Xml::section("JORNADAS_ESCOLARES", {{"1"}})},
         {{u"2025", u"", u"x"}}},
    };
    for (const Case& testCase : cases) {
        load(testCase.sections);
        exportacion.CrearPeriodos();
        EXPECT_EQ(columns("PERIODOS", {"CURSOANNO", "F_INICIO", "F_FIN"}), testCase.expected)
            << testCase.description;
    }
}

TEST_F(CrearPeriodosTest, MissingSchoolYearDataEndsWithAClearMessageAndNoTable)
{
    struct Case {
        std::vector<std::string> sections;
        const char* expectedText;
    };
    const std::vector<Case> cases = {
        {{Xml::valueSection("A", {"2025", "1", "2"})}, "dos secciones iniciales"},
        {{Xml::valueSection("A", {"2025", "1"}), Xml::valueSection("B", {})}, "no su último día"},
        {{Xml::valueSection("A", {"2025"}), Xml::valueSection("B", {})}, "no indica el curso escolar"},
        {{Xml::valueSection("A", {"2025", "", "2"}), Xml::valueSection("B", {})}, "ninguna jornada escolar"},
        {{Xml::valueSection("A", {"2025", "", "2"}), Xml::valueSection("B", {}),
          Xml::section("JORNADAS_ESCOLARES", {{"1", "M", "01/09/2025"}})},
         "no tiene su fecha de fin"},
    };
    for (const Case& testCase : cases) {
        load(testCase.sections);
        const std::string message = errorOf([&] { exportacion.CrearPeriodos(); });
        EXPECT_NE(message.find(testCase.expectedText), std::string::npos) << message;
        EXPECT_FALSE(Table::exists(vtemp(), "PERIODOS"));
    }
}
