#include "PasteTarget.h"
#include "RunningApplication.h"

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

using TestSupport::runTool;
using TestSupport::settle;
using TestSupport::toolOutput;
using TestSupport::waitUntil;

namespace {

// The indicator of the running application, seen as the user sees it: where
// it appears, in which colour, and that typing and clicking go on around it.
// The headless desktop is 2560 × 1440 without a compositor.
class Indicator : public RunningApplication
{
protected:
    // Mapped and where it belongs, as the X server says.
    bool mapped()
    {
        const QString info = toolOutput(QStringLiteral("xwininfo"), {QStringLiteral("-name"), QStringLiteral("Quillwren indicator")});
        return info.contains(QStringLiteral("IsViewable"));
    }
    QString geometry()
    {
        const QString info = toolOutput(QStringLiteral("xwininfo"), {QStringLiteral("-name"), QStringLiteral("Quillwren indicator")});
        QStringList lines;
        for (const QString &line : info.split(QLatin1Char('\n'))) {
            const QString trimmed = line.trimmed();
            if (trimmed.startsWith(QStringLiteral("Absolute upper-left")) || trimmed.startsWith(QStringLiteral("Width:"))
                || trimmed.startsWith(QStringLiteral("Height:")))
                lines << trimmed.section(QLatin1Char(':'), 1).trimmed();
        }
        return lines.join(QLatin1Char(','));
    }
    QString focus() { return toolOutput(QStringLiteral("xdotool"), {QStringLiteral("getwindowfocus")}).trimmed(); }
    QColor pixel(const QPoint &at)
    {
        return QGuiApplication::primaryScreen()->grabWindow(0, at.x(), at.y(), 1, 1).toImage().pixelColor(0, 0);
    }
    // Within a few steps of the colour, for rounding.
    static bool near(const QColor &actual, const QColor &expected)
    {
        return std::abs(actual.red() - expected.red()) <= 8 && std::abs(actual.green() - expected.green()) <= 8
               && std::abs(actual.blue() - expected.blue()) <= 8;
    }
    bool key(const char *action, const char *name)
    {
        return runTool(QStringLiteral("xdotool"), {QString::fromLatin1(action), QString::fromLatin1(name)}) == 0;
    }
};

// The ball's centre alone, and beside the meter; a point of the ball below its symbol.
constexpr QPoint kBallAlone{1140 + 140, 1270 + 50 + 13};
constexpr QPoint kBallBesideMeter{1140 + 97 + 18, 1270 + 50 + 13};
const QColor kBlue = QColor::fromRgbF(0.25f, 0.55f, 0.95f);
const QColor kGreen = QColor::fromRgbF(0.18f, 0.78f, 0.45f);
const QColor kPink = QColor::fromRgbF(0.91f, 0.12f, 0.39f);

TEST_F(Indicator, ShowsWhileTheKeyIsHeldWithoutTakingTheFocusOrTheClicks)
{
    // The task starts late, so the ball shows "not yet recording" for a while.
    useScenario(R"({"recognition":{"startDelayMs":1500}})");
    PasteTarget target(env, {QStringLiteral("--rect"), QStringLiteral("1000,1150,560,260")});
    const QString before = focus();
    ASSERT_FALSE(before.isEmpty());
    EXPECT_FALSE(mapped());

    ASSERT_TRUE(key("keydown", "ctrl"));
    ASSERT_TRUE(waitUntil([&] { return mapped(); }, 2000)) << "the long press shows the ball";
    EXPECT_EQ(geometry(), QStringLiteral("1140,1270,280,100"));
    EXPECT_EQ(focus(), before) << "the indicator never takes the focus";
    EXPECT_TRUE(waitUntil([&] { return near(pixel(kBallAlone), kBlue); }, 1000)) << pixel(kBallAlone).name().toStdString();

    // Recording: green, and the meter beside the ball.
    EXPECT_TRUE(waitUntil([&] { return near(pixel(kBallBesideMeter), kGreen); }, 5000))
        << pixel(kBallBesideMeter).name().toStdString();
    EXPECT_EQ(focus(), before);

    // A click on the ball reaches the window below it (and, being a
    // combination with the held key, ends the take).
    ASSERT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QStringLiteral("1280"), QStringLiteral("1320"),
                                                  QStringLiteral("click"), QStringLiteral("1")}),
              0);
    EXPECT_TRUE(waitUntil([&] { return target.clicked(); }, 2000)) << "the click went to the indicator";
    EXPECT_TRUE(waitUntil([&] { return !mapped(); }, 1000)) << "the cancelled take hides it";

    ASSERT_TRUE(key("keyup", "ctrl"));
    EXPECT_EQ(focus(), before);
}

