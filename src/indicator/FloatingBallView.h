#pragma once

#include "AppMode.h"
#include "EaseTransition.h"
#include "FrameTicker.h"
#include "Spring.h"

#include <QColor>
#include <QRegion>
#include <QWidget>

class WaveformView;

// The indicator's drawing: a ball in the mode's colour with its symbol, that
// pulses with the microphone level while recording, and beside it, while the
// voice modes record, the level meter. The recording change fades the colour
// and slides the meter in and out over a quarter second; the pulse and its
// return are springs. It holds no logic beyond its drawing state.
class FloatingBallView : public QWidget
{
    Q_OBJECT

public:
    static constexpr double defaultBallSize = 36;
    static constexpr double spacing = 10;
    static constexpr double symbolPointSize = 14;
    static constexpr double recordingTransitionSeconds = 0.25;

    static QColor colorFor(AppMode mode, bool recording);
    static QString symbolFor(AppMode mode);

    FloatingBallView(AppMode mode, double ballSize = defaultBallSize, QWidget *parent = nullptr);

    AppMode mode() const { return m_mode; }
    void setAudioLevel(float level);
    // Given by the host; the drawing does not depend on it.
    void setAnimating(bool animating) { m_isAnimating = animating; }
    void setRecording(bool recording);
    bool isRecording() const { return m_isRecording; }
    // A take that goes on without the key held (a double tap): a white ring
    // inside the ball's edge, and the view named so for screen readers.
    void setLocked(bool locked);
    bool isLocked() const { return m_isLocked; }
    // The locked take's last seconds: the number in place of the symbol, the
    // ring as an arc that shrinks with it (0: no countdown). Unlocking ends it.
    void setSecondsLeft(int seconds);
    int secondsLeft() const { return m_secondsLeft; }
    // A later step of the run is under way (the dictation's clean-up): a
    // white arc turns around inside the ball's edge, and the view is named so.
    void setProcessing(bool processing);
    bool isProcessing() const { return m_isProcessing; }
    // Where the ring runs, from the ball's centre.
    double lockRingRadius() const { return ballRect().width() / 2 - kLockRingInset; }

    // The ball's scale now, and where its spring is going.
    double scale() const { return m_scale.value(); }
    double targetScale() const { return m_scale.target(); }
    // The ball's colour now (mid-fade during the recording change).
    QColor ballColor() const;
    // The ball's circle as drawn now, in this view's coordinates.
    QRectF ballRect() const;
    // The level meter, while it is on screen; null otherwise.
    WaveformView *waveform() const;
    bool isAnimatingFrames() const { return m_frames.isTicking(); }
    // The pulse and the recording change are over (the meter may still move).
    bool isBallAtRest() const;

    // Drawing without translucency (no compositor): no shadow, and shape()
    // is what the window must let show.
    void setOpaque(bool opaque);
    QRegion shape() const;

Q_SIGNALS:
    void shapeChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void onFrame(double seconds);
    // How far the meter is in: follows the recording change, never in the reply mode.
    double waveformPresence() const;
    // Where the row of ball and meter starts, as far as the meter is in.
    double rowLeft() const;
    void layoutWaveform();
    // Where the ball and the meter can be, whatever their pulse and place.
    QRect rowArea() const;

    AppMode m_mode;
    double m_ballSize;
    float m_audioLevel = 0;
    bool m_isAnimating = false;
    bool m_isRecording = false;
    bool m_isLocked = false;
    bool m_isProcessing = false;
    int m_secondsLeft = 0;
    static constexpr double kLockRingInset = 3.5;
    bool m_opaque = false;
    Spring m_scale{1.0, 0.0005};
    EaseTransition m_recordingFade{0, recordingTransitionSeconds};
    FrameTicker m_frames;
    WaveformView *m_waveform;
};
