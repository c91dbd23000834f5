#include "gui-qt/RecordNavigator.h"

#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

#include <cmath>

namespace pasavel {

namespace {

struct ButtonLook {
    const char* name;
    const char* hint;
};

constexpr std::array<ButtonLook, RecordNavigator::buttonCount> looks = {{
    {"First", "Move to first record"},
    {"BackTen", "Move backward 10 records"},
    {"Prior", "Move to prior record"},
    {"Next", "Move to next record"},
    {"ForwardTen", "Move forward 10 records"},
    {"Last", "Move to last record"},
    {"Edit", "Edit current record"},
    {"Post", "Post changes of current record"},
    {"Cancel", "Cancel changes made to current record"},
    {"Refresh", "Refresh the contents of the dataset"},
}};

constexpr int glyphSize = 16;

// A triangle pointing left or right, its flat side at x.
QPolygonF arrowHead(qreal x, bool pointsRight)
{
    const qreal tip = pointsRight ? x + 5 : x - 5;
    return QPolygonF({QPointF(x, 3.5), QPointF(tip, 8), QPointF(x, 12.5)});
}

void drawGlyph(QPainter& painter, RecordNavigator::Button which)
{
    using Button = RecordNavigator::Button;
    painter.setBrush(Qt::black);
    painter.setPen(Qt::NoPen);
    switch (which) {
    case Button::first:
        painter.drawRect(QRectF(4, 3.5, 2, 9));
        painter.drawPolygon(arrowHead(12, false));
        break;
    case Button::backTen:
        painter.drawPolygon(arrowHead(8.5, false));
        painter.drawPolygon(arrowHead(13.5, false));
        break;
    case Button::prior:
        painter.drawPolygon(arrowHead(10.5, false));
        break;
    case Button::next:
        painter.drawPolygon(arrowHead(5.5, true));
        break;
    case Button::forwardTen:
        painter.drawPolygon(arrowHead(2.5, true));
        painter.drawPolygon(arrowHead(7.5, true));
        break;
    case Button::last:
        painter.drawPolygon(arrowHead(4, true));
        painter.drawRect(QRectF(10, 3.5, 2, 9));
        break;
    case Button::edit:
        painter.drawPolygon(QPolygonF({QPointF(3, 11), QPointF(8, 5), QPointF(13, 11)}));
        break;
    case Button::post:
        painter.setPen(QPen(Qt::black, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawPolyline(QPolygonF({QPointF(3, 8.5), QPointF(6.5, 12), QPointF(13, 4)}));
        break;
    case Button::cancel:
        painter.setPen(QPen(Qt::black, 2.2, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(4, 4), QPointF(12, 12));
        painter.drawLine(QPointF(12, 4), QPointF(4, 12));
        break;
    case Button::refresh: {
        painter.setPen(QPen(Qt::black, 1.8, Qt::SolidLine, Qt::FlatCap));
        painter.setBrush(Qt::NoBrush);
        painter.drawArc(QRectF(3, 3, 10, 10), 90 * 16, 270 * 16);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        painter.drawPolygon(QPolygonF({QPointF(7, 0.5), QPointF(11, 3), QPointF(7, 5.5)}));
        break;
    }
    }
}

QIcon glyph(RecordNavigator::Button which)
{
    QPixmap pixmap(glyphSize, glyphSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    drawGlyph(painter, which);
    return QIcon(pixmap);
}

} // namespace

RecordNavigator::RecordNavigator(QWidget* parent) : QWidget(parent)
{
    for (std::size_t index = 0; index < buttonCount; ++index) {
        const auto which = static_cast<Button>(index);
        auto* button = new QToolButton(this);
        button->setObjectName(QLatin1String(looks[index].name));
        button->setToolTip(QLatin1String(looks[index].hint));
        button->setIcon(glyph(which));
        button->setFocusPolicy(Qt::NoFocus);
        connect(button, &QToolButton::clicked, this, [this, which] { emit pressed(which); });
        m_buttons[index] = button;
    }
}

void RecordNavigator::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The buttons share the width evenly; the odd pixels go to whole buttons.
    const double share = static_cast<double>(width()) / buttonCount;
    for (std::size_t index = 0; index < buttonCount; ++index) {
        const int left = static_cast<int>(std::lround(share * static_cast<double>(index)));
        const int right = static_cast<int>(std::lround(share * static_cast<double>(index + 1)));
        m_buttons[index]->setGeometry(left, 0, right - left, height());
    }
}

void RecordNavigator::showPosition(bool open, std::size_t recordCount, std::size_t current, bool editing)
{
    const bool hasRecords = open && recordCount > 0;
    const bool canGoBack = hasRecords && current > 0;
    const bool canGoOn = hasRecords && current + 1 < recordCount;
    for (Button which : {Button::first, Button::backTen, Button::prior})
        button(which)->setEnabled(canGoBack);
    for (Button which : {Button::next, Button::forwardTen, Button::last})
        button(which)->setEnabled(canGoOn);
    button(Button::edit)->setEnabled(hasRecords && !editing);
    button(Button::post)->setEnabled(hasRecords && editing);
    button(Button::cancel)->setEnabled(hasRecords && editing);
    button(Button::refresh)->setEnabled(open);
}

} // namespace pasavel
