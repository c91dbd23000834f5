#pragma once

#include "gui-win32/Glyphs.h"

#include <memory>
#include <optional>
#include <string>

namespace pasavel::win32 {

// A push button of a kind, drawn by the program: the kind's glyph beside its
// caption (an OK button's tick, a close button's door), in the caption's own
// colour. The owner window passes its WM_DRAWITEM messages to
// drawKindButton. Themed where the system has a theme.
class KindButton {
  public:
    KindButton(HWND parent, int identifier, const std::wstring& caption, const RECT& bounds, HFONT font,
               std::optional<Glyph> glyph, COLORREF textColour = colours::black);
    ~KindButton();
    KindButton(const KindButton&) = delete;
    KindButton& operator=(const KindButton&) = delete;

    HWND handle() const { return m_handle; }
    void draw(const DRAWITEMSTRUCT& item) const;

  private:
    HWND m_handle = nullptr;
    Icon m_glyph;
    Icon m_greyedGlyph;
    COLORREF m_textColour;
};

// Draws the button the message is about when it is a KindButton; false
// otherwise.
bool drawKindButton(LPARAM drawItem);

} // namespace pasavel::win32
