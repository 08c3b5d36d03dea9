#include "EaseTransition.h"
#include "FloatingBallView.h"
#include "Spring.h"
#include "TestSupport.h"
#include "WaveformView.h"

#include <QImage>
#include <QPainter>

#include <cmath>

#include <gtest/gtest.h>

using TestSupport::settle;
using TestSupport::waitUntil;

namespace {

// The colour of a pixel, compared with a tolerance for anti-aliasing and fades.
::testing::AssertionResult near(const QColor &actual, const QColor &expected, int tolerance = 6)
{
    if (std::abs(actual.red() - expected.red()) <= tolerance && std::abs(actual.green() - expected.green()) <= tolerance
        && std::abs(actual.blue() - expected.blue()) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << actual.name().toStdString() << " is not " << expected.name().toStdString();
}

TEST(Spring, ReachesItsTargetAndRestsThere)
{
    Spring spring(1.0);
    spring.animateTo(1.18, 0.08, 0.55);
    double highest = 0;
    double seconds = 0;
    while (!spring.step(1.0 / 60) && seconds < 5) {
        highest = std::max(highest, spring.value());
        seconds += 1.0 / 60;
    }
    EXPECT_EQ(spring.value(), 1.18);
    EXPECT_GT(highest, 1.18) << "an under-damped spring overshoots";
    EXPECT_LT(seconds, 0.5) << "a 0.08 s spring settles within a few periods";
    EXPECT_TRUE(spring.step(1.0 / 60)) << "at rest it stays at rest";
}

TEST(Spring, ACriticallyDampedReturnDoesNotOvershootAndTheStepSizeDoesNotMatter)
{
    Spring coarse(1.18), fine(1.18);
    coarse.animateTo(1.0, 0.15, 1.0);
    fine.animateTo(1.0, 0.15, 1.0);
    for (int frame = 0; frame < 12; ++frame) {
        coarse.step(1.0 / 30);
        fine.step(1.0 / 60);
        fine.step(1.0 / 60);
        EXPECT_GE(coarse.value(), 1.0 - 1e-9);
        EXPECT_NEAR(coarse.value(), fine.value(), 1e-4);
    }
}

TEST(EaseTransition, EasesInAndOutAndReversesFromWhereItIs)
{
    EaseTransition fade(0, 0.25);
    fade.animateTo(1, 10.0);
    EXPECT_EQ(fade.value(10.0), 0);
    EXPECT_LT(fade.value(10.05), 0.2 * 1.0) << "slow at the start";
    EXPECT_NEAR(fade.value(10.125), 0.5, 0.01);
    EXPECT_EQ(fade.value(10.25), 1);
    EXPECT_FALSE(fade.isRunning(10.25));

    fade.animateTo(0, 11.0);
    const double midway = fade.value(11.1);
    fade.animateTo(1, 11.1);
    EXPECT_NEAR(fade.value(11.1), midway, 1e-9) << "a reversal does not jump";
    EXPECT_TRUE(fade.isRunning(11.2));
}

class Waveform : public ::testing::Test
{
protected:
    void refreshWithJitter(double jitter, float level)
    {
        view.setJitterSource([jitter] { return jitter; });
        view.setAudioLevel(level);
        view.refresh();
    }
    WaveformView view;
};

TEST_F(Waveform, WeightsAndOpacitiesFallOffFromTheMiddle)
{
    const double weights[] = {4 / 7.0, 5 / 7.0, 6 / 7.0, 1, 6 / 7.0, 5 / 7.0, 4 / 7.0};
    const double opacities[] = {0.64, 0.71, 0.78, 0.85, 0.78, 0.71, 0.64};
    for (int i = 0; i < WaveformView::barCount; ++i) {
        EXPECT_NEAR(WaveformView::centreWeight(i), weights[i], 1e-12) << i;
        EXPECT_NEAR(WaveformView::opacity(i), opacities[i], 1e-12) << i;
    }
}

TEST_F(Waveform, HeightsFollowTheLevelWithinTheirBounds)
{
    for (double height : view.heights())
        EXPECT_EQ(height, 4.0);
    refreshWithJitter(1.0, 0);
    for (double height : view.heights())
        EXPECT_EQ(height, WaveformView::minBarHeight);

    refreshWithJitter(1.0, 1.0);
    EXPECT_EQ(view.heights()[3], 28.0);
    EXPECT_NEAR(view.heights()[0], 4 + 24 * 4 / 7.0, 1e-9);
    refreshWithJitter(0.5, 1.0);
    EXPECT_EQ(view.heights()[3], 16.0);
    EXPECT_NEAR(view.heights()[6], 4 + 12 * 4 / 7.0, 1e-9);
}

TEST(WaveformRandom, TheRealJitterKeepsEveryBarWithinItsRange)
{
    WaveformView view;
    view.setAudioLevel(1.0);
    QSet<double> centres;
    for (int refresh = 0; refresh < 200; ++refresh) {
        view.refresh();
        const auto &h = view.heights();
        EXPECT_GE(h[3], 16.0);
        EXPECT_LE(h[3], 28.0);
        for (int outer : {0, 6}) {
            EXPECT_GE(h[outer], 10.857);
            EXPECT_LE(h[outer], 17.715);
        }
        centres.insert(h[3]);
    }
    EXPECT_GT(centres.size(), 100) << "the jitter is drawn afresh at every refresh";
}

TEST(WaveformTimer, RunsExactlyWhileTheMeterIsOnScreen)
{
    QWidget window;
    auto *view = new WaveformView(&window);
    EXPECT_FALSE(view->isRefreshing());
    window.show();
    EXPECT_TRUE(view->isRefreshing());
    view->setAudioLevel(0.5);
    settle(300);
    EXPECT_NEAR(view->displayedHeight(3), view->heights()[3], 4) << "the springs follow the heights";
    view->hide();
    EXPECT_FALSE(view->isRefreshing());
    view->show();
    EXPECT_TRUE(view->isRefreshing());
    window.hide();
    EXPECT_FALSE(view->isRefreshing()) << "hiding the window takes the meter off screen";
}

class Ball : public ::testing::Test
{
protected:
    std::unique_ptr<FloatingBallView> make(AppMode mode)
    {
        auto view = std::make_unique<FloatingBallView>(mode);
        view->resize(280, 100);
        view->show();
        return view;
    }
    QImage render(FloatingBallView &view, qreal ratio = 1)
    {
        QImage image(view.size() * ratio, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::transparent);
        view.render(&image);
        return image;
    }
    // A point of the ball away from its symbol, in device pixels.
    static QPoint onBall(const FloatingBallView &view, qreal ratio = 1)
    {
        const QRectF ball = view.ballRect();
        return ((ball.center() + QPointF(0, ball.height() * 0.38)) * ratio).toPoint();
    }
};

TEST_F(Ball, ColoursAndSymbolsFollowTheMode)
{
    EXPECT_EQ(FloatingBallView::symbolFor(AppMode::VoiceInput), QStringLiteral("mic.fill"));
    EXPECT_EQ(FloatingBallView::symbolFor(AppMode::ChatAssistant), QStringLiteral("waveform"));
    EXPECT_EQ(FloatingBallView::symbolFor(AppMode::BffReply), QStringLiteral("text.bubble.fill"));

    auto voice = make(AppMode::VoiceInput);
    const QImage idle = render(*voice);
    EXPECT_TRUE(near(idle.pixelColor(onBall(*voice)), QColor::fromRgbF(0.25f, 0.55f, 0.95f)));
    EXPECT_TRUE(near(idle.pixelColor(140, 50), Qt::white, 40)) << "the symbol is white, in the middle";
    EXPECT_EQ(voice->ballRect().center(), QPointF(140, 50)) << "alone, the ball sits in the middle";

    voice->setRecording(true);
    ASSERT_TRUE(waitUntil([&] { return voice->isBallAtRest(); }, 2000));
    const QImage recording = render(*voice);
    EXPECT_TRUE(near(recording.pixelColor(onBall(*voice)), QColor::fromRgbF(0.18f, 0.78f, 0.45f)));
    ASSERT_NE(voice->waveform(), nullptr);
    EXPECT_NEAR(voice->ballRect().center().x(), (280 - 85) / 2.0 + 18, 0.5) << "the row of ball and meter is centred";

    auto reply = make(AppMode::BffReply);
    reply->setRecording(true);
    settle(350);
    EXPECT_EQ(reply->waveform(), nullptr) << "the reply mode never shows the meter";
    EXPECT_TRUE(near(render(*reply).pixelColor(onBall(*reply)), QColor::fromRgbF(0.91f, 0.12f, 0.39f)));
}

TEST_F(Ball, AHandsFreeTakeWearsAWhiteRingAndSaysSo)
{
    auto voice = make(AppMode::VoiceInput);
    // The pixel whose middle the ring runs through.
    const QPointF onRing = voice->ballRect().center() - QPointF(voice->lockRingRadius(), 0);
    const QPoint ring(int(std::floor(onRing.x())), int(std::floor(onRing.y())));
    const QColor blue = QColor::fromRgbF(0.25f, 0.55f, 0.95f);
    EXPECT_TRUE(near(render(*voice).pixelColor(ring), blue));
    EXPECT_TRUE(voice->accessibleName().isEmpty());
    voice->setLocked(true);
    EXPECT_TRUE(near(render(*voice).pixelColor(ring), Qt::white, 40));
    EXPECT_TRUE(near(render(*voice).pixelColor(onBall(*voice) - QPoint(0, 6)), blue)) << "only a ring";
    EXPECT_EQ(voice->accessibleName(), QStringLiteral("免按住录音中：再按一次模式键结束"));

    // The last seconds: the ring shrinks clockwise from twelve o'clock, the
    // number shows, and the name says how long is left.
    const QPointF centre = voice->ballRect().center();
    const double r = voice->lockRingRadius();
    const QPoint rightOfRing(int(std::floor(centre.x() + r)), int(std::floor(centre.y())));
    voice->setSecondsLeft(2);
    EXPECT_EQ(voice->accessibleName(), QStringLiteral("免按住录音将在 2 秒后结束"));
    QImage two = render(*voice);
    EXPECT_TRUE(near(two.pixelColor(rightOfRing), blue)) << "2 s left: the arc stops short of three o'clock";
    EXPECT_TRUE(near(two.pixelColor(ring), blue)) << "nor does it reach nine o'clock";
    voice->setSecondsLeft(8);
    EXPECT_TRUE(near(render(*voice).pixelColor(rightOfRing), Qt::white, 40));
    EXPECT_TRUE(near(render(*voice).pixelColor(ring), Qt::white, 40));
    voice->setSecondsLeft(3);
    EXPECT_NE(render(*voice), two) << "the number changes with the seconds";

    voice->setLocked(false);
    EXPECT_TRUE(near(render(*voice).pixelColor(ring), blue));
    EXPECT_TRUE(voice->accessibleName().isEmpty());
    voice->setSecondsLeft(5);
    EXPECT_EQ(voice->secondsLeft(), 0) << "no countdown without a lock";
}

TEST_F(Ball, PulsesWithTheLevelOnlyWhileRecordingAndSpringsBack)
{
    auto view = make(AppMode::ChatAssistant);
    view->setAudioLevel(1.0);
    EXPECT_EQ(view->targetScale(), 1.0) << "a level without recording does not move the ball";
    EXPECT_FALSE(view->isAnimatingFrames());

    view->setRecording(true);
    view->setAudioLevel(0.0);
    view->setAudioLevel(1.0);
    EXPECT_NEAR(view->targetScale(), 1.18, 1e-6);
    ASSERT_TRUE(waitUntil([&] { return view->isBallAtRest(); }, 2000));
    EXPECT_NEAR(view->scale(), 1.18, 1e-3);
    EXPECT_NEAR(view->ballRect().width(), 36 * 1.18, 0.05);

    view->setRecording(false);
    EXPECT_EQ(view->targetScale(), 1.0);
    ASSERT_TRUE(waitUntil([&] { return !view->isAnimatingFrames(); }, 2000));
    EXPECT_EQ(view->scale(), 1.0);
    EXPECT_EQ(view->waveform(), nullptr) << "the meter leaves once the fade is over";
    EXPECT_TRUE(near(render(*view).pixelColor(onBall(*view)), QColor::fromRgbF(0.25f, 0.55f, 0.95f)));
}

TEST_F(Ball, TheMeterComesAndGoesWithTheRecordingAndItsTimerWithIt)
{
    auto view = make(AppMode::VoiceInput);
    view->setRecording(true);
    WaveformView *meter = view->waveform();
    ASSERT_NE(meter, nullptr);
    EXPECT_TRUE(meter->isRefreshing());
    view->setAudioLevel(0.5);
    settle(120);
    EXPECT_GT(meter->presence(), 0.0);
    EXPECT_LT(meter->presence(), 1.0) << "it slides in over a quarter second";
    EXPECT_TRUE(waitUntil([&] { return meter->presence() == 1.0; }, 2000));
    EXPECT_TRUE(view->isAnimatingFrames()) << "the meter keeps moving while it records";

    view->setAudioLevel(1.0);
    EXPECT_GE(meter->heights()[3], 16.0) << "a new level refreshes the bars at once";

    view->setRecording(false);
    EXPECT_NE(view->waveform(), nullptr) << "it fades out first";
    ASSERT_TRUE(waitUntil([&] { return view->waveform() == nullptr; }, 2000));
    EXPECT_FALSE(meter->isRefreshing());
    ASSERT_TRUE(waitUntil([&] { return !view->isAnimatingFrames(); }, 2000)) << "and then nothing ticks";
    settle(100);
    EXPECT_FALSE(view->isAnimatingFrames());
}

TEST_F(Ball, IsDrawnInDeviceIndependentSizeAndSharpAtScaleTwo)
{
    auto view = make(AppMode::VoiceInput);
    const QImage image = render(*view, 2);
    ASSERT_EQ(image.width(), 560);
    // Along the middle row, from the left: transparent, a soft shadow edge,
    // then the ball. Count the ball's pixels and how many are blended.
    const QColor blue = QColor::fromRgbF(0.25f, 0.55f, 0.95f);
    int solid = 0;
    for (int x = 200; x < 360; ++x) {
        const QColor pixel = image.pixelColor(x, 100 + 24); // below the symbol
        if (near(pixel, blue, 8) && pixel.alpha() == 255)
            ++solid;
    }
    // The chord 24 device pixels below the centre of a 72-pixel circle: 2·√(36²−24²) ≈ 53.7.
    EXPECT_NEAR(solid, 53, 3);
    // The left edge on the middle row: from the half-transparent shadow to
    // the opaque ball within a device pixel or two, not a blurred ramp.
    int ramp = 0;
    for (int x = 230; x < 260; ++x) {
        const int alpha = image.pixelColor(x, 100).alpha();
        if (alpha > 150 && alpha < 250)
            ++ramp;
    }
    EXPECT_LE(ramp, 2);
}

TEST_F(Ball, OpaqueDrawingHasTheOutlineOfWhatIsDrawn)
{
    auto view = make(AppMode::VoiceInput);
    view->setOpaque(true);
    const QRegion alone = view->shape();
    EXPECT_TRUE(alone.contains(QPoint(140, 50)));
    EXPECT_TRUE(alone.contains(QPoint(140, 50 + 16)));
    EXPECT_FALSE(alone.contains(QPoint(140 - 17, 50 - 17))) << "the circle, not its square";
    EXPECT_FALSE(alone.contains(QPoint(10, 10)));

    view->setRecording(true);
    view->setAudioLevel(1.0);
    ASSERT_TRUE(waitUntil([&] { return view->isBallAtRest(); }, 2000));
    const QRegion withMeter = view->shape();
    const QRect meter = view->waveform()->geometry();
    EXPECT_TRUE(withMeter.contains(QPoint(meter.x() + 1 + 3 * 6, meter.center().y()))) << "the middle bar shows";
    EXPECT_FALSE(withMeter.contains(QPoint(meter.x() + 4, meter.top()))) << "the gaps between the bars do not";
}

} // namespace
