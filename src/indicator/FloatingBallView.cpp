#include "FloatingBallView.h"

#include "Drawing.h"
#include "Symbols.h"
#include "WaveformView.h"

#include <QPainter>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>

namespace {
constexpr double kPulsePerLevel = 0.18;
constexpr double kPulseResponse = 0.08;
constexpr double kPulseDamping = 0.55;
constexpr double kReturnResponse = 0.15;
constexpr double kReturnDamping = 0.7;
constexpr double kShadowOpacity = 0.5;
constexpr double kShadowRadius = 5;
constexpr double kShadowOffsetY = 2;

} // namespace

QColor FloatingBallView::colorFor(AppMode mode, bool recording)
{
    if (mode == AppMode::BffReply)
        return QColor::fromRgbF(0.91f, 0.12f, 0.39f);
    return recording ? QColor::fromRgbF(0.18f, 0.78f, 0.45f) : QColor::fromRgbF(0.25f, 0.55f, 0.95f);
}

QString FloatingBallView::symbolFor(AppMode mode)
{
    switch (mode) {
    case AppMode::VoiceInput:
        return QStringLiteral("mic.fill");
    case AppMode::ChatAssistant:
        return QStringLiteral("waveform");
    case AppMode::BffReply:
        return QStringLiteral("text.bubble.fill");
    }
    return {};
}

FloatingBallView::FloatingBallView(AppMode mode, double ballSize, QWidget *parent)
    : QWidget(parent), m_mode(mode), m_ballSize(ballSize), m_waveform(new WaveformView(this, &m_frames))
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    m_waveform->hide();
    connect(m_waveform, &WaveformView::shapeChanged, this, &FloatingBallView::shapeChanged);
    connect(&m_frames, &FrameTicker::tick, this, &FloatingBallView::onFrame);
}

void FloatingBallView::setAudioLevel(float level)
{
    m_audioLevel = level;
    if (m_waveform->isVisible())
        m_waveform->setAudioLevel(level);
    // Only a recording moves the ball.
    if (!m_isRecording)
        return;
    m_scale.animateTo(1.0 + level * kPulsePerLevel, kPulseResponse, kPulseDamping);
    m_frames.wake();
}

void FloatingBallView::setRecording(bool recording)
{
    if (m_isRecording == recording)
        return;
    m_isRecording = recording;
    m_recordingFade.animateTo(recording ? 1.0 : 0.0, m_frames.now());
    if (!recording)
        m_scale.animateTo(1.0, kReturnResponse, kReturnDamping);
    if (recording && m_mode != AppMode::BffReply) {
        m_waveform->setAudioLevel(m_audioLevel);
        m_waveform->setPresence(0);
        layoutWaveform();
        m_waveform->show();
    }
    m_frames.wake();
}

QColor FloatingBallView::ballColor() const
{
    if (m_mode == AppMode::BffReply)
        return colorFor(m_mode, false);
    return Drawing::mix(colorFor(m_mode, false), colorFor(m_mode, true), m_recordingFade.value(m_frames.now()));
}

double FloatingBallView::waveformPresence() const
{
    return m_mode == AppMode::BffReply ? 0.0 : m_recordingFade.value(m_frames.now());
}

double FloatingBallView::rowLeft() const
{
    // The row (ball, then the meter as far as it is in) sits in the middle.
    const double rowWidth = m_ballSize + waveformPresence() * (spacing + m_waveform->sizeHint().width());
    return (width() - rowWidth) / 2;
}

QRectF FloatingBallView::ballRect() const
{
    const QPointF centre(rowLeft() + m_ballSize / 2, height() / 2.0);
    const double diameter = m_ballSize * m_scale.value();
    return QRectF(centre.x() - diameter / 2, centre.y() - diameter / 2, diameter, diameter);
}

bool FloatingBallView::isBallAtRest() const
{
    return m_scale.isSettled() && !m_recordingFade.isRunning(m_frames.now());
}

WaveformView *FloatingBallView::waveform() const
{
    return m_waveform->isVisible() ? m_waveform : nullptr;
}

void FloatingBallView::layoutWaveform()
{
    const QSize size = m_waveform->sizeHint();
    const double x = rowLeft() + m_ballSize + spacing;
    m_waveform->setGeometry(qRound(x), (height() - size.height()) / 2, size.width(), size.height());
}

void FloatingBallView::setLocked(bool locked)
{
    if (m_isLocked == locked)
        return;
    m_isLocked = locked;
    m_secondsLeft = 0;
    setAccessibleName(locked ? tr("免按住录音中：再按一次模式键结束") : QString());
    update(rowArea());
}

void FloatingBallView::setSecondsLeft(int seconds)
{
    if (!m_isLocked || m_secondsLeft == seconds)
        return;
    m_secondsLeft = seconds;
    setAccessibleName(seconds > 0 ? tr("免按住录音将在 %1 秒后结束").arg(seconds)
                                  : tr("免按住录音中：再按一次模式键结束"));
    update(rowArea());
}

