#pragma once

#include "gui-win32/NativeWindow.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace pasavel {

class Cursos;

namespace win32 {

// The grid of the level and course dialog, bound to the courses of the
// dialog's logic: one row per record of CURSOST, the key and the studies
// shown, the level and the course number typed. The cursor never stands in
// the two key columns; Enter (and Tab) go on to the next column, from the
// course number to the next row's level. Typing in a cell replaces its
// value, F2 or a double click edits it as it is. The grid tells the logic
// when the current record or column changes and when the focus enters or
// leaves it.
class CursosGrid : public NativeWindow {
  public:
    enum Column { clave, estud, nivel, curso };

    // A call into the logic: runs the action unless the dialog has already
    // failed, and returns whether it completed.
    using Guard = std::function<bool(const std::function<void()>&)>;

    CursosGrid(Cursos& logic, Guard guard, std::function<void()> logicChanged, HWND parent,
               const RECT& bounds);
    ~CursosGrid() override;

    // The logic has opened CURSOST: its rows are shown, and from now on the
    // focus entering and leaving the grid reaches the logic (at once, when
    // the grid holds the focus already).
    void start();
    // The logic has closed CURSOST: nothing more is shown or edited.
    void stop();
    // The logic changed values, the current record or its editing state.
    void showLogicState();
    // Hands the text of an open editor to the logic, as a dataset takes its
    // grid's pending text before it moves or posts.
    void commitEditor();

    int currentColumn() const { return m_column; }

  protected:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    static LRESULT CALLBACK editorProcedure(HWND editor, UINT message, WPARAM wParam, LPARAM lParam,
                                            UINT_PTR subclass, DWORD_PTR data);
    LRESULT editorMessage(UINT message, WPARAM wParam, LPARAM lParam);

    std::size_t rowCount() const;
    std::size_t currentRow() const;
    int visibleRows() const;
    int columnLeft(int column) const;
    int columnWidth(int column) const;
    RECT cellBox(std::size_t row, int column) const;
    void measure();
    void updateScrollBar();
    void scrollTo(int topRow);
    void ensureVisible(std::size_t row);
    void paint(HDC context);
    void paintTitles(HDC context, const RECT& client);
    void paintRow(HDC context, std::size_t row, int top, const RECT& client);

    void moveToCell(std::size_t row, int column);
    void moveNext();
    void movePrevious();
    bool handleKey(WPARAM key);
    void openEditor(std::optional<wchar_t> typed);
    void closeEditor(bool keep, bool refocus = true);
    void focusArrived();
    void focusLeaving(HWND next);
    bool ownsWindow(HWND window) const;
    void changed();

    Cursos& m_logic;
    Guard m_guard;
    std::function<void()> m_logicChanged;
    Font m_font;
    Font m_boldFont;
    HWND m_editor = nullptr;
    bool m_editorOpen = false;
    std::size_t m_editorRow = 0;
    int m_editorColumn = nivel;
    int m_column = nivel;
    int m_topRow = 0;
    int m_rowHeight = 17;
    int m_titleHeight = 30;
    int m_indicatorWidth = 14;
    int m_columnWidths[4] = {70, 240, 45, 45};
    bool m_started = false;
    bool m_hasFocus = false;
};

} // namespace win32
} // namespace pasavel
