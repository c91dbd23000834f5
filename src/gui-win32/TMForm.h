#pragma once

#include "app/CommandLine.h"
#include "app/MainForm.h"
#include "app/ProgramPaths.h"
#include "base/UserInterface.h"
#include "gui-win32/HelpPages.h"
#include "gui-win32/KindButton.h"
#include "gui-win32/NativeWindow.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pasavel::win32 {

// The main window: two directions, the exit and the help. Every action is
// the core's (MainForm); this class only shows its dialogs and messages.
// With a host window on the command line it lives inside that window,
// without a caption or frame, closes itself at the end of the run, and ends
// the program when the host window goes away.
class TMForm : public NativeWindow, public UserInterface {
  public:
    TMForm(CommandLine commandLine, ProgramPaths paths);
    ~TMForm() override;

    // Makes the window and reads the command line; false when the system
    // could make no window.
    bool FormCreate();
    // Shows the window and runs the program's messages until it closes.
    int run();

    MainForm& form() { return m_form; }
    bool isClosed() const { return m_closed; }

    // The window a dialog or message box of the program stands on: the
    // modal dialog open at the moment, or the main window's top-level window
    // (the host's, while embedded).
    HWND dialogOwner() const;
    // A modal dialog opens and closes. beforeCovered shows on its window
    // what has to be there before a message box covers it.
    void beginModal(HWND dialog, std::function<void()> beforeCovered);
    void endModal(HWND dialog);

    // Opens the program's help at a topic, in the user's browser.
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

  protected:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void windowDestroyed() override;

  private:
    struct ModalDialog {
        HWND window;
        std::function<void()> beforeCovered;
    };

    void buildWindow();
    void embedInto(HWND host);
    void paint(HDC context);
    void onFirstShown();
    void closeWindow();
    void watchHost();
    static void CALLBACK hostWatchTick(HWND, UINT, UINT_PTR, DWORD);
    int showBox(std::u16string_view text, std::u16string_view caption, UINT kind);

    CommandLine m_commandLine;
    MainForm m_form;
    Font m_font;
    Font m_boldFont;
    Font m_headingFont;
    std::vector<PaintedLabel> m_labels;
    std::unique_ptr<KindButton> m_exportButton; // BExportar
    std::unique_ptr<KindButton> m_importButton; // BImportar
    std::unique_ptr<KindButton> m_closeButton;  // BClose
    HWND m_helpButton = nullptr;                // Button1
    std::vector<ModalDialog> m_modalDialogs;
    // The file last chosen, where the file dialog opens the next time.
    std::wstring m_lastFile;
    // The control that had the keyboard when the window lost the activation.
    HWND m_savedFocus = nullptr;
    HWND m_host = nullptr;
    UINT_PTR m_hostWatch = 0;
    // A problem with the command line, shown once the window is on screen.
    std::u16string m_startupError;
    bool m_busy = false;
    bool m_closed = false;
};

} // namespace pasavel::win32
