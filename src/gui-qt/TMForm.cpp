#include "gui-qt/TMForm.h"

#include "base/Error.h"
#include "dialogs/Cursos.h"
#include "dialogs/Plantihoras.h"
#include "gui-qt/GradientPanel.h"
#include "gui-qt/HelpWindow.h"
#include "gui-qt/HostWindow.h"
#include "gui-qt/TControlCursos.h"
#include "gui-qt/TPlantillas.h"
#include "gui-qt/WindowLook.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QTimer>
#include <QWindow>

#include <algorithm>

namespace pasavel {

namespace {

const QString applicationTitle = QStringLiteral("Pasavel");

// How often an embedded window looks whether its host is still there: a
// host that dies takes our window with it, and nothing else tells us.
constexpr int hostWatchInterval = 500; // milliseconds

const QColor panelStart(0xF9, 0xD3, 0x7D);
const QColor panelMiddle(0xFF, 0xFF, 0xFF);
const QColor panelEnd(0xFF, 0xEE, 0xDD);
const QColor bottomStart(0xC2, 0xCD, 0xFE);
const QColor bottomMiddle(0xCF, 0xF2, 0xFE);
const QColor bottomEnd(0xCC, 0xD8, 0xE6);

std::filesystem::path toPath(const QString& file)
{
    return std::filesystem::path(QFile::encodeName(file).toStdString());
}

QFont headingFont()
{
    QFont font;
    font.setFamilies(
        {QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    font.setPointSize(12);
    font.setBold(true);
    return font;
}

QLabel* addHeading(QWidget* panel, const char* name, const QString& text, const QRect& geometry)
{
    auto* label = new QLabel(text, panel);
    label->setObjectName(QLatin1String(name));
    label->setFont(headingFont());
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(geometry);
    return label;
}

QPushButton* addButton(QWidget* panel, const char* name, const QString& text, const QRect& geometry)
{
    auto* button = new QPushButton(text, panel);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(geometry);
    return button;
}

// A button of a standard kind: the platform's glyph for that kind beside the
// caption.
QPushButton* addKindButton(QWidget* panel, const char* name, const QString& text,
                           QStyle::StandardPixmap glyph, const QRect& geometry)
{
    QPushButton* button = addButton(panel, name, text, geometry);
    button->setIcon(panel->style()->standardIcon(glyph, nullptr, button));
    return button;
}

// Shows a dialog of an embedded window above the host, centred on the
// window, as Qt does for the dialogs of a window that owns them.
class DialogPlacer : public QObject {
  public:
    DialogPlacer(QWidget* window, QWindow* host) : QObject(window), m_window(window), m_host(host) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Show)
            return false;
        auto* dialog = static_cast<QWidget*>(watched);
        // Above the modal dialog it opens from, if any, and the host
        // otherwise.
        QWidget* modal = QApplication::activeModalWidget();
        if (QWindow* handle = dialog->windowHandle())
            handle->setTransientParent(modal != nullptr && modal != dialog ? modal->windowHandle() : m_host);
        // Only the native window knows where the host put it on the screen.
        const QPoint centre = m_window->windowHandle()->mapToGlobal(m_window->rect().center());
        QRect placed(QPoint(), dialog->size());
        placed.moveCenter(centre);
        if (const QScreen* display = m_window->screen()) {
            const QRect available = display->availableGeometry();
            // Wholly on the screen; the top-left corner wins when it cannot be.
            placed.moveLeft(
                std::max(available.left(), std::min(placed.left(), available.right() + 1 - placed.width())));
            placed.moveTop(
                std::max(available.top(), std::min(placed.top(), available.bottom() + 1 - placed.height())));
        }
        dialog->move(placed.topLeft());
        return false;
    }

  private:
    QWidget* m_window;
    QWindow* m_host;
};

// A modal dialog blocks every other window but those that stand for it.
// The help opened from a dialog is made one of those, so that it can be read,
// scrolled and followed while the dialog waits.
void standForModalDialog(QWidget* window)
{
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || modal == window || modal->windowHandle() == nullptr)
        return;
    window->winId();
    QWindow* handle = window->windowHandle();
    if (handle->transientParent() == modal->windowHandle())
        return;
    // Whether a window is blocked is settled when it is shown.
    const bool shown = window->isVisible();
    if (shown)
        window->hide();
    handle->setTransientParent(modal->windowHandle());
    if (shown)
        window->show();
}

} // namespace

