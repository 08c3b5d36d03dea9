#include "CaptionPlacement.h"
#include "CaptionView.h"
#include "FloatingBallView.h"
#include "IndicatorFixture.h"
#include "LiveCaption.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>

using namespace std::chrono_literals;

namespace {

// A 1920 x 1080 screen, a 300 x 60 caption, and the ball's band (280 x 48).
TEST(CaptionPlacement, TheSideWithRoomOnTheScreenAndOffTheCaret)
{
    const QRect screen(0, 0, 1920, 1080);
    const QSize caption(300, 60);
    struct Case
    {
        const char *what;
        QRect ball;
        std::optional<QRect> caret;
        QRect screen;
        QRect expected;
    } cases[] = {
        {"bottom centre: above", {820, 936, 280, 48}, {}, screen, {810, 868, 300, 60}},
        {"top left corner: below, slid onto the screen", {0, 0, 280, 48}, {}, screen, {0, 56, 300, 60}},
        {"top right corner: below, slid onto the screen", {1640, 0, 280, 48}, {}, screen, {1620, 56, 300, 60}},
        {"bottom left corner: above", {0, 1032, 280, 48}, {}, screen, {0, 964, 300, 60}},
        {"bottom right corner: above", {1640, 1032, 280, 48}, {}, screen, {1620, 964, 300, 60}},
        {"the caret just above: below", {820, 936, 280, 48}, QRect(900, 880, 2, 20), screen, {810, 992, 300, 60}},
        {"the caret above, no room below: left", {820, 1020, 280, 48}, QRect(900, 960, 2, 20), screen,
         {512, 1014, 300, 60}},
        {"the caret elsewhere changes nothing", {820, 936, 280, 48}, QRect(100, 100, 2, 20), screen,
         {810, 868, 300, 60}},
        {"no side free of the caret: above all the same", {820, 936, 280, 48}, QRect(0, 0, 1920, 1080), screen,
         {810, 868, 300, 60}},
        {"a screen right of another", {2420, 954, 280, 48}, {}, QRect(1920, 0, 1280, 1024), {2410, 886, 300, 60}},
    };
    for (const Case &c : cases) {
        const QRect placed = CaptionPlacement::place(c.ball, caption, c.screen, c.caret);
        EXPECT_EQ(placed, c.expected) << c.what;
        EXPECT_TRUE(c.screen.contains(placed)) << c.what;
        EXPECT_FALSE(placed.intersects(c.ball)) << c.what << ": never over the ball";
    }
}

TEST(CaptionLines, TheLastTwoLinesWithWhatWentOffMarked)
{
    QFont font = QGuiApplication::font();
    font.setPixelSize(16);
    const QFontMetrics metrics(font);
    struct Case
    {
        QString text;
        int lines;
        bool cut;
    } cases[] = {
        {QString(), 0, false},
        {QStringLiteral("hello there"), 1, false},
        {QStringLiteral("  many   spaces  "), 1, false},
        {QStringLiteral("the quick brown fox jumps over the lazy dog and keeps running through the field"), 2, true},
        {QStringLiteral("今天天气很好我们一起去公园散步然后去吃午饭再回家休息一下晚上看电影"), 2, true},
    };
    for (const Case &c : cases) {
        const CaptionView::Lines shown = CaptionView::lastLines(c.text, font, 200, 2);
        EXPECT_EQ(shown.lines.size(), c.lines) << c.text.toStdString();
        for (const QString &line : shown.lines)
            EXPECT_LE(metrics.horizontalAdvance(line), 200) << line.toStdString();
        EXPECT_EQ(shown.lines.value(0).startsWith(QStringLiteral("…")), c.cut) << c.text.toStdString();
        // What shows is the end of what was said, the newest word last.
        EXPECT_TRUE(c.text.simplified().endsWith(shown.shown)) << shown.shown.toStdString();
        if (!c.cut) {
            EXPECT_EQ(shown.shown, c.text.simplified());
        }
    }
}

// The caption beside the manager's ball, against the fakes of the fixture.
class Caption : public Indicator
{
protected:
    void makeCaption(bool on = true)
    {
        makeManager();
        caption = std::make_unique<LiveCaption>(*manager, recognizer, desktop, [this] { return enabled; });
        enabled = on;
    }
    bool captionShown() const { return caption->window() && caption->window()->isVisible(); }
    QString captionText() const { return caption->view() ? caption->view()->accessibleName() : QString(); }

    bool enabled = true;
    std::unique_ptr<LiveCaption> caption;
};

TEST_F(Caption, FollowsTheWordsOfADictationBesideTheBallAndGoesWithIt)
{
    makeCaption();
    recognizer.setCurrentTranscript(QStringLiteral("the last take's words"));
    activate(ModifierMask::Option);
    ASSERT_TRUE(shown());
    EXPECT_FALSE(captionShown()) << "nothing heard yet: the last take's words are not this one's";

    recognizer.setCurrentTranscript(QString()); // the recording starts
    recognizer.setCurrentTranscript(QStringLiteral("今天"));
    ASSERT_TRUE(captionShown());
    EXPECT_EQ(captionText(), QStringLiteral("今天"));
    recognizer.setCurrentTranscript(QStringLiteral("今天天气"));
    EXPECT_EQ(captionText(), QStringLiteral("今天天气")) << "the tail replaced";
    recognizer.setCurrentTranscript(QStringLiteral("今天天气很好。明"));
    EXPECT_EQ(captionText(), QStringLiteral("今天天气很好。明")) << "the finished sentence kept";

    QWidget *window = caption->window();
    const QRect ball = manager->ballArea();
    EXPECT_LT(window->geometry().bottom(), ball.top()) << "above the ball";
    EXPECT_LE(std::abs(2 * window->x() + window->width() - (2 * ball.x() + ball.width())), 1) << "centred on it";
    EXPECT_TRUE(QGuiApplication::primaryScreen()->geometry().contains(window->geometry()));
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowDoesNotAcceptFocus);
    EXPECT_TRUE(flags & Qt::WindowTransparentForInput);
    EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(desktop.stickyWindows.contains(window->winId())) << "on every desktop, as the ball";
    EXPECT_EQ(window->mask(), caption->view()->shape()) << "shaped to its box without a compositor";

