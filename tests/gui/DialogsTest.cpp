// The level and course dialog and the time-frame dialog on the offscreen
// platform, worked with the mouse and the keyboard over their real logic.
#include "../ScriptedInterface.h"
#include "../TestSupport.h"
#include "DialogDriver.h"
#include "base/Error.h"
#include "dialogs/Cursos.h"
#include "dialogs/Plantihoras.h"
#include "export/WorkingTables.h"
#include "formats/dbase/Table.h"
#include "gui-qt/CursosGrid.h"
#include "gui-qt/GradientPanel.h"
#include "gui-qt/HelpWindow.h"
#include "gui-qt/RecordNavigator.h"
#include "gui-qt/TControlCursos.h"
#include "gui-qt/TMForm.h"
#include "gui-qt/TPlantillas.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QtTest>

#include <memory>

using namespace pasavel;
using test::clickCell;
using test::clickEntry;
using test::pressKey;
using test::typeInto;

namespace {

using Courses = std::vector<std::pair<std::string, std::string>>; // CLAVE, ESTUD

template <typename Widget> Widget* child(QWidget& window, const char* name)
{
    auto* found = window.findChild<Widget*>(QLatin1String(name));
    if (found == nullptr)
        qFatal("no widget named %s", name);
    return found;
}

QStringList toStringList(const std::vector<std::u16string>& texts)
{
    QStringList list;
    for (const std::u16string& text : texts)
        list << QString::fromStdU16String(text);
    return list;
}

// A document with three time frames; frame 3 has no hour slots.
const std::string threeFrames =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><SERVICIO><BLOQUE_DATOS>"
    "<grupo_datos seq=\"JORNADAS_ESCOLARES\">"
    "<grupo_datos><dato>1</dato><dato>Mañana</dato><dato>01/09/2025</dato>"
    "<dato>30/06/2026</dato></grupo_datos>"
    "<grupo_datos><dato>2</dato><dato>Tarde</dato><dato>02/09/2025</dato>"
    "<dato>29/06/2026</dato></grupo_datos>"
    "<grupo_datos><dato>3</dato><dato>Noche</dato><dato>03/09/2025</dato>"
    "<dato>28/06/2026</dato></grupo_datos></grupo_datos>"
    "<grupo_datos seq=\"TRAMOS_HORARIOS\">"
    "<grupo_datos><dato>a</dato><dato>1ª hora</dato><dato>480</dato><dato>540</dato>"
    "<dato>1</dato></grupo_datos>"
    "<grupo_datos><dato>b</dato><dato>Tarde 1ª</dato><dato>900</dato><dato>960</dato>"
    "<dato>2</dato></grupo_datos>"
    "<grupo_datos><dato>c</dato><dato>2ª hora</dato><dato>540</dato><dato>600</dato>"
    "<dato>1</dato></grupo_datos></grupo_datos>"
    "</BLOQUE_DATOS></SERVICIO>";

} // namespace

class DialogsTest : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    void courseWindowLayout_data();
    void courseWindowLayout();
    void courseWindowTextsFitAndKeepTheirOrder();
    void gridLooksAsATableOfCourses();
    void navigatorHasItsTenButtonsAndHints();
    void navigatorWalksTheRecords_data();
    void navigatorWalksTheRecords();
    void navigatorEditPostAndCancel();
    void typingInTheGridReachesCursost();
    void keyColumnsAreShownButNeverEdited();
    void gridFocusStartsAndPostsTheEdit();
    void checkShowsIncidentsBehindItsMessageAndAColumnChangeHidesTheForcedExit();
    void forcedExitAndCloseBox_data();
    void forcedExitAndCloseBox();
    void earlierCodingsAreOfferedWithTheirQuestion();
    void failureOfTheLogicClosesTheWindowAndReachesTheCaller();

    void frameWindowLayout();
    void activationListsTheFramesAndShowsTheFirst();
    void ctrlClickedFramesGiveTheResultInListOrder();
    void ctrlClickDeselectingStillShowsThatFrame();
    void closingValidatesTheChoice_data();
    void closingValidatesTheChoice();
    void newActivationStartsTheChoiceAfresh();
    void returnFromTheHelpOrAnotherProgramKeepsTheChoice();
    void noValidChoiceIsExplainedAndEndsTheExport();

  private:
    std::filesystem::path vtemp() const { return m_folder->path() / "VTEMP"; }
    void writeCursost(const Courses& courses);
    std::vector<std::vector<std::u16string>> tableColumns(const char* table,
                                                          const std::vector<const char*>& fields);
    // The course dialog over CURSOST, shown and past FormShow.
    std::unique_ptr<TControlCursos> showCourseWindow(Cursos& logic);
    std::unique_ptr<TPlantillas> showFrameWindow(Plantihoras& logic);
    std::unique_ptr<TMForm> makeMainWindow();

    std::unique_ptr<test::TemporaryDirectory> m_folder;
    std::unique_ptr<test::ScriptedInterface> m_answers;
};

void DialogsTest::init()
{
    m_folder = std::make_unique<test::TemporaryDirectory>();
    std::filesystem::create_directory(vtemp());
    m_answers = std::make_unique<test::ScriptedInterface>();
}

void DialogsTest::cleanup()
{
    for (QWidget* window : QApplication::topLevelWidgets())
        window->hide();
    m_answers.reset();
    m_folder.reset();
}

void DialogsTest::writeCursost(const Courses& courses)
{
    tables::CURSOST.create(vtemp());
    Table table(vtemp(), tables::CURSOST.name);
    for (const auto& [clave, estud] : courses) {
        table.append();
        table.setText("CLAVE", std::u16string(clave.begin(), clave.end()));
        table.setText("ESTUD", QString::fromStdString(estud).toStdU16String());
        table.post();
    }
    table.close();
}

std::vector<std::vector<std::u16string>> DialogsTest::tableColumns(const char* name,
                                                                   const std::vector<const char*>& fields)
{
    std::vector<std::vector<std::u16string>> rows;
    Table table(vtemp(), name);
    for (table.first(); !table.eof(); table.next()) {
        std::vector<std::u16string> row;
        for (const char* field : fields)
            row.push_back(table.text(field));
        rows.push_back(row);
    }
    return rows;
}

