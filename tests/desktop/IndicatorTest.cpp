#include "PasteTarget.h"
#include "RunningApplication.h"

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QElapsedTimer>
#include <QScreen>

#include <functional>

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

// The live caption of the running application: its window on the X
// server, its pixels, and its name on the accessibility bus.
class Caption : public Indicator
{
protected:
    QString captionInfo()
    {
        return toolOutput(QStringLiteral("xwininfo"), {QStringLiteral("-name"), QStringLiteral("Quillwren caption")});
    }
    bool captionMapped() { return captionInfo().contains(QStringLiteral("IsViewable")); }
    QRect captionGeometry()
    {
        int values[4] = {-1, -1, -1, -1};
        const char *keys[4] = {"Absolute upper-left X:", "Absolute upper-left Y:", "Width:", "Height:"};
        for (const QString &line : captionInfo().split(QLatin1Char('\n'))) {
            for (int i = 0; i < 4; ++i) {
                if (line.trimmed().startsWith(QLatin1String(keys[i])))
                    values[i] = line.section(QLatin1Char(':'), 1).trimmed().toInt();
            }
        }
        return QRect(values[0], values[1], values[2], values[3]);
    }
    // The caption's name as a screen reader reads it (the window's own title aside).
    QString captionName()
    {
        QStringList names = drive({QStringLiteral("names"), QStringLiteral("Quillwren caption")}).split(QLatin1Char('\n'));
        names.removeAll(QStringLiteral("Quillwren caption"));
        return names.join(QString()).trimmed();
    }
    void setCaption(bool on)
    {
        ASSERT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("liveCaption"),
                       on ? QStringLiteral("true") : QStringLiteral("false")})
                      .exitCode,
                  0);
    }

    // The caption on, and the stand-in hearing two sentences, each in
    // interim results and its end, four results a second of speech.
    void useSentences(const QString &first, const QString &second, int interimResults)
    {
        useScenario(R"({"recognition":{"sentences":[")" + first.toUtf8() + R"(",")" + second.toUtf8()
                    + R"("],"interimResults":)" + QByteArray::number(interimResults) + R"(,"audioMsPerResult":250}})");
        setCaption(true);
    }

    struct Seen
    {
        QString name;
        QRect geometry;
    };
    // Holds the key while seconds of tone go into the microphone, and
    // looks at the caption until `until` says enough; what it showed.
    QList<Seen> holdAndWatch(const QString &key, double seconds, const std::function<bool(const Seen &)> &until)
    {
        QList<Seen> seen;
        const qsizetype before = audioFramesReceived();
        EXPECT_TRUE(this->key("keydown", key.toLatin1().constData()));
        EXPECT_TRUE(waitUntil([&] { return audioFramesReceived() > before; }, 8000)) << "the recording never started";
        QProcess speaker;
        speaker.start(QStringLiteral("paplay"), {QStringLiteral("--device=vmic_sink"),
                                                  writeTone(dir.filePath(QStringLiteral("long.wav")), 16000, 1, seconds)});
        waitUntil([&] {
            if (!captionMapped())
                return false;
            const Seen now{captionName(), captionGeometry()};
            if (!now.name.isEmpty() && (seen.isEmpty() || seen.last().name != now.name))
                seen << now;
            return until(now);
        }, int(seconds * 1000) + 6000);
        speaker.kill();
        speaker.waitForFinished(3000);
        return seen;
    }
};

TEST_F(Caption, ShowsTheWordsAsTheyAreHeardTheFinishedKeptAndGoesOnRelease)
{
    const QString first = QStringLiteral("今天天气很好。");
    const QString second = QStringLiteral("我们下午去公园散步吧。");
    useSentences(first, second, 3);
    PasteTarget target(env, {QStringLiteral("--rect"), QStringLiteral("100,100,400,120")});
    const QString whole = first + second;
    const QList<Seen> seen = holdAndWatch(QStringLiteral("alt"), 5, [&](const Seen &now) { return now.name == whole; });
    ASSERT_FALSE(seen.isEmpty()) << "no caption while speaking";
    QStringList names;
    for (const Seen &s : seen)
        names << s.name;
    EXPECT_EQ(names.last(), whole) << names.join(QLatin1Char('|')).toStdString();
    for (const QString &name : names)
        EXPECT_TRUE(whole.startsWith(name)) << "only what was heard, in order: " << name.toStdString();
    EXPECT_TRUE(std::any_of(names.begin(), names.end(), [&](const QString &n) { return n.size() < first.size(); }))
        << "an interim part of the first sentence: " << names.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(std::any_of(names.begin(), names.end(),
                            [&](const QString &n) { return n.size() > first.size() && n.size() < whole.size(); }))
        << "the first sentence kept while the second is heard: " << names.join(QLatin1Char('|')).toStdString();

    // Above the ball, centred on it, on the screen; dark, with light text.
    const QRect box = seen.last().geometry;
    EXPECT_LT(box.bottom(), 1270 + 26) << "above the ball's band";
    EXPECT_LE(std::abs(box.center().x() - 1280), 1);
    EXPECT_TRUE(QRect(0, 0, 2560, 1440).contains(box));
    const QImage shot = QGuiApplication::primaryScreen()->grabWindow(0, box.x(), box.y(), box.width(), box.height()).toImage();
    EXPECT_TRUE(near(shot.pixelColor(4, box.height() / 2), QColor(28, 28, 30))) << shot.pixelColor(4, box.height() / 2).name().toStdString();
    int light = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            light += shot.pixelColor(x, y).lightness() > 200;
    EXPECT_GT(light, 40) << "the words are drawn";
    EXPECT_TRUE(mapped()) << "beside the ball";
    EXPECT_EQ(target.text(), QString()) << "nothing typed before the release";

    ASSERT_TRUE(key("keyup", "alt"));
    EXPECT_TRUE(waitUntil([&] { return !captionMapped() && !mapped(); }, 1000)) << "it goes with the ball";
    EXPECT_TRUE(waitUntil([&] { return target.text() == whole; }, 10000)) << target.text().toStdString();
}

