#include "Symbols.h"

#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>

namespace {

// Symbolic icons of the freedesktop naming scheme (and of the common themes)
// that show the same thing. Symbols without a fitting name are always drawn.
const QHash<QString, QString> &themeNames()
{
    static const QHash<QString, QString> names{
        {QStringLiteral("mic.fill"), QStringLiteral("audio-input-microphone-symbolic")},
        {QStringLiteral("key.fill"), QStringLiteral("dialog-password-symbolic")},
        {QStringLiteral("keyboard.fill"), QStringLiteral("input-keyboard-symbolic")},
        {QStringLiteral("info.circle.fill"), QStringLiteral("help-about-symbolic")},
        {QStringLiteral("eye.fill"), QStringLiteral("view-reveal-symbolic")},
        {QStringLiteral("eye.slash.fill"), QStringLiteral("view-conceal-symbolic")},
        {QStringLiteral("exclamationmark.triangle.fill"), QStringLiteral("dialog-warning-symbolic")},
    };
    return names;
}

// Each drawing fills a path in a 1 × 1 box; the caller scales it.
QPainterPath microphone()
{
    QPainterPath body;
    body.addRoundedRect(QRectF(0.34, 0.04, 0.32, 0.58), 0.16, 0.16);
    QPainterPath stand;
    stand.arcMoveTo(QRectF(0.2, 0.22, 0.6, 0.56), 180);
    stand.arcTo(QRectF(0.2, 0.22, 0.6, 0.56), 180, 180);
    stand.moveTo(0.5, 0.78);
    stand.lineTo(0.5, 0.92);
    stand.moveTo(0.34, 0.94);
    stand.lineTo(0.66, 0.94);
    QPainterPathStroker stroker;
    stroker.setWidth(0.08);
    stroker.setCapStyle(Qt::RoundCap);
    return body.united(stroker.createStroke(stand));
}

QPainterPath waveform()
{
    static constexpr double heights[] = {0.28, 0.56, 0.86, 0.5, 0.74, 0.4, 0.22};
    static constexpr double barWidth = 0.09;
    static constexpr double step = 0.14;
    QPainterPath path;
    for (int i = 0; i < 7; ++i) {
        const double h = heights[i];
        path.addRoundedRect(QRectF(0.5 - 3 * step + i * step - barWidth / 2, 0.5 - h / 2, barWidth, h), barWidth / 2,
                            barWidth / 2);
    }
    return path;
}

QPainterPath speechBubble(bool withText)
{
    QPainterPath bubble;
    bubble.addRoundedRect(QRectF(0.04, 0.1, 0.92, 0.62), 0.2, 0.2);
    QPainterPath tail;
    tail.moveTo(0.2, 0.66);
    tail.lineTo(0.14, 0.92);
    tail.lineTo(0.44, 0.7);
    tail.closeSubpath();
    bubble = bubble.united(tail);
    if (!withText)
        return bubble;
    QPainterPath lines;
    lines.addRoundedRect(QRectF(0.22, 0.26, 0.56, 0.08), 0.04, 0.04);
    lines.addRoundedRect(QRectF(0.22, 0.46, 0.4, 0.08), 0.04, 0.04);
    return bubble.subtracted(lines);
}

QPainterPath twoBubbles()
{
    QPainterPath back;
    back.addRoundedRect(QRectF(0.34, 0.08, 0.62, 0.46), 0.16, 0.16);
    QPainterPath front = speechBubble(false);
    QTransform shrink;
    shrink.translate(0.0, 0.3);
    shrink.scale(0.66, 0.66);
    front = shrink.map(front);
    QPainterPath gap;
    gap.addRoundedRect(front.boundingRect().adjusted(-0.06, -0.06, 0.06, 0.06), 0.18, 0.18);
    return back.subtracted(gap).united(front);
}

QPainterPath circleWith(const std::function<void(QPainterPath &)> &mark)
{
    QPainterPath circle;
    circle.addEllipse(QRectF(0.04, 0.04, 0.92, 0.92));
    QPainterPath cut;
    mark(cut);
    return circle.subtracted(cut);
}

QPainterPath stroked(const QPainterPath &path, double width)
{
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    return stroker.createStroke(path);
}

QPainterPath checkmarkCircle()
{
    return circleWith([](QPainterPath &cut) {
        QPainterPath tick;
        tick.moveTo(0.3, 0.52);
        tick.lineTo(0.44, 0.66);
        tick.lineTo(0.7, 0.36);
        cut = stroked(tick, 0.1);
    });
}

QPainterPath infoCircle()
{
    return circleWith([](QPainterPath &cut) {
        cut.addEllipse(QPointF(0.5, 0.29), 0.065, 0.065);
        cut.addRoundedRect(QRectF(0.45, 0.42, 0.1, 0.34), 0.05, 0.05);
    });
}

QPainterPath heart()
{
    QPainterPath path;
    path.moveTo(0.5, 0.9);
    path.cubicTo(0.1, 0.62, 0.02, 0.42, 0.06, 0.28);
    path.cubicTo(0.12, 0.06, 0.42, 0.04, 0.5, 0.26);
    path.cubicTo(0.58, 0.04, 0.88, 0.06, 0.94, 0.28);
    path.cubicTo(0.98, 0.42, 0.9, 0.62, 0.5, 0.9);
    path.closeSubpath();
    return path;
}

QPainterPath warningTriangle()
{
    QPainterPath triangle;
    triangle.moveTo(0.5, 0.06);
    triangle.lineTo(0.96, 0.9);
    triangle.lineTo(0.04, 0.9);
    triangle.closeSubpath();
    QPainterPath mark;
    mark.addRoundedRect(QRectF(0.455, 0.34, 0.09, 0.3), 0.045, 0.045);
    mark.addEllipse(QPointF(0.5, 0.76), 0.055, 0.055);
    return stroked(triangle, 0.06).united(triangle).subtracted(mark);
}

QPainterPath key()
{
    QPainterPath path;
    path.addEllipse(QRectF(0.06, 0.3, 0.4, 0.4));
    path.addRect(QRectF(0.4, 0.45, 0.54, 0.1));
    path.addRect(QRectF(0.72, 0.55, 0.08, 0.14));
    path.addRect(QRectF(0.84, 0.55, 0.08, 0.1));
    path.setFillRule(Qt::WindingFill);
    QPainterPath hole;
    hole.addEllipse(QPointF(0.2, 0.5), 0.07, 0.07);
    return path.simplified().subtracted(hole);
}

QPainterPath keyboard()
{
    QPainterPath board;
    board.addRoundedRect(QRectF(0.02, 0.2, 0.96, 0.6), 0.1, 0.1);
    QPainterPath keys;
    for (int row = 0; row < 2; ++row) {
        for (int col = 0; col < 6; ++col)
            keys.addRect(QRectF(0.1 + col * 0.135, 0.28 + row * 0.15, 0.09, 0.09));
    }
    keys.addRect(QRectF(0.24, 0.6, 0.52, 0.09));
    return board.subtracted(keys);
}

QPainterPath chip()
{
    QPainterPath path;
    path.addRoundedRect(QRectF(0.2, 0.2, 0.6, 0.6), 0.1, 0.1);
    for (int i = 0; i < 3; ++i) {
        const double at = 0.3 + i * 0.2 - 0.035;
        path.addRect(QRectF(at, 0.06, 0.07, 0.14));
        path.addRect(QRectF(at, 0.8, 0.07, 0.14));
        path.addRect(QRectF(0.06, at, 0.14, 0.07));
        path.addRect(QRectF(0.8, at, 0.14, 0.07));
    }
    path.setFillRule(Qt::WindingFill);
    QPainterPath core;
    core.addRect(QRectF(0.34, 0.34, 0.32, 0.32));
    return path.simplified().subtracted(core);
}

QPainterPath eye(bool slashed)
{
    QPainterPath outline;
    outline.moveTo(0.02, 0.5);
    outline.quadTo(0.5, 0.0, 0.98, 0.5);
    outline.quadTo(0.5, 1.0, 0.02, 0.5);
    outline.closeSubpath();
    QPainterPath pupil;
    pupil.addEllipse(QPointF(0.5, 0.5), 0.15, 0.15);
    QPainterPath shape = outline.subtracted(pupil);
    if (!slashed)
        return shape;
    QPainterPath slash;
    slash.moveTo(0.12, 0.1);
    slash.lineTo(0.88, 0.9);
    return shape.subtracted(stroked(slash, 0.18)).united(stroked(slash, 0.08));
}

QPainterPath gear()
{
    QPainterPath path;
    path.addEllipse(QPointF(0.5, 0.5), 0.3, 0.3);
    for (int i = 0; i < 8; ++i) {
        QPainterPath tooth;
        tooth.addRect(QRectF(-0.07, -0.46, 0.14, 0.2));
        QTransform at;
        at.translate(0.5, 0.5);
        at.rotate(i * 45.0);
        path = path.united(at.map(tooth));
    }
    QPainterPath hole;
    hole.addEllipse(QPointF(0.5, 0.5), 0.12, 0.12);
    return path.subtracted(hole);
}

QPainterPath hand()
{
    QPainterPath path;
    for (int i = 0; i < 4; ++i)
        path.addRoundedRect(QRectF(0.26 + i * 0.13, 0.1 + (i == 0 || i == 3 ? 0.08 : 0.0), 0.1, 0.5), 0.05, 0.05);
    path.addRoundedRect(QRectF(0.26, 0.4, 0.49, 0.5), 0.16, 0.16);
    QPainterPath thumb;
    thumb.addRoundedRect(QRectF(-0.05, -0.22, 0.1, 0.34), 0.05, 0.05);
    QTransform at;
    at.translate(0.22, 0.62);
    at.rotate(-35);
    path.addPath(at.map(thumb));
    path.setFillRule(Qt::WindingFill);
    return path.simplified();
}

QPainterPath power()
{
    QPainterPath ring;
    // Open at the top: from 120° round the bottom to 60°.
    ring.arcMoveTo(QRectF(0.12, 0.14, 0.76, 0.76), 120);
    ring.arcTo(QRectF(0.12, 0.14, 0.76, 0.76), 120, 300);
    ring.moveTo(0.5, 0.06);
    ring.lineTo(0.5, 0.48);
    return stroked(ring, 0.1);
}

using Drawing = QPainterPath (*)();

const QHash<QString, Drawing> &drawings()
{
    static const QHash<QString, Drawing> table{
        {QStringLiteral("mic.fill"), &microphone},
        {QStringLiteral("waveform"), &waveform},
        {QStringLiteral("text.bubble.fill"), [] { return speechBubble(true); }},
        {QStringLiteral("bubble.left.and.bubble.right.fill"), &twoBubbles},
        {QStringLiteral("checkmark.circle.fill"), &checkmarkCircle},
        {QStringLiteral("info.circle.fill"), &infoCircle},
        {QStringLiteral("info.circle"), &infoCircle},
        {QStringLiteral("heart.fill"), &heart},
        {QStringLiteral("exclamationmark.triangle.fill"), &warningTriangle},
        {QStringLiteral("key.fill"), &key},
        {QStringLiteral("keyboard.fill"), &keyboard},
        {QStringLiteral("cpu.fill"), &chip},
        {QStringLiteral("eye.fill"), [] { return eye(false); }},
        {QStringLiteral("eye.slash.fill"), [] { return eye(true); }},
        {QStringLiteral("gearshape"), &gear},
        {QStringLiteral("hand.raised.fill"), &hand},
        {QStringLiteral("power"), &power},
    };
    return table;
}

// The shape for a symbol nobody drew: a plain dot, so that something shows.
QPainterPath dot()
{
    QPainterPath path;
    path.addEllipse(QRectF(0.25, 0.25, 0.5, 0.5));
    return path;
}

bool paintFromTheme(QPainter &painter, const QString &symbol, const QRectF &rect, const QColor &color)
{
    const QString name = Symbols::themeName(symbol);
    if (name.isEmpty() || !QIcon::hasThemeIcon(name))
        return false;
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QSize size = rect.size().toSize();
    QPixmap pixmap = QIcon::fromTheme(name).pixmap(size, ratio);
    if (pixmap.isNull())
        return false;
    // Symbolic icons are one shape in one colour: keep their shape, take ours.
    QImage tinted = pixmap.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter tint(&tinted);
    tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
    tint.fillRect(tinted.rect(), color);
    tint.end();
    const QSizeF drawn = QSizeF(tinted.size()) / tinted.devicePixelRatio();
    painter.drawImage(QRectF(rect.center() - QPointF(drawn.width(), drawn.height()) / 2, drawn), tinted);
    return true;
}

} // namespace

