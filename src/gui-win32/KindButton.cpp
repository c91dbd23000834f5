#include "gui-win32/KindButton.h"

#include <uxtheme.h>
#include <vssym32.h>

namespace pasavel::win32 {

namespace {

const wchar_t* const lookProperty = L"PasavelKindButton";

int glyphSize()
{
    return scaled(16);
}

} // namespace

KindButton::KindButton(HWND parent, int identifier, const std::wstring& caption, const RECT& bounds,
                       HFONT font, std::optional<Glyph> glyph, COLORREF textColour)
    : m_textColour(textColour)
{
    if (glyph) {
        m_glyph = makeGlyph(*glyph, glyphSize());
        m_greyedGlyph = makeGlyph(*glyph, glyphSize(), true);
    }
    m_handle = CreateWindowExW(
        0, L"BUTTON", caption.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW, bounds.left,
        bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(identifier)), GetModuleHandleW(nullptr), nullptr);
    if (m_handle == nullptr)
        return;
    setControlFont(m_handle, font);
    SetPropW(m_handle, lookProperty, this);
}

KindButton::~KindButton()
{
    if (m_handle != nullptr && IsWindow(m_handle) != FALSE)
        RemovePropW(m_handle, lookProperty);
}

void KindButton::draw(const DRAWITEMSTRUCT& item) const
{
    HDC context = item.hDC;
    RECT box = item.rcItem;
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    const bool focused = (item.itemState & ODS_FOCUS) != 0;

    HTHEME theme = OpenThemeData(m_handle, L"BUTTON");
    if (theme != nullptr) {
        const int state = disabled  ? PBS_DISABLED
                          : pressed ? PBS_PRESSED
                          : focused ? PBS_DEFAULTED
                                    : PBS_NORMAL;
        if (IsThemeBackgroundPartiallyTransparent(theme, BP_PUSHBUTTON, state) != FALSE)
            DrawThemeParentBackground(m_handle, context, &box);
        DrawThemeBackground(theme, context, BP_PUSHBUTTON, state, &box, nullptr);
        CloseThemeData(theme);
    } else {
        FillRect(context, &box, GetSysColorBrush(COLOR_BTNFACE));
        if (focused) {
            // The black frame of the button that has the keyboard.
            FrameRect(context, &box, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
            InflateRect(&box, -1, -1);
        }
        RECT face = box;
        DrawFrameControl(context, &face, DFC_BUTTON,
                         DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED | DFCS_FLAT : 0));
    }

    const int length = GetWindowTextLengthW(m_handle);
    std::wstring caption(static_cast<std::size_t>(length) + 1, L'\0');
    GetWindowTextW(m_handle, caption.data(), length + 1);
    caption.resize(static_cast<std::size_t>(length));

    const auto font = reinterpret_cast<HFONT>(SendMessageW(m_handle, WM_GETFONT, 0, 0));
    const HGDIOBJ previousFont = SelectObject(context, font);
    RECT measured{0, 0, 0, 0};
    DrawTextW(context, caption.c_str(), length, &measured, DT_SINGLELINE | DT_CALCRECT);
    const int gap = m_glyph ? scaled(4) : 0;
    const int glyphWidth = m_glyph ? glyphSize() : 0;
    const int contentWidth = glyphWidth + gap + (measured.right - measured.left);
    const int shift = pressed ? 1 : 0;
    int left = (item.rcItem.left + item.rcItem.right - contentWidth) / 2 + shift;
    const int middle = (item.rcItem.top + item.rcItem.bottom) / 2 + shift;
    if (m_glyph) {
        DrawIconEx(context, left, middle - glyphSize() / 2, disabled ? m_greyedGlyph.get() : m_glyph.get(),
                   glyphSize(), glyphSize(), 0, nullptr, DI_NORMAL);
        left += glyphWidth + gap;
    }
    RECT text{left, item.rcItem.top + shift, left + (measured.right - measured.left) + 1,
              item.rcItem.bottom + shift};
    SetBkMode(context, TRANSPARENT);
    SetTextColor(context, disabled ? GetSysColor(COLOR_GRAYTEXT) : m_textColour);
    // Mnemonics stay underlined, as in the classic look.
    DrawTextW(context, caption.c_str(), length, &text, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
    SelectObject(context, previousFont);

    if (focused && (item.itemState & ODS_NOFOCUSRECT) == 0) {
        RECT focus = item.rcItem;
        InflateRect(&focus, -scaled(4), -scaled(4));
        DrawFocusRect(context, &focus);
    }
}

bool drawKindButton(LPARAM drawItem)
{
    const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(drawItem);
    if (item == nullptr || item->CtlType != ODT_BUTTON)
        return false;
    const auto* button = static_cast<const KindButton*>(GetPropW(item->hwndItem, lookProperty));
    if (button == nullptr)
        return false;
    button->draw(*item);
    return true;
}

} // namespace pasavel::win32
