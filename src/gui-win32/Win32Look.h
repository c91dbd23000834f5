#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

// What the program's Win32 windows share: their fonts and colours, the
// conversions between the core's UTF-16 texts and the system's, positions
// scaled for the screen's DPI, the gradients of their panels and the labels
// painted on them.
namespace pasavel::win32 {

std::wstring toWide(std::u16string_view text);
std::u16string fromWide(std::wstring_view text);

// Positions and sizes are given for a 96 DPI screen, as the windows were laid
// out; on a denser screen they grow with it.
int screenDpi();
int scaled(int value);
RECT scaledRect(int left, int top, int width, int height);

// GDI objects go back to the system when their owner goes.
struct GdiObjectDeleter {
    void operator()(HGDIOBJ object) const
    {
        if (object != nullptr)
            DeleteObject(object);
    }
};
using Font = std::unique_ptr<std::remove_pointer_t<HFONT>, GdiObjectDeleter>;
using Brush = std::unique_ptr<std::remove_pointer_t<HBRUSH>, GdiObjectDeleter>;

struct IconDeleter {
    void operator()(HICON icon) const
    {
        if (icon != nullptr)
            DestroyIcon(icon);
    }
};
using Icon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDeleter>;

struct FontLook {
    const wchar_t* face = L"MS Sans Serif";
    int points = 8;
    bool bold = false;
    bool italic = false;
    bool underlined = false;
};
Font makeFont(const FontLook& look);
// The windows' own font: MS Sans Serif, 8 points.
FontLook windowFont();

namespace colours {
constexpr COLORREF black = RGB(0x00, 0x00, 0x00);
constexpr COLORREF red = RGB(0xFF, 0x00, 0x00);
constexpr COLORREF maroon = RGB(0x80, 0x00, 0x00);
constexpr COLORREF blue = RGB(0x00, 0x00, 0xFF);
constexpr COLORREF fuchsia = RGB(0xFF, 0x00, 0xFF);
constexpr COLORREF purple = RGB(0x80, 0x00, 0x80);
constexpr COLORREF yellow = RGB(0xFF, 0xFF, 0x00);
constexpr COLORREF white = RGB(0xFF, 0xFF, 0xFF);
constexpr COLORREF skyBlue = RGB(0xA6, 0xCA, 0xF0);
} // namespace colours

// A vertical gradient through three colours, the middle one half-way down.
void paintGradient(HDC context, const RECT& area, COLORREF start, COLORREF middle, COLORREF end);

// A label drawn straight onto its panel, so that the gradient shows around
// its text. Its box is given at 96 DPI; a width of 0 sizes it to its line.
struct PaintedLabel {
    std::wstring text;
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0; // 0: as high as the wrapped text
    HFONT font = nullptr;
    COLORREF colour = colours::black;
    std::optional<COLORREF> background;
    bool wrapped = false;
    bool centred = false;
    bool visible = true;
};
// Paints the label, and returns the box it took (in pixels).
RECT paintLabel(HDC context, const PaintedLabel& label);

// Places a window in the middle of the screen's work area.
void centreOnScreen(HWND window);

// Sets the font of a control and of every control inside a window.
void setControlFont(HWND control, HFONT font);

// The window's client area of the given size (at 96 DPI) for its style.
SIZE windowSizeForClient(int clientWidth, int clientHeight, DWORD style, DWORD extendedStyle);

// A window of this thread that stands above the others while it is open.
bool belongsToThisProgram(HWND window);

} // namespace pasavel::win32
