// The bundled sample school there and back: exported, given a timetable by
// the stand-in for the timetable program, imported; the output document is
// checked as a whole.
#include "TestSupport.h"
#include "cli/BatchRunner.h"
#include "formats/Encoding.h"
#include "formats/ExchangeDocument.h"
#include "formats/dbase/Table.h"
#include "standin/StandInSolution.h"

#include <gtest/gtest.h>
#include <sstream>
#include <tuple>

using namespace pasavel;

namespace {

std::vector<std::string> datoNames(const XmlNode& group)
{
    std::vector<std::string> names;
    for (const XmlNode& dato : group.children("dato"))
        names.push_back(toUtf8(dato.attribute("nombre_dato")));
    return names;
}

int runCli(const std::vector<std::string>& arguments)
{
    std::ostringstream out;
    std::ostringstream err;
    const int status = runBatch(arguments, "/usr/bin/pasavel-cli", out, err);
    EXPECT_EQ(status, batchCompleted) << out.str() << err.str();
    return status;
}

} // namespace

TEST(RoundTrip, SampleSchoolComesBackWithEveryTeachersTimetable)
{
    test::TemporaryDirectory directory;
    const std::filesystem::path data = std::filesystem::path(PASAVEL_TEST_SOURCE_DIR) / ".." / "data";
    const auto chosen = directory / "centro.xml";
    std::filesystem::copy_file(data / "centro-ejemplo.xml", chosen);
    std::filesystem::create_directory(directory / "VTEMP");
    const std::string vtemp = (directory / "VTEMP").string();
    ASSERT_EQ(runCli({"exportar", chosen.string(), "--vtemp", vtemp, "--niveles",
                      (data / "niveles-ejemplo.csv").string(), "--descartar", "--marcos", "1,2", "--materias",
                      (std::filesystem::path(PASAVEL_RUNTIME_DIR) / "RAICESMATERIAS.DBF").string()}),
              batchCompleted);
    bench::writeStandInSolution(directory / "VTEMP");
    ASSERT_EQ(runCli({"importar", chosen.string(), "--vtemp", vtemp}), batchCompleted);

    const auto output = directory / "ResultadoQuelvocentro.xml";
    EXPECT_TRUE(
        test::readBytes(output).starts_with("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<SERVICIO "));
    if (const auto xmllint = test::checkWithXmllint(output); xmllint.exitCode != 127) {
        EXPECT_EQ(xmllint.exitCode, 0) << xmllint.output;
    }

    const XmlDocument document = XmlDocument::parseFile(output);
    const XmlNode root = document.root();
    EXPECT_EQ(root.attributeCount(), 4u);
    for (std::size_t position = 0; position < 4; ++position)
        EXPECT_EQ(root.attributeName(position),
                  (std::vector<std::string>{"modulo", "tipo", "autor", "fecha"})[position]);
    const std::vector<ExchangeRecord> sections = allSections(document);
    ASSERT_EQ(sections.size(), 3u);
    EXPECT_EQ(sections[0].element().attribute("seq"), u"ANNO_ACADEMICO");
    EXPECT_EQ(sections[0].value(0), u"2025");

    std::vector<std::u16string> employees;
    Table teachers(directory / "VTEMP", "PROFT");
    for (teachers.first(); !teachers.eof(); teachers.next())
        employees.push_back(teachers.text("X_EMPLEADO"));
    const std::vector<std::string> regularDatos = {
        "N_DIASEMANA", "X_TRAMO", "X_DEPENDENCIA", "X_UNIDAD", "X_OFERTAMATRIG", "X_MATERIAOMG",
        "F_INICIO",    "F_FIN",   "N_HORINI",      "N_HORFIN", "X_ACTIVIDAD"};
    std::size_t activityGroups = 0;
    for (const auto& [index, seq, prefix] :
         {std::tuple{1, u"HORARIOS_NO_REGULARES", u"HORARIO_NO_REGULAR_PROFESOR_"},
          std::tuple{2, u"HORARIOS_REGULARES", u"HORARIO_REGULAR_PROFESOR_"}}) {
        const XmlNode section = sections[static_cast<std::size_t>(index)].element();
        EXPECT_EQ(section.attribute("seq"), seq);
        const std::vector<XmlNode> groups = section.children("grupo_datos");
        EXPECT_EQ(section.attribute("registros"), fromUtf8(std::to_string(employees.size())));
        ASSERT_EQ(groups.size(), employees.size());
        for (std::size_t teacher = 0; teacher < groups.size(); ++teacher) {
            const XmlNode group = groups[teacher];
            EXPECT_EQ(group.attribute("seq"), prefix + fromUtf8(std::to_string(teacher + 1)));
            EXPECT_EQ(datoNames(group), (std::vector<std::string>{"X_EMPLEADO", "F_TOMAPOS"}));
            EXPECT_EQ(ExchangeRecord(group).value(0), employees[teacher]);
            const std::vector<XmlNode> activities = group.children("grupo_datos");
            EXPECT_EQ(group.attribute("registros"), fromUtf8(std::to_string(activities.size())));
            EXPECT_EQ(group.childCount(), activities.size() + 2);
            for (std::size_t number = 0; number < activities.size(); ++number) {
                EXPECT_EQ(activities[number].attribute("seq"),
                          u"ACTIVIDAD_" + fromUtf8(std::to_string(number + 1)));
                std::vector<std::string> names = datoNames(activities[number]);
                if (index == 1) {
                    EXPECT_EQ(names, (std::vector<std::string>{"X_ACTIVIDAD", "N_MINSEN"}));
                } else {
                    if (names.size() == regularDatos.size() + 1 && names.back() == "X_ORIHORACTETP")
                        names.pop_back();
                    EXPECT_EQ(names, regularDatos);
                }
            }
            activityGroups += activities.size();
        }
    }
    EXPECT_GT(activityGroups, 500u) << "every teacher of the sample is timetabled";
}