std::unique_ptr<TControlCursos> DialogsTest::showCourseWindow(Cursos& logic)
{
    auto window = std::make_unique<TControlCursos>(logic);
    window->show();
    QApplication::setActiveWindow(window.get());
    // Ready once FormShow has opened CURSOST.
    [&] { QTRY_VERIFY(child<QPushButton>(*window, "BitBtn1")->isEnabled()); }();
    return window;
}

std::unique_ptr<TPlantillas> DialogsTest::showFrameWindow(Plantihoras& logic)
{
    auto window = std::make_unique<TPlantillas>(logic, *m_answers);
    window->show();
    QApplication::setActiveWindow(window.get());
    [&] { QTRY_VERIFY(logic.currentFrame() >= 0 || !logic.noChoiceReason().empty()); }();
    return window;
}

std::unique_ptr<TMForm> DialogsTest::makeMainWindow()
{
    const std::filesystem::path program = m_folder->path() / "programa";
    std::filesystem::create_directories(program);
    return std::make_unique<TMForm>(readCommandLine({}),
                                    ProgramPaths{vtemp(), program, program / "M.DBF", {}, {}});
}

void DialogsTest::courseWindowLayout_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry"); // an empty size: only the position is fixed
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("shownAtStart");

    const auto row = [](const char* name, QRect geometry, const char* text, bool shown) {
        QTest::newRow(name) << name << geometry << QString::fromUtf8(text) << shown;
    };
    row("Label1", {86, 5, 0, 0}, "ASIGNACIÓN DE NIVELES Y CURSOS", true);
    row("wwDBNavigator1", {105, 29, 275, 24}, "", true);
    row("CursosTDBGrid", {3, 56, 454, 433}, "", true);
    row("Label3", {468, 56, 0, 0}, "INCIDENCIAS EN EL TRASPASO", false);
    row("Label2", {473, 72, 0, 0},
        "Se ha detectado que falta por indicar algún NIVEL  o CURSO. Complete el/los datos que falten, para "
        "poder concluir el proceso, antes de Salir.",
        false);
    row("Label4", {471, 140, 0, 0}, "¡ IMPORTANTE !", true);
    row("Label5", {472, 156, 0, 0},
        "Las Abreviaturas de sus Grupos (Unidades), se formarán, en función del NIVEL y CURSO, del siguiente "
        "modo: ",
        true);
    row("Label6", {472, 207, 0, 0}, "Por ejemplo, NIVEL=ESO y CURSO=1 daría como resultado", true);
    row("Label10", {473, 244, 0, 0}, "Abreviatura del Grupo = ESO1A", true);
    row("Label7", {472, 257, 0, 0},
        "y así secuencialmente para el resto de Grupos del mismo NIVEL y CURSO, ESO1B, ESO1C.", true);
    row("Label11", {462, 300, 0, 0},
        "Ejemplos de Niveles: BCT=Bach.C.T., BHC=Bach.Hum., BT=Bach.Tecnol., LS=Leng.Signos, "
        "GAD=Gest.Admin., EDSO=ESO Diversificación, etc...",
        true);
    row("Label9", {462, 354, 0, 0},
        "Luego es de vital IMPORTANCIA que para cada NIVEL sus 5 Primeros caracteres sean DISTINTOS.", true);
    row("BitBtn1", {519, 397, 0, 0}, "OK", true);
    row("BitBtn2", {463, 424, 218, 24}, "Forzar Salida Sin Terminar Proceso ", false);
    row("Label8", {479, 450, 0, 0},
        "¡ Atención ! Si fuerza la Salida, los Datos recogidos serán INCOHERENTES.", false);
}

void DialogsTest::courseWindowLayout()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    QFETCH(bool, shownAtStart);

    writeCursost({});
    Cursos logic(*m_answers, vtemp(), tables::CURSOST2, false);
    const auto window = showCourseWindow(logic);
    QCOMPARE(window->windowTitle(), QStringLiteral("Asignación de Niveles y Cursos"));
    QCOMPARE(window->size(), QSize(686, 499));
    QCOMPARE(window->minimumSize(), window->maximumSize());
    QVERIFY(
        (window->geometry().center() - window->screen()->availableGeometry().center()).manhattanLength() <=
        2);

    auto* widget = child<QWidget>(*window, qPrintable(name));
    QCOMPARE(widget->parentWidget()->objectName(), QStringLiteral("Draw3D1"));
    if (geometry.isEmpty())
        QCOMPARE(widget->pos(), geometry.topLeft());
    else
        QCOMPARE(widget->geometry(), geometry);
    if (!text.isEmpty())
        QCOMPARE(widget->property("text").toString(), text);
    QCOMPARE(widget->isVisible(), shownAtStart);
    QVERIFY2(widget->font().bold() || name == QLatin1String("wwDBNavigator1") ||
                 name == QLatin1String("CursosTDBGrid"),
             "every text of the dialog is bold");
}

