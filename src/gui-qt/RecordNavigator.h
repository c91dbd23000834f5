#pragma once

#include <QWidget>

#include <array>
#include <cstddef>

class QToolButton;

namespace pasavel {

// The row of buttons that walks a table shown in a grid and edits its
// current record. It only reports which button was pressed; the window asks
// the table's owner to act and then tells the navigator where the table
// stands. Its buttons never take the keyboard, so pressing one does not take
// the focus from the grid.
class RecordNavigator : public QWidget {
    Q_OBJECT
  public:
    enum class Button { first, backTen, prior, next, forwardTen, last, edit, post, cancel, refresh };
    static constexpr std::size_t buttonCount = 10;

    explicit RecordNavigator(QWidget* parent = nullptr);

    QToolButton* button(Button which) const { return m_buttons[static_cast<std::size_t>(which)]; }

    // Enables what makes sense where the table stands: no way back from the
    // first record nor on from the last, edit only while browsing, post and
    // cancel only while editing, nothing while the table is closed.
    void showPosition(bool open, std::size_t recordCount, std::size_t current, bool editing);

  signals:
    void pressed(pasavel::RecordNavigator::Button which);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    std::array<QToolButton*, buttonCount> m_buttons{};
};

} // namespace pasavel
