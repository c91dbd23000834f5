#pragma once

#include "app/CommandLine.h"
#include "app/MainForm.h"
#include "app/ProgramPaths.h"
#include "base/UserInterface.h"
#include "gui-qt/HelpWindow.h"

#include <QString>
#include <QWidget>

#include <cstdint>
#include <memory>

class QFileDialog;
class QPushButton;
class QTimer;
class QWindow;

namespace pasavel {

// The main window: two directions, the exit and the help. Every action is
// the core's (MainForm); this class only shows its dialogs and messages.
// With a host window on the command line it lives inside that window,
// without a border, and closes itself at the end of the run.
class TMForm : public QWidget, public UserInterface {
    Q_OBJECT
  public:
    TMForm(CommandLine commandLine, ProgramPaths paths, QWidget* parent = nullptr);
    ~TMForm() override;

    MainForm& form() { return m_form; }
    const CommandLine& commandLine() const { return m_commandLine; }

    // The owner to give a modal dialog of this window, and what to do with
    // the dialog before it is shown: Qt cannot make a window that lives
    // inside a foreign one the owner of a dialog, so while embedded the
    // dialogs have no owner and are kept above the host instead.
    QWidget* dialogOwner();
    void placeDialog(QWidget* dialog);

    // Opens the program's help at a topic, in its one help window.
    void showHelpTopic(HelpTopic topic);

    std::optional<std::filesystem::path> chooseExchangeFile() override;
    std::optional<std::filesystem::path> chooseWorkingFolder(std::u16string_view problem) override;
    void showMessage(std::u16string_view text) override;
    void showError(std::u16string_view text) override;
    void showCompletion(const std::vector<std::u16string>& summary) override;
    bool askOkCancel(std::u16string_view caption, std::u16string_view text) override;
    void showCourseDialog(Cursos& dialog) override;
    void showFrameDialog(Plantihoras& dialog) override;
    void setBusy(bool busy) override;
    void disableRunButtons() override;
    void closeMainWindow() override;

  signals:
    // The window has closed and its result is saved: the program ends now.
    void mainWindowClosed();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private slots:
    void onFirstShown();
    void onExportClicked();
    void onImportClicked();
    void onCloseClicked();
    void onHelpClicked();
    void onHelpKeyPressed();
    void onHostWindowCheck();

  private:
    void FormCreate();
    void buildWindow();
    void buildExportPanel();
    void buildImportPanel();
    void buildBottomPanel();
    QFileDialog& openDialog();
    void embedInto(std::uint64_t handle);
    void showBox(bool error, const QString& text, const QString& details = {});

    CommandLine m_commandLine;
    MainForm m_form;
    // Made at its first use, when it is known whether we are embedded; kept
    // so that it opens where the user last looked.
    std::unique_ptr<QFileDialog> m_openDialog;
    std::unique_ptr<HelpWindow> m_helpWindow;
    QPushButton* m_exportButton = nullptr;
    QPushButton* m_importButton = nullptr;
    // The host's window as Qt knows it; it holds our native window while we
    // are embedded, so it lives exactly as long as this window.
    QWindow* m_hostWindow = nullptr;
    QTimer* m_hostWatch = nullptr;
    QObject* m_dialogPlacer = nullptr;
    // A problem with the command line, shown once the window is on screen.
    QString m_startupError;
    bool m_shownBefore = false;
    bool m_busy = false;
    bool m_closed = false;
};

} // namespace pasavel