void DialogsTest::courseWindowTextsFitAndKeepTheirOrder()
{
    writeCursost({});
    Cursos logic(*m_answers, vtemp(), tables::CURSOST2, true);
    const auto window = showCourseWindow(logic);
    auto* panel = child<QWidget>(*window, "Draw3D1");
    const auto near = [](QColor actual, QColor expected) {
        return std::abs(actual.red() - expected.red()) <= 2 &&
               std::abs(actual.green() - expected.green()) <= 2 &&
               std::abs(actual.blue() - expected.blue()) <= 2;
    };
    const QImage image = panel->grab().toImage();
    QVERIFY2(near(image.pixelColor(460, 0), QColor(0xF0CAA6)), qPrintable(image.pixelColor(460, 0).name()));
    QVERIFY(near(image.pixelColor(460, image.height() / 2), Qt::white));
    QVERIFY(near(image.pixelColor(460, image.height() - 1), Qt::red));

    auto* title = child<QLabel>(*window, "Label1");
    QCOMPARE(title->font().pointSize(), 12);
    QVERIFY(title->font().underline());
    QCOMPARE(title->palette().color(QPalette::WindowText), QColor(Qt::white));
    const QList<std::tuple<const char*, QColor, QColor>> colours = {{"Label2", Qt::red, Qt::yellow},
                                                                    {"Label11", QColor(0x800000), Qt::white},
                                                                    {"Label9", Qt::red, QColor(0xA6CAF0)},
                                                                    {"Label8", Qt::red, Qt::yellow}};
    for (const auto& [name, text, background] : colours) {
        auto* label = child<QLabel>(*window, name);
        QCOMPARE(label->palette().color(QPalette::WindowText), text);
        QCOMPARE(label->palette().color(QPalette::Window), background);
        QVERIFY2(label->autoFillBackground(), name);
    }

    // Top to bottom, each text whole and clear of the next one (its box may
    // end on the row where the next begins: a line's leading has no ink).
    const QStringList column = {"Label3", "Label2",  "Label4", "Label5",  "Label6",  "Label10",
                                "Label7", "Label11", "Label9", "BitBtn1", "BitBtn2", "Label8"};
    for (int index = 0; index < column.size(); ++index) {
        auto* widget = child<QWidget>(*window, qPrintable(column[index]));
        if (auto* label = qobject_cast<QLabel*>(widget); label != nullptr && label->wordWrap())
            QVERIFY2(label->heightForWidth(label->width()) <= label->height(), qPrintable(column[index]));
        QVERIFY2(widget->geometry().right() < window->width(), qPrintable(column[index]));
        QVERIFY2(widget->geometry().bottom() < window->height(), qPrintable(column[index]));
        if (index + 1 < column.size()) {
            auto* next = child<QWidget>(*window, qPrintable(column[index + 1]));
            QVERIFY2(widget->geometry().bottom() <= next->y(),
                     qPrintable(column[index] + " runs into " + column[index + 1]));
        }
    }
}

void DialogsTest::gridLooksAsATableOfCourses()
{
    writeCursost({{"6001", "1º de E.S.O."}, {"6002", "2º de E.S.O."}, {"6003", "3º de E.S.O."}});
    Cursos logic(*m_answers, vtemp(), tables::CURSOST2, false);
    const auto window = showCourseWindow(logic);
    auto* grid = child<CursosGrid>(*window, "CursosTDBGrid");
    QAbstractItemModel* model = grid->model();
    QCOMPARE(model->rowCount(), 3);
    QCOMPARE(model->columnCount(), 4);
    QStringList titles;
    for (int column = 0; column < 4; ++column)
        titles << model->headerData(column, Qt::Horizontal).toString();
    QCOMPARE(titles, QStringList({"CÓD.RAÍCES", "ESTUDIOS", "NIVEL", "CURSO"}));
    QCOMPARE(model->index(1, CursosGrid::estud).data().toString(), QStringLiteral("2º de E.S.O."));

    QVERIFY(grid->horizontalHeader()->font().bold());
    QVERIFY(grid->horizontalHeader()->height() >= 2 * grid->horizontalHeader()->fontMetrics().lineSpacing());
    QCOMPARE(grid->palette().color(QPalette::Base), QColor(0xF0FBFF));
    QCOMPARE(grid->palette().color(QPalette::AlternateBase), QColor(0xCFD9FE));
    QVERIFY(grid->alternatingRowColors());
    QVERIFY(grid->styleSheet().contains(QLatin1String("#fee4a9")));
    // The columns fill the grid: the key and the studies never scroll away.
    QCOMPARE(grid->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(grid->horizontalHeader()->length(), grid->viewport()->width());
    QVERIFY(grid->columnWidth(CursosGrid::clave) >=
            grid->fontMetrics().horizontalAdvance(QStringLiteral("6001")));
    // The current record is marked left of it.
    QCOMPARE(grid->currentIndex(), model->index(0, CursosGrid::nivel));
    QVERIFY(!model->headerData(0, Qt::Vertical).toString().isEmpty());
    QVERIFY(model->headerData(1, Qt::Vertical).toString().isEmpty());
}

void DialogsTest::navigatorHasItsTenButtonsAndHints()
{
    writeCursost({{"A", "a"}, {"B", "b"}});
    Cursos logic(*m_answers, vtemp(), tables::CURSOST2, false);
    const auto window = showCourseWindow(logic);
    auto* navigator = child<RecordNavigator>(*window, "wwDBNavigator1");
    const QList<QToolButton*> buttons = navigator->findChildren<QToolButton*>();
    QStringList hints;
    int right = 0;
    for (QToolButton* button : buttons) {
        hints << button->toolTip();
        QVERIFY(!button->icon().isNull());
        QCOMPARE(button->focusPolicy(), Qt::NoFocus);
        QCOMPARE(button->x(), right);
        right = button->geometry().right() + 1;
    }
    QCOMPARE(right, navigator->width());
    QCOMPARE(hints,
             QStringList({"Move to first record", "Move backward 10 records", "Move to prior record",
                          "Move to next record", "Move forward 10 records", "Move to last record",
                          "Edit current record", "Post changes of current record",
                          "Cancel changes made to current record", "Refresh the contents of the dataset"}));

    // At the first record there is no way back; editing offers post and cancel.
    using Button = RecordNavigator::Button;
    QVERIFY(!navigator->button(Button::first)->isEnabled());
    QVERIFY(!navigator->button(Button::prior)->isEnabled());
    QVERIFY(navigator->button(Button::last)->isEnabled());
    QCOMPARE(navigator->button(Button::post)->isEnabled(), logic.isEditing());
    QCOMPARE(navigator->button(Button::edit)->isEnabled(), !logic.isEditing());
}

void DialogsTest::navigatorWalksTheRecords_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("expected");

    using Button = RecordNavigator::Button;
    QTest::newRow("first") << 12 << int(Button::first) << 0;
    QTest::newRow("back 10") << 12 << int(Button::backTen) << 2;
    QTest::newRow("back 10 stops at the first") << 3 << int(Button::backTen) << 0;
    QTest::newRow("prior") << 12 << int(Button::prior) << 11;
    QTest::newRow("next") << 12 << int(Button::next) << 13;
    QTest::newRow("forward 10") << 12 << int(Button::forwardTen) << 22;
    QTest::newRow("forward 10 stops at the last") << 20 << int(Button::forwardTen) << 24;
    QTest::newRow("last") << 12 << int(Button::last) << 24;
}

