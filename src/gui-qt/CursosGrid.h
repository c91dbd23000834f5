#pragma once

#include <QTableView>

#include <functional>

namespace pasavel {

class Cursos;
class CursosModel;
class CursosDelegate;

// The grid of the level and course dialog, bound to the courses of the
// dialog's logic: one row per record of CURSOST, the key and the studies
// shown, the level and the course number typed. The cursor never stands in
// the two key columns; Enter (and Tab) go on to the next column, from the
// course number to the next row's level. The grid tells the logic when the
// current record or column changes and when the focus enters or leaves it.
class CursosGrid : public QTableView {
    Q_OBJECT
  public:
    enum Column { clave, estud, nivel, curso };

    // A call into the logic: runs the action unless the dialog has already
    // failed, and returns whether it completed.
    using Guard = std::function<bool(const std::function<void()>&)>;

    CursosGrid(Cursos& logic, Guard guard, QWidget* parent = nullptr);
    ~CursosGrid() override;

    // The logic has opened CURSOST: its rows are shown, and from now on the
    // focus entering and leaving the grid reaches the logic (at once, when
    // the grid holds the focus already).
    void start();
    // The logic re-read or closed CURSOST: every row is read anew.
    void reload();
    // The logic changed values, the current record or its editing state.
    // An open editor is put back to the record's value.
    void showLogicState();
    // Hands the text of an open editor to the logic, as a dataset takes its
    // grid's pending text before it moves or posts.
    void commitEditor();

  signals:
    // The logic's state changed through the grid: what the window shows
    // around it may have to follow.
    void logicChanged();

  protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

  private slots:
    void onFocusChanged(QWidget* previous, QWidget* now);

  private:
    void setUpLook();
    void setUpHeaders();
    void sizeColumns();
    int currentColumn() const;
    void moveToCell(int row, int column);
    void focusMoved(bool inside);

    Cursos& m_logic;
    Guard m_guard;
    CursosModel* m_model;
    CursosDelegate* m_delegate;
    bool m_started = false;
    bool m_hasFocus = false;
    // Set while the grid moves to follow the logic, which must not be told.
    bool m_following = false;
};

} // namespace pasavel