TMForm::TMForm(CommandLine commandLine, ProgramPaths paths, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      m_commandLine(std::move(commandLine)), m_form(*this, std::move(paths))
{
    buildWindow();
    FormCreate();
}

TMForm::~TMForm()
{
    // Our native window is a child of the host's while embedded: it goes
    // first, so that the host's stand-in does not take it along.
    if (m_hostWindow != nullptr) {
        destroy();
        delete m_hostWindow;
    }
}

void TMForm::buildWindow()
{
    setObjectName(QStringLiteral("MForm"));
    setWindowTitle(QStringLiteral("Exportar e importar datos entre Velmora y Raíces"));
    setFont(windowFont());
    setFixedSize(632, 266);
    buildExportPanel();
    buildImportPanel();
    buildBottomPanel();

    auto* helpKey = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(helpKey, &QShortcut::activated, this, &TMForm::onHelpKeyPressed);
}

void TMForm::buildExportPanel()
{
    auto* panel = new GradientPanel(panelStart, panelMiddle, panelEnd, this);
    panel->setObjectName(QStringLiteral("Draw3D2"));
    panel->setGeometry(1, 0, 315, 169);
    addHeading(panel, "Label3", QStringLiteral("Transformar datos desde Raíces hacia Velmora "),
               {24, 24, 265, 57});
    m_exportButton =
        addKindButton(panel, "BExportar", QStringLiteral("OK"), QStyle::SP_DialogOkButton, {96, 120, 89, 25});
    connect(m_exportButton, &QPushButton::clicked, this, &TMForm::onExportClicked);
}

void TMForm::buildImportPanel()
{
    auto* panel = new GradientPanel(panelStart, panelMiddle, panelEnd, this);
    panel->setObjectName(QStringLiteral("Draw3D3"));
    panel->setGeometry(316, 0, 317, 169);
    addHeading(panel, "Label4", QStringLiteral("Transformar datos desde Velmora hacia Raíces"),
               {8, 24, 305, 57});
    m_importButton =
        addKindButton(panel, "BImportar", QStringLiteral("OK"), QStyle::SP_DialogOkButton, {96, 120, 89, 25});
    connect(m_importButton, &QPushButton::clicked, this, &TMForm::onImportClicked);
}

void TMForm::buildBottomPanel()
{
    auto* panel = new GradientPanel(bottomStart, bottomMiddle, bottomEnd, this);
    panel->setObjectName(QStringLiteral("Draw3D1"));
    panel->setGeometry(0, 168, 633, 97);

    auto* version = new QLabel(QStringLiteral("Pasavel para ZT07 V-1.0"), panel);
    version->setObjectName(QStringLiteral("Label1"));
    QFont boldFont = version->font();
    boldFont.setBold(true);
    version->setFont(boldFont);
    QPalette redText = version->palette();
    redText.setColor(QPalette::WindowText, Qt::red);
    version->setPalette(redText);
    version->move(1, 72);
    version->adjustSize();

    auto* closeButton = addKindButton(panel, "BClose", QStringLiteral("&Salir"), QStyle::SP_DialogCloseButton,
                                      {256, 32, 89, 25});
    connect(closeButton, &QPushButton::clicked, this, &TMForm::onCloseClicked);
    auto* helpButton = addButton(panel, "Button1", QStringLiteral("F1 AYUDA"), {264, 67, 75, 19});
    connect(helpButton, &QPushButton::clicked, this, &TMForm::onHelpClicked);
}

QFileDialog& TMForm::openDialog()
{
    if (m_openDialog)
        return *m_openDialog;
    // Qt's own dialog on every platform: the same look everywhere, and a
    // name typed for a file that does not exist is accepted, so that the run
    // itself can say that it does not exist.
    m_openDialog = std::make_unique<QFileDialog>(
        dialogOwner(), QStringLiteral("Seleccione el Archivo XML obtenido de RAÍCES"));
    m_openDialog->setObjectName(QStringLiteral("OpenDialogXML"));
    m_openDialog->setOption(QFileDialog::DontUseNativeDialog);
    m_openDialog->setAcceptMode(QFileDialog::AcceptOpen);
    m_openDialog->setFileMode(QFileDialog::AnyFile);
    m_openDialog->setNameFilter(QStringLiteral("*.xml (*.xml)"));
    m_openDialog->setDefaultSuffix(QStringLiteral("xml"));
    placeDialog(m_openDialog.get());
    return *m_openDialog;
}

QWidget* TMForm::dialogOwner()
{
    return m_hostWindow != nullptr ? nullptr : this;
}

void TMForm::placeDialog(QWidget* dialog)
{
    if (m_hostWindow != nullptr)
        dialog->installEventFilter(m_dialogPlacer);
}

void TMForm::FormCreate()
{
    if (!m_commandLine.twoParameters) {
        centreOnScreen(this);
        return;
    }
    if (!m_commandLine.hostWindow) {
        m_startupError = toQString(m_commandLine.handleError);
        centreOnScreen(this);
        return;
    }
    const std::uint64_t handle = *m_commandLine.hostWindow;
    if (!hostWindowExists(handle)) {
        m_startupError = QStringLiteral("No existe ninguna ventana con el identificador %1 para alojar el "
                                        "programa. El programa seguirá como una ventana independiente.")
                             .arg(QString::number(handle, 16).toUpper());
        centreOnScreen(this);
        return;
    }
    embedInto(handle);
    m_form.embedded = true;
}

void TMForm::embedInto(std::uint64_t handle)
{
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    move(0, 0);
    if (!canEmbedInForeignWindow())
        return;
    m_hostWindow = QWindow::fromWinId(static_cast<WId>(handle));
    if (m_hostWindow == nullptr)
        return;
    createWinId();
    windowHandle()->setParent(m_hostWindow);
    windowHandle()->installEventFilter(this);
    m_dialogPlacer = new DialogPlacer(this, m_hostWindow);
    if (canCheckHostWindow()) {
        m_hostWatch = new QTimer(this);
        m_hostWatch->setInterval(hostWatchInterval);
        connect(m_hostWatch, &QTimer::timeout, this, &TMForm::onHostWindowCheck);
        m_hostWatch->start();
    }
}

void TMForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_shownBefore)
        return;
    m_shownBefore = true;
    // The run starts from the event loop, once the window is on screen, and
    // not inside the show that would otherwise wait for the whole run.
    QMetaObject::invokeMethod(this, &TMForm::onFirstShown, Qt::QueuedConnection);
}