void DialogsTest::navigatorWalksTheRecords()
{
    QFETCH(int, start);
    QFETCH(int, button);
    QFETCH(int, expected);

    Courses courses;
    for (int number = 0; number < 25; ++number)
        courses.emplace_back("C" + std::to_string(number), "Curso " + std::to_string(number));
    writeCursost(courses);
    Cursos logic(*m_answers, vtemp(), tables::CURSOST2, false);
    const auto window = showCourseWindow(logic);
    auto* grid = child<CursosGrid>(*window, "CursosTDBGrid");
    clickCell(grid, 0, CursosGrid::curso);
    grid->scrollTo(grid->model()->index(start, CursosGrid::curso));
    clickCell(grid, start, CursosGrid::curso);
    QCOMPARE(int(logic.currentRow()), start);

    auto* navigator = child<RecordNavigator>(*window, "wwDBNavigator1");
    QTest::mouseClick(navigator->button(static_cast<RecordNavigator::Button>(button)), Qt::LeftButton);
    QCOMPARE(int(logic.currentRow()), expected);
    QCOMPARE(grid->currentIndex(), grid->model()->index(expected, CursosGrid::curso));
    QVERIFY(grid->viewport()->rect().intersects(grid->visualRect(grid->currentIndex())));
    QVERIFY(grid->hasFocus());
}

void DialogsTest::navigatorEditPostAndCancel()
{
    writeCursost({{"A", "a"}, {"B", "b"}});
    Cursos logic(*m_answers, vtemp(), tables::CURSOST2, false);
    const auto window = showCourseWindow(logic);
    auto* grid = child<CursosGrid>(*window, "CursosTDBGrid");
    auto* navigator = child<RecordNavigator>(*window, "wwDBNavigator1");
    using Button = RecordNavigator::Button;

    // Cancel drops what was typed in the record, even while it is still in
    // the cell's editor.
    clickCell(grid, 0, CursosGrid::nivel);
    typeInto(window.get(), "ESO");
    QTest::mouseClick(navigator->button(Button::cancel), Qt::LeftButton);
    QCOMPARE(logic.course(0).nivel, u"");
    QVERIFY(!logic.isEditing());
    QVERIFY(navigator->button(Button::edit)->isEnabled());

    QTest::mouseClick(navigator->button(Button::edit), Qt::LeftButton);
    QVERIFY(logic.isEditing());
    QCOMPARE(grid->model()->headerData(0, Qt::Vertical).toString(), QStringLiteral("I"));
    typeInto(window.get(), "BCT");
    QTest::mouseClick(navigator->button(Button::post), Qt::LeftButton);
    QVERIFY(!logic.isEditing());
    QTest::mouseClick(navigator->button(Button::refresh), Qt::LeftButton);
    QCOMPARE(grid->model()->index(0, CursosGrid::nivel).data().toString(), QStringLiteral("BCT"));
    QCOMPARE(grid->currentIndex(), grid->model()->index(0, CursosGrid::nivel));

    // A value typed and ended with Enter starts the record's edit, and the
    // navigator offers at once to post or cancel it.
    clickCell(grid, 1, CursosGrid::curso);
    QVERIFY(!navigator->button(Button::post)->isEnabled());
    typeInto(window.get(), "2");
    pressKey(window.get(), Qt::Key_Return);
    QCOMPARE(grid->model()->headerData(1, Qt::Vertical).toString(), QStringLiteral("I"));
    QVERIFY(navigator->button(Button::post)->isEnabled());
    QVERIFY(navigator->button(Button::cancel)->isEnabled());
    QVERIFY(!navigator->button(Button::edit)->isEnabled());

    window->close();
    QCOMPARE(tableColumns("CURSOST", {"NIVEL", "CURSO"}),
             (std::vector<std::vector<std::u16string>>{{u"BCT", u""}, {u"", u"2"}}));
}

void DialogsTest::typingInTheGridReachesCursost()
{
    writeCursost({{"1ESO", "1º de E.S.O."}, {"2ESO", "2º de E.S.O."}, {"1BCT", "1º Bach."}});
    Cursos logic(*m_answers, vtemp(), tables::CURSOST2, false);
    const auto window = showCourseWindow(logic);
    auto* grid = child<CursosGrid>(*window, "CursosTDBGrid");
    QAbstractItemModel* model = grid->model();

    clickCell(grid, 0, CursosGrid::nivel);
    typeInto(window.get(), "ESO");
    pressKey(window.get(), Qt::Key_Return);
    QCOMPARE(grid->currentIndex(), model->index(0, CursosGrid::curso)); // Enter: the next column
    typeInto(window.get(), "1");
    pressKey(window.get(), Qt::Key_Enter);
    QCOMPARE(grid->currentIndex(), model->index(1, CursosGrid::nivel)); // then the next row's level
    QCOMPARE(logic.currentRow(), 1u);
    // A leading space is kept; what the field cannot hold is not taken.
    typeInto(window.get(), " ESO");
    pressKey(window.get(), Qt::Key_Return);
    typeInto(window.get(), "2");
    pressKey(window.get(), Qt::Key_Tab);
    typeInto(window.get(), "BACHILLER");
    pressKey(window.get(), Qt::Key_Return);
    typeInto(window.get(), "1234");
    pressKey(window.get(), Qt::Key_Return);
    QCOMPARE(grid->currentIndex(), model->index(2, CursosGrid::curso)); // the last cell: Enter stays
    // Typing replaces the value, as the editor opens with it selected.
    clickCell(grid, 0, CursosGrid::curso);
    typeInto(window.get(), "4");
    pressKey(window.get(), Qt::Key_Return);

    QTest::mouseClick(child<QPushButton>(*window, "BitBtn1"), Qt::LeftButton);
    QVERIFY(!window->isVisible());
    QCOMPARE(window->result(), int(QDialog::Accepted));
    QVERIFY(!logic.checkFailed);
    QVERIFY(m_answers->messages.empty());
    const std::vector<std::vector<std::u16string>> expected = {
        {u"1ESO", u"ESO", u"4"}, {u"2ESO", u" ESO", u"2"}, {u"1BCT", u"BACHI", u"123"}};
    QCOMPARE(tableColumns("CURSOST", {"CLAVE", "NIVEL", "CURSO"}), expected);
    QCOMPARE(tableColumns("CURSOST2", {"CLAVE", "NIVEL", "CURSO"}), expected);
}

