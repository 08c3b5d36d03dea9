#include "ModifierKeyChip.h"

#include "Drawing.h"

#include <QPainter>
#include <QPainterPath>

ModifierKeyChip::ModifierKeyChip(ModifierKey key, QWidget *parent) : QAbstractButton(parent), m_key(key)
{
    setText(ModifierKeys::symbol(key) + QStringLiteral(" ") + ModifierKeys::title(key));
    setAccessibleName(ModifierKeys::title(key));
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
    setAccessibleDescription(selected ? QStringLiteral("已选择") : QString());
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
    // The symbol, 4 points, the name; 10 points each side, 5 above and below.
    const QFontMetrics metrics(font());
    const int width = metrics.horizontalAdvance(ModifierKeys::symbol(m_key)) + 4
                      + metrics.horizontalAdvance(ModifierKeys::title(m_key)) + 20;
    return QSize(width, metrics.height() + 10);
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
    const QString symbol = ModifierKeys::symbol(m_key);
    const QString name = ModifierKeys::title(m_key);
    const int width = metrics.horizontalAdvance(symbol) + 4 + metrics.horizontalAdvance(name);
    int x = (this->width() - width) / 2;
    painter.setPen(text);
    painter.drawText(QRect(x, 0, metrics.horizontalAdvance(symbol), height()), Qt::AlignVCenter, symbol);
    x += metrics.horizontalAdvance(symbol) + 4;
    painter.drawText(QRect(x, 0, metrics.horizontalAdvance(name), height()), Qt::AlignVCenter, name);
}
