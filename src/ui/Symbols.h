#pragma once

#include <QColor>
#include <QIcon>
#include <QRectF>
#include <QString>

class QPainter;

// The symbols the windows show, by the names the rest of the program uses for
// them ("mic.fill", "waveform", …). Each is taken from the icon theme where the
// theme has a matching symbolic icon, tinted to the colour asked for, and is
// drawn by the program otherwise, so no symbol is missing on a bare desktop.
namespace Symbols {

// The freedesktop icon name that stands for the symbol; empty when none does.
QString themeName(const QString &symbol);

// Whether the program can draw the symbol itself.
bool canDraw(const QString &symbol);

// Paints the symbol into the rectangle, in one colour. `preferTheme` false
// always draws it, which keeps the result the same on every desktop.
void paint(QPainter &painter, const QString &symbol, const QRectF &rect, const QColor &color, bool preferTheme = true);

// The symbol as an icon of the usual sizes, for menus, tabs and the tray.
// With a disc colour, the symbol is drawn inside a disc of that colour (the
// same on every desktop: legible on light and dark panels alike).
QIcon icon(const QString &symbol, const QColor &color, const QColor &disc = QColor());

} // namespace Symbols
