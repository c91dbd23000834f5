#include "gui-qt/GradientPanel.h"

#include <QLinearGradient>
#include <QPainter>

namespace pasavel {

GradientPanel::GradientPanel(const QColor& start, const QColor& middle, const QColor& end, QWidget* parent)
    : QWidget(parent), m_start(start), m_middle(middle), m_end(end)
{
}

void GradientPanel::paintEvent(QPaintEvent*)
{
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0.0, m_start);
    gradient.setColorAt(0.5, m_middle);
    gradient.setColorAt(1.0, m_end);
    QPainter painter(this);
    painter.fillRect(rect(), gradient);
}

} // namespace pasavel
