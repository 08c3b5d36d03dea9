#include "SettingsWidgets.h"

#include "Symbols.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

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

void setSymbolLabelText(QWidget *row, const QString &text)
{
    if (auto *label = row->findChild<QLabel *>())
        label->setText(text);
    row->setAccessibleName(text);
}

QFrame *divider(QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

void addNameplate(QVBoxLayout *layout, QWidget *parent, int symbolSize, double titleScale, const QStringList &lines)
{
    layout->addWidget(symbolImage(QStringLiteral("waveform"), blue(), symbolSize, parent), 0, Qt::AlignHCenter);
    auto *name = new QLabel(QStringLiteral("Quillwren"), parent);
    QFont title = name->font();
    title.setPointSizeF(title.pointSizeF() * titleScale);
    title.setBold(true);
    name->setFont(title);
    layout->addWidget(name, 0, Qt::AlignHCenter);
    for (const QString &line : lines) {
        // One line each, at its own width: a centred label that wraps is
        // given the narrowest width it could wrap to, and a longer line (in
        // English) would be cut.
        QLabel *label = secondaryLabel(line, parent);
        label->setWordWrap(false);
        layout->addWidget(label, 0, Qt::AlignHCenter);
    }
    layout->addWidget(divider(parent));
}

} // namespace SettingsWidgets
