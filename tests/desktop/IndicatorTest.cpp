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

    // A click on the ball reaches the window below it.
    ASSERT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QStringLiteral("1280"), QStringLiteral("1320"),
                                                  QStringLiteral("click"), QStringLiteral("1")}),
              0);
    EXPECT_TRUE(waitUntil([&] { return target.clicked(); }, 2000)) << "the click went to the indicator";

    // Recording: green, and the meter beside the ball.
    EXPECT_TRUE(waitUntil([&] { return near(pixel(kBallBesideMeter), kGreen); }, 5000))
        << pixel(kBallBesideMeter).name().toStdString();
    EXPECT_EQ(focus(), before);

    ASSERT_TRUE(key("keyup", "ctrl"));
    EXPECT_TRUE(waitUntil([&] { return !mapped(); }, 1000)) << "the release hides it";
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

} // namespace