namespace Symbols {

QString themeName(const QString &symbol)
{
    return themeNames().value(symbol);
}

bool canDraw(const QString &symbol)
{
    return drawings().contains(symbol);
}

void paint(QPainter &painter, const QString &symbol, const QRectF &rect, const QColor &color, bool preferTheme)
{
    if (preferTheme && paintFromTheme(painter, symbol, rect, color))
        return;
    // Building a shape unites and subtracts paths: do it once per symbol.
    static QHash<QString, QPainterPath> shapes;
    auto shape = shapes.find(symbol);
    if (shape == shapes.end())
        shape = shapes.insert(symbol, drawings().value(symbol, &dot)());
    const double side = std::min(rect.width(), rect.height());
    QTransform toRect;
    toRect.translate(rect.center().x() - side / 2, rect.center().y() - side / 2);
    toRect.scale(side, side);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawPath(toRect.map(*shape));
    painter.restore();
}

QIcon icon(const QString &symbol, const QColor &color, const QColor &disc)
{
    QIcon result;
    for (const int size : {16, 22, 24, 32, 48, 64}) {
        for (const qreal ratio : {1.0, 2.0}) {
            QPixmap pixmap(QSize(size, size) * ratio);
            pixmap.setDevicePixelRatio(ratio);
            pixmap.fill(Qt::transparent);
            QPainter painter(&pixmap);
            if (disc.isValid()) {
                painter.setRenderHint(QPainter::Antialiasing);
                painter.setPen(Qt::NoPen);
                painter.setBrush(disc);
                painter.drawEllipse(QRectF(0.5, 0.5, size - 1, size - 1));
                const double inset = size * 0.2;
                paint(painter, symbol, QRectF(inset, inset, size - 2 * inset, size - 2 * inset), color, false);
            } else {
                paint(painter, symbol, QRectF(0, 0, size, size), color);
            }
            painter.end();
            result.addPixmap(pixmap);
        }
    }
    return result;
}

} // namespace Symbols
