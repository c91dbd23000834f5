#include "gui-win32/CursosGrid.h"

#include "dialogs/Cursos.h"

#include <commctrl.h>

#include <algorithm>
#include <array>

namespace pasavel::win32 {

namespace {

struct ColumnLook {
    const wchar_t* title;
    int characters; // the width the column shows, in characters
};

constexpr std::array<ColumnLook, 4> columnLooks = {{
    {L"CÓD.RAÍCES", 10},
    {L"ESTUDIOS", 40},
    {L"NIVEL", 5},
    {L"CURSO", 3},
}};

constexpr COLORREF gridBackground = RGB(0xF0, 0xFB, 0xFF);
constexpr COLORREF titleBackground = RGB(0xFE, 0xE4, 0xA9);
constexpr COLORREF alternateRow = RGB(0xCF, 0xD9, 0xFE);
constexpr COLORREF titleLine = RGB(0xB4, 0xA0, 0x7A);
constexpr COLORREF cellLine = RGB(0xC0, 0xC0, 0xC0);

// What the store keeps of a level and of a course number.
std::size_t fieldWidth(const Cursos& logic, int column)
{
    return column == CursosGrid::nivel ? logic.nivelWidth() : logic.cursoWidth();
}

void fillBox(HDC context, const RECT& box, COLORREF colour)
{
    SetBkColor(context, colour);
    ExtTextOutW(context, 0, 0, ETO_OPAQUE, &box, nullptr, 0, nullptr);
}

void line(HDC context, int fromX, int fromY, int toX, int toY, COLORREF colour)
{
    HPEN pen = CreatePen(PS_SOLID, 1, colour);
    const HGDIOBJ previous = SelectObject(context, pen);
    MoveToEx(context, fromX, fromY, nullptr);
    LineTo(context, toX, toY);
    SelectObject(context, previous);
    DeleteObject(pen);
}

} // namespace

CursosGrid::CursosGrid(Cursos& logic, Guard guard, std::function<void()> logicChanged, HWND parent,
                       const RECT& bounds)
    : m_logic(logic), m_guard(std::move(guard)), m_logicChanged(std::move(logicChanged)),
      m_font(makeFont(windowFont())), m_boldFont(makeFont({.bold = true}))
{
    createWindow(L"PasavelCursosGrid", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_CLIPCHILDREN,
                 WS_EX_CLIENTEDGE, bounds, parent);
    if (handle() == nullptr)
        return;
    SetWindowTextW(handle(), L"CursosTDBGrid");
    m_editor = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_AUTOHSCROLL, 0, 0, 10, 10, handle(), nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    setControlFont(m_editor, m_font.get());
    SetWindowSubclass(m_editor, &CursosGrid::editorProcedure, 1, reinterpret_cast<DWORD_PTR>(this));
    measure();
    updateScrollBar();
}

CursosGrid::~CursosGrid()
{
    if (m_editor != nullptr)
        RemoveWindowSubclass(m_editor, &CursosGrid::editorProcedure, 1);
}

std::size_t CursosGrid::rowCount() const
{
    return m_started ? m_logic.rowCount() : 0;
}

std::size_t CursosGrid::currentRow() const
{
    return rowCount() > 0 ? m_logic.currentRow() : 0;
}

void CursosGrid::measure()
{
    HDC context = GetDC(handle());
    HGDIOBJ previous = SelectObject(context, m_font.get());
    TEXTMETRICW metrics{};
    GetTextMetricsW(context, &metrics);
    SIZE digit{};
    GetTextExtentPoint32W(context, L"0", 1, &digit);
    SelectObject(context, m_boldFont.get());
    TEXTMETRICW boldMetrics{};
    GetTextMetricsW(context, &boldMetrics);
    std::array<int, 4> titleWidths{};
    for (std::size_t column = 0; column < columnLooks.size(); ++column) {
        SIZE title{};
        GetTextExtentPoint32W(context, columnLooks[column].title, lstrlenW(columnLooks[column].title),
                              &title);
        titleWidths[column] = title.cx;
    }
    SelectObject(context, previous);
    ReleaseDC(handle(), context);

    m_rowHeight = metrics.tmHeight + scaled(4);
    // Room for titles of two lines.
    m_titleHeight = 2 * boldMetrics.tmHeight + scaled(6);
    m_indicatorWidth = scaled(14);
    for (std::size_t column = 0; column < columnLooks.size(); ++column)
        m_columnWidths[column] =
            std::max(static_cast<int>(columnLooks[column].characters * digit.cx) + scaled(8),
                     titleWidths[column] + scaled(10));
    // The studies take what the other columns leave, so that nothing scrolls
    // sideways and the key and the studies always stay in view.
    RECT client{};
    GetClientRect(handle(), &client);
    const int scrollBar =
        (GetWindowLongW(handle(), GWL_STYLE) & WS_VSCROLL) != 0 ? 0 : GetSystemMetrics(SM_CXVSCROLL);
    const int others =
        m_indicatorWidth + m_columnWidths[clave] + m_columnWidths[nivel] + m_columnWidths[curso];
    m_columnWidths[estud] = std::max(scaled(40), static_cast<int>(client.right) - scrollBar - others);
}

int CursosGrid::visibleRows() const
{
    RECT client{};
    GetClientRect(handle(), &client);
    return std::max(1, (static_cast<int>(client.bottom) - m_titleHeight) / m_rowHeight);
}

int CursosGrid::columnLeft(int column) const
{
    int left = m_indicatorWidth;
    for (int index = 0; index < column; ++index)
        left += m_columnWidths[index];
    return left;
}

int CursosGrid::columnWidth(int column) const
{
    return m_columnWidths[column];
}

RECT CursosGrid::cellBox(std::size_t row, int column) const
{
    const int top = m_titleHeight + (static_cast<int>(row) - m_topRow) * m_rowHeight;
    const int left = columnLeft(column);
    return {left, top, left + columnWidth(column), top + m_rowHeight};
}

void CursosGrid::updateScrollBar()
{
    SCROLLINFO scroll{};
    scroll.cbSize = sizeof scroll;
    scroll.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    scroll.nMin = 0;
    scroll.nMax = std::max(0, static_cast<int>(rowCount()) - 1);
    scroll.nPage = static_cast<UINT>(visibleRows());
    scroll.nPos = m_topRow;
    SetScrollInfo(handle(), SB_VERT, &scroll, TRUE);
}

void CursosGrid::scrollTo(int topRow)
{
    const int lastTop = std::max(0, static_cast<int>(rowCount()) - visibleRows());
    topRow = std::clamp(topRow, 0, lastTop);
    if (topRow == m_topRow)
        return;
    // An open editor goes with its cell, or stays out of sight.
    commitEditor();
    m_topRow = topRow;
    updateScrollBar();
    InvalidateRect(handle(), nullptr, FALSE);
}

void CursosGrid::ensureVisible(std::size_t row)
{
    const int wanted = static_cast<int>(row);
    if (wanted < m_topRow)
        scrollTo(wanted);
    else if (wanted >= m_topRow + visibleRows())
        scrollTo(wanted - visibleRows() + 1);
}

void CursosGrid::start()
{
    m_started = true;
    m_topRow = 0;
    updateScrollBar();
    InvalidateRect(handle(), nullptr, FALSE);
    if (ownsWindow(GetFocus()))
        focusArrived();
}

void CursosGrid::stop()
{
    closeEditor(false);
    m_started = false;
    m_hasFocus = false;
    m_topRow = 0;
    updateScrollBar();
    InvalidateRect(handle(), nullptr, FALSE);
}

void CursosGrid::showLogicState()
{
    if (rowCount() > 0)
        ensureVisible(currentRow());
    updateScrollBar();
    InvalidateRect(handle(), nullptr, FALSE);
}

void CursosGrid::changed()
{
    InvalidateRect(handle(), nullptr, FALSE);
    if (m_logicChanged)
        m_logicChanged();
}

void CursosGrid::paintTitles(HDC context, const RECT& client)
{
    const RECT titles{0, 0, client.right, m_titleHeight};
    fillBox(context, titles, titleBackground);
    SelectObject(context, m_boldFont.get());
    SetBkMode(context, TRANSPARENT);
    SetTextColor(context, colours::black);
    for (int column = clave; column <= curso; ++column) {
        const int left = columnLeft(column);
        RECT box{left + scaled(2), 0, left + columnWidth(column) - scaled(2), m_titleHeight};
        const wchar_t* title = columnLooks[static_cast<std::size_t>(column)].title;
        // Centred on its two lines.
        RECT needed = box;
        DrawTextW(context, title, -1, &needed, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX | DT_CALCRECT);
        const int offset = std::max(0, (m_titleHeight - static_cast<int>(needed.bottom - needed.top)) / 2);
        box.top += offset;
        DrawTextW(context, title, -1, &box, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
        line(context, left + columnWidth(column) - 1, 0, left + columnWidth(column) - 1, m_titleHeight,
             titleLine);
    }
    line(context, m_indicatorWidth - 1, 0, m_indicatorWidth - 1, m_titleHeight, titleLine);
    line(context, 0, m_titleHeight - 1, client.right, m_titleHeight - 1, titleLine);
}

void CursosGrid::paintRow(HDC context, std::size_t row, int top, const RECT& client)
{
    const Cursos::Course course = m_logic.course(row);
    const COLORREF background = row % 2 == 0 ? gridBackground : alternateRow;
    const RECT whole{0, top, client.right, top + m_rowHeight};
    fillBox(context, whole, background);
    // Left of the row, the record marks: the current record, and the current
    // record while it is being edited.
    const RECT indicator{0, top, m_indicatorWidth, top + m_rowHeight};
    fillBox(context, indicator, titleBackground);
    const bool current = row == currentRow();
    if (current) {
        const int middle = top + m_rowHeight / 2;
        if (m_logic.isEditing()) {
            SelectObject(context, m_boldFont.get());
            SetTextColor(context, colours::black);
            SetBkMode(context, TRANSPARENT);
            RECT mark = indicator;
            DrawTextW(context, L"I", 1, &mark, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        } else {
            const int size = scaled(4);
            const POINT arrow[3] = {{m_indicatorWidth / 2 - size / 2, middle - size},
                                    {m_indicatorWidth / 2 + size / 2 + 1, middle},
                                    {m_indicatorWidth / 2 - size / 2, middle + size}};
            HBRUSH brush = CreateSolidBrush(colours::black);
            const HGDIOBJ previousBrush = SelectObject(context, brush);
            const HGDIOBJ previousPen = SelectObject(context, GetStockObject(BLACK_PEN));
            Polygon(context, arrow, 3);
            SelectObject(context, previousPen);
            SelectObject(context, previousBrush);
            DeleteObject(brush);
        }
    }
    const std::array<const std::u16string*, 4> values = {&course.clave, &course.estud, &course.nivel,
                                                         &course.curso};
    SelectObject(context, m_font.get());
    SetBkMode(context, TRANSPARENT);
    const bool focused = m_hasFocus || ownsWindow(GetFocus());
    for (int column = clave; column <= curso; ++column) {
        const RECT cell = cellBox(row, column);
        const bool isCurrentCell = current && column == m_column;
        if (isCurrentCell) {
            const RECT inner{cell.left, cell.top, cell.right - 1, cell.bottom - 1};
            fillBox(context, inner, focused ? GetSysColor(COLOR_HIGHLIGHT) : GetSysColor(COLOR_BTNFACE));
        }
        SetTextColor(context, isCurrentCell && focused ? GetSysColor(COLOR_HIGHLIGHTTEXT) : colours::black);
        RECT text{cell.left + scaled(2), cell.top, cell.right - scaled(2), cell.bottom};
        const std::wstring value = toWide(*values[static_cast<std::size_t>(column)]);
        DrawTextW(context, value.c_str(), static_cast<int>(value.size()), &text,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
        line(context, cell.right - 1, cell.top, cell.right - 1, cell.bottom, cellLine);
    }
    line(context, m_indicatorWidth - 1, top, m_indicatorWidth - 1, top + m_rowHeight, titleLine);
    line(context, 0, top + m_rowHeight - 1, client.right, top + m_rowHeight - 1, cellLine);
}

void CursosGrid::paint(HDC context)
{
    RECT client{};
    GetClientRect(handle(), &client);
    fillBox(context, client, gridBackground);
    paintTitles(context, client);
    const std::size_t rows = rowCount();
    if (rows == 0)
        return;
    const int last = std::min(static_cast<int>(rows), m_topRow + visibleRows() + 1);
    // A failing read closes the dialog through the guard; nothing more is
    // painted then.
    m_guard([&] {
        for (int row = m_topRow; row < last; ++row)
            paintRow(context, static_cast<std::size_t>(row), m_titleHeight + (row - m_topRow) * m_rowHeight,
                     client);
    });
}

void CursosGrid::moveToCell(std::size_t row, int column)
{
    const std::size_t rows = rowCount();
    if (rows == 0)
        return;
    row = std::min(row, rows - 1);
    column = std::clamp(column, static_cast<int>(nivel), static_cast<int>(curso));
    commitEditor();
    const int previousColumn = m_column;
    m_guard([&] {
        if (m_logic.currentRow() != row)
            m_logic.moveTo(row);
        if (previousColumn != column)
            m_logic.CursosTDBGridColEnter();
    });
    m_column = column;
    if (rowCount() > 0)
        ensureVisible(currentRow());
    changed();
}

void CursosGrid::moveNext()
{
    const std::size_t row = currentRow();
    if (m_column < curso)
        moveToCell(row, curso);
    else if (row + 1 < rowCount())
        moveToCell(row + 1, nivel);
}

void CursosGrid::movePrevious()
{
    const std::size_t row = currentRow();
    if (m_column > nivel)
        moveToCell(row, nivel);
    else if (row > 0)
        moveToCell(row - 1, curso);
}

bool CursosGrid::handleKey(WPARAM key)
{
    const std::size_t rows = rowCount();
    if (rows == 0)
        return false;
    const bool control = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
    const bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    const std::size_t row = currentRow();
    const auto page = static_cast<std::size_t>(visibleRows());
    switch (key) {
    case VK_UP:
        if (row > 0)
            moveToCell(row - 1, m_column);
        return true;
    case VK_DOWN:
        moveToCell(row + 1, m_column);
        return true;
    case VK_PRIOR:
        moveToCell(row > page ? row - page : 0, m_column);
        return true;
    case VK_NEXT:
        moveToCell(row + page, m_column);
        return true;
    case VK_HOME:
        moveToCell(control ? 0 : row, control ? m_column : static_cast<int>(nivel));
        return true;
    case VK_END:
        moveToCell(control ? rows - 1 : row, control ? m_column : static_cast<int>(curso));
        return true;
    case VK_LEFT:
        moveToCell(row, nivel);
        return true;
    case VK_RIGHT:
        moveToCell(row, curso);
        return true;
    case VK_TAB:
        if (shift)
            movePrevious();
        else
            moveNext();
        return true;
    case VK_RETURN:
        moveNext();
        return true;
    case VK_F2:
        openEditor(std::nullopt);
        return true;
    case VK_ESCAPE:
        // Escape drops the changes of the current record, as the navigator's
        // cancel does.
        m_guard([&] { m_logic.cancel(); });
        changed();
        return true;
    default:
        return false;
    }
}

void CursosGrid::openEditor(std::optional<wchar_t> typed)
{
    if (rowCount() == 0 || m_editor == nullptr)
        return;
    const std::size_t row = currentRow();
    ensureVisible(row);
    std::wstring value;
    if (typed) {
        // What is typed replaces the value, as in a dataset's grid.
        value.assign(1, *typed);
    } else if (!m_guard([&] {
                   const Cursos::Course course = m_logic.course(row);
                   value = toWide(m_column == nivel ? course.nivel : course.curso);
               })) {
        return;
    }
    m_editorRow = row;
    m_editorColumn = m_column;
    const RECT cell = cellBox(row, m_column);
    SendMessageW(m_editor, EM_SETLIMITTEXT, static_cast<WPARAM>(fieldWidth(m_logic, m_column)), 0);
    SetWindowTextW(m_editor, value.c_str());
    SetWindowPos(m_editor, HWND_TOP, cell.left + 1, cell.top + 1, cell.right - cell.left - 2,
                 cell.bottom - cell.top - 2, SWP_SHOWWINDOW);
    const int length = static_cast<int>(value.size());
    if (typed)
        SendMessageW(m_editor, EM_SETSEL, static_cast<WPARAM>(length), length);
    else
        SendMessageW(m_editor, EM_SETSEL, 0, -1);
    m_editorOpen = true;
    SetFocus(m_editor);
}

void CursosGrid::closeEditor(bool keep, bool refocus)
{
    if (!m_editorOpen)
        return;
    m_editorOpen = false;
    const int length = GetWindowTextLengthW(m_editor);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    GetWindowTextW(m_editor, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(length));
    if (refocus && GetFocus() == m_editor)
        SetFocus(handle());
    ShowWindow(m_editor, SW_HIDE);
    if (!keep)
        return;
    const std::size_t row = m_editorRow;
    const int column = m_editorColumn;
    m_guard([&] {
        if (m_logic.currentRow() != row)
            m_logic.moveTo(row);
        if (column == nivel)
            m_logic.setNivel(fromWide(text));
        else
            m_logic.setCurso(fromWide(text));
    });
    changed();
}

void CursosGrid::commitEditor()
{
    closeEditor(true);
}

bool CursosGrid::ownsWindow(HWND window) const
{
    return window != nullptr && (window == handle() || window == m_editor);
}

void CursosGrid::focusArrived()
{
    if (!m_started || m_hasFocus)
        return;
    m_hasFocus = true;
    m_guard([&] { m_logic.CursosTDBGridEnter(); });
    changed();
}

void CursosGrid::focusLeaving(HWND next)
{
    if (ownsWindow(next))
        return;
    // A window that opens above the dialog, or a click in another window,
    // is no move of the focus between the dialog's controls.
    const HWND dialog = GetAncestor(handle(), GA_ROOT);
    if (next == nullptr || next == dialog || GetAncestor(next, GA_ROOT) != dialog) {
        InvalidateRect(handle(), nullptr, FALSE);
        return;
    }
    if (!m_started || !m_hasFocus)
        return;
    m_hasFocus = false;
    m_guard([&] { m_logic.CursosTDBGridExit(); });
    changed();
}

LRESULT CALLBACK CursosGrid::editorProcedure(HWND editor, UINT message, WPARAM wParam, LPARAM lParam,
                                             UINT_PTR subclass, DWORD_PTR data)
{
    static_cast<void>(subclass);
    auto* grid = reinterpret_cast<CursosGrid*>(data);
    if (grid == nullptr || grid->m_editor != editor)
        return DefSubclassProc(editor, message, wParam, lParam);
    return grid->editorMessage(message, wParam, lParam);
}

LRESULT CursosGrid::editorMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_GETDLGCODE:
        return DLGC_WANTALLKEYS | DefSubclassProc(m_editor, message, wParam, lParam);
    case WM_KEYDOWN:
        switch (wParam) {
        case VK_RETURN:
        case VK_TAB:
            commitEditor();
            // Enter in the last cell commits and stays there.
            handleKey(wParam);
            return 0;
        case VK_UP:
        case VK_DOWN:
        case VK_PRIOR:
        case VK_NEXT:
            commitEditor();
            handleKey(wParam);
            return 0;
        case VK_ESCAPE:
            // The cell goes back to the record's value.
            closeEditor(false);
            InvalidateRect(handle(), nullptr, FALSE);
            return 0;
        default:
            break;
        }
        break;
    case WM_CHAR:
        // Enter, Tab and Escape were handled as keys: no beep for them.
        if (wParam == L'\r' || wParam == L'\t' || wParam == 0x1B)
            return 0;
        break;
    case WM_SETFOCUS:
        focusArrived();
        break;
    case WM_KILLFOCUS: {
        const auto next = reinterpret_cast<HWND>(wParam);
        // Focus that goes to another control of the dialog takes the typed
        // text along; focus that goes to another window leaves the editor
        // open for the user's return.
        const HWND dialog = GetAncestor(handle(), GA_ROOT);
        if (next != handle() && next != nullptr && next != dialog && m_editorOpen &&
            GetAncestor(next, GA_ROOT) == dialog)
            closeEditor(true, false);
        focusLeaving(next);
        break;
    }
    default:
        break;
    }
    return DefSubclassProc(m_editor, message, wParam, lParam);
}

LRESULT CursosGrid::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
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
    case WM_SIZE:
        measure();
        updateScrollBar();
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTALLKEYS | DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_WANTTAB;
    case WM_KEYDOWN:
        if (handleKey(wParam))
            return 0;
        break;
    case WM_CHAR:
        if (wParam >= 0x20 && wParam != 0x7F && (m_column == nivel || m_column == curso) && rowCount() > 0) {
            openEditor(static_cast<wchar_t>(wParam));
            return 0;
        }
        return 0;
    case WM_SETFOCUS:
        focusArrived();
        InvalidateRect(handle(), nullptr, FALSE);
        return 0;
    case WM_KILLFOCUS:
        focusLeaving(reinterpret_cast<HWND>(wParam));
        InvalidateRect(handle(), nullptr, FALSE);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        SetFocus(handle());
        const int x = static_cast<short>(LOWORD(lParam));
        const int y = static_cast<short>(HIWORD(lParam));
        if (y < m_titleHeight || rowCount() == 0)
            return 0;
        const int row = m_topRow + (y - m_titleHeight) / m_rowHeight;
        if (row >= static_cast<int>(rowCount()))
            return 0;
        // A click on a key or on the studies picks the row only.
        int column = m_column;
        if (x >= columnLeft(nivel) && x < columnLeft(curso))
            column = nivel;
        else if (x >= columnLeft(curso))
            column = curso;
        moveToCell(static_cast<std::size_t>(row), column);
        if (message == WM_LBUTTONDBLCLK && x >= columnLeft(nivel))
            openEditor(std::nullopt);
        return 0;
    }
    case WM_MOUSEWHEEL: {
        const int notches = GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA;
        scrollTo(m_topRow - 3 * notches);
        return 0;
    }
    case WM_VSCROLL: {
        SCROLLINFO scroll{};
        scroll.cbSize = sizeof scroll;
        scroll.fMask = SIF_ALL;
        GetScrollInfo(handle(), SB_VERT, &scroll);
        int top = m_topRow;
        switch (LOWORD(wParam)) {
        case SB_LINEUP:
            --top;
            break;
        case SB_LINEDOWN:
            ++top;
            break;
        case SB_PAGEUP:
            top -= visibleRows();
            break;
        case SB_PAGEDOWN:
            top += visibleRows();
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
            top = scroll.nTrackPos;
            break;
        case SB_TOP:
            top = 0;
            break;
        case SB_BOTTOM:
            top = static_cast<int>(rowCount());
            break;
        default:
            break;
        }
        scrollTo(top);
        return 0;
    }
    default:
        break;
    }
    return defaultHandling(message, wParam, lParam);
}

} // namespace pasavel::win32
