#include "CaptionView.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>

namespace {
// The system font, a little larger than body text: read at a glance while
// speaking, from the edge of the eye.
QFont captionFont()
{
    QFont font = QApplication::font();
    if (font.pointSizeF() > 0)
        font.setPointSizeF(std::max(13.0, font.pointSizeF() * 1.25));
    else
        font.setPixelSize(std::max(17, int(font.pixelSize() * 1.25)));
    return font;
}

const QString kEllipsis = QStringLiteral("…");
} // namespace

CaptionView::CaptionView(QWidget *parent) : QWidget(parent)
{
    setFont(captionFont());
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    resize(boxSize());
}

CaptionView::Lines CaptionView::lastLines(const QString &text, const QFont &font, int width, int maxLines)
{
    const QString flat = text.simplified();
    if (flat.isEmpty() || maxLines < 1)
        return {};
    QList<int> starts;
    QTextLayout layout(flat, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        starts << line.textStart();
    }
    layout.endLayout();
    starts << flat.size();
    const qsizetype count = starts.size() - 1;
    const qsizetype firstKept = std::max<qsizetype>(0, count - maxLines);
    int from = starts.at(firstKept);
    if (firstKept > 0) {
        // The ellipsis must fit too: the first line kept gives up its start.
        const QFontMetrics metrics(font);
        const int end = starts.at(firstKept + 1);
        while (from < end && metrics.horizontalAdvance(kEllipsis + flat.mid(from, end - from).trimmed()) > width)
            ++from;
    }
    Lines result;
    for (qsizetype i = firstKept; i < count; ++i) {
        const int start = i == firstKept ? from : starts.at(i);
        result.lines << flat.mid(start, starts.at(i + 1) - start).trimmed();
    }
    if (firstKept > 0)
        result.lines.first().prepend(kEllipsis);
    result.shown = flat.mid(from).trimmed();
    return result;
}

void CaptionView::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    const QFontMetrics metrics(font());
    // The box grows to what this text needs, and keeps the widest it had.
    const int wanted = std::clamp(metrics.horizontalAdvance(text.simplified()) + 2, kMinTextWidth, kMaxTextWidth);
    m_textWidth = std::max(m_textWidth, wanted);
    const Lines shown = lastLines(text, font(), m_textWidth, kMaxLines);
    m_lines = shown.lines;
    setAccessibleName(shown.shown);
    if (size() != boxSize()) {
        resize(boxSize());
        Q_EMIT boxSizeChanged();
    }
    update();
}

void CaptionView::reset()
{
    m_textWidth = kMinTextWidth;
    m_text.clear();
    m_lines.clear();
    setAccessibleName(QString());
    resize(boxSize());
    Q_EMIT boxSizeChanged();
    update();
}

QSize CaptionView::boxSize() const
{
    const QFontMetrics metrics(font());
    const int lines = std::max<int>(1, m_lines.size());
    return {m_textWidth + 2 * kPaddingX, lines * metrics.lineSpacing() + 2 * kPaddingY};
}

void CaptionView::setOpaque(bool opaque)
{
    m_opaque = opaque;
    update();
}

QRegion CaptionView::shape() const
{
    QPainterPath path;
    path.addRoundedRect(QRectF(QPointF(0, 0), QSizeF(boxSize())), kRadius, kRadius);
    return QRegion(path.toFillPolygon().toPolygon());
}

void CaptionView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    // Dark enough for white text over any page, light enough to see through.
    painter.setBrush(m_opaque ? QColor(28, 28, 30) : QColor(28, 28, 30, 210));
    painter.drawRoundedRect(QRectF(rect()), kRadius, kRadius);
    painter.setPen(Qt::white);
    painter.setFont(font());
    const QFontMetrics metrics(font());
    int baseline = kPaddingY + metrics.ascent();
    for (const QString &line : std::as_const(m_lines)) {
        painter.drawText(kPaddingX, baseline, line);
        baseline += metrics.lineSpacing();
    }
    painter.end();
    Q_EMIT painted();
}