void DialogsTest::keyColumnsAreShownButNeverEdited()
{
    writeCursost({{"1ESO", "1º de E.S.O."}, {"2ESO", "2º de E.S.O."}});
    Cursos logic(*m_answers, vtemp(), tables::CURSOST2, false);
    const auto window = showCourseWindow(logic);
    auto* grid = child<CursosGrid>(*window, "CursosTDBGrid");
    QAbstractItemModel* model = grid->model();
    for (int column : {CursosGrid::clave, CursosGrid::estud})
        QVERIFY(!model->flags(model->index(0, column)).testFlag(Qt::ItemIsEditable));
    for (int column : {CursosGrid::nivel, CursosGrid::curso})
        QVERIFY(model->flags(model->index(0, column)).testFlag(Qt::ItemIsEditable));
    QVERIFY(!model->setData(model->index(0, CursosGrid::clave), QStringLiteral("X"), Qt::EditRole));

    // A click on the key or the studies picks the row; the cursor stays in
    // the column it was in, and the keys cannot take it there either.
    clickCell(grid, 0, CursosGrid::curso);
    clickCell(grid, 1, CursosGrid::clave);
    QCOMPARE(grid->currentIndex(), model->index(1, CursosGrid::curso));
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {},
                       grid->visualRect(model->index(1, CursosGrid::estud)).center());
    for (const QLineEdit* editor : grid->viewport()->findChildren<QLineEdit*>())
        QVERIFY(!editor->isVisible());
    pressKey(window.get(), Qt::Key_Left);
    pressKey(window.get(), Qt::Key_Left);
    pressKey(window.get(), Qt::Key_Home);
    QCOMPARE(grid->currentIndex(), model->index(1, CursosGrid::nivel));
    pressKey(window.get(), Qt::Key_Backtab);
    QCOMPARE(grid->currentIndex(), model->index(0, CursosGrid::curso));
    QCOMPARE(logic.course(1).clave, u"2ESO");
    QCOMPARE(logic.course(1).estud, u"2º de E.S.O.");
}

void DialogsTest::gridFocusStartsAndPostsTheEdit()
{
    writeCursost({{"1ESO", "1º"}, {"2ESO", "2º"}});
    Cursos logic(*m_answers, vtemp(), tables::CURSOST2, false);
    const auto window = showCourseWindow(logic);
    auto* grid = child<CursosGrid>(*window, "CursosTDBGrid");
    auto* ok = child<QPushButton>(*window, "BitBtn1");

    // The grid holds the focus when the dialog opens: the record is edited.
    QVERIFY(grid->hasFocus());
    QVERIFY(logic.isEditing());
    clickCell(grid, 0, CursosGrid::nivel);
    typeInto(window.get(), "ESO");
    // The focus leaves the grid, the editor's text with it: posted.
    ok->setFocus(Qt::TabFocusReason);
    QVERIFY(!logic.isEditing());
    QCOMPARE(logic.course(0).nivel, u"ESO");
    grid->setFocus(Qt::TabFocusReason);
    QVERIFY(logic.isEditing());
    // Escape leaves the cell's editor; once more, it drops the record's
    // changes since it was posted.
    typeInto(window.get(), "BCT");
    pressKey(window.get(), Qt::Key_Return);
    pressKey(window.get(), Qt::Key_Escape);
    QCOMPARE(logic.course(0).nivel, u"BCT");
    pressKey(window.get(), Qt::Key_Escape);
    QCOMPARE(logic.course(0).nivel, u"ESO");
    QVERIFY(window->isVisible());
}

void DialogsTest::checkShowsIncidentsBehindItsMessageAndAColumnChangeHidesTheForcedExit()
{
    writeCursost({{"1ESO", "1º"}, {"2ESO", "2º"}});
    const auto mainWindow = makeMainWindow();
    QStringList seen;
    {
        Cursos logic(*mainWindow, vtemp(), tables::CURSOST2, false);
        const auto window = showCourseWindow(logic);
        QVERIFY(!child<QPushButton>(*window, "BitBtn2")->isVisible());
        test::typeCoding(window.get(), child<CursosGrid>(*window, "CursosTDBGrid"), 0, "ESO", "1");
        test::ModalSteps steps({[&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            seen << (box != nullptr ? box->text() : modal->windowTitle());
            for (const char* name : {"Label3", "Label2", "BitBtn2", "Label8"}) {
                if (child<QWidget>(*window, name)->isVisible())
                    seen << name;
            }
            if (box != nullptr)
                box->button(QMessageBox::Ok)->click();
            return true;
        }});
        QTest::mouseClick(child<QPushButton>(*window, "BitBtn1"), Qt::LeftButton);
        QVERIFY(steps.finished());
        QVERIFY(!window->isVisible());
        QVERIFY(logic.checkFailed);
        QVERIFY2(logic.forcedExitVisible(), "shown after the message, as the dialog closes");
    }
    QCOMPARE(seen, QStringList({"¡Atención! Falta algún Dato", "Label3", "Label2"}));
    QVERIFY(!Table::exists(vtemp(), "CURSOST2"));

    // Shown again: the forced exit is offered at once, until the cursor
    // moves to another column; a move to another row in the same column
    // keeps it.
    Cursos logic(*m_answers, vtemp(), tables::CURSOST2, true);
    const auto window = showCourseWindow(logic);
    auto* grid = child<CursosGrid>(*window, "CursosTDBGrid");
    const auto shown = [&] {
        QStringList names;
        for (const char* name : {"Label3", "Label2", "BitBtn2", "Label8"}) {
            if (child<QWidget>(*window, name)->isVisible())
                names << name;
        }
        return names;
    };
    QCOMPARE(shown(), QStringList({"BitBtn2", "Label8"}));
    clickCell(grid, 1, CursosGrid::nivel);
    QCOMPARE(shown(), QStringList({"BitBtn2", "Label8"}));
    pressKey(window.get(), Qt::Key_Return);
    QCOMPARE(grid->currentIndex().column(), int(CursosGrid::curso));
    QCOMPARE(shown(), QStringList());
}

