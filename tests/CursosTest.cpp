#include "dialogs/Cursos.h"
#include "ExportFixture.h"
#include "base/Error.h"

using namespace pasavel;
using test::Xml;

namespace {

class CursosTest : public test::ExportFixture {
  protected:
    const std::string courses =
        Xml::section("CURSOS_DEL_CENTRO",
                     {{" 1ESO ", "1º de E.S.O."}, {"2ESO", "2º de E.S.O."}, {"solo"}, {"1BCT", "1º Bach."}});

    using Script = std::function<void(Cursos&)>;

    // Types a level and course number for each listed row, as in the grid.
    static Script typeAndConfirm(std::vector<std::pair<std::u16string, std::u16string>> codings)
    {
        return [codings](Cursos& dialog) {
            dialog.CursosTDBGridEnter();
            for (std::size_t row = 0; row < codings.size(); ++row) {
                dialog.moveTo(row);
                dialog.setNivel(codings[row].first);
                dialog.CursosTDBGridColEnter();
                dialog.setCurso(codings[row].second);
            }
            dialog.CursosTDBGridExit();
            dialog.okClick();
        };
    }

    void runCrearCursos(std::vector<Script> showings)
    {
        load({courses});
        userInterface.courseDialogScript.assign(showings.begin(), showings.end());
        exportacion.CrearCursos();
    }
};

} // namespace

TEST_F(CursosTest, CoursesAreListedAndTheTypedCodingsKept)
{
    runCrearCursos({typeAndConfirm({{u"ESO", u"1"}, {u" ESO", u"2"}, {u"BCT", u"1"}})});
    EXPECT_EQ(columns("CURSOST", {"CLAVE", "ESTUD", "NIVEL", "CURSO", "ABREV", "TURNO"}),
              (std::vector<std::vector<std::u16string>>{{u"1ESO", u"1º de E.S.O.", u"ESO", u"1", u"", u""},
                                                        {u"2ESO", u"2º de E.S.O.", u" ESO", u"2", u"", u""},
                                                        {u"1BCT", u"1º Bach.", u"BCT", u"1", u"", u""}}));
    EXPECT_EQ(columns("CURSOST2", {"CLAVE", "NIVEL", "CURSO"}),
              (std::vector<std::vector<std::u16string>>{
                  {u"1ESO", u"ESO", u"1"}, {u"2ESO", u" ESO", u"2"}, {u"1BCT", u"BCT", u"1"}}));
    EXPECT_EQ(userInterface.courseDialogShowings, 1);
    EXPECT_FALSE(exportacion.shownAgain);
    EXPECT_TRUE(userInterface.questions.empty());
}

TEST_F(CursosTest, AGapShowsTheDialogAgainWithTheForcedExit)
{
    bool forcedExitOfferedAtFirst = true;
    bool forcedExitOfferedAgain = false;
    bool incidentsShown = false;
    runCrearCursos({[&](Cursos& dialog) {
                        forcedExitOfferedAtFirst = dialog.forcedExitVisible();
                        typeAndConfirm({{u"ESO", u"1"}, {u"   ", u"2"}, {u"BCT", u""}})(dialog);
                        incidentsShown = dialog.incidentsVisible() && dialog.forcedExitVisible();
                    },
                    [&](Cursos& dialog) {
                        forcedExitOfferedAgain = dialog.forcedExitVisible();
                        dialog.CursosTDBGridColEnter();
                        EXPECT_FALSE(dialog.forcedExitVisible());
                        typeAndConfirm({{u"ESO", u"1"}, {u"ESO", u"2"}, {u"BCT", u"1"}})(dialog);
                    }});
    EXPECT_FALSE(forcedExitOfferedAtFirst);
    EXPECT_TRUE(incidentsShown);
    EXPECT_TRUE(forcedExitOfferedAgain);
    EXPECT_TRUE(exportacion.shownAgain) << "the retry flag stays set for the rest of the run";
    // The first gap stops the walk: one message, however many gaps.
    EXPECT_EQ(userInterface.messages, std::vector<std::string>{"¡Atención! Falta algún Dato"});
    EXPECT_EQ(columns("CURSOST2", {"CLAVE"}).size(), 3u);
    EXPECT_FALSE(exportacion.forcedExit());
}

