#pragma once

#include "gui-win32/Win32Look.h"

namespace pasavel::win32 {

// The small pictures on the buttons, drawn by the program itself so that
// they look the same on every system: the tick of an OK button, the door of
// a close button, and the arrows and marks of the record navigator.
enum class Glyph {
    ok,
    close,
    first,
    backTen,
    prior,
    next,
    forwardTen,
    last,
    edit,
    post,
    cancel,
    refresh,
};

// An icon of the glyph, size pixels square (scaled from a 16-pixel drawing);
// greyed for a disabled button.
Icon makeGlyph(Glyph glyph, int size, bool greyed = false);

} // namespace pasavel::win32