    release();
    EXPECT_FALSE(captionShown()) << "it goes with the ball";
    recognizer.setCurrentTranscript(QStringLiteral("今天天气很好。明天见。"));
    EXPECT_FALSE(captionShown()) << "the final words after the release do not bring it back";
}

TEST_F(Caption, OffMakesNoWindowAndTheReplyModeHasNone)
{
    makeCaption(false);
    activate(ModifierMask::Option);
    recognizer.setCurrentTranscript(QStringLiteral("hello"));
    release();
    EXPECT_EQ(caption->window(), nullptr);

    enabled = true;
    activate(ModifierMask::Command);
    recognizer.setCurrentTranscript(QStringLiteral("hello again"));
    EXPECT_EQ(caption->window(), nullptr) << "the reply mode is not captioned";
    release();

    activate(ModifierMask::Control);
    recognizer.setCurrentTranscript(QStringLiteral("what is the weather"));
    EXPECT_TRUE(captionShown()) << "the question, while the chat's key is held";
    release();
    EXPECT_FALSE(captionShown()) << "gone before the answer starts";
}

TEST_F(Caption, AfterACleanUpTheTypedWordsShowForAMomentThenGoWithTheBall)
{
    makeCaption();
    activate(ModifierMask::Option);
    recognizer.setCurrentTranscript(QStringLiteral("um so the meeting is at three"));
    release();
    manager->setProcessing(AppMode::VoiceInput);
    ASSERT_TRUE(captionShown()) << "the words being cleaned, beside the turning ball";
    EXPECT_EQ(captionText(), QStringLiteral("um so the meeting is at three"));

    caption->cleanupEnded();
    ASSERT_TRUE(shown()) << "the ball waits for the typed words";
    EXPECT_FALSE(manager->ballView()->isProcessing()) << "no longer turning";
    caption->typedText(QStringLiteral("So the meeting is at three."));
    EXPECT_EQ(captionText(), QStringLiteral("So the meeting is at three."));
    caption->runEnded();
    EXPECT_TRUE(captionShown()) << "shown its moment even though the run is over";
    EXPECT_TRUE(TestSupport::waitUntil([&] { return !shown() && !captionShown(); },
                                       int(LiveCaption::kTypedShownFor.count()) + 1000));

    // A run that ends without typing (cancelled, failed) lets the ball go at once.
    activate(ModifierMask::Option);
    recognizer.setCurrentTranscript(QStringLiteral("words"));
    release();
    manager->setProcessing(AppMode::VoiceInput);
    caption->cleanupEnded();
    ASSERT_TRUE(shown());
    caption->runEnded();
    EXPECT_FALSE(shown());
    EXPECT_FALSE(captionShown());

    // A new take meanwhile has the ball; the held one does not come back after it.
    activate(ModifierMask::Option);
    recognizer.setCurrentTranscript(QStringLiteral("first"));
    release();
    manager->setProcessing(AppMode::VoiceInput);
    caption->cleanupEnded();
    activate(ModifierMask::Option);
    EXPECT_FALSE(captionShown()) << "the new take starts without words";
    release();
    EXPECT_FALSE(shown());
    caption->typedText(QStringLiteral("First."));
    EXPECT_FALSE(shown()) << "a late typed text of the earlier take shows nothing";

    // With the caption off the clean-up's ball simply goes.
    enabled = false;
    activate(ModifierMask::Option);
    release();
    manager->setProcessing(AppMode::VoiceInput);
    caption->cleanupEnded();
    EXPECT_FALSE(shown());
}

TEST_F(Caption, KeepsOffTheCaretTheDesktopTells)
{
    const QRect ball = [] {
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        const QPoint origin = FloatingBallWindowManager::windowOrigin(screen);
        return QRect(origin.x(), origin.y() + 26, 280, 48);
    }();
    desktop.caret = QRect(ball.center().x(), ball.top() - 30, 2, 18); // a field just above the ball
    makeCaption();
    activate(ModifierMask::Option);
    recognizer.setCurrentTranscript(QStringLiteral("beside the caret"));
    ASSERT_TRUE(captionShown());
    EXPECT_EQ(manager->ballArea(), ball);
    const QRect placed = caption->window()->geometry();
    EXPECT_FALSE(placed.intersects(desktop.caret->adjusted(-8, -8, 8, 8))) << "the line being written stays in view";
    EXPECT_GT(placed.top(), ball.bottom()) << "below the ball: the screen has room there";
}

} // namespace