TEST_F(CursosTest, ForcedExitEndsTheRunAndStoresNothing)
{
    runCrearCursos({typeAndConfirm({{u"ESO", u""}}), [](Cursos& dialog) { dialog.forcedExitClick(); }});
    EXPECT_TRUE(exportacion.forcedExit());
    EXPECT_FALSE(Table::exists(vtemp(), "CURSOST2"));
}

TEST_F(CursosTest, CloseBoxKeepsWhatWasTypedWithoutCheckingOrStoring)
{
    runCrearCursos({[](Cursos& dialog) {
        dialog.CursosTDBGridEnter();
        dialog.setNivel(u"ESO");
        dialog.closeBox();
    }});
    EXPECT_EQ(columns("CURSOST", {"NIVEL"})[0][0], u"ESO");
    EXPECT_FALSE(Table::exists(vtemp(), "CURSOST2"));
    EXPECT_FALSE(exportacion.forcedExit());
}

TEST_F(CursosTest, EarlierCodingsAreRecoveredOrDiscarded)
{
    runCrearCursos({typeAndConfirm({{u"ESO", u"1"}, {u"ESO", u"2"}, {u"BCT", u"1"}})});

    // OK: known keys take their earlier codings; a new course stays blank.
    const std::string withNewCourse =
        Xml::section("CURSOS_DEL_CENTRO", {{"1ESO", "1º"}, {"3ESO", "3º"}, {"1BCT", "Bach"}});
    load({withNewCourse});
    std::vector<std::vector<std::u16string>> shown;
    userInterface.questionAnswers = {true};
    userInterface.courseDialogScript = {[&](Cursos& dialog) {
        for (std::size_t row = 0; row < dialog.rowCount(); ++row)
            shown.push_back({dialog.course(row).clave, dialog.course(row).nivel, dialog.course(row).curso});
        dialog.closeBox();
    }};
    exportacion.CrearCursos();
    EXPECT_EQ(userInterface.questions.size(), 1u);
    EXPECT_NE(userInterface.questions[0].find("¿Quiere recuperar las codificaciones"), std::string::npos);
    EXPECT_EQ(shown, (std::vector<std::vector<std::u16string>>{
                         {u"1ESO", u"ESO", u"1"}, {u"3ESO", u"", u""}, {u"1BCT", u"BCT", u"1"}}));

    // Cancel deletes CURSOST2; the next confirmed dialog makes it afresh.
    load({withNewCourse});
    userInterface.questionAnswers = {false};
    userInterface.courseDialogScript = {[](Cursos& dialog) {
        EXPECT_EQ(dialog.course(0).nivel, u"");
        dialog.closeBox();
    }};
    exportacion.CrearCursos();
    EXPECT_FALSE(Table::exists(vtemp(), "CURSOST2"));
    userInterface.courseDialogScript = {typeAndConfirm({{u"E", u"1"}, {u"E", u"3"}, {u"B", u"1"}})};
    exportacion.CrearCursos();
    EXPECT_EQ(columns("CURSOST2", {"CLAVE", "NIVEL"}),
              (std::vector<std::vector<std::u16string>>{{u"1ESO", u"E"}, {u"3ESO", u"E"}, {u"1BCT", u"B"}}));
}

TEST_F(CursosTest, EmptyCourseListPassesAtOnce)
{
    load({});
    exportacion.CrearCursos();
    EXPECT_TRUE(rows("CURSOST").empty());
    EXPECT_TRUE(Table::exists(vtemp(), "CURSOST2"));
    EXPECT_TRUE(rows("CURSOST2").empty());
    EXPECT_TRUE(userInterface.messages.empty());
}

TEST_F(CursosTest, TenRecordMovesStopAtTheEndsAndRefreshPostsTheEdit)
{
    runCrearCursos({[](Cursos& dialog) {
        dialog.moveBy(10);
        EXPECT_EQ(dialog.currentRow(), 2u);
        dialog.moveBy(-1);
        EXPECT_EQ(dialog.currentRow(), 1u);
        dialog.setNivel(u"ESO");
        dialog.moveBy(-10);
        EXPECT_EQ(dialog.currentRow(), 0u);
        EXPECT_FALSE(dialog.isEditing()) << "moving posts the edit";
        dialog.setNivel(u"BCT");
        dialog.refresh();
        EXPECT_FALSE(dialog.isEditing());
        dialog.cancel();
        EXPECT_EQ(dialog.course(0).nivel, u"BCT");
        EXPECT_EQ(dialog.course(1).nivel, u"ESO");
        dialog.closeBox();
    }});
}