TEST_F(Indicator, TheReplyModeShowsItsOwnColourAndNoMeter)
{
    PasteTarget target(env);
    ASSERT_TRUE(key("keydown", "super"));
    ASSERT_TRUE(waitUntil([&] { return mapped(); }, 2000));
    EXPECT_TRUE(waitUntil([&] { return near(pixel(kBallAlone), kPink); }, 1000)) << pixel(kBallAlone).name().toStdString();
    settle(500);
    EXPECT_TRUE(near(pixel(kBallAlone), kPink)) << "no meter pushes it aside";
    ASSERT_TRUE(key("keyup", "super"));
    EXPECT_TRUE(waitUntil([&] { return !mapped(); }, 1000));
}

// The desktop behind the indicator in a colour of its own: around the ball
// (and its meter) the window must show the desktop, from the first frame of
// every show, whether a compositor draws it translucent or it is shaped.
class IndicatorOverTheDesktop : public Indicator
{
protected:
    void SetUp() override
    {
        Indicator::SetUp();
        ASSERT_EQ(runTool(QStringLiteral("xsetroot"), {QStringLiteral("-solid"), QStringLiteral("#6a8caf")}), 0);
    }
    void TearDown() override
    {
        runTool(QStringLiteral("xsetroot"), {QStringLiteral("-solid"), QStringLiteral("black")});
        Indicator::TearDown();
    }

    // The pixels of the window's area (280 x 100) that differ from the
    // desktop just beside it: the ball, its shadow and its meter, or a box.
    // Read as the screen shows them (a copy of the root with its inferiors,
    // shapes honoured, as the server's framebuffer holds them; xwd's
    // GetImage of the root shows a shaped window's whole rectangle black).
    int changedPixels()
    {
        const QImage shot = QGuiApplication::primaryScreen()->grabWindow(0, 1130, 1270, 300, 100).toImage();
        const QColor desktop = shot.pixelColor(3, 50);
        int changed = 0;
        for (int y = 0; y < 100; ++y) {
            for (int x = 10; x < 290; ++x) {
                const QColor c = shot.pixelColor(x, y);
                changed += std::abs(c.red() - desktop.red()) > 6 || std::abs(c.green() - desktop.green()) > 6
                           || std::abs(c.blue() - desktop.blue()) > 6;
            }
        }
        return changed;
    }

    // Holds the key twice and looks at the first frame and a later one of
    // each show; the largest count of changed pixels seen.
    int showTwiceAndLook(const char *key, const char *desktop)
    {
        int most = 0;
        for (int show = 0; show < 2; ++show) {
            EXPECT_TRUE(this->key("keydown", key));
            EXPECT_TRUE(waitUntil([&] { return mapped(); }, 2000));
            const int first = changedPixels(); // as soon as the window is on screen
            settle(600);
            const int later = changedPixels();
            EXPECT_TRUE(this->key("keyup", key));
            EXPECT_TRUE(waitUntil([&] { return !mapped(); }, 1000));
            std::cerr << desktop << ", " << key << ", show " << show << ": " << first
                      << " pixels changed at the first frame, " << later << " later (of " << 280 * 100 << ")"
                      << std::endl;
            most = std::max({most, first, later});
            // The run the release started ends before the next show.
            EXPECT_TRUE(waitUntil([this] { return !status()[QStringLiteral("isProcessing")].toBool(); }, 10000));
        }
        return most;
    }
};

// The ball (36 x 36) with its shadow and a full meter stay well inside this;
// a box around them would change nearly all 28,000.
constexpr int kBallAndMeterPixels = 3000;

TEST_F(IndicatorOverTheDesktop, WithoutACompositorOnlyTheBallShows)
{
    EXPECT_LT(showTwiceAndLook("super", "shaped"), kBallAndMeterPixels);
    EXPECT_LT(showTwiceAndLook("alt", "shaped"), kBallAndMeterPixels);
}

TEST_F(IndicatorOverTheDesktop, WithACompositorTheBallIsTranslucentAround)
{
    QProcess compositor;
    compositor.start(QStringLiteral("xcompmgr"), QStringList());
    ASSERT_TRUE(compositor.waitForStarted(3000));
    settle(800); // it owns the compositing selection
    EXPECT_LT(showTwiceAndLook("super", "translucent"), kBallAndMeterPixels);
    EXPECT_LT(showTwiceAndLook("alt", "translucent"), kBallAndMeterPixels);
    compositor.kill();
    compositor.waitForFinished(3000);
    settle(300);
}

} // namespace
