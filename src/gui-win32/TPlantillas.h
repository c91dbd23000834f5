#pragma once

#include "gui-win32/KindButton.h"
#include "gui-win32/NativeWindow.h"

#include <exception>
#include <functional>
#include <memory>
#include <vector>

namespace pasavel {

class Plantihoras;

namespace win32 {

class TMForm;

// The time-frame dialog: the frames of the chosen exchange file, of which
// the user picks one or two (Ctrl+click adds or removes a frame, Shift+click
// takes a range). The frame last clicked is shown with its name, dates and
// hour slots. The first activation, and every return from another window of
// this program, reads the file again and starts the choice afresh; a return
// from another program (the browser with the help among them) keeps it.
// Closing, by "Continuar" or by the close box, validates the choice.
class TPlantillas : public NativeWindow {
  public:
    TPlantillas(Plantihoras& logic, TMForm& mainWindow);
    ~TPlantillas() override;

    void exec();
    void rethrowFailure() const;

  protected:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    void buildWindow();
    void paint(HDC context);
    void activate();
    void showFrames();
    void showCurrentFrame();
    void showNoChoiceReason();
    void onFramesSelectionChanged();
    void validateAndClose();
    bool guarded(const std::function<void()>& action);
    void finish();

    Plantihoras& m_logic;
    TMForm& m_mainWindow;
    Font m_font;
    Font m_boldFont;
    Font m_boldItalicFont;
    Font m_boldUnderlinedFont;
    std::vector<PaintedLabel> m_labels;
    HWND m_frames = nullptr;                      // ListBox2
    HWND m_hours = nullptr;                       // ListBox1
    HWND m_currentFrame = nullptr;                // ComboBoxPlantilla
    std::unique_ptr<KindButton> m_continueButton; // BitBtnContinuar
    std::exception_ptr m_failure;
    bool m_activatedOnce = false;
    // The dialog lost the activation to another window of this program.
    bool m_refillOnReturn = false;
    bool m_updating = false;
    bool m_closing = false;
    bool m_finished = false;
};

} // namespace win32
} // namespace pasavel