void FloatingBallView::setProcessing(bool processing)
{
    if (m_isProcessing == processing)
        return;
    m_isProcessing = processing;
    setAccessibleName(processing ? tr("正在润色文字") : QString());
    m_frames.wake();
    update(rowArea());
}

void FloatingBallView::onFrame(double seconds)
{
    m_scale.step(seconds);
    const double now = m_frames.now();
    if (m_waveform->isVisible()) {
        m_waveform->setPresence(waveformPresence());
        layoutWaveform();
        if (!m_isRecording && !m_recordingFade.isRunning(now))
            m_waveform->hide(); // the removal is over: off screen, its timer stops
    }
    if (!m_scale.isSettled() || m_recordingFade.isRunning(now) || m_isProcessing)
        m_frames.stayAwake();
    // Only the row changes: the ball with its pulse and shadow, and the meter.
    update(rowArea());
    Q_EMIT shapeChanged();
}

QRect FloatingBallView::rowArea() const
{
    const double maxBall = m_ballSize * (1 + kPulsePerLevel) + 2 * (kShadowRadius + kShadowOffsetY);
    const double maxRow = maxBall + spacing + m_waveform->sizeHint().width();
    return QRectF((width() - maxRow) / 2 - maxBall / 2, (height() - maxBall) / 2, maxRow + maxBall, maxBall)
        .toAlignedRect();
}

void FloatingBallView::setOpaque(bool opaque)
{
    m_opaque = opaque;
    m_waveform->setOpaque(opaque);
    update();
}

QRegion FloatingBallView::shape() const
{
    QRegion region(ballRect().toAlignedRect(), QRegion::Ellipse);
    if (m_waveform->isVisible())
        region += m_waveform->shape().translated(m_waveform->pos());
    return region;
}

void FloatingBallView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutWaveform();
}

void FloatingBallView::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_frames.sleep();
}

void FloatingBallView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QRectF ball = ballRect();
    const QColor color = ballColor();
    if (m_opaque) {
        // The window's outline is the circle: fill a little beyond it, so
        // that no edge pixel shows the window's background.
        painter.fillRect(ball.adjusted(-1, -1, 1, 1), color);
    } else {
        // A soft shadow of the ball's own colour, a little below it.
        const QPointF centre = ball.center() + QPointF(0, kShadowOffsetY);
        const double outer = ball.width() / 2 + kShadowRadius;
        QRadialGradient shadow(centre, outer);
        QColor dense = color;
        dense.setAlphaF(float(kShadowOpacity));
        QColor clear = color;
        clear.setAlphaF(0);
        shadow.setColorAt(0, dense);
        shadow.setColorAt(std::max(0.0, (ball.width() / 2 - kShadowRadius) / outer), dense);
        shadow.setColorAt(1, clear);
        painter.setBrush(shadow);
        painter.drawEllipse(centre, outer, outer);
        painter.setBrush(color);
        painter.drawEllipse(ball);
    }
    if (m_isProcessing) {
        // A quarter circle, once round in about a second.
        painter.setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::RoundCap));
        painter.setBrush(Qt::NoBrush);
        const double radius = lockRingRadius();
        const QRectF ring(ball.center() - QPointF(radius, radius), QSizeF(2 * radius, 2 * radius));
        const int start = -int(std::fmod(m_frames.now() * 360.0, 360.0) * 16);
        painter.drawArc(ring, start, 90 * 16);
        painter.setPen(Qt::NoPen);
    }
    if (m_isLocked) {
        painter.setPen(QPen(Qt::white, 2));
        painter.setBrush(Qt::NoBrush);
        const double radius = lockRingRadius();
        const QRectF ring(ball.center() - QPointF(radius, radius), QSizeF(2 * radius, 2 * radius));
        if (m_secondsLeft > 0) {
            // From twelve o'clock, clockwise, a tenth per second left.
            const int span = -360 * 16 * std::min(m_secondsLeft, 10) / 10;
            painter.drawArc(ring, 90 * 16, span);
        } else {
            painter.drawEllipse(ring);
        }
        painter.setPen(Qt::NoPen);
    }
    // The symbol, white, scaled with the ball: a 14-point glyph fills about 16 points.
    const double symbolSide = symbolPointSize * 16.0 / 14.0 * m_scale.value();
    const QRectF symbolBox(ball.center() - QPointF(symbolSide, symbolSide) / 2, QSizeF(symbolSide, symbolSide));
    if (m_secondsLeft > 0) {
        QFont digits = font();
        digits.setBold(true);
        digits.setPixelSize(std::max(1, qRound(symbolSide * 0.8)));
        painter.setFont(digits);
        painter.setPen(Qt::white);
        painter.drawText(symbolBox, Qt::AlignCenter, QString::number(m_secondsLeft));
    } else {
        Symbols::paint(painter, symbolFor(m_mode), symbolBox, Qt::white);
    }
}