void TMForm::onFirstShown()
{
    if (!m_startupError.isEmpty())
        showBox(true, m_startupError);
    m_form.FormShow(m_commandLine);
}

void TMForm::closeEvent(QCloseEvent* event)
{
    event->accept();
    if (m_closed)
        return;
    m_closed = true;
    if (m_hostWatch != nullptr)
        m_hostWatch->stop();
    try {
        m_form.FormClose();
    } catch (const Error& error) {
        showBox(true, QString::fromUtf8(error.what()));
    }
    emit mainWindowClosed();
}

bool TMForm::eventFilter(QObject* watched, QEvent* event)
{
    // A click in the embedded window is where the user expects the keyboard.
    if (watched == windowHandle() && event->type() == QEvent::MouseButtonPress)
        takeKeyboardFocus(winId());
    return QWidget::eventFilter(watched, event);
}

void TMForm::onExportClicked()
{
    m_form.BExportarClick();
}

void TMForm::onImportClicked()
{
    m_form.BImportarClick();
}

void TMForm::onCloseClicked()
{
    close();
}

void TMForm::onHelpClicked()
{
    showHelpTopic(HelpTopic::contents);
}

void TMForm::onHelpKeyPressed()
{
    showHelpTopic(HelpTopic::mainWindow);
}

void TMForm::showHelpTopic(HelpTopic topic)
{
    if (!m_helpWindow) {
        m_helpWindow =
            std::make_unique<HelpWindow>(helpFolder(m_form.paths().programDirectory), dialogOwner());
        placeDialog(m_helpWindow.get());
    }
    m_helpWindow->showTopic(topic);
    standForModalDialog(m_helpWindow.get());
    m_helpWindow->show();
    m_helpWindow->raise();
    m_helpWindow->activateWindow();
}

void TMForm::onHostWindowCheck()
{
    if (m_commandLine.hostWindow && !hostWindowExists(*m_commandLine.hostWindow))
        close();
}

