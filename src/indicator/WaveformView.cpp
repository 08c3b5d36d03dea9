#include "WaveformView.h"

#include <QPainter>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>

namespace {
constexpr double kSpringResponse = 0.12;
constexpr double kSpringDamping = 0.6;
constexpr double kHiddenScale = 0.7;
} // namespace

double WaveformView::centreWeight(int bar)
{
    return 1.0 - std::abs(bar - (barCount - 1) * 0.5) / barCount;
}

double WaveformView::opacity(int bar)
{
    return 0.85 - 0.07 * std::abs(bar - barCount / 2);
}

WaveformView::WaveformView(QWidget *parent, FrameTicker *frames)
    : QWidget(parent), m_jitter([] { return 0.5 + QRandomGenerator::global()->generateDouble() * 0.5; }),
      m_frames(frames ? frames : new FrameTicker(this))
{
    m_heights.fill(minBarHeight);
    m_bars.fill(Spring(minBarHeight, 0.05));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    resize(sizeHint());
    m_refreshTimer.setInterval(refreshIntervalMs);
    connect(&m_refreshTimer, &QTimer::timeout, this, &WaveformView::refresh);
    connect(m_frames, &FrameTicker::tick, this, &WaveformView::onFrame);
}

QSize WaveformView::sizeHint() const
{
    return QSize(int(barCount * barWidth + (barCount - 1) * barSpacing), int(maxBarHeight));
}

void WaveformView::setAudioLevel(float level)
{
    if (m_audioLevel == level)
        return;
    m_audioLevel = level;
    refresh();
}

void WaveformView::refresh()
{
    if (barCount == 0)
        return;
    const double range = (maxBarHeight - minBarHeight) * m_audioLevel;
    for (int i = 0; i < barCount; ++i) {
        const double height = minBarHeight + range * centreWeight(i) * m_jitter();
        m_heights[i] = std::max(minBarHeight, height);
        m_bars[i].animateTo(m_heights[i], kSpringResponse, kSpringDamping);
    }
    if (isVisible())
        m_frames->wake();
}

bool WaveformView::isSettled() const
{
    return std::all_of(m_bars.begin(), m_bars.end(), [](const Spring &bar) { return bar.isSettled(); });
}

void WaveformView::onFrame(double seconds)
{
    if (!isVisible() || isSettled())
        return;
    for (Spring &bar : m_bars)
        bar.step(seconds);
    if (!isSettled())
        m_frames->stayAwake();
    update();
    Q_EMIT shapeChanged();
}

void WaveformView::setPresence(double presence)
{
    if (m_presence == presence)
        return;
    m_presence = presence;
    update();
    Q_EMIT shapeChanged();
}

void WaveformView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_refreshTimer.start();
    refresh();
}

void WaveformView::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_refreshTimer.stop();
}

QRectF WaveformView::barRect(int bar) const
{
    // Shrinks towards the leading edge while it comes and goes.
    const double scale = kHiddenScale + (1 - kHiddenScale) * m_presence;
    const double height = m_bars[bar].value() * scale;
    const double x = bar * (barWidth + barSpacing) * scale;
    return QRectF(x, (maxBarHeight - height) / 2, barWidth * scale, height);
}

QRegion WaveformView::shape() const
{
    QRegion region;
    if (m_presence < 0.5)
        return region;
    for (int i = 0; i < barCount; ++i)
        region += barRect(i).toAlignedRect();
    return region;
}

void WaveformView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < barCount; ++i) {
        QColor color = barColor();
        const QRectF rect = barRect(i);
        if (m_opaque) {
            // No translucency to be had: the bar's own colour, square, as its outline lets through.
            painter.fillRect(rect.toAlignedRect(), color);
            continue;
        }
        color.setAlphaF(float(opacity(i) * m_presence));
        painter.setBrush(color);
        const double radius = rect.width() * 0.5;
        painter.drawRoundedRect(rect, radius, radius);
    }
}