void DialogsTest::forcedExitAndCloseBox_data()
{
    QTest::addColumn<bool>("forcedExit");
    QTest::addColumn<QString>("result2");

    QTest::newRow("forced exit") << true << "fuera";
    QTest::newRow("close box") << false << "";
}

void DialogsTest::forcedExitAndCloseBox()
{
    QFETCH(bool, forcedExit);
    QFETCH(QString, result2);

    writeCursost({{"1ESO", "1º"}});
    Cursos logic(*m_answers, vtemp(), tables::CURSOST2, true);
    const auto window = showCourseWindow(logic);
    clickCell(child<CursosGrid>(*window, "CursosTDBGrid"), 0, CursosGrid::nivel);
    typeInto(window.get(), "ESO");
    if (forcedExit)
        QTest::mouseClick(child<QPushButton>(*window, "BitBtn2"), Qt::LeftButton);
    else
        window->close();

    QVERIFY(!window->isVisible());
    QVERIFY(!logic.checkFailed);
    QCOMPARE(QString::fromStdU16String(logic.closingMark), result2);
    QVERIFY(m_answers->messages.empty());
    // What was still in the cell's editor reached CURSOST; nothing is kept.
    QCOMPARE(tableColumns("CURSOST", {"NIVEL"}), (std::vector<std::vector<std::u16string>>{{u"ESO"}}));
    QVERIFY(!Table::exists(vtemp(), "CURSOST2"));
}

void DialogsTest::earlierCodingsAreOfferedWithTheirQuestion()
{
    writeCursost({{"1ESO", "1º"}, {"NUEVO", "Nuevo"}});
    std::filesystem::copy_file(Table::filePath(vtemp(), "CURSOST"), vtemp() / "CURSOST2.DBF");
    {
        Table earlier(vtemp(), "CURSOST2");
        earlier.first();
        earlier.edit();
        earlier.setText("NIVEL", u"ESO");
        earlier.setText("CURSO", u"1");
        earlier.post();
        earlier.next();
        earlier.deleteRecord();
        earlier.close();
    }
    const auto mainWindow = makeMainWindow();
    QStringList question;
    test::ModalSteps steps({[&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (box == nullptr)
            return false; // the course window comes first, the question above it
        question << box->windowTitle() << box->text();
        if (box->icon() == QMessageBox::Warning && box->buttons().size() == 2 &&
            box->button(QMessageBox::Cancel) != nullptr)
            question << "warning, OK and Cancel";
        box->button(QMessageBox::Ok)->click();
        return true;
    }});
    Cursos logic(*mainWindow, vtemp(), tables::CURSOST2, false);
    TControlCursos window(logic);
    window.setWindowModality(Qt::ApplicationModal);
    window.show();
    QTRY_VERIFY(steps.finished());
    QTRY_VERIFY(child<QPushButton>(window, "BitBtn1")->isEnabled());
    QCOMPARE(question, QStringList({"Recuperación de Niveles y Cursos importados anteriormente",
                                    "Existen Niveles y Cursos ya definidos de una Importación anterior.\n\r"
                                    "¿Quiere recuperar las codificaciones introducidas anteriormente?",
                                    "warning, OK and Cancel"}));
    QAbstractItemModel* model = child<CursosGrid>(window, "CursosTDBGrid")->model();
    QCOMPARE(model->index(0, CursosGrid::nivel).data().toString(), QStringLiteral("ESO"));
    QCOMPARE(model->index(0, CursosGrid::curso).data().toString(), QStringLiteral("1"));
    QCOMPARE(model->index(1, CursosGrid::nivel).data().toString(), QString());
    window.close();
}

void DialogsTest::failureOfTheLogicClosesTheWindowAndReachesTheCaller()
{
    // No CURSOST to open: FormShow fails inside the modal loop.
    Cursos logic(*m_answers, vtemp(), tables::CURSOST2, false);
    TControlCursos window(logic);
    QTimer::singleShot(5000, &window, &QDialog::reject); // should the failure not close it
    QElapsedTimer shown;
    shown.start();
    window.exec();
    QVERIFY(shown.elapsed() < 5000);
    QVERIFY_THROWS_EXCEPTION(Error, window.rethrowFailure());
    QVERIFY(!logic.checkFailed);
    QVERIFY(logic.closingMark.empty());
}

