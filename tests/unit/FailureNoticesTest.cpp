#include "ControllerFixture.h"
#include "Delay.h"
#include "DesktopNotifier.h"
#include "FailureNotices.h"

#include <gtest/gtest.h>

using TestSupport::waitUntil;

namespace {

// A notification server that records what it shows, or is not there.
class RecordingNotifier final : public DesktopNotifier
{
public:
    void show(const QString &summary, const QString &body) override
    {
        if (!serving) {
            Q_EMIT undelivered(summary, body);
            return;
        }
        shown << summary + QLatin1Char('|') + body;
    }
    bool serving = true;
    QStringList shown;
};

class Notices : public ControllerFixture
{
protected:
    void SetUp() override
    {
        desktop.screenImage = QImage(800, 600, QImage::Format_RGB32);
        desktop.screenImage.fill(Qt::white);
        makeController();
        notices = std::make_unique<FailureNotices>(
            *controller, notifier,
            [this](const QString &summary, const QString &) {
                trayMessages << summary;
                return trayShown;
            },
            [this]() -> QCoro::Task<QString> {
                ++explainersAsked;
                // The answer comes later, as the other region's would.
                if (explainerDelayMs > 0)
                    co_await delay(std::chrono::milliseconds(explainerDelayMs));
                ++explainersAnswered;
                co_return explanation;
            });
    }

    void TearDown() override
    {
        // No question to the other region is left hanging.
        EXPECT_TRUE(waitUntil([this] { return explainersAnswered == explainersAsked; }));
    }

    void run(std::uint64_t key)
    {
        activate(key);
        release();
        ASSERT_TRUE(waitUntil([this] { return idle(); }));
    }

    RecordingNotifier notifier;
    QStringList trayMessages;
    bool trayShown = true;
    int explainersAsked = 0;
    int explainersAnswered = 0;
    int explainerDelayMs = 0;
    QString explanation;
    std::unique_ptr<FailureNotices> notices;
};

TEST_F(Notices, OnlyEndingsThatNeedTheUserAreTold)
{
    run(ModifierMask::Option);
    EXPECT_TRUE(notifier.shown.isEmpty()) << "a typed dictation is its own news";

    desktop.pasteWorks = false;
    run(ModifierMask::Option);
    EXPECT_EQ(notifier.shown, QStringList{QStringLiteral("文本已复制到剪贴板，请手动粘贴|你好世界")});

    desktop.pasteWorks = true;
    activate(ModifierMask::Option);
    source.key(9);
    keys->runTasks();
    ASSERT_TRUE(waitUntil([this] { return idle(); }));
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("已取消"));
    EXPECT_EQ(notifier.shown.size(), 1) << "a cancel is the user's own doing";

    service.visionReply = ServiceError{QStringLiteral("APIError"), 401, QStringLiteral("Invalid API-key provided.")};
    run(ModifierMask::Command);
    ASSERT_EQ(notifier.shown.size(), 2);
    EXPECT_EQ(notifier.shown[1], QStringLiteral("分析失败：Invalid API-key provided.|"));
    EXPECT_TRUE(trayMessages.isEmpty());
}

TEST_F(Notices, ARefusedKeyIsExplainedOnceWhenTheOtherRegionTakesItAndOnlyThen)
{
    // A failure that is not about the key asks nothing.
    service.visionReply = ServiceError{QStringLiteral("APIError"), 500, QStringLiteral("Internal error")};
    run(ModifierMask::Command);
    ASSERT_EQ(notifier.shown.size(), 1);
    EXPECT_EQ(explainersAsked, 0);

    // Refused, and the other region does not take the key either: the
    // refusal stands alone.
    service.visionReply = ServiceError{QStringLiteral("APIError"), 401, QStringLiteral("Invalid API-key provided.")};
    run(ModifierMask::Command);
    ASSERT_TRUE(waitUntil([this] { return explainersAsked == 1; }));
    TestSupport::settle(50);
    EXPECT_EQ(notifier.shown.size(), 2);

    // The other region takes it: a second notice says so, after the first.
    explanation = QStringLiteral("这个 API Key 属于新加坡地域");
    service.visionReply = ServiceError{QStringLiteral("APIError"), 401, QStringLiteral("Invalid API-key provided.")};
    run(ModifierMask::Command);
    ASSERT_TRUE(waitUntil([this] { return notifier.shown.size() == 4; })) << notifier.shown.join(u'\n').toStdString();
    EXPECT_EQ(notifier.shown[2], QStringLiteral("分析失败：Invalid API-key provided.|"));
    EXPECT_EQ(notifier.shown[3], QStringLiteral("分析失败：Invalid API-key provided.|这个 API Key 属于新加坡地域"));
    EXPECT_EQ(explainersAsked, 2);
    EXPECT_EQ(log.linesStartingWith(QStringLiteral("🔔 [通知] 分析失败：Invalid API-key provided.（这个 API Key")).size(), 1);

    // An answer that comes after a newer run's notice does not cover it.
    explainerDelayMs = 400;
    service.visionReply = ServiceError{QStringLiteral("APIError"), 401, QStringLiteral("Invalid API-key provided.")};
    run(ModifierMask::Command);
    desktop.pasteWorks = false;
    run(ModifierMask::Option);
    ASSERT_EQ(notifier.shown.size(), 6);
    TestSupport::settle(600);
    EXPECT_EQ(explainersAsked, 3);
    EXPECT_EQ(notifier.shown.size(), 6) << notifier.shown.last().toStdString();
    EXPECT_TRUE(notifier.shown.last().startsWith(QStringLiteral("文本已复制到剪贴板")));
}

TEST_F(Notices, WithoutANotificationServerTheTraySaysItAndWithoutEitherTheLogDoes)
{
    notifier.serving = false;
    desktop.pasteWorks = false;
    run(ModifierMask::Option);
    EXPECT_EQ(trayMessages, QStringList{QStringLiteral("文本已复制到剪贴板，请手动粘贴")});

    trayShown = false;
    run(ModifierMask::Option);
    EXPECT_EQ(trayMessages.size(), 2);
    EXPECT_EQ(log.linesStartingWith(QStringLiteral("⚠️ [通知] 没有通知服务也没有托盘")).size(), 1);
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("文本已复制到剪贴板，请手动粘贴")) << "the status still says it";
}

} // namespace
