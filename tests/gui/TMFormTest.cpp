// The main window on the offscreen platform: its look, its runs driven
// through the real modal dialogs, and the command line's run modes.
#include "gui-qt/TMForm.h"
#include "../TestSupport.h"
#include "DialogDriver.h"
#include "dialogs/Cursos.h"
#include "dialogs/Plantihoras.h"
#include "export/WorkingTables.h"
#include "formats/dbase/Table.h"
#include "gui-qt/HelpWindow.h"
#include "gui-qt/TControlCursos.h"
#include "gui-qt/TPlantillas.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QTextBrowser>
#include <QTimer>
#include <QtTest>

#include <optional>
#include <set>

using namespace pasavel;

namespace {

// Answers the modal windows the program opens, in order, as a person would,
// and keeps a line for each: "archivo: <title>" for the file dialog,
// "mensaje [<title>]: <text>" or "error [<title>]: <text>" for message boxes,
// "otra ventana: <title>" for the program's own dialogs.
// Answers: "escribir:<name>" types a name into the file dialog and presses
// Enter, "cancelar" presses Escape, "aceptar" presses OK (or "Continuar").
// "niveles:<file>" types into the course grid the level and course number
// that a CLAVE;NIVEL;CURSO file gives each course, then presses OK;
// "marcos:<code>,<code>" Ctrl+clicks those frames, then presses "Continuar".
// "{carpeta}" in a name stands for the test's folder.
class ModalAnswers : public QObject {
  public:
    ModalAnswers(QStringList answers, const std::filesystem::path& folder) : m_answers(std::move(answers))
    {
        m_answers.replaceInStrings(QStringLiteral("{carpeta}"), QString::fromStdString(folder.string()));
        connect(&m_timer, &QTimer::timeout, this, &ModalAnswers::poll);
        m_timer.start(10);
    }

    QStringList log;
    // The details of every message box answered, in order.
    QStringList details;

  private:
    void poll()
    {
        if (m_handled && !m_handled->isVisible())
            m_handled = nullptr;
        if (m_handled && m_answeredAt.elapsed() > 3000) {
            // The answer did not close it: close it, so that the run ends
            // and the log shows where.
            log << "sigue abierta: " + describe(m_handled);
            m_handled->close();
            return;
        }
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal == m_handled || !modal->isVisible() || !isReady(modal))
            return;
        m_handled = modal;
        m_answeredAt.start();
        log << describe(modal);
        if (auto* box = qobject_cast<QMessageBox*>(modal))
            details << box->detailedText();
        answer(modal, m_answers.isEmpty() ? QStringLiteral("inesperado") : m_answers.takeFirst());
    }

    // The program's dialogs take their answers once their logic has filled
    // them.
    static bool isReady(QWidget* modal)
    {
        if (qobject_cast<TControlCursos*>(modal) != nullptr)
            return modal->findChild<QPushButton*>(QStringLiteral("BitBtn1"))->isEnabled();
        if (qobject_cast<TPlantillas*>(modal) != nullptr) {
            const auto* hint = modal->findChild<QLabel*>(QStringLiteral("LabelSelec"));
            return modal->findChild<QListWidget*>(QStringLiteral("ListBox2"))->count() > 0 ||
                   !hint->text().startsWith(QLatin1String("Para seleccionar"));
        }
        return true;
    }

