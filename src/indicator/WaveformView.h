#pragma once

#include "FrameTicker.h"
#include "Spring.h"

#include <QColor>
#include <QRegion>
#include <QTimer>
#include <QWidget>

#include <array>
#include <functional>

// The small level meter beside the ball while speech is recorded: seven
// rounded bars, tallest in the middle, that jump with the level 12.5 times a
// second (and at every new level) with a little random jitter, each height
// reached by a spring. Its refresh timer runs exactly while it is on screen.
class WaveformView : public QWidget
{
    Q_OBJECT

public:
    static constexpr int barCount = 7;
    static constexpr double barWidth = 3;
    static constexpr double barSpacing = 3;
    static constexpr double maxBarHeight = 28;
    static constexpr double minBarHeight = 4;
    static constexpr int refreshIntervalMs = 80;
    static QColor barColor() { return QColor::fromRgbF(0.18f, 0.78f, 0.45f); }

    // How much of the level each bar shows: 4/7 at the ends to 1 in the middle.
    static double centreWeight(int bar);
    // Fuller in the middle, fainter to the sides: 0.85 down by 0.07 a step.
    static double opacity(int bar);

    // `frames`: the frame clock of the view it sits in, so that both are
    // drawn in the same frame; by default its own.
    explicit WaveformView(QWidget *parent = nullptr, FrameTicker *frames = nullptr);

    void setAudioLevel(float level);
    float audioLevel() const { return m_audioLevel; }

    // The heights the bars are going to (what the last refresh chose).
    const std::array<double, barCount> &heights() const { return m_heights; }
    // The heights as drawn now, on their way there.
    double displayedHeight(int bar) const { return m_bars[bar].value(); }
    bool isRefreshing() const { return m_refreshTimer.isActive(); }
    // The bars have reached their heights.
    bool isSettled() const;

    // Where the jitter comes from: a number in [0.5, 1] per bar and refresh.
    void setJitterSource(std::function<double()> source) { m_jitter = std::move(source); }

    // The insertion and removal transition: 0 is gone (shrunk to 0.7 of its
    // size towards the leading edge, faded out), 1 fully there.
    void setPresence(double presence);
    double presence() const { return m_presence; }

    // Drawing without translucency: the bars' opaque outline, in this view's coordinates.
    void setOpaque(bool opaque) { m_opaque = opaque; }
    QRegion shape() const;

    QSize sizeHint() const override;

    // Picks new heights for the current level.
    void refresh();

Q_SIGNALS:
    // The drawn bars changed: the window reshapes when it cannot be translucent.
    void shapeChanged();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void onFrame(double seconds);
    QRectF barRect(int bar) const;

    float m_audioLevel = 0;
    std::array<double, barCount> m_heights;
    std::array<Spring, barCount> m_bars;
    std::function<double()> m_jitter;
    double m_presence = 1;
    bool m_opaque = false;
    QTimer m_refreshTimer;
    FrameTicker *m_frames;
};
