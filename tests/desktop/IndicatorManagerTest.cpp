#include "FloatingBallView.h"
#include "IndicatorFixture.h"
#include "WaveformView.h"
#include "x11/X11DesktopBackend.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

using namespace std::chrono_literals;

namespace {

TEST(IndicatorPlacement, BottomCentreOfTheScreenSeventyAboveItsEdge)
{
    EXPECT_EQ(FloatingBallWindowManager::windowOrigin(QRect(0, 0, 1920, 1080)), QPoint(820, 910));
    EXPECT_EQ(FloatingBallWindowManager::windowOrigin(QRect(0, 0, 2560, 1440)), QPoint(1140, 1270));
    // A primary screen right of another one.
    EXPECT_EQ(FloatingBallWindowManager::windowOrigin(QRect(1920, 0, 1280, 1024)), QPoint(2420, 854));
}

TEST_F(Indicator, ShowsWhileTheModeIsHeldAndHidesOnRelease)
{
    makeManager();
    EXPECT_FALSE(shown()) << "hidden at start";
    EXPECT_FALSE(manager->isAnimating());

    activate(ModifierMask::Option);
    ASSERT_TRUE(shown());
    EXPECT_EQ(manager->currentMode(), AppMode::VoiceInput);
    EXPECT_TRUE(manager->isAnimating());
    ASSERT_NE(manager->ballView(), nullptr);
    EXPECT_EQ(manager->ballView()->mode(), AppMode::VoiceInput);
    EXPECT_EQ(manager->window()->size(), QSize(280, 100));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(manager->window()->pos(), FloatingBallWindowManager::windowOrigin(screen));
    EXPECT_EQ(desktop.stickyWindows, QList<quintptr>{manager->window()->winId()}) << "on every desktop";
    const Qt::WindowFlags flags = manager->window()->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowDoesNotAcceptFocus);
    EXPECT_TRUE(flags & Qt::WindowTransparentForInput);
    EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(manager->window()->testAttribute(Qt::WA_ShowWithoutActivating));

    recognizer.setRecording(true);
    recognizer.setAudioLevel(0.6f);
    EXPECT_TRUE(manager->isRecording());
    EXPECT_FLOAT_EQ(manager->audioLevel(), 0.6f);
    EXPECT_TRUE(manager->ballView()->isRecording());
    EXPECT_NEAR(manager->ballView()->targetScale(), 1 + 0.6 * 0.18, 1e-6);

    release();
    EXPECT_FALSE(shown());
    EXPECT_EQ(manager->currentMode(), std::nullopt);
    EXPECT_FALSE(manager->isAnimating());
    EXPECT_FALSE(manager->isRecording());
    EXPECT_EQ(manager->audioLevel(), 0.0f) << "the level reads 0 after the hide";
    EXPECT_EQ(manager->ballView(), nullptr) << "nothing of the ball lives on while hidden";
    EXPECT_TRUE(manager->window()->findChildren<QTimer *>().isEmpty());

    recognizer.setAudioLevel(0.3f);
    EXPECT_FLOAT_EQ(manager->audioLevel(), 0.3f) << "until the next level arrives";
}

TEST_F(Indicator, ACleanUpAfterTheReleaseShowsTheBallTurningUntilItEndsAndATakesBallComesFirst)
{
    makeManager();
    activate(ModifierMask::Option);
    release();
    ASSERT_FALSE(shown());
    manager->setProcessing(AppMode::VoiceInput);
    ASSERT_TRUE(shown()) << "the ball is back while the words are cleaned up";
    ASSERT_NE(manager->ballView(), nullptr);
    EXPECT_TRUE(manager->ballView()->isProcessing());
    EXPECT_EQ(manager->ballView()->accessibleName(), QStringLiteral("正在润色文字"));
    EXPECT_TRUE(manager->ballView()->isAnimatingFrames()) << "it turns";
    EXPECT_EQ(manager->currentMode(), std::nullopt) << "no take is under way";

    // A take meanwhile has its own ball; the turning one comes back after it.
    activate(ModifierMask::Control);
    EXPECT_FALSE(manager->ballView()->isProcessing());
    EXPECT_EQ(manager->ballView()->mode(), AppMode::ChatAssistant);
    release();
    ASSERT_TRUE(shown());
    EXPECT_TRUE(manager->ballView()->isProcessing());

    manager->setProcessing(std::nullopt);
    EXPECT_FALSE(shown());
    EXPECT_EQ(manager->ballView(), nullptr);
    EXPECT_TRUE(manager->window()->findChildren<QTimer *>().isEmpty()) << "no frame clock left";
}

TEST_F(Indicator, EachShowStartsAFreshBallThatIsNotRecording)
{
    makeManager();
    activate(ModifierMask::Control);
    recognizer.setRecording(true);
    recognizer.setAudioLevel(1.0f);
    FloatingBallView *first = manager->ballView();
    ASSERT_NE(first, nullptr);
    release();

    recognizer.setRecording(false);
    activate(ModifierMask::Command);
    ASSERT_TRUE(shown());
    EXPECT_EQ(manager->ballView()->mode(), AppMode::BffReply);
    EXPECT_FALSE(manager->ballView()->isRecording());
    EXPECT_EQ(manager->ballView()->scale(), 1.0);
    EXPECT_FALSE(manager->isRecording());
}