    static QString describe(QWidget* modal)
    {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            const QString kind =
                box->icon() == QMessageBox::Critical ? QStringLiteral("error") : QStringLiteral("mensaje");
            return kind + " [" + box->windowTitle() + "]: " + box->text();
        }
        if (qobject_cast<QFileDialog*>(modal) != nullptr)
            return "archivo: " + modal->windowTitle();
        return "otra ventana: " + modal->windowTitle();
    }

    void answer(QWidget* modal, const QString& answer)
    {
        if (answer.startsWith(QLatin1String("escribir:"))) {
            if (qobject_cast<QFileDialog*>(modal) != nullptr) {
                // Into the active window, as keys from the keyboard arrive:
                // the dialog completes a typed path only while its name
                // field has the focus, and the offscreen platform has no
                // window manager to hand the focus to a new dialog.
                QApplication::setActiveWindow(modal);
                for (const QChar character : answer.mid(9))
                    QTest::keyClick(modal->windowHandle(), character.toLatin1());
                QTest::keyClick(modal->windowHandle(), Qt::Key_Return);
                return;
            }
        } else if (answer == QLatin1String("aceptar")) {
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                box->button(QMessageBox::Ok)->click();
                return;
            }
            if (QPushButton* ok = okButtonOf(modal)) {
                QTest::mouseClick(ok, Qt::LeftButton);
                return;
            }
        } else if (answer.startsWith(QLatin1String("niveles:"))) {
            if (qobject_cast<TControlCursos*>(modal) != nullptr) {
                typeCodings(modal, answer.mid(8));
                QTest::mouseClick(okButtonOf(modal), Qt::LeftButton);
                return;
            }
        } else if (answer.startsWith(QLatin1String("marcos:"))) {
            if (qobject_cast<TPlantillas*>(modal) != nullptr) {
                auto* frames = modal->findChild<QListWidget*>(QStringLiteral("ListBox2"));
                for (const QString& code : answer.mid(7).split(QLatin1Char(','))) {
                    const QList<QListWidgetItem*> found = frames->findItems(code, Qt::MatchExactly);
                    if (!found.isEmpty())
                        test::clickEntry(frames, frames->row(found.first()), Qt::ControlModifier);
                }
                QTest::mouseClick(okButtonOf(modal), Qt::LeftButton);
                return;
            }
        } else if (answer == QLatin1String("cancelar")) {
            QTest::keyClick(modal, Qt::Key_Escape);
            return;
        }
        // Not what the script expected: close it so the run goes on and the
        // log shows the difference.
        log << "sin respuesta para: " + answer;
        QTest::keyClick(modal, Qt::Key_Escape);
    }

    static QPushButton* okButtonOf(QWidget* modal)
    {
        if (qobject_cast<TControlCursos*>(modal) != nullptr)
            return modal->findChild<QPushButton*>(QStringLiteral("BitBtn1"));
        if (qobject_cast<TPlantillas*>(modal) != nullptr)
            return modal->findChild<QPushButton*>(QStringLiteral("BitBtnContinuar"));
        return nullptr;
    }

    void typeCodings(QWidget* modal, const QString& file)
    {
        QFile lines(file);
        if (!lines.open(QIODevice::ReadOnly | QIODevice::Text)) {
            log << "no se puede leer " + file;
            return;
        }
        QMap<QString, QStringList> codings;
        for (const QString& line : QString::fromUtf8(lines.readAll()).split(QLatin1Char('\n'))) {
            const QStringList fields = line.trimmed().split(QLatin1Char(';'));
            if (fields.size() == 3)
                codings.insert(fields[0], fields.mid(1));
        }
        // The keys go to the active window, as the keyboard's do.
        QApplication::setActiveWindow(modal);
        auto* grid = modal->findChild<CursosGrid*>(QStringLiteral("CursosTDBGrid"));
        for (int row = 0; row < grid->model()->rowCount(); ++row) {
            const QString clave = grid->model()->index(row, CursosGrid::clave).data().toString();
            if (codings.contains(clave)) {
                grid->scrollTo(grid->model()->index(row, CursosGrid::nivel));
                test::typeCoding(modal, grid, row, codings[clave][0], codings[clave][1]);
            }
        }
    }

    QTimer m_timer;
    QStringList m_answers;
    QPointer<QWidget> m_handled;
    QElapsedTimer m_answeredAt;
};

QString toQString(const std::filesystem::path& path)
{
    return QString::fromStdString(path.string());
}

const QString fileDialogLine = QStringLiteral("archivo: Seleccione el Archivo XML obtenido de RAÍCES");
const QString finishedLine = QStringLiteral("mensaje [Pasavel]: Proceso finalizado");
const QString missingFileLine = QStringLiteral("mensaje [Pasavel]: No existe archivo");
const QString courseWindowLine = QStringLiteral("otra ventana: Asignación de Niveles y Cursos");
const QString frameWindowLine = QStringLiteral("otra ventana: Planillas, Marcos o Jornadas Horarias");

} // namespace

class TMFormTest : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    void windowIsAFixedCentredDialogWithItsCaption();
    void controlsSitOnTheirPanels_data();
    void controlsSitOnTheirPanels();
    void textsHaveTheirFontsColoursAndGlyphs();
    void panelsAreFilledWithTheirGradients_data();
    void panelsAreFilledWithTheirGradients();

    void completedExportDisablesBothDirections();
    void missingFileLeavesTheWindowWaiting_data();
    void missingFileLeavesTheWindowWaiting();
    void failedRunIsShownAsAnErrorAndKeepsTheButtons();
    void missingWorkingFolderIsChosenInTheWindowAndRemembered();
    void sampleExportAnswersBothDialogsAndTheNextRecoversTheCodings();
    void dialogsOpenTheirHelpAboveThem_data();
    void dialogsOpenTheirHelpAboveThem();

    void commandLineChoosesTheRunMode_data();
    void commandLineChoosesTheRunMode();

    void helpButtonOpensContentsAndF1OpensTheMainWindowTopic();
    void helpPagesLinkOnlyToPagesThatExist();

  private:
    std::unique_ptr<TMForm> makeWindow(const QStringList& arguments = {});
    std::filesystem::path programDirectory() const { return m_folder->path() / "programa"; }
    std::filesystem::path writeDocument(const std::string& name, const std::string& content);
    std::optional<std::string> ini() const;
    std::vector<std::vector<std::u16string>> tableColumns(const char* table,
                                                          const std::vector<const char*>& fields) const;
    template <typename Widget> Widget* child(QWidget& window, const char* name);

    std::unique_ptr<test::TemporaryDirectory> m_folder;
};

