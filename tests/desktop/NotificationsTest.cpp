// A run that needs the user (a failure, words left on the clipboard) is told
// through the desktop's notification server, one notification at a time;
// success is not. Against a notification server on the session bus.
#include "FakeNotificationServer.h"
#include "freedesktop/FreedesktopNotifier.h"
#include "PasteTarget.h"
#include "RunningApplication.h"

#include <QSignalSpy>

using TestSupport::runTool;
using TestSupport::settle;
using TestSupport::waitUntil;

namespace {

TEST(FreedesktopNotifier, EachNotificationReplacesTheLastAndABurstSendsOnlyTheNewest)
{
    FakeNotificationServer server;
    ASSERT_TRUE(server.isServing());
    FreedesktopNotifier notifier;
    QSignalSpy undelivered(&notifier, &DesktopNotifier::undelivered);

    // Three at once: the first goes out, the middle one is never shown, the
    // newest follows the first's answer and replaces it.
    notifier.show(QStringLiteral("回复失败：网络错误"), QString());
    notifier.show(QStringLiteral("b"), QStringLiteral("2"));
    notifier.show(QStringLiteral("c"), QStringLiteral("3"));
    ASSERT_TRUE(waitUntil([&] { return server.received().size() == 2; }, 5000));
    const FakeNotificationServer::Notification first = server.received()[0];
    EXPECT_EQ(first.appName, QStringLiteral("Quillwren"));
    EXPECT_EQ(first.replacesId, 0u);
    EXPECT_EQ(first.hints.value(QStringLiteral("desktop-entry")).toString(), QStringLiteral("quillwren"));
    EXPECT_EQ(server.received()[1].summary, QStringLiteral("c"));
    EXPECT_EQ(server.received()[1].body, QStringLiteral("3"));

    // Later ones replace it too.
    settle(200);
    notifier.show(QStringLiteral("d"), QString());
    ASSERT_TRUE(waitUntil([&] { return server.received().size() == 3; }, 5000));
    settle(200);
    EXPECT_EQ(server.received().size(), 3);
    for (const auto &later : server.received().mid(1))
        EXPECT_EQ(later.replacesId, first.id);
    EXPECT_EQ(server.shownSummaries(), QStringList{QStringLiteral("d")});
    EXPECT_EQ(undelivered.count(), 0);
}

TEST(FreedesktopNotifier, WithoutAServerTheNotificationIsHandedBack)
{
    FreedesktopNotifier notifier;
    QSignalSpy undelivered(&notifier, &DesktopNotifier::undelivered);
    notifier.show(QStringLiteral("分析失败：超时"), QStringLiteral("细节"));
    ASSERT_TRUE(waitUntil([&] { return undelivered.count() == 1; }, 6000));
    EXPECT_EQ(undelivered[0][0].toString(), QStringLiteral("分析失败：超时"));
    EXPECT_EQ(undelivered[0][1].toString(), QStringLiteral("细节"));

    // A server that comes later is used from then on.
    FakeNotificationServer server;
    ASSERT_TRUE(server.isServing());
    notifier.show(QStringLiteral("回复失败"), QString());
    ASSERT_TRUE(waitUntil([&] { return server.received().size() == 1; }, 5000));
    EXPECT_EQ(undelivered.count(), 1);
}

class Notifications : public RunningApplicationWithShortWaits
{
protected:
    // The run's ending status, once its notification has had time to go out.
    QString ended()
    {
        const QString message = endingStatus();
        settle(300);
        return message;
    }

    FakeNotificationServer notifications;
};

TEST_F(Notifications, FailuresAndTheClipboardAreToldOneAtATimeAndSuccessIsNot)
{
    ASSERT_TRUE(notifications.isServing());

    // A dictation typed where it belongs: nothing to tell.
    useScenario(R"({"recognition":{"sentences":["一切顺利。"]}})");
    {
        PasteTarget target(env);
        press(QStringLiteral("alt"), 1200);
        EXPECT_EQ(ended(), QStringLiteral("文本已输入"));
        EXPECT_EQ(target.text(), QStringLiteral("一切顺利。"));
    }
    EXPECT_TRUE(notifications.received().isEmpty());

    // The window went away: the words wait on the clipboard, and the user is told which.
    useScenario(R"({"recognition":{"sentences":["这段话很长，窗口却已经关掉了，所以它只能留在剪贴板里，等着用户回来以后自己动手粘贴到想要的地方。"]}})");
    auto target = std::make_unique<PasteTarget>(env);
    ASSERT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("keydown"), QStringLiteral("alt")}), 0);
    ASSERT_TRUE(waitUntil([this] { return audioFramesReceived() > 0; }, 8000));
    target.reset();
    settle(300);
    ASSERT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("alt")}), 0);
    EXPECT_EQ(ended(), QStringLiteral("文本已复制到剪贴板，请手动粘贴"));
    ASSERT_TRUE(waitUntil([this] { return notifications.received().size() == 1; }, 5000)) << log().toStdString();
    const auto clipboardNotice = notifications.received()[0];
    EXPECT_EQ(clipboardNotice.summary, QStringLiteral("文本已复制到剪贴板，请手动粘贴"));
    EXPECT_EQ(clipboardNotice.body, QStringLiteral("这段话很长，窗口却已经关掉了，所以它只能留在剪贴板里，等着用户回来以后自己动手…"))
        << "the first words, cut";

    // A chat whose model refuses, then a reply that times out: each replaces the last.
    useScenario(R"({"recognition":{"sentences":["在吗？"]},
                    "chat":{"fault":{"type":"http-error","status":401,
                            "body":{"error":{"message":"Invalid API-key provided.","type":"invalid_request_error",
                                             "param":null,"code":"invalid_api_key"},"request_id":"r1"}}}})");
    press(QStringLiteral("ctrl"), 800);
    const QString chatFailure = ended();
    EXPECT_TRUE(chatFailure.startsWith(QStringLiteral("回复失败："))) << chatFailure.toStdString();
    ASSERT_TRUE(waitUntil([this] { return notifications.received().size() == 2; }, 5000));
    EXPECT_EQ(notifications.received()[1].summary, chatFailure);

    useScenario(R"({"vision":{"fault":{"type":"never-answer"}}})");
    press(QStringLiteral("super"), 600);
    EXPECT_EQ(ended(), QStringLiteral("分析失败：服务 3 秒没有回应，请求已放弃"));
    ASSERT_TRUE(waitUntil([this] { return notifications.received().size() == 3; }, 5000));
    EXPECT_EQ(notifications.received()[2].summary, QStringLiteral("分析失败：服务 3 秒没有回应，请求已放弃"));

    for (const auto &later : notifications.received().mid(1))
        EXPECT_EQ(later.replacesId, clipboardNotice.id) << "one notification on screen at a time";
    EXPECT_EQ(notifications.shownSummaries().size(), 1);
}

} // namespace
