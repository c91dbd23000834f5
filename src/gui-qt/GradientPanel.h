#pragma once

#include <QColor>
#include <QWidget>

namespace pasavel {

// A flat panel painted with a vertical three-colour gradient: the start
// colour at the top, the middle colour half-way down, the end colour at the
// bottom. The main window and the dialogs lay their controls on such panels.
class GradientPanel : public QWidget {
    Q_OBJECT
  public:
    GradientPanel(const QColor& start, const QColor& middle, const QColor& end, QWidget* parent = nullptr);

    QColor startColor() const { return m_start; }
    QColor middleColor() const { return m_middle; }
    QColor endColor() const { return m_end; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QColor m_start;
    QColor m_middle;
    QColor m_end;
};

} // namespace pasavel
