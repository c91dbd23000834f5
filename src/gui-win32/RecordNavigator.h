#pragma once

#include "gui-win32/Glyphs.h"
#include "gui-win32/NativeWindow.h"

#include <array>
#include <cstddef>
#include <functional>

namespace pasavel::win32 {

// The row of ten buttons that walks the table shown in a grid and edits its
// current record, each with its hint. One control draws them all and never
// takes the keyboard, so that pressing a button leaves the focus in the grid.
// It only reports which button was pressed; the window asks the table's
// owner to act and then tells the navigator where the table stands.
class RecordNavigator : public NativeWindow {
  public:
    enum class Button { first, backTen, prior, next, forwardTen, last, edit, post, cancel, refresh };
    static constexpr std::size_t buttonCount = 10;

    RecordNavigator(HWND parent, const RECT& bounds, std::function<void(Button)> pressed);
    ~RecordNavigator() override;

    // Enables what makes sense where the table stands: no way back from the
    // first record nor on from the last, edit only while browsing, post and
    // cancel only while editing, nothing while the table is closed.
    void showPosition(bool open, std::size_t recordCount, std::size_t current, bool editing);
    bool isEnabled(Button which) const { return m_enabled[static_cast<std::size_t>(which)]; }

  protected:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    RECT buttonBox(std::size_t index) const;
    int buttonAt(POINT point) const;
    void paint(HDC context);
    void addHints();

    std::function<void(Button)> m_pressed;
    std::array<bool, buttonCount> m_enabled{};
    std::array<Icon, buttonCount> m_glyphs;
    std::array<Icon, buttonCount> m_greyedGlyphs;
    HWND m_hints = nullptr;
    int m_held = -1;     // the button under a pressed mouse button
    bool m_down = false; // the pointer is still over it
};

} // namespace pasavel::win32