TEST_F(Caption, ShowsTwoLinesAtMostAndKeepsOffTheFieldBeingWrittenIn)
{
    const QString first = QStringLiteral("这是一个很长的句子，用来检查字幕最多只显示两行文字而更早的文字会从顶部滚出去。");
    const QString second = QStringLiteral("第二句话也相当长，它应该完整地显示在字幕的最后一行里面，让用户看到最新的文字。");
    useSentences(first, second, 1);
    // A field just above the ball, its caret where a caption above the ball would go.
    QProcessEnvironment targetEnv = env;
    targetEnv.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    PasteTarget target(targetEnv, {QStringLiteral("--rect"), QStringLiteral("1262,1226,300,50")});
    const QString whole = first + second;
    const QList<Seen> seen = holdAndWatch(QStringLiteral("alt"), 5, 
                                          [&](const Seen &now) { return now.name.endsWith(second); });
    ASSERT_FALSE(seen.isEmpty());
    const Seen last = seen.last();
    EXPECT_TRUE(whole.endsWith(last.name)) << last.name.toStdString();
    EXPECT_FALSE(last.name.contains(first.left(6))) << "the oldest words went off the top: " << last.name.toStdString();
    QList<int> heights;
    for (const Seen &s : seen) {
        if (!heights.contains(s.geometry.height()))
            heights << s.geometry.height();
    }
    EXPECT_LE(heights.size(), 2) << "one line, then two, never more";
    EXPECT_LT(last.geometry.height(), 2 * heights.first()) << "two lines at most";

    EXPECT_TRUE(waitUntil([&] { return captionGeometry().top() > 1270 + 26 + 48; }, 3000))
        << "below the ball, off the field above it: " << captionGeometry().y();
    ASSERT_TRUE(key("keyup", "alt"));
    EXPECT_TRUE(waitUntil([&] { return !captionMapped(); }, 1000));
}

TEST_F(Caption, AfterACleanUpTheTypedWordsShowForAMomentAndGoWithTheBall)
{
    const QString heard = QStringLiteral("嗯，明天下午三点，不对，四点开会。");
    const QString edit = QStringLiteral("明天下午四点开会。");
    useScenario(R"({"recognition":{"sentences":[")" + heard.toUtf8() + R"("]},"cleanup":{"edits":{")" + heard.toUtf8()
                + R"(":")" + edit.toUtf8() + R"("}}})");
    setCaption(true);
    ASSERT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("dictationCleanup"),
                   QStringLiteral("light")}).exitCode, 0);
    PasteTarget target(env);
    holdAndWatch(QStringLiteral("alt"), 1.5, [&](const Seen &now) { return now.name == heard; });
    ASSERT_TRUE(key("keyup", "alt"));
    // (The words being cleaned beside the turning ball last as long as the
    // clean-up, too short to be sure of a look here; the unit tests see them.)
    ASSERT_TRUE(waitUntil([&] { return target.text() == edit; }, 10000)) << target.text().toStdString();
    QElapsedTimer shownFor;
    shownFor.start();
    EXPECT_TRUE(waitUntil([&] { return captionMapped() && captionName() == edit; }, 1000))
        << "what was typed: " << captionName().toStdString();
    EXPECT_TRUE(mapped()) << "with the ball";
    EXPECT_TRUE(waitUntil([&] { return !captionMapped() && !mapped(); }, 4000)) << "then both go";
    EXPECT_GT(shownFor.elapsed(), 800) << "for a moment";
}

TEST_F(Caption, OffByDefaultNoWindowIsMadeAndTheIdleApplicationSleeps)
{
    useScenario(R"({"recognition":{"sentences":["你好。"]}})");
    PasteTarget target(env);
    holdAndSpeak(QStringLiteral("alt"));
    EXPECT_TRUE(waitUntil([&] { return target.text() == QStringLiteral("你好。"); }, 10000));
    EXPECT_FALSE(captionInfo().contains(QStringLiteral("Window id"))) << "no caption window with the caption off";

    // On: after a captioned take the idle application wakes no more than without.
    setCaption(true);
    holdAndWatch(QStringLiteral("alt"), 1.5, [](const Seen &now) { return !now.name.isEmpty(); });
    ASSERT_TRUE(key("keyup", "alt"));
    EXPECT_TRUE(waitUntil([&] { return !captionMapped(); }, 1000));
    endingStatus();
    settle(1000);
    const auto switches = [&] {
        QFile status(QStringLiteral("/proc/%1/status").arg(app.processId()));
        qint64 total = 0;
        if (status.open(QIODevice::ReadOnly)) {
            for (const QByteArray &line : status.readAll().split('\n')) {
                if (line.contains("ctxt_switches"))
                    total += line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
            }
        }
        return total;
    };
    const qint64 before = switches();
    settle(3000);
    const qint64 woken = switches() - before;
    std::cerr << "idle after a captioned take: " << woken << " context switches of the main thread in 3 s" << std::endl;
    EXPECT_LT(woken, 15) << "the main thread sleeps while nothing happens";
}

} // namespace