void TMFormTest::init()
{
    m_folder = std::make_unique<test::TemporaryDirectory>();
    std::filesystem::create_directory(programDirectory());
    std::filesystem::create_directory(m_folder->path() / "VTEMP");
    qputenv("PASAVEL_VTEMP", QByteArray::fromStdString((m_folder->path() / "VTEMP").string()));
    // What the build installs beside the programs: the help pages and the
    // reference subject table.
    const std::filesystem::path built = QCoreApplication::applicationDirPath().toStdString();
    std::filesystem::create_directory_symlink(built / "RAICES", programDirectory() / "RAICES");
    if (std::filesystem::exists(built / "RAICESMATERIAS.DBF"))
        std::filesystem::create_symlink(built / "RAICESMATERIAS.DBF",
                                        programDirectory() / "RAICESMATERIAS.DBF");
}

void TMFormTest::cleanup()
{
    for (QWidget* window : QApplication::topLevelWidgets())
        window->close();
    m_folder.reset();
}

std::unique_ptr<TMForm> TMFormTest::makeWindow(const QStringList& arguments)
{
    std::vector<std::string> parameters;
    for (const QString& argument : arguments)
        parameters.push_back(argument.toStdString());
    return std::make_unique<TMForm>(readCommandLine(parameters),
                                    ProgramPaths::forExecutable(programDirectory() / "pasavel"));
}

std::filesystem::path TMFormTest::writeDocument(const std::string& name, const std::string& content)
{
    const std::filesystem::path path = m_folder->path() / name;
    test::writeBytes(path, content);
    return path;
}

std::optional<std::string> TMFormTest::ini() const
{
    const std::filesystem::path path = programDirectory() / "Velmora.ini";
    if (!std::filesystem::exists(path))
        return std::nullopt;
    return test::readBytes(path);
}

std::vector<std::vector<std::u16string>>
TMFormTest::tableColumns(const char* name, const std::vector<const char*>& fields) const
{
    std::vector<std::vector<std::u16string>> rows;
    Table table(m_folder->path() / "VTEMP", name);
    for (table.first(); !table.eof(); table.next()) {
        std::vector<std::u16string> row;
        for (const char* field : fields)
            row.push_back(table.text(field));
        rows.push_back(row);
    }
    return rows;
}

template <typename Widget> Widget* TMFormTest::child(QWidget& window, const char* name)
{
    auto* found = window.findChild<Widget*>(QLatin1String(name));
    if (found == nullptr)
        qFatal("no widget named %s", name);
    return found;
}

void TMFormTest::windowIsAFixedCentredDialogWithItsCaption()
{
    const auto window = makeWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));

    QCOMPARE(window->windowTitle(), QStringLiteral("Exportar e importar datos entre Velmora y Raíces"));
    QCOMPARE(window->size(), QSize(632, 266));
    QCOMPARE(window->minimumSize(), QSize(632, 266));
    QCOMPARE(window->maximumSize(), QSize(632, 266));
    const Qt::WindowFlags flags = window->windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::FramelessWindowHint));

    const QPoint screenCentre = window->screen()->availableGeometry().center();
    QVERIFY2((window->geometry().center() - screenCentre).manhattanLength() <= 2,
             qPrintable(QStringLiteral("window centre %1,%2, screen centre %3,%4")
                            .arg(window->geometry().center().x())
                            .arg(window->geometry().center().y())
                            .arg(screenCentre.x())
                            .arg(screenCentre.y())));
    QVERIFY(!window->form().embedded);
}