void DialogsTest::frameWindowLayout()
{
    const std::filesystem::path document = m_folder->path() / "centro.xml";
    test::writeBytes(document, threeFrames);
    Plantihoras logic(document);
    const auto window = showFrameWindow(logic);
    QCOMPARE(window->windowTitle(), QStringLiteral("Planillas, Marcos o Jornadas Horarias"));
    QCOMPARE(window->size(), QSize(371, 281));
    QCOMPARE(window->minimumSize(), window->maximumSize());
    QVERIFY(
        (window->geometry().center() - window->screen()->availableGeometry().center()).manhattanLength() <=
        2);
    const Qt::WindowFlags flags = window->windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint) && !flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowContextHelpButtonHint));

    const QList<std::tuple<const char*, QRect, QString>> controls = {
        {"LabelPlantillas",
         {16, 2, 321, 33},
         "Seleccione 1, o los 2 Marcos Horarios que quiere aplicar a su Horario en Velmora."},
        {"LabelSelec",
         {16, 36, 321, 50},
         "Para seleccionar mas de un Marco Horario, mantenga (Ctrl) pulsado y seleccione cada marco con 1 "
         "click del botón izquierdo del ratón."},
        {"LabelMarcos", {40, 86, 74, 16}, "MARCOS"},
        {"Label1", {215, 86, 67, 18}, "HORAS"},
        {"ListBox2", {16, 103, 127, 45}, ""},
        {"ListBox1", {152, 103, 193, 146}, ""},
        {"LabelNombre", {9, 151, 120, 41}, "Mañana"},
        {"LabelPlanFec1", {9, 196, 120, 23}, "01/09/2025"},
        {"LabelPlanFec2", {9, 226, 120, 23}, "30/06/2026"},
        {"BitBtnContinuar", {255, 253, 89, 25}, "Continuar"},
    };
    for (const auto& [name, geometry, text] : controls) {
        auto* widget = child<QWidget>(*window, name);
        QCOMPARE(widget->parentWidget()->objectName(), QStringLiteral("Draw3D4"));
        QCOMPARE(widget->geometry(), geometry);
        QVERIFY2(widget->isVisible(), name);
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            QCOMPARE(label->text(), text);
            QVERIFY2(label->font().bold(), name);
            QVERIFY2(!label->wordWrap() || label->heightForWidth(label->width()) <= label->height(), name);
        }
    }
    auto* hint = child<QLabel>(*window, "LabelSelec");
    QVERIFY(hint->font().italic());
    QCOMPARE(hint->palette().color(QPalette::WindowText), QColor(Qt::red));
    QCOMPARE(child<QLabel>(*window, "LabelMarcos")->palette().color(QPalette::WindowText), QColor(0x800000));
    QVERIFY(child<QLabel>(*window, "LabelNombre")->font().underline());
    QVERIFY(child<QPushButton>(*window, "BitBtnContinuar")->font().bold());
    QVERIFY(!child<QPushButton>(*window, "BitBtnContinuar")->icon().isNull());
    QVERIFY(!child<QComboBox>(*window, "ComboBoxPlantilla")->isVisible());
    QCOMPARE(child<QListWidget>(*window, "ListBox2")->selectionMode(), QAbstractItemView::ExtendedSelection);
    auto* panel = child<GradientPanel>(*window, "Draw3D4");
    QCOMPARE(panel->startColor(), QColor(0xA6CAF0));
    QCOMPARE(panel->middleColor(), QColor(Qt::white));
}

void DialogsTest::activationListsTheFramesAndShowsTheFirst()
{
    const std::filesystem::path document = m_folder->path() / "centro.xml";
    test::writeBytes(document, threeFrames);
    Plantihoras logic(document);
    const auto window = showFrameWindow(logic);
    auto* frames = child<QListWidget>(*window, "ListBox2");
    QStringList codes;
    for (int row = 0; row < frames->count(); ++row)
        codes << frames->item(row)->text();
    QCOMPARE(codes, QStringList({"1", "2", "3"}));
    QVERIFY(frames->selectedItems().isEmpty());
    QCOMPARE(frames->currentRow(), 0);
    QCOMPARE(child<QComboBox>(*window, "ComboBoxPlantilla")->currentText(), QStringLiteral("1"));
    auto* hours = child<QListWidget>(*window, "ListBox1");
    QCOMPARE(hours->count(), 2);
    QCOMPARE(hours->item(1)->text(), QStringLiteral("2ª hora"));

    // The arrow keys show the frame they reach; a frame without slots
    // empties the hours.
    frames->setFocus();
    pressKey(window.get(), Qt::Key_Down);
    pressKey(window.get(), Qt::Key_Down);
    QCOMPARE(child<QLabel>(*window, "LabelNombre")->text(), QStringLiteral("Noche"));
    QCOMPARE(child<QLabel>(*window, "LabelPlanFec2")->text(), QStringLiteral("28/06/2026"));
    QCOMPARE(hours->count(), 0);
}

void DialogsTest::ctrlClickedFramesGiveTheResultInListOrder()
{
    const std::filesystem::path document = m_folder->path() / "centro.xml";
    test::writeBytes(document, threeFrames);
    Plantihoras logic(document);
    const auto window = showFrameWindow(logic);
    auto* frames = child<QListWidget>(*window, "ListBox2");
    clickEntry(frames, 2, Qt::ControlModifier);
    clickEntry(frames, 0, Qt::ControlModifier);
    QCOMPARE(child<QLabel>(*window, "LabelNombre")->text(), QStringLiteral("Mañana"));
    QTest::mouseClick(child<QPushButton>(*window, "BitBtnContinuar"), Qt::LeftButton);

    QVERIFY(!window->isVisible());
    QVERIFY(logic.resultMH);
    QCOMPARE(QString::fromStdU16String(logic.resultado), QStringLiteral("1         3         "));
    QVERIFY(m_answers->messages.empty());
}

void DialogsTest::ctrlClickDeselectingStillShowsThatFrame()
{
    const std::filesystem::path document = m_folder->path() / "centro.xml";
    test::writeBytes(document, threeFrames);
    Plantihoras logic(document);
    const auto window = showFrameWindow(logic);
    auto* frames = child<QListWidget>(*window, "ListBox2");
    auto* name = child<QLabel>(*window, "LabelNombre");
    const auto selected = [&] {
        return QList<bool>({logic.isSelected(0), logic.isSelected(1), logic.isSelected(2)});
    };

    clickEntry(frames, 0);
    clickEntry(frames, 1, Qt::ControlModifier);
    QCOMPARE(selected(), QList<bool>({true, true, false}));
    clickEntry(frames, 0, Qt::ControlModifier);
    clickEntry(frames, 2);
    clickEntry(frames, 1, Qt::ControlModifier);
    QCOMPARE(name->text(), QStringLiteral("Tarde"));
    clickEntry(frames, 1, Qt::ControlModifier);
    QCOMPARE(selected(), QList<bool>({false, false, true}));
    QCOMPARE(name->text(), QStringLiteral("Tarde")); // deselected, and shown
    QCOMPARE(child<QLabel>(*window, "LabelPlanFec1")->text(), QStringLiteral("02/09/2025"));
    QCOMPARE(toStringList(logic.hourTexts()), QStringList({"Tarde 1ª"}));
    QCOMPARE(child<QListWidget>(*window, "ListBox1")->item(0)->text(), QStringLiteral("Tarde 1ª"));

    // A plain click selects only the clicked frame; Shift+click a range.
    clickEntry(frames, 1, Qt::ControlModifier);
    clickEntry(frames, 0);
    QCOMPARE(selected(), QList<bool>({true, false, false}));
    clickEntry(frames, 2, Qt::ShiftModifier);
    QCOMPARE(selected(), QList<bool>({true, true, true}));
    QCOMPARE(name->text(), QStringLiteral("Noche"));
}