TEST_F(Indicator, TakesTheCurrentValuesWhenMade)
{
    recognizer.setAudioLevel(0.4f);
    recognizer.setRecording(true);
    activate(ModifierMask::Control);
    makeManager();
    EXPECT_TRUE(shown()) << "a mode already held shows at once";
    EXPECT_EQ(manager->currentMode(), AppMode::ChatAssistant);
    EXPECT_TRUE(manager->isRecording());
    EXPECT_FLOAT_EQ(manager->audioLevel(), 0.4f);
}

TEST_F(Indicator, IsShapedWithoutACompositorAndTranslucentWithOne)
{
    desktop.compositor = false;
    makeManager();
    activate(ModifierMask::Option);
    QWidget *plain = manager->window();
    EXPECT_FALSE(plain->testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_EQ(plain->mask(), manager->ballView()->shape()) << "shaped to the ball";
    EXPECT_TRUE(plain->mask().contains(QPoint(140, 50)));
    EXPECT_FALSE(plain->mask().contains(QPoint(5, 5)));
    recognizer.setRecording(true);
    recognizer.setAudioLevel(1.0f);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return manager->ballView()->isBallAtRest(); }, 2000));
    const QRect meter = manager->ballView()->waveform()->geometry();
    EXPECT_TRUE(plain->mask().contains(QPoint(meter.x() + 3 * 6 + 1, meter.center().y()))) << "the meter shows";
    const QRectF ball = manager->ballView()->ballRect();
    EXPECT_TRUE(plain->mask().contains(QPoint(int(ball.left()) + 2, int(ball.center().y()))))
        << "the shape follows the ball to its place beside the meter";
    EXPECT_FALSE(plain->mask().contains(QPoint(140 + 18, 50 - 18))) << "not where the ball was";
    release();

    // A compositor started since: the next show is translucent and unshaped.
    desktop.compositor = true;
    activate(ModifierMask::Option);
    QWidget *translucent = manager->window();
    EXPECT_TRUE(translucent->testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_TRUE(translucent->mask().isEmpty());
    EXPECT_TRUE(shown());
    release();
    EXPECT_FALSE(shown());
}

TEST_F(Indicator, ACancelledShortPressNeverShowsIt)
{
    makeManager();
    source.press(ModifierMask::Option);
    scheduler->runTasks();
    scheduler->elapse(100ms);
    release();
    scheduler->elapse(1s);
    EXPECT_FALSE(shown());
    EXPECT_FALSE(manager->isAnimating());
}

// The X11 side of what the window needs: is there a compositor, and the
// window manager keeping a window on every desktop.
class X11Overlay : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_NE(display, nullptr); }
    void TearDown() override { XCloseDisplay(display); }

    QList<unsigned long> property(unsigned long window, const char *name, Atom type)
    {
        Atom actual = None;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char *data = nullptr;
        QList<unsigned long> values;
        if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 32, False, type, &actual, &format,
                               &items, &after, &data)
                == Success
            && data) {
            for (unsigned long i = 0; i < items; ++i)
                values << reinterpret_cast<unsigned long *>(data)[i];
            XFree(data);
        }
        return values;
    }

    Display *display = XOpenDisplay(nullptr);
    X11DesktopBackend desktop;
};

TEST_F(X11Overlay, SeesACompositorByTheSelectionItOwns)
{
    EXPECT_FALSE(desktop.hasCompositor()) << "the headless desktop has none";
    const Window owner = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    const QByteArray selection = "_NET_WM_CM_S" + QByteArray::number(DefaultScreen(display));
    XSetSelectionOwner(display, XInternAtom(display, selection.constData(), False), owner, CurrentTime);
    XSync(display, False);
    EXPECT_TRUE(desktop.hasCompositor());
    XDestroyWindow(display, owner); // the selection goes with its owner
    XSync(display, False);
    EXPECT_FALSE(desktop.hasCompositor());
}

TEST_F(X11Overlay, TheWindowManagerKeepsTheWindowOnEveryDesktopAndAbove)
{
    QWidget window(nullptr, Qt::Tool | Qt::FramelessWindowHint);
    window.resize(50, 50);
    window.show();
    desktop.keepOnAllDesktops(window.winId());
    const auto state = [&] {
        QStringList names;
        for (unsigned long atom : property(window.winId(), "_NET_WM_STATE", XA_ATOM)) {
            char *name = XGetAtomName(display, atom);
            names << QString::fromLatin1(name);
            XFree(name);
        }
        return names;
    };
    const QStringList wanted{QStringLiteral("_NET_WM_STATE_STICKY"), QStringLiteral("_NET_WM_STATE_ABOVE"),
                             QStringLiteral("_NET_WM_STATE_SKIP_TASKBAR")};
    EXPECT_TRUE(TestSupport::waitUntil(
        [&] {
            const QStringList now = state();
            return std::all_of(wanted.begin(), wanted.end(), [&](const QString &name) { return now.contains(name); });
        },
        3000))
        << state().join(QLatin1Char(' ')).toStdString();
    const QList<unsigned long> desktops = property(window.winId(), "_NET_WM_DESKTOP", XA_CARDINAL);
    ASSERT_EQ(desktops.size(), 1);
    EXPECT_EQ(quint32(desktops.first()), 0xFFFFFFFFu) << "every desktop";
}

} // namespace
