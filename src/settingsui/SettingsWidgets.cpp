#include "SettingsWidgets.h"

#include "Symbols.h"

#include <QHBoxLayout>
#include <QLabel>

namespace SettingsWidgets {

QLabel *secondaryLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

QFont semibold(QFont font)
{
    font.setWeight(QFont::DemiBold);
    return font;
}

QLabel *symbolImage(const QString &symbol, const QColor &color, int size, QWidget *parent)
{
    auto *image = new QLabel(parent);
    image->setPixmap(Symbols::icon(symbol, color).pixmap(QSize(size, size), parent ? parent->devicePixelRatioF() : 1.0));
    image->setAccessibleName(symbol);
    return image;
}

QWidget *symbolLabel(const QString &symbol, const QString &text, const QColor &color, QWidget *parent)
{
    auto *row = new QWidget(parent);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    const int size = row->fontMetrics().height();
    layout->addWidget(symbolImage(symbol, color, size, row));
    auto *label = new QLabel(text, row);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    layout->addWidget(label);
    layout->addStretch();
    row->setAccessibleName(text);
    return row;
}

} // namespace SettingsWidgets