void DialogsTest::closingValidatesTheChoice_data()
{
    QTest::addColumn<QList<int>>("entries"); // Ctrl+clicked
    QTest::addColumn<bool>("closeBox");
    QTest::addColumn<bool>("resultMH");
    QTest::addColumn<QString>("resultado");
    QTest::addColumn<QString>("message");

    const QString none = QStringLiteral("Debe al menos seleccionar 1 Marco Horario.");
    const QString tooMany = QStringLiteral(
        "Demasiados Marcos Horarios seleccionados.\r\nComo máximo puede seleccionar 2 Marcos Horarios");
    QTest::newRow("Continuar, none") << QList<int>{} << false << false << "" << none;
    QTest::newRow("close box, none") << QList<int>{} << true << false << "" << none;
    QTest::newRow("close box, one") << QList<int>{1} << true << true << "2         "
                                    << "";
    QTest::newRow("close box, three")
        << QList<int>{0, 1, 2} << true << false << "1         2         3         " << tooMany;
}

void DialogsTest::closingValidatesTheChoice()
{
    QFETCH(QList<int>, entries);
    QFETCH(bool, closeBox);
    QFETCH(bool, resultMH);
    QFETCH(QString, resultado);
    QFETCH(QString, message);

    const std::filesystem::path document = m_folder->path() / "centro.xml";
    test::writeBytes(document, threeFrames);
    Plantihoras logic(document);
    const auto window = showFrameWindow(logic);
    for (int entry : entries)
        clickEntry(child<QListWidget>(*window, "ListBox2"), entry, Qt::ControlModifier);
    if (closeBox)
        window->close();
    else
        QTest::mouseClick(child<QPushButton>(*window, "BitBtnContinuar"), Qt::LeftButton);

    QVERIFY(!window->isVisible());
    QCOMPARE(logic.resultMH, resultMH);
    QCOMPARE(QString::fromStdU16String(logic.resultado), resultado);
    QStringList messages;
    for (const std::string& shown : m_answers->messages)
        messages << QString::fromStdString(shown);
    QCOMPARE(messages, message.isEmpty() ? QStringList() : QStringList(message));
    QVERIFY(!logic.abandoned());
}

void DialogsTest::newActivationStartsTheChoiceAfresh()
{
    const std::filesystem::path document = m_folder->path() / "centro.xml";
    test::writeBytes(document, threeFrames);
    Plantihoras logic(document);
    const auto window = showFrameWindow(logic);
    auto* frames = child<QListWidget>(*window, "ListBox2");
    clickEntry(frames, 2);
    QVERIFY(logic.isSelected(2));

    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    QTRY_VERIFY(!window->isActiveWindow());
    QApplication::setActiveWindow(window.get());
    QTRY_VERIFY(frames->selectedItems().isEmpty());
    QVERIFY(!logic.isSelected(2));
    QCOMPARE(child<QLabel>(*window, "LabelNombre")->text(), QStringLiteral("Mañana"));
}

void DialogsTest::returnFromTheHelpOrAnotherProgramKeepsTheChoice()
{
    const std::filesystem::path document = m_folder->path() / "centro.xml";
    test::writeBytes(document, threeFrames);
    Plantihoras logic(document);
    const auto window = showFrameWindow(logic);
    auto* frames = child<QListWidget>(*window, "ListBox2");
    clickEntry(frames, 0, Qt::ControlModifier);
    clickEntry(frames, 2, Qt::ControlModifier);

    HelpWindow help(m_folder->path(), nullptr);
    help.show();
    QApplication::setActiveWindow(&help);
    QTRY_VERIFY(!window->isActiveWindow());
    QApplication::setActiveWindow(window.get());
    QTRY_VERIFY(window->isActiveWindow());
    // Another program: no window of this one is active meanwhile.
    QApplication::setActiveWindow(nullptr);
    QTRY_VERIFY(!window->isActiveWindow());
    QApplication::setActiveWindow(window.get());
    QTRY_VERIFY(window->isActiveWindow());

    QCOMPARE(frames->selectedItems().size(), 2);
    QVERIFY(logic.isSelected(0) && logic.isSelected(2));
    QCOMPARE(child<QLabel>(*window, "LabelNombre")->text(), QStringLiteral("Noche"));
    QTest::mouseClick(child<QPushButton>(*window, "BitBtnContinuar"), Qt::LeftButton);
    QCOMPARE(QString::fromStdU16String(logic.resultado), QStringLiteral("1         3         "));
}

void DialogsTest::noValidChoiceIsExplainedAndEndsTheExport()
{
    // The dialog reads the chosen file itself, which here has one frame.
    const std::filesystem::path document = m_folder->path() / "centro.xml";
    test::writeBytes(document, test::minimalExchangeDocument());
    Plantihoras logic(document);
    const auto window = showFrameWindow(logic);
    auto* hint = child<QLabel>(*window, "LabelSelec");
    QVERIFY2(hint->text().startsWith(QString::fromStdU16String(logic.noChoiceReason())),
             qPrintable(hint->text()));
    QVERIFY(hint->text().contains(QStringLiteral("terminar la exportación")));
    QCOMPARE(hint->palette().color(QPalette::WindowText), QColor(Qt::red));
    QVERIFY(hint->heightForWidth(hint->width()) <= hint->height());
    QCOMPARE(child<QListWidget>(*window, "ListBox2")->count(), 0);

    QTest::mouseClick(child<QPushButton>(*window, "BitBtnContinuar"), Qt::LeftButton);
    QVERIFY(!window->isVisible());
    QVERIFY(!logic.resultMH);
    QVERIFY(logic.abandoned());
    QVERIFY2(m_answers->messages.empty(), "no request to select, when there was nothing to select");
}

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
