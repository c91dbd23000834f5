#pragma once

#include <QColor>
#include <QFont>
#include <QString>

#include <string>
#include <string_view>

class QLabel;
class QWidget;

// What the program's windows share: their font, their colours and the
// conversions between the core's UTF-16 texts and Qt's.
namespace pasavel {

// The windows' own font; the families after the first stand in for it where
// it is not installed.
QFont windowFont();

// The named colours the windows use.
namespace colours {
inline const QColor red(0xFF, 0x00, 0x00);
inline const QColor maroon(0x80, 0x00, 0x00);
inline const QColor blue(0x00, 0x00, 0xFF);
inline const QColor fuchsia(0xFF, 0x00, 0xFF);
inline const QColor purple(0x80, 0x00, 0x80);
inline const QColor yellow(0xFF, 0xFF, 0x00);
inline const QColor white(0xFF, 0xFF, 0xFF);
inline const QColor skyBlue(0xA6, 0xCA, 0xF0);
// The title bar of a window that is not active, as desktops usually paint it.
inline const QColor inactiveCaption(0xBF, 0xCD, 0xDB);
} // namespace colours

QString toQString(std::u16string_view text);
std::u16string toU16String(const QString& text);

// A label's look: the colour of its text, and of its background when it has
// one of its own.
void setTextColour(QLabel* label, const QColor& text);
void setTextColours(QLabel* label, const QColor& text, const QColor& background);

// Places a window in the middle of its screen's free area.
void centreOnScreen(QWidget* window);

} // namespace pasavel
