#include "ExportFixture.h"
#include "base/Error.h"

using namespace pasavel;
using test::Xml;

namespace {

using Table2 = std::vector<std::vector<std::u16string>>;

class CatalogosTest : public test::ExportFixture {
  protected:
    const std::string niveles = Xml::section("NIVELES", {{"7", "ESO", "Educación Secundaria"}});
    const std::string cursosNiveles = Xml::section("CURSOS_NIVELES", {{"1001", "7"}, {"1002", "7"}});
    const std::string autorizaciones = Xml::section("AUTORIZACIONES", {{"90", "55", "12", "7"}});
};

} // namespace

TEST_F(CatalogosTest, FourCataloguesAreCopiedInDocumentOrder)
{
    load({Xml::section("ORIGENES",
                       {{" 12 ", "HORAS-LECTIVAS-DE-25-CAR", "Lectivas"}, {"12", "L", "Otra"}, {"x"}}),
          niveles, cursosNiveles, autorizaciones});
    exportacion.CrearCatalogos();
    EXPECT_EQ(columns("ORIGENES_C", {"X_CATORIHOR", "C_ORIHOR", "D_ORIHOR"}),
              (Table2{{u"12", u"HORAS-LECTIVAS-DE-25", u"Lectivas"}, {u"12", u"L", u"Otra"}}));
    EXPECT_EQ(columns("NIVELES_C", {"X_NIVCONPAGLEG", "C_NIVCON", "D_NIVCON"}),
              (Table2{{u"7", u"ESO", u"Educación Secundaria"}}));
    EXPECT_EQ(columns("CUR_NIV_C", {"X_OFERTAMATRIG", "X_NIVCONPAGLEG"}),
              (Table2{{u"1001", u"7"}, {u"1002", u"7"}}));
    EXPECT_EQ(columns("AUTORIZA_C", {"X_ORIHORACTETP", "X_ACTIVIDAD", "X_CATORIHOR", "X_NIVCONPAGLEG"}),
              (Table2{{u"90", u"55", u"12", u"7"}}));
}

TEST_F(CatalogosTest, WithoutHourOriginsTheEarlierCataloguesStay)
{
    load({Xml::section("ORIGENES", {{"1", "L", "Lectivas"}}), niveles, cursosNiveles, autorizaciones});
    exportacion.CrearCatalogos();
    test::writeBytes(vtemp() / "ORIGENES_C.MDX", "index");

    load({Xml::section("NIVELES", {})});
    exportacion.CrearCatalogos();
    EXPECT_FALSE(Table::exists(vtemp(), "ORIGENES_C"));
    EXPECT_FALSE(std::filesystem::exists(vtemp() / "ORIGENES_C.MDX"));
    EXPECT_EQ(rows("NIVELES_C").size(), 1u);
    EXPECT_EQ(rows("AUTORIZA_C").size(), 1u);

    // Hour origins without usable records: an empty table, the rest re-created.
    load({Xml::section("ORIGENES", {{"1"}})});
    exportacion.CrearCatalogos();
    EXPECT_TRUE(Table::exists(vtemp(), "ORIGENES_C"));
    EXPECT_TRUE(rows("ORIGENES_C").empty());
    EXPECT_TRUE(rows("NIVELES_C").empty());
    EXPECT_TRUE(rows("AUTORIZA_C").empty());
}

TEST_F(CatalogosTest, AValueThatIsNoIntegerEndsTheRunNamingIt)
{
    struct Case {
        std::vector<std::string> sections;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {{Xml::section("ORIGENES", {{"1", "L", "Lectivas"}, {"abc", "X", "Y"}})},
         "El valor «abc» del dato 0 del registro 2 de la sección ORIGENES no es un número entero."},
        {{Xml::section("ORIGENES", {{"1", "L"}}), Xml::section("AUTORIZACIONES", {{"90", "55"}})},
         "El valor «» del dato 2 del registro 1 de la sección AUTORIZACIONES no es un número entero."},
        {{Xml::section("ORIGENES", {{"1", "L"}}), Xml::section("CURSOS_NIVELES", {{"1001", "7.5"}})},
         "«7.5» del dato 1 del registro 1 de la sección CURSOS_NIVELES"},
    };
    for (const Case& testCase : cases) {
        load(testCase.sections);
        const std::string message = errorOf([&] { exportacion.CrearCatalogos(); });
        EXPECT_NE(message.find(testCase.expected), std::string::npos) << message;
    }
}
