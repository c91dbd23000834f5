#pragma once

#include "gui-win32/CursosGrid.h"
#include "gui-win32/KindButton.h"
#include "gui-win32/NativeWindow.h"
#include "gui-win32/RecordNavigator.h"

#include <exception>
#include <functional>
#include <memory>
#include <vector>

namespace pasavel {

class Cursos;

namespace win32 {

class TMForm;

// The level and course dialog: the courses of CURSOST in a grid where the
// user types each one's level and course number. Every click and every edit
// goes to the dialog's logic; the window shows the logic's state. Closed by
// OK (the check), by the forced exit, or by the close box.
class TControlCursos : public NativeWindow {
  public:
    TControlCursos(Cursos& logic, TMForm& mainWindow);
    ~TControlCursos() override;

    // Shows the dialog modally; returns when it has closed.
    void exec();
    // A failure of the logic closes the dialog; the caller raises it again
    // once the modal loop has ended, so that it ends the run as any other
    // failure does.
    void rethrowFailure() const;
    // The program is ending (its host went away): the dialog closes as it
    // stands.
    void abandon();
    // What the logic has decided to show, on the screen now: a message box
    // is about to cover the dialog.
    void showLogicState();

  protected:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    void buildWindow();
    void paint(HDC context);
    void onFirstShown();
    void onOkClicked();
    void onForcedExitClicked();
    void onCloseBox();
    void onNavigatorPressed(RecordNavigator::Button which);
    void applyNavigatorButton(RecordNavigator::Button which);
    bool guarded(const std::function<void()>& action);
    void finish();

    Cursos& m_logic;
    TMForm& m_mainWindow;
    Font m_font;
    Font m_boldFont;
    Font m_boldUnderlinedFont;
    Font m_titleFont;
    std::vector<PaintedLabel> m_labels;
    std::unique_ptr<RecordNavigator> m_navigator;
    std::unique_ptr<CursosGrid> m_grid;
    std::unique_ptr<KindButton> m_okButton;         // BitBtn1
    std::unique_ptr<KindButton> m_forcedExitButton; // BitBtn2
    HWND m_savedFocus = nullptr;
    std::exception_ptr m_failure;
    bool m_tableOpen = false;
    bool m_finished = false;
};

} // namespace win32
} // namespace pasavel
