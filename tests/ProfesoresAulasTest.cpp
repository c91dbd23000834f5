#include "StepsFixture.h"

using namespace pasavel;
using test::Columns;
using test::Xml;

namespace {

class ProfesoresAulasTest : public test::StepsFixture {};

} // namespace

TEST_F(ProfesoresAulasTest, TeacherAbbreviationsTakeACounterOnAnyCaseClash)
{
    load({Xml::section("EMPLEADOS", {
                                        {"E1", "01/09/2020", "Matemáticas", "Juan", "García", "López"},
                                        {"E2", "", "Lengua", "José", "Gómez", "Lara"},
                                        {"E3", "", "", "Julia", "Gil", "Luna"},
                                        {"E4", "", "", " juan ", "gil", "lópez"},
                                        {"E5", "", "", "Ana", "", "Ruiz"},
                                        {"E6", "", "", "", "", ""},
                                        {"E7", "", "", "", "", ""},
                                        {"E8", "", "", "Ángel", "Gil", "Lara"},
                                        {"E9", "", "", "ángel", "gil", "lara"},
                                        {"E10", "15/09/2024"},
                                        {"E11"},
                                    })});
    exportacion.CrearProfesores();
    EXPECT_EQ(columns("PROFT", {"ABREV", "NOMBRE", "X_EMPLEADO", "F_TOMAPOS", "DEPART", "DNI", "EMAIL"}),
              (Columns{{u"JGL", u"Juan García López", u"E1", u"01/09/2020", u"Matemáticas", u"", u""},
                       {u"JGL1", u"José Gómez Lara", u"E2", u"", u"Lengua", u"", u""},
                       {u"JGL2", u"Julia Gil Luna", u"E3", u"", u"", u"", u""},
                       {u"jgl3", u"juan gil lópez", u"E4", u"", u"", u"", u""},
                       {u"AR", u"Ana  Ruiz", u"E5", u"", u"", u"", u""},
                       {u"", u"", u"E6", u"", u"", u"", u""},
                       {u"1", u"", u"E7", u"", u"", u"", u""},
                       {u"ÁGL", u"Ángel Gil Lara", u"E8", u"", u"", u"", u""},
                       {u"ágl1", u"ángel gil lara", u"E9", u"", u"", u"", u""},
                       // Fewer values than a teacher has: the missing ones are empty.
                       {u"2", u"", u"E10", u"15/09/2024", u"", u"", u""}}));
}

TEST_F(ProfesoresAulasTest, RoomKeysAreTheirAbbreviationsCutToTen)
{
    load({Xml::section("DEPENDENCIAS", {{"AULA01", "Aula 1"},
                                        {" LABORATORIO1 ", "Laboratorio de Física"},
                                        {"LABORATORIO2", "Laboratorio de Química"},
                                        {"GIMNASIO"}})});
    exportacion.CrearAulas();
    EXPECT_EQ(columns("AULAT", {"ABREV", "NOMBRE", "EDIFICIO", "MAXALUM", "DEPCENTRO"}),
              (Columns{{u"AULA01", u"Aula 1", u"", u"", u"AULA01"},
                       {u"LABORATORI", u"Laboratorio de Física", u"", u"", u"LABORATORI"},
                       {u"LABORATORI", u"Laboratorio de Química", u"", u"", u"LABORATORI"}}));
}

TEST_F(ProfesoresAulasTest, AbsentSectionsLeaveEmptyTables)
{
    load({});
    exportacion.CrearProfesores();
    exportacion.CrearAulas();
    EXPECT_TRUE(rows("PROFT").empty());
    EXPECT_TRUE(rows("AULAT").empty());
}

// Counters go on from where the same initials left off, yet a code that
// other initials took in between is still skipped, in any letter case.
TEST_F(ProfesoresAulasTest, TeacherCountersSkipCodesOtherInitialsTook)
{
    load({Xml::section("EMPLEADOS", {
                                        {"E1", "", "", "Ana", "", ""},
                                        {"E2", "", "", "Ana", "", ""},
                                        {"E3", "", "", "a", "2", ""},
                                        {"E4", "", "", "Ana", "", ""},
                                        {"E5", "", "", "a", "", ""},
                                        {"E6", "", "", "a", "4", ""},
                                        {"E7", "", "", "Ana", "", ""},
                                    })});
    exportacion.CrearProfesores();
    EXPECT_EQ(columns("PROFT", {"ABREV"}),
              (Columns{{u"A"}, {u"A1"}, {u"a2"}, {u"A3"}, {u"a4"}, {u"a41"}, {u"A5"}}));
}
