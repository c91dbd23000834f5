#include "gui-win32/Win32Look.h"

#include <algorithm>

namespace pasavel::win32 {

std::wstring toWide(std::u16string_view text)
{
    // wchar_t holds UTF-16 code units on Windows.
    return std::wstring(text.begin(), text.end());
}

std::u16string fromWide(std::wstring_view text)
{
    return std::u16string(text.begin(), text.end());
}

int screenDpi()
{
    static const int dpi = [] {
        HDC screen = GetDC(nullptr);
        const int value = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
        if (screen != nullptr)
            ReleaseDC(nullptr, screen);
        return value > 0 ? value : 96;
    }();
    return dpi;
}

int scaled(int value)
{
    return MulDiv(value, screenDpi(), 96);
}

RECT scaledRect(int left, int top, int width, int height)
{
    return {scaled(left), scaled(top), scaled(left + width), scaled(top + height)};
}

namespace {

Font createFont(const FontLook& look, const wchar_t* face)
{
    LOGFONTW description{};
    description.lfHeight = -MulDiv(look.points, screenDpi(), 72);
    description.lfWeight = look.bold ? FW_BOLD : FW_NORMAL;
    description.lfItalic = look.italic ? TRUE : FALSE;
    description.lfUnderline = look.underlined ? TRUE : FALSE;
    description.lfCharSet = DEFAULT_CHARSET;
    description.lfQuality = DEFAULT_QUALITY;
    lstrcpynW(description.lfFaceName, face, LF_FACESIZE);
    return Font(CreateFontIndirectW(&description));
}

// Whether the system draws the font with the face it was asked for, rather
// than with a stand-in of its own choice.
bool drawnWithItsFace(HFONT font, const wchar_t* face)
{
    HDC screen = GetDC(nullptr);
    const HGDIOBJ previous = SelectObject(screen, font);
    wchar_t drawn[LF_FACESIZE] = L"";
    GetTextFaceW(screen, LF_FACESIZE, drawn);
    SelectObject(screen, previous);
    ReleaseDC(nullptr, screen);
    return lstrcmpiW(drawn, face) == 0;
}

} // namespace

Font makeFont(const FontLook& look)
{
    // The windows were laid out for MS Sans Serif. Where it is missing (a
    // system without the Windows fonts), the faces after it, of similar
    // widths, stand in for it, so that the texts keep to the lines they were
    // laid out in: the system's own stand-in would be wider.
    if (lstrcmpiW(look.face, L"MS Sans Serif") == 0) {
        for (const wchar_t* face :
             {L"MS Sans Serif", L"Microsoft Sans Serif", L"Tahoma", L"DejaVu Sans Condensed"}) {
            Font font = createFont(look, face);
            if (font && drawnWithItsFace(font.get(), face))
                return font;
        }
    }
    return createFont(look, look.face);
}

FontLook windowFont()
{
    return FontLook{};
}

void paintGradient(HDC context, const RECT& area, COLORREF start, COLORREF middle, COLORREF end)
{
    const int height = area.bottom - area.top;
    if (height <= 0)
        return;
    const auto blend = [](COLORREF from, COLORREF to, int step, int steps) {
        const auto channel = [&](int a, int b) { return a + (b - a) * step / std::max(steps, 1); };
        return RGB(channel(GetRValue(from), GetRValue(to)), channel(GetGValue(from), GetGValue(to)),
                   channel(GetBValue(from), GetBValue(to)));
    };
    const int half = height / 2;
    for (int row = 0; row < height; ++row) {
        const COLORREF colour =
            row < half ? blend(start, middle, row, half) : blend(middle, end, row - half, height - 1 - half);
        const RECT line{area.left, area.top + row, area.right, area.top + row + 1};
        SetBkColor(context, colour);
        // The cheapest solid fill GDI has.
        ExtTextOutW(context, 0, 0, ETO_OPAQUE, &line, nullptr, 0, nullptr);
    }
}

RECT paintLabel(HDC context, const PaintedLabel& label)
{
    const HGDIOBJ previousFont = SelectObject(context, label.font);
    RECT box = scaledRect(label.left, label.top, label.width, label.height);
    UINT format = DT_NOPREFIX | (label.centred ? DT_CENTER : DT_LEFT);
    if (label.wrapped)
        format |= DT_WORDBREAK;
    else
        format |= DT_SINGLELINE;
    if (label.width == 0 || label.height == 0) {
        // The label takes the room its text needs, as an auto-sized one does.
        RECT needed = box;
        if (label.width == 0)
            needed.right = needed.left + 10000;
        DrawTextW(context, label.text.c_str(), static_cast<int>(label.text.size()), &needed,
                  format | DT_CALCRECT);
        if (label.width == 0)
            box.right = needed.right;
        box.bottom = needed.bottom;
    }
    if (label.visible) {
        if (label.background) {
            SetBkColor(context, *label.background);
            ExtTextOutW(context, 0, 0, ETO_OPAQUE, &box, nullptr, 0, nullptr);
        }
        SetBkMode(context, TRANSPARENT);
        SetTextColor(context, label.colour);
        RECT textBox = box;
        DrawTextW(context, label.text.c_str(), static_cast<int>(label.text.size()), &textBox, format);
    }
    SelectObject(context, previousFont);
    return box;
}

void centreOnScreen(HWND window)
{
    RECT workArea{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
    RECT bounds{};
    GetWindowRect(window, &bounds);
    const int width = bounds.right - bounds.left;
    const int height = bounds.bottom - bounds.top;
    const int left = std::max(workArea.left, workArea.left + (workArea.right - workArea.left - width) / 2);
    const int top = std::max(workArea.top, workArea.top + (workArea.bottom - workArea.top - height) / 2);
    SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void setControlFont(HWND control, HFONT font)
{
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

SIZE windowSizeForClient(int clientWidth, int clientHeight, DWORD style, DWORD extendedStyle)
{
    RECT bounds{0, 0, scaled(clientWidth), scaled(clientHeight)};
    AdjustWindowRectEx(&bounds, style, FALSE, extendedStyle);
    return {bounds.right - bounds.left, bounds.bottom - bounds.top};
}

bool belongsToThisProgram(HWND window)
{
    DWORD process = 0;
    if (window == nullptr || GetWindowThreadProcessId(window, &process) == 0)
        return false;
    return process == GetCurrentProcessId();
}

} // namespace pasavel::win32