std::optional<std::filesystem::path> TMForm::chooseExchangeFile()
{
    // Once the window has closed (its host went away) nothing more is asked.
    if (m_closed)
        return std::nullopt;
    QFileDialog& dialog = openDialog();
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty())
        return std::nullopt;
    return toPath(files.first());
}

std::optional<std::filesystem::path> TMForm::chooseWorkingFolder(std::u16string_view problem)
{
    if (m_closed)
        return std::nullopt;
    QMessageBox question(QMessageBox::Warning, applicationTitle,
                         toQString(problem) +
                             QStringLiteral("\n\n¿Quiere elegir otra carpeta de trabajo? Pasavel "
                                            "la recordará para las próximas veces."),
                         QMessageBox::Ok | QMessageBox::Cancel, dialogOwner());
    placeDialog(&question);
    if (question.exec() != QMessageBox::Ok)
        return std::nullopt;
    // Qt's own dialog, as for the exchange file.
    QFileDialog folders(dialogOwner(), QStringLiteral("Seleccione la carpeta de trabajo de Velmora"));
    folders.setObjectName(QStringLiteral("OpenDialogVTEMP"));
    folders.setOption(QFileDialog::DontUseNativeDialog);
    folders.setFileMode(QFileDialog::Directory);
    folders.setOption(QFileDialog::ShowDirsOnly);
    folders.setDirectory(QDir::homePath());
    placeDialog(&folders);
    if (folders.exec() != QDialog::Accepted || folders.selectedFiles().isEmpty())
        return std::nullopt;
    return toPath(folders.selectedFiles().first());
}

void TMForm::showMessage(std::u16string_view text)
{
    if (!m_closed)
        showBox(false, toQString(text));
}

void TMForm::showError(std::u16string_view text)
{
    if (!m_closed)
        showBox(true, toQString(text));
}

bool TMForm::askOkCancel(std::u16string_view caption, std::u16string_view text)
{
    if (m_closed)
        return false;
    QMessageBox question(QMessageBox::Warning, toQString(caption), toQString(text),
                         QMessageBox::Ok | QMessageBox::Cancel, dialogOwner());
    placeDialog(&question);
    return question.exec() == QMessageBox::Ok;
}

void TMForm::showCourseDialog(Cursos& dialog)
{
    // Once the window has closed (its host went away) nobody can answer:
    // the export ends as after a forced exit, and the codings kept from
    // earlier exports stay as they are.
    if (m_closed) {
        dialog.forcedExitClick();
        return;
    }
    TControlCursos window(dialog, dialogOwner());
    placeDialog(&window);
    connect(&window, &TControlCursos::helpRequested, this, [this] { showHelpTopic(HelpTopic::mainWindow); });
    window.exec();
    window.rethrowFailure();
}

void TMForm::showFrameDialog(Plantihoras& dialog)
{
    if (m_closed) {
        dialog.abandon(u"La ventana de Pasavel se ha cerrado antes de elegir los marcos horarios.");
        return;
    }
    TPlantillas window(dialog, *this, dialogOwner());
    placeDialog(&window);
    connect(&window, &TPlantillas::helpRequested, this, [this] { showHelpTopic(HelpTopic::frameDialog); });
    window.exec();
    window.rethrowFailure();
}

void TMForm::showBox(bool error, const QString& text, const QString& details)
{
    QMessageBox box(error ? QMessageBox::Critical : QMessageBox::Information, applicationTitle, text,
                    QMessageBox::Ok, dialogOwner());
    // What the run wrote, behind the box's "Mostrar detalles..." button.
    if (!details.isEmpty()) {
        box.setDetailedText(details);
        // Room for the summary's lines, which name folders and files.
        box.setStyleSheet(QStringLiteral("QTextEdit { min-width: 520px; min-height: 220px; }"));
    }
    placeDialog(&box);
    box.exec();
}

void TMForm::showCompletion(const std::vector<std::u16string>& summary)
{
    if (m_closed)
        return;
    QStringList lines;
    for (const std::u16string& line : summary)
        lines << toQString(line);
    showBox(false, QStringLiteral("Proceso finalizado"), lines.join(QLatin1Char('\n')));
}

void TMForm::setBusy(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void TMForm::disableRunButtons()
{
    m_exportButton->setEnabled(false);
    m_importButton->setEnabled(false);
}

void TMForm::closeMainWindow()
{
    close();
}

} // namespace pasavel
