#include "gui-win32/RecordNavigator.h"

#include <commctrl.h>

#include <cmath>

namespace pasavel::win32 {

namespace {

constexpr std::array<const wchar_t*, RecordNavigator::buttonCount> hints = {
    L"Move to first record",
    L"Move backward 10 records",
    L"Move to prior record",
    L"Move to next record",
    L"Move forward 10 records",
    L"Move to last record",
    L"Edit current record",
    L"Post changes of current record",
    L"Cancel changes made to current record",
    L"Refresh the contents of the dataset",
};

constexpr std::array<Glyph, RecordNavigator::buttonCount> glyphs = {
    Glyph::first, Glyph::backTen, Glyph::prior, Glyph::next,   Glyph::forwardTen,
    Glyph::last,  Glyph::edit,    Glyph::post,  Glyph::cancel, Glyph::refresh,
};

} // namespace

RecordNavigator::RecordNavigator(HWND parent, const RECT& bounds, std::function<void(Button)> pressed)
    : m_pressed(std::move(pressed))
{
    const int glyphSize = scaled(16);
    for (std::size_t index = 0; index < buttonCount; ++index) {
        m_glyphs[index] = makeGlyph(glyphs[index], glyphSize);
        m_greyedGlyphs[index] = makeGlyph(glyphs[index], glyphSize, true);
    }
    createWindow(L"PasavelRecordNavigator", L"", WS_CHILD | WS_VISIBLE, 0, bounds, parent);
    addHints();
}

RecordNavigator::~RecordNavigator()
{
    if (m_hints != nullptr)
        DestroyWindow(m_hints);
}

void RecordNavigator::addHints()
{
    if (handle() == nullptr)
        return;
    m_hints = CreateWindowExW(
        WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, handle(), nullptr, GetModuleHandleW(nullptr), nullptr);
    if (m_hints == nullptr)
        return;
    for (std::size_t index = 0; index < buttonCount; ++index) {
        TOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_SUBCLASS;
        tool.hwnd = handle();
        tool.uId = index + 1;
        tool.rect = buttonBox(index);
        tool.lpszText = const_cast<wchar_t*>(hints[index]);
        SendMessageW(m_hints, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

RECT RecordNavigator::buttonBox(std::size_t index) const
{
    RECT client{};
    GetClientRect(handle(), &client);
    // The buttons share the width evenly; the odd pixels go to whole buttons.
    const double share = static_cast<double>(client.right) / buttonCount;
    const int left = static_cast<int>(std::lround(share * static_cast<double>(index)));
    const int right = static_cast<int>(std::lround(share * static_cast<double>(index + 1)));
    return {left, 0, right, client.bottom};
}

int RecordNavigator::buttonAt(POINT point) const
{
    for (std::size_t index = 0; index < buttonCount; ++index) {
        const RECT box = buttonBox(index);
        if (PtInRect(&box, point) != FALSE)
            return static_cast<int>(index);
    }
    return -1;
}

void RecordNavigator::showPosition(bool open, std::size_t recordCount, std::size_t current, bool editing)
{
    const bool hasRecords = open && recordCount > 0;
    const bool canGoBack = hasRecords && current > 0;
    const bool canGoOn = hasRecords && current + 1 < recordCount;
    const std::array<bool, buttonCount> enabled = {canGoBack,
                                                   canGoBack,
                                                   canGoBack,
                                                   canGoOn,
                                                   canGoOn,
                                                   canGoOn,
                                                   hasRecords && !editing,
                                                   hasRecords && editing,
                                                   hasRecords && editing,
                                                   open};
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    InvalidateRect(handle(), nullptr, FALSE);
}

void RecordNavigator::paint(HDC context)
{
    const int glyphSize = scaled(16);
    for (std::size_t index = 0; index < buttonCount; ++index) {
        RECT box = buttonBox(index);
        const bool sunken = m_held == static_cast<int>(index) && m_down;
        FillRect(context, &box, GetSysColorBrush(COLOR_BTNFACE));
        DrawEdge(context, &box, sunken ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
        const int shift = sunken ? 1 : 0;
        const int left = (box.left + box.right - glyphSize) / 2 + shift;
        const int top = (box.top + box.bottom - glyphSize) / 2 + shift;
        const HICON icon = m_enabled[index] ? m_glyphs[index].get() : m_greyedGlyphs[index].get();
        if (icon != nullptr)
            DrawIconEx(context, left, top, icon, glyphSize, glyphSize, 0, nullptr, DI_NORMAL);
    }
}

LRESULT RecordNavigator::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paintStruct{};
        HDC target = BeginPaint(handle(), &paintStruct);
        RECT client{};
        GetClientRect(handle(), &client);
        {
            BufferedPaint buffer(handle(), target, client);
            paint(buffer.context());
        }
        EndPaint(handle(), &paintStruct);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_MOUSEACTIVATE:
        // A click here leaves the focus where it was.
        return MA_NOACTIVATE;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        const int index = buttonAt({static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
        if (index < 0 || !m_enabled[static_cast<std::size_t>(index)])
            return 0;
        m_held = index;
        m_down = true;
        SetCapture(handle());
        InvalidateRect(handle(), nullptr, FALSE);
        return 0;
    }
    case WM_MOUSEMOVE:
        if (m_held >= 0) {
            const bool over =
                buttonAt({static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))}) == m_held;
            if (over != m_down) {
                m_down = over;
                InvalidateRect(handle(), nullptr, FALSE);
            }
        }
        break;
    case WM_LBUTTONUP:
        if (m_held >= 0) {
            const int held = m_held;
            const bool released = m_down;
            m_held = -1;
            m_down = false;
            ReleaseCapture();
            InvalidateRect(handle(), nullptr, FALSE);
            if (released && m_enabled[static_cast<std::size_t>(held)] && m_pressed)
                m_pressed(static_cast<Button>(held));
        }
        return 0;
    case WM_CAPTURECHANGED:
        if (m_held >= 0) {
            m_held = -1;
            m_down = false;
            InvalidateRect(handle(), nullptr, FALSE);
        }
        return 0;
    default:
        break;
    }
    return defaultHandling(message, wParam, lParam);
}

} // namespace pasavel::win32
