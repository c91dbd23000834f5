#pragma once

// Works the program's windows as a person would: clicks where the pointer
// would go, keys to whatever holds the keyboard.
#include "gui-qt/CursosGrid.h"

#include <QApplication>
#include <QListWidget>
#include <QPointer>
#include <QTimer>
#include <QtTest>

#include <deque>
#include <functional>

namespace pasavel::test {

// Keys as the keyboard sends them: into the window, to its focus widget.
inline void typeInto(QWidget* window, const QString& text)
{
    for (const QChar character : text)
        QTest::keyClick(window->windowHandle(), character.toLatin1());
}

inline void pressKey(QWidget* window, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(window->windowHandle(), key, modifiers);
}

inline void clickCell(CursosGrid* grid, int row, int column, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    const QRect cell = grid->visualRect(grid->model()->index(row, column));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, modifiers, cell.center());
}

// Types a level and a course number into a row of the grid, each ended with
// Enter, as someone filling the grid does.
inline void typeCoding(QWidget* window, CursosGrid* grid, int row, const QString& nivel, const QString& curso)
{
    clickCell(grid, row, CursosGrid::nivel);
    typeInto(window, nivel);
    pressKey(window, Qt::Key_Return);
    typeInto(window, curso);
    pressKey(window, Qt::Key_Return);
}

inline void clickEntry(QListWidget* list, int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                      list->visualItemRect(list->item(row)).center());
}

// Works each modal window that comes up, in order. A step returns false
// while its window is not ready for it yet, and is tried again.
class ModalSteps : public QObject {
  public:
    using Step = std::function<bool(QWidget* modal)>;

    explicit ModalSteps(std::deque<Step> steps) : m_steps(std::move(steps))
    {
        connect(&m_timer, &QTimer::timeout, this, &ModalSteps::poll);
        m_timer.start(10);
    }

    bool finished() const { return m_steps.empty(); }

  private:
    void poll()
    {
        if (m_steps.empty())
            return;
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal == m_handled || !modal->isVisible())
            return;
        // The offscreen platform activates no window by itself.
        QApplication::setActiveWindow(modal);
        const Step step = m_steps.front();
        if (!step(modal))
            return;
        m_steps.pop_front();
        m_handled = modal;
    }

    QTimer m_timer;
    std::deque<Step> m_steps;
    QPointer<QWidget> m_handled;
};

} // namespace pasavel::test