void TMFormTest::controlsSitOnTheirPanels_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("panel");
    QTest::addColumn<QRect>("geometry"); // an empty size: only the position is fixed
    QTest::addColumn<QString>("text");

    QTest::newRow("Draw3D2") << "Draw3D2"
                             << "MForm" << QRect(1, 0, 315, 169) << "";
    QTest::newRow("Draw3D3") << "Draw3D3"
                             << "MForm" << QRect(316, 0, 317, 169) << "";
    QTest::newRow("Draw3D1") << "Draw3D1"
                             << "MForm" << QRect(0, 168, 633, 97) << "";
    QTest::newRow("Label3") << "Label3"
                            << "Draw3D2" << QRect(24, 24, 265, 57)
                            << "Transformar datos desde Raíces hacia Velmora ";
    QTest::newRow("BExportar") << "BExportar"
                               << "Draw3D2" << QRect(96, 120, 89, 25) << "OK";
    QTest::newRow("Label4") << "Label4"
                            << "Draw3D3" << QRect(8, 24, 305, 57)
                            << "Transformar datos desde Velmora hacia Raíces";
    QTest::newRow("BImportar") << "BImportar"
                               << "Draw3D3" << QRect(96, 120, 89, 25) << "OK";
    QTest::newRow("Label1") << "Label1"
                            << "Draw3D1" << QRect(1, 72, 0, 0) << "Pasavel para ZT07 V-1.0";
    QTest::newRow("BClose") << "BClose"
                            << "Draw3D1" << QRect(256, 32, 89, 25) << "&Salir";
    QTest::newRow("Button1") << "Button1"
                             << "Draw3D1" << QRect(264, 67, 75, 19) << "F1 AYUDA";
}

void TMFormTest::controlsSitOnTheirPanels()
{
    QFETCH(QString, name);
    QFETCH(QString, panel);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);

    const auto window = makeWindow();
    window->show();
    auto* widget = child<QWidget>(*window, qPrintable(name));
    QCOMPARE(widget->parentWidget()->objectName(), panel);
    QVERIFY(widget->isVisible());
    if (geometry.isEmpty()) {
        QCOMPARE(widget->pos(), geometry.topLeft());
        // Sized to its text, and all of it inside its panel.
        QVERIFY(widget->geometry().right() < widget->parentWidget()->width());
        QVERIFY(widget->geometry().bottom() < widget->parentWidget()->height());
    } else {
        QCOMPARE(widget->geometry(), geometry);
    }
    QCOMPARE(widget->property("text").toString(), text);
}

void TMFormTest::textsHaveTheirFontsColoursAndGlyphs()
{
    const auto window = makeWindow();
    window->show();
    QCOMPARE(window->font().pointSize(), 8);
    for (const char* name : {"Label3", "Label4"}) {
        auto* heading = child<QLabel>(*window, name);
        QVERIFY2(heading->font().bold() && heading->font().pointSize() == 12, name);
        QVERIFY2(heading->wordWrap(), name);
        // The whole text fits its box once wrapped.
        QVERIFY2(heading->heightForWidth(heading->width()) <= heading->height(), name);
    }
    auto* version = child<QLabel>(*window, "Label1");
    QVERIFY(version->font().bold());
    QCOMPARE(version->palette().color(QPalette::WindowText), QColor(Qt::red));

    for (const char* name : {"BExportar", "BImportar", "BClose"})
        QVERIFY2(!child<QPushButton>(*window, name)->icon().isNull(), name);
    QVERIFY(child<QPushButton>(*window, "Button1")->icon().isNull());
}

void TMFormTest::panelsAreFilledWithTheirGradients_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("column"); // a column of the panel that no control covers
    QTest::addColumn<QColor>("top");
    QTest::addColumn<QColor>("middle");
    QTest::addColumn<QColor>("bottom");

    QTest::newRow("Draw3D2") << "Draw3D2" << 3 << QColor(0xF9D37D) << QColor(0xFFFFFF) << QColor(0xFFEEDD);
    QTest::newRow("Draw3D3") << "Draw3D3" << 3 << QColor(0xF9D37D) << QColor(0xFFFFFF) << QColor(0xFFEEDD);
    QTest::newRow("Draw3D1") << "Draw3D1" << 600 << QColor(0xC2CDFE) << QColor(0xCFF2FE) << QColor(0xCCD8E6);
}

void TMFormTest::panelsAreFilledWithTheirGradients()
{
    QFETCH(QString, name);
    QFETCH(int, column);
    QFETCH(QColor, top);
    QFETCH(QColor, middle);
    QFETCH(QColor, bottom);

    const auto window = makeWindow();
    window->show();
    auto* panel = child<QWidget>(*window, qPrintable(name));
    const QImage image = panel->grab().toImage();
    const auto near = [](QColor actual, QColor expected) {
        return std::abs(actual.red() - expected.red()) <= 2 &&
               std::abs(actual.green() - expected.green()) <= 2 &&
               std::abs(actual.blue() - expected.blue()) <= 2;
    };
    const QColor atTop = image.pixelColor(column, 0);
    const QColor atMiddle = image.pixelColor(column, image.height() / 2);
    const QColor atBottom = image.pixelColor(column, image.height() - 1);
    QVERIFY2(near(atTop, top), qPrintable(atTop.name()));
    QVERIFY2(near(atMiddle, middle), qPrintable(atMiddle.name()));
    QVERIFY2(near(atBottom, bottom), qPrintable(atBottom.name()));
}

