#include "gui-qt/WindowLook.h"

#include <QLabel>
#include <QScreen>
#include <QStyle>
#include <QWidget>

namespace pasavel {

QFont windowFont()
{
    QFont font;
    // DejaVu's condensed face is near the original's width, so that the
    // dialogs' texts keep to the lines they were laid out in.
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans Condensed"),
                      QStringLiteral("DejaVu Sans")});
    font.setPointSize(8);
    return font;
}

QString toQString(std::u16string_view text)
{
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

std::u16string toU16String(const QString& text)
{
    return text.toStdU16String();
}

void setTextColour(QLabel* label, const QColor& text)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, text);
    label->setPalette(palette);
}

void setTextColours(QLabel* label, const QColor& text, const QColor& background)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Window, background);
    label->setPalette(palette);
    label->setAutoFillBackground(true);
}

void centreOnScreen(QWidget* window)
{
    if (const QScreen* display = window->screen())
        window->setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, window->size(),
                                                display->availableGeometry()));
}

} // namespace pasavel
