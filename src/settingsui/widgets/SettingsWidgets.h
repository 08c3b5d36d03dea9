#pragma once

#include <QColor>
#include <QString>
#include <QStringList>

class QFont;
class QFrame;
class QLabel;
class QVBoxLayout;
class QWidget;

// Small pieces the settings screens (and the status window) share.
namespace SettingsWidgets {

// A wrapped label in the secondary colour (notes, hints, captions).
QLabel *secondaryLabel(const QString &text, QWidget *parent);
// The font made semibold.
QFont semibold(QFont font);
// A symbol in a colour followed by a text, as one widget whose accessible
// name is the text.
QWidget *symbolLabel(const QString &symbol, const QString &text, const QColor &color, QWidget *parent);
// Gives a symbol label made by symbolLabel another text (and accessible name).
void setSymbolLabelText(QWidget *row, const QString &text);
// A label showing only a symbol, at the given size in points.
QLabel *symbolImage(const QString &symbol, const QColor &color, int size, QWidget *parent);
// A thin horizontal line between parts of a screen.
QFrame *divider(QWidget *parent);
// The application's name under its symbol, centred, followed by the lines
// given in the secondary colour and a divider (the about screen, the status window).
void addNameplate(QVBoxLayout *layout, QWidget *parent, int symbolSize, double titleScale, const QStringList &lines);

inline QColor green() { return QColor(0x2e, 0x9d, 0x4f); }
inline QColor orange() { return QColor(0xf0, 0x8c, 0x00); }
inline QColor blue() { return QColor(0x1a, 0x73, 0xe8); }
inline QColor pink() { return QColor(0xe8, 0x1e, 0x63); }

} // namespace SettingsWidgets