void TMFormTest::completedExportDisablesBothDirections()
{
    const auto document = writeDocument("centro.xml", test::minimalExchangeDocument());
    const auto window = makeWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));

    // Typed without its extension: the dialog adds ".xml".
    // A school without courses: the course grid is empty and OK passes.
    ModalAnswers answers({"escribir:{carpeta}/centro", "aceptar", "aceptar"}, m_folder->path());
    QTest::mouseClick(child<QPushButton>(*window, "BExportar"), Qt::LeftButton);
    QTRY_COMPARE(answers.log, QStringList({fileDialogLine, courseWindowLine, finishedLine}));
    // The tables written, with their records, behind the final message.
    QVERIFY2(
        answers.details.last().contains(QStringLiteral("\nPERIODOS: 1 registro\nCURSOST: 0 registros\n")),
        qPrintable(answers.details.last()));
    QVERIFY(answers.details.last().endsWith(toQString(document) + QStringLiteral("-copia»")));

    QCOMPARE(window->form().runResult, 1);
    QVERIFY(std::filesystem::exists(document.string() + "-copia"));
    QVERIFY(!child<QPushButton>(*window, "BExportar")->isEnabled());
    QVERIFY(!child<QPushButton>(*window, "BImportar")->isEnabled());
    QVERIFY(child<QPushButton>(*window, "BClose")->isEnabled());
    QVERIFY(child<QPushButton>(*window, "Button1")->isEnabled());
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QVERIFY(window->isVisible());

    QTest::mouseClick(child<QPushButton>(*window, "BClose"), Qt::LeftButton);
    QVERIFY(!window->isVisible());
    QVERIFY2(!ini(), "stand-alone, nothing is written to Velmora.ini");
}

void TMFormTest::missingFileLeavesTheWindowWaiting_data()
{
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QString>("button");

    const QString missing = QStringLiteral("{carpeta}/no-existe.xml");
    QTest::newRow("typed name, export") << QStringList{"escribir:" + missing, "aceptar"} << "BExportar";
    QTest::newRow("typed name, import") << QStringList{"escribir:" + missing, "aceptar"} << "BImportar";
    QTest::newRow("cancelled before any file") << QStringList{"cancelar", "aceptar"} << "BExportar";
}

void TMFormTest::missingFileLeavesTheWindowWaiting()
{
    QFETCH(QStringList, answers);
    QFETCH(QString, button);

    const auto window = makeWindow();
    window->show();
    ModalAnswers modal(answers, m_folder->path());
    QTest::mouseClick(child<QPushButton>(*window, qPrintable(button)), Qt::LeftButton);
    QTRY_COMPARE(modal.log, QStringList({fileDialogLine, missingFileLine}));

    QCOMPARE(window->form().runResult, 0);
    QVERIFY(window->isVisible());
    QVERIFY(child<QPushButton>(*window, "BExportar")->isEnabled());
    QVERIFY(child<QPushButton>(*window, "BImportar")->isEnabled());
}

// Started from the desktop, with no PASAVEL_VTEMP and no working folder: the
// window says so before anything is written, offers a folder, exports there,
// and the next start uses it.
void TMFormTest::missingWorkingFolderIsChosenInTheWindowAndRemembered()
{
    qunsetenv("PASAVEL_VTEMP");
    const QByteArray settingsBefore = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((m_folder->path() / "config").string()));
    const auto document = writeDocument("centro.xml", test::minimalExchangeDocument());
    ProgramPaths paths = ProgramPaths::forExecutable(programDirectory() / "pasavel");
    paths.vtemp = m_folder->path() / "no-existe";
    TMForm window(readCommandLine({}), paths);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    ModalAnswers answers(
        {"escribir:{carpeta}/centro.xml", "aceptar", "escribir:{carpeta}/VTEMP", "aceptar", "aceptar"},
        m_folder->path());
    QTest::mouseClick(child<QPushButton>(window, "BExportar"), Qt::LeftButton);
    const QString problem =
        "No existe la carpeta de trabajo «" + toQString(paths.vtemp) +
        "», donde están las tablas de Velmora.\n\n¿Quiere elegir otra carpeta de trabajo? "
        "Pasavel la recordará para las próximas veces.";
    QTRY_COMPARE(answers.log,
                 QStringList({fileDialogLine, "mensaje [Pasavel]: " + problem,
                              QStringLiteral("archivo: Seleccione la carpeta de trabajo de Velmora"),
                              courseWindowLine, finishedLine}));
    QCOMPARE(window.form().runResult, 1);
    QVERIFY(std::filesystem::exists(m_folder->path() / "VTEMP" / "DIASHORAST.DBF"));
    QVERIFY(std::filesystem::exists(document.string() + "-copia"));
    QCOMPARE(ProgramPaths::forExecutable(programDirectory() / "pasavel").vtemp, m_folder->path() / "VTEMP");
    qputenv("XDG_CONFIG_HOME", settingsBefore);
}

