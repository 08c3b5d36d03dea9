#include "ModifierKeyChip.h"

#include "Drawing.h"

#include <QPainter>
#include <QPainterPath>

ModifierKeyChip::ModifierKeyChip(ModifierKey key, QWidget *parent) : QAbstractButton(parent), m_key(key)
{
    const QString symbol = ModifierKeys::displaySymbol(key);
    setText(symbol.isEmpty() ? ModifierKeys::displayName(key) : symbol + QLatin1Char(' ') + ModifierKeys::displayName(key));
    setAccessibleName(ModifierKeys::displayName(key));
    setCheckable(false);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    m_fade.setDuration(kFadeMs);
    m_fade.setEasingCurve(Drawing::easeInOut());
    connect(&m_fade, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        m_emphasis = value.toDouble();
        update();
    });
}

void ModifierKeyChip::setSelected(bool selected)
{
    if (m_selected == selected)
        return;
    m_selected = selected;
    // Tells screen readers which one is chosen.
    setAccessibleDescription(selected ? tr("已选择") : QString());
    if (!isVisible()) {
        m_emphasis = selected ? 1 : 0;
        update();
        return;
    }
    m_fade.stop();
    m_fade.setStartValue(m_emphasis);
    m_fade.setEndValue(selected ? 1.0 : 0.0);
    m_fade.start();
}

QSize ModifierKeyChip::sizeHint() const
{
    // The symbol (where the platform has one), 4 points, the name; 10 points
    // each side, 5 above and below.
    const QFontMetrics metrics(font());
    return QSize(labelWidth(metrics) + 20, metrics.height() + 10);
}

int ModifierKeyChip::labelWidth(const QFontMetrics &metrics) const
{
    const QString symbol = ModifierKeys::displaySymbol(m_key);
    return (symbol.isEmpty() ? 0 : metrics.horizontalAdvance(symbol) + 4)
           + metrics.horizontalAdvance(ModifierKeys::displayName(m_key));
}

void ModifierKeyChip::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor accent = palette().color(QPalette::Highlight);
    QColor grey = Qt::gray;
    grey.setAlphaF(0.3f);
    const QColor fill = Drawing::mix(palette().color(QPalette::Button), accent, m_emphasis);
    const QColor outline = Drawing::mix(grey, accent, m_emphasis);
    const QColor text = Drawing::mix(palette().color(QPalette::ButtonText), Qt::white, m_emphasis);

    QPainterPath chip;
    chip.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    painter.fillPath(chip, fill);
    painter.setPen(QPen(outline, 1));
    painter.drawPath(chip);
    if (hasFocus()) {
        painter.setPen(QPen(accent, 1, Qt::DotLine));
        painter.drawRoundedRect(QRectF(rect()).adjusted(2.5, 2.5, -2.5, -2.5), 4, 4);
    }

    const QFontMetrics metrics(font());
    const QString symbol = ModifierKeys::displaySymbol(m_key);
    const QString name = ModifierKeys::displayName(m_key);
    int x = (this->width() - labelWidth(metrics)) / 2;
    painter.setPen(text);
    if (!symbol.isEmpty()) {
        painter.drawText(QRect(x, 0, metrics.horizontalAdvance(symbol), height()), Qt::AlignVCenter, symbol);
        x += metrics.horizontalAdvance(symbol) + 4;
    }
    painter.drawText(QRect(x, 0, metrics.horizontalAdvance(name), height()), Qt::AlignVCenter, name);
}