void TMFormTest::failedRunIsShownAsAnErrorAndKeepsTheButtons()
{
    // An exchange document without the school year: the first step fails.
    const auto document = writeDocument("sin-curso.xml", "<SERVICIO><BLOQUE_DATOS/></SERVICIO>");
    const auto window = makeWindow();
    window->show();
    ModalAnswers modal({"escribir:" + toQString(document), "aceptar"}, m_folder->path());
    QTest::mouseClick(child<QPushButton>(*window, "BExportar"), Qt::LeftButton);
    QTRY_COMPARE(modal.log.size(), 2);

    QCOMPARE(modal.log[0], fileDialogLine);
    QVERIFY2(modal.log[1].startsWith(QLatin1String("error [Pasavel]: ")), qPrintable(modal.log[1]));
    QCOMPARE(window->form().runResult, 0);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QVERIFY(child<QPushButton>(*window, "BExportar")->isEnabled());
    QVERIFY(child<QPushButton>(*window, "BImportar")->isEnabled());
}

void TMFormTest::sampleExportAnswersBothDialogsAndTheNextRecoversTheCodings()
{
    const std::filesystem::path data = std::filesystem::path(PASAVEL_SOURCE_DIR) / "data";
    std::filesystem::copy_file(data / "centro-ejemplo.xml", m_folder->path() / "centro-ejemplo.xml");
    const QString document = QStringLiteral("escribir:{carpeta}/centro-ejemplo.xml");
    {
        const auto window = makeWindow();
        window->show();
        // The frames clicked in the other order: the result keeps the list's.
        ModalAnswers answers(
            {document, "niveles:" + toQString(data / "niveles-ejemplo.csv"), "marcos:2,1", "aceptar"},
            m_folder->path());
        QTest::mouseClick(child<QPushButton>(*window, "BExportar"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(
            answers.log, QStringList({fileDialogLine, courseWindowLine, frameWindowLine, finishedLine}),
            20000);
        QCOMPARE(window->form().runResult, 1);
    }
    const std::vector<std::vector<std::u16string>> codings = {
        {u"6001", u"ESO", u"1"},  {u"6002", u"ESO", u"2"},  {u"6003", u"ESO", u"3"}, {u"6004", u"ESO", u"4"},
        {u"6010", u"EDSO", u"3"}, {u"6011", u"EDSO", u"4"}, {u"6021", u"BCT", u"1"}, {u"6022", u"BCT", u"2"},
        {u"6031", u"BHC", u"1"},  {u"6032", u"BHC", u"2"},  {u"6041", u"GAD", u"1"}, {u"6042", u"GAD", u"2"}};
    QCOMPARE(tableColumns("CURSOST", {"CLAVE", "NIVEL", "CURSO"}), codings);
    QCOMPARE(tableColumns("CURSOST2", {"CLAVE", "NIVEL", "CURSO"}), codings);
    std::set<std::u16string> frames;
    for (const auto& row : tableColumns("DIASHORAST", {"MARCOXML", "MARCO"}))
        frames.insert(row[0] + u"=" + row[1]);
    QCOMPARE(frames, (std::set<std::u16string>{u"1=0", u"2=1"}));
    QCOMPARE(tableColumns("DIASHORAST", {"DIHO"}).size(), 7u * 11u);
    bool groupOfTheFirstCourse = false;
    for (const auto& row : tableColumns("GRUPOST", {"ABREV"}))
        groupOfTheFirstCourse = groupOfTheFirstCourse || row[0] == u"ESO1A";
    QVERIFY(groupOfTheFirstCourse);

    // The next export offers the codings back; taken, nothing is typed.
    std::filesystem::remove(m_folder->path() / "centro-ejemplo.xml-copia");
    const auto window = makeWindow();
    window->show();
    ModalAnswers answers({document, "aceptar", "aceptar", "marcos:1", "aceptar"}, m_folder->path());
    QTest::mouseClick(child<QPushButton>(*window, "BExportar"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(answers.log.size(), 5, 20000);
    QCOMPARE(answers.log[0], fileDialogLine);
    QVERIFY2(
        answers.log[1].startsWith(QStringLiteral("mensaje [Recuperación de Niveles y Cursos importados "
                                                 "anteriormente]: Existen Niveles y Cursos ya definidos")),
        qPrintable(answers.log[1]));
    QCOMPARE(answers.log.mid(2), QStringList({courseWindowLine, frameWindowLine, finishedLine}));
    QCOMPARE(tableColumns("CURSOST", {"CLAVE", "NIVEL", "CURSO"}), codings);
    frames.clear();
    for (const auto& row : tableColumns("DIASHORAST", {"MARCOXML"}))
        frames.insert(row[0]);
    QCOMPARE(frames, std::set<std::u16string>{u"1"});
}

void TMFormTest::dialogsOpenTheirHelpAboveThem_data()
{
    QTest::addColumn<bool>("courseDialog");
    QTest::addColumn<QString>("page");

    QTest::newRow("levels and courses: context 1") << true << "topic1.html";
    QTest::newRow("time frames: context 3") << false << "topic3.html";
}

void TMFormTest::dialogsOpenTheirHelpAboveThem()
{
    QFETCH(bool, courseDialog);
    QFETCH(QString, page);

    const auto window = makeWindow();
    const auto pageShown = [&] {
        auto* help = window->findChild<HelpWindow*>();
        return help == nullptr ? QString() : QFileInfo(help->browser()->source().toLocalFile()).fileName();
    };
    QStringList pages;
    test::ModalSteps steps({[&](QWidget* modal) {
        auto* ok = modal->findChild<QPushButton*>(courseDialog ? "BitBtn1" : "BitBtnContinuar");
        auto* frames = modal->findChild<QListWidget*>("ListBox2");
        if (!ok->isEnabled() || (frames != nullptr && frames->count() == 0))
            return false;
        test::pressKey(modal, Qt::Key_F1);
        pages << pageShown();
        // The help is no window that the dialog blocks: a click in it works.
        auto* help = window->findChild<HelpWindow*>();
        auto* contents = help->findChild<QPushButton*>();
        QTest::mouseClick(help->windowHandle(), Qt::LeftButton, {},
                          contents->mapTo(help, contents->rect().center()));
        pages << pageShown();
        if (frames != nullptr)
            test::clickEntry(frames, 0);
        QTest::mouseClick(ok, Qt::LeftButton);
        return true;
    }});
    if (courseDialog) {
        tables::CURSOST.create(m_folder->path() / "VTEMP");
        Cursos logic(*window, m_folder->path() / "VTEMP", tables::CURSOST2, false);
        window->showCourseDialog(logic);
    } else {
        const std::filesystem::path document = writeDocument(
            "marcos.xml", "<SERVICIO><BLOQUE_DATOS><grupo_datos seq=\"JORNADAS_ESCOLARES\">"
                          "<grupo_datos><dato>1</dato><dato>M</dato></grupo_datos>"
                          "<grupo_datos><dato>2</dato><dato>T</dato></grupo_datos></grupo_datos>"
                          "</BLOQUE_DATOS></SERVICIO>");
        Plantihoras logic(document);
        window->showFrameDialog(logic);
        QVERIFY(logic.resultMH);
    }
    QVERIFY(steps.finished());
    QCOMPARE(pages, QStringList({page, "index.html"}));
}

void TMFormTest::commandLineChoosesTheRunMode_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QStringList>("expectedLog");
    QTest::addColumn<bool>("embedded");
    QTest::addColumn<bool>("closesItself");
    QTest::addColumn<QString>("transformado"); // after the window has closed; empty: no Velmora.ini

    const QString document = QStringLiteral("{carpeta}/centro.xml");
    const QString handleError = QString::fromStdU16String(readCommandLine({"exportar", "3a0z"}).handleError);

    QTest::newRow("capitals start the export")
        << QStringList{"EXPORTAR", "3a00007"} << QStringList{"escribir:" + document, "aceptar", "aceptar"}
        << QStringList{fileDialogLine, courseWindowLine, finishedLine} << true << true << "1";
    QTest::newRow("mixed case starts the import; cancelled before any file")
        << QStringList{"ImPoRtAr", "3A00007"} << QStringList{"cancelar", "aceptar"}
        << QStringList{fileDialogLine, missingFileLine} << true << true << "-1";
    QTest::newRow("unknown first parameter waits")
        << QStringList{"listar", "3a00007"} << QStringList{} << QStringList{} << true << false << "0";
    QTest::newRow("handle not hexadecimal: reported, stand-alone, run still starts")
        << QStringList{"exportar", "3a0z"}
        << QStringList{"aceptar", "escribir:" + document, "aceptar", "aceptar"}
        << QStringList{"error [Pasavel]: " + handleError, fileDialogLine, courseWindowLine, finishedLine}
        << false << false << "";
    QTest::newRow("one parameter") << QStringList{"exportar"} << QStringList{} << QStringList{} << false
                                   << false << "";
    QTest::newRow("three parameters")
        << QStringList{"exportar", "3a00007", "x"} << QStringList{} << QStringList{} << false << false << "";
}

void TMFormTest::commandLineChoosesTheRunMode()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, answers);
    QFETCH(QStringList, expectedLog);
    QFETCH(bool, embedded);
    QFETCH(bool, closesItself);
    QFETCH(QString, transformado);

    writeDocument("centro.xml", test::minimalExchangeDocument());
    const auto window = makeWindow(arguments);
    QSignalSpy closed(window.get(), &TMForm::mainWindowClosed);
    ModalAnswers modal(answers, m_folder->path());
    window->show();
    // Whatever starts by itself starts as soon as the window is shown.
    QTest::qWait(200);
    QTRY_COMPARE(modal.log, expectedLog);

    QCOMPARE(window->form().embedded, embedded);
    QCOMPARE(window->windowFlags().testFlag(Qt::FramelessWindowHint), embedded);
    QTRY_COMPARE(window->isVisible(), !closesItself);
    if (!closesItself)
        QTest::mouseClick(child<QPushButton>(*window, "BClose"), Qt::LeftButton);
    QVERIFY(!window->isVisible());
    QCOMPARE(closed.count(), 1);

    const std::optional<std::string> written = ini();
    if (transformado.isEmpty()) {
        QVERIFY2(!written, written ? written->c_str() : "");
    } else {
        QVERIFY(written.has_value());
        const QRegularExpression value(R"(\[Transformadores\]\r?\nTransformado=)" + transformado +
                                       R"(\r?\n)");
        QVERIFY2(value.match(QString::fromStdString(*written)).hasMatch(), written->c_str());
    }
}

void TMFormTest::helpButtonOpensContentsAndF1OpensTheMainWindowTopic()
{
    const auto window = makeWindow();
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));

    QTest::mouseClick(child<QPushButton>(*window, "Button1"), Qt::LeftButton);
    auto* help = window->findChild<HelpWindow*>();
    QVERIFY(help != nullptr);
    QVERIFY(help->isVisible());
    QCOMPARE(QFileInfo(help->browser()->source().toLocalFile()).fileName(), QStringLiteral("index.html"));
    QCOMPARE(help->browser()->documentTitle(), QStringLiteral("Ayuda de Pasavel"));

    // F1 wherever the focus is in the main window: the one help window turns
    // to the main window's topic.
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(child<QPushButton>(*window, "BExportar"), Qt::Key_F1);
    QCOMPARE(window->findChildren<HelpWindow*>().size(), 1);
    QCOMPARE(QFileInfo(help->browser()->source().toLocalFile()).fileName(), QStringLiteral("topic1.html"));
    QVERIFY(help->browser()->toPlainText().contains(QStringLiteral("Raíces hacia Velmora")));
}

void TMFormTest::helpPagesLinkOnlyToPagesThatExist()
{
    const QDir folder(QCoreApplication::applicationDirPath() + "/RAICES");
    const QStringList pages = folder.entryList({"*.html"}, QDir::Files);
    for (const char* required : {"index.html", "topic1.html", "topic3.html"})
        QVERIFY2(pages.contains(QLatin1String(required)), required);

    const QRegularExpression link(QStringLiteral("href=\"([^\"#]+)"));
    QSet<QString> linkedFromContents;
    for (const QString& page : pages) {
        QFile file(folder.filePath(page));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(file.readAll());
        QVERIFY2(html.contains(QLatin1String("<title>")), qPrintable(page));
        for (const QRegularExpressionMatch& match : link.globalMatch(html)) {
            const QString target = match.captured(1);
            QVERIFY2(folder.exists(target), qPrintable(page + " -> " + target));
            if (page == QLatin1String("index.html"))
                linkedFromContents.insert(target);
        }
    }
    for (const QString& page : pages) {
        if (page != QLatin1String("index.html"))
            QVERIFY2(linkedFromContents.contains(page), qPrintable(page + " is not in the contents"));
    }
}

QTEST_MAIN(TMFormTest)
#include "TMFormTest.moc"
