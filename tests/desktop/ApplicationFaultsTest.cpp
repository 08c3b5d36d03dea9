// What the user said or asked for survives a failure on the way, and the
// status line says what really happened.
#include "PasteTarget.h"
#include "RunningApplication.h"

#include <QElapsedTimer>
#include <QJsonArray>

using TestSupport::runTool;
using TestSupport::settle;
using TestSupport::waitUntil;

namespace {

using ApplicationFaults = RunningApplicationWithShortWaits;

TEST_F(ApplicationFaults, ADictationWhoseWindowClosedMeanwhileWaitsOnTheClipboard)
{
    useScenario(R"({"recognition":{"sentences":["窗口关了也不丢。"]}})");
    auto target = std::make_unique<PasteTarget>(env);
    ASSERT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("keydown"), QStringLiteral("alt")}), 0);
    ASSERT_TRUE(waitUntil([this] { return audioFramesReceived() > 0; }, 8000)) << "the recording never started";
    target.reset(); // the chat window goes away while the user speaks
    settle(300);
    ASSERT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("alt")}), 0);
    EXPECT_EQ(endingStatus(), QStringLiteral("文本已复制到剪贴板，请手动粘贴"));
    EXPECT_EQ(clipboard(), QStringLiteral("窗口关了也不丢。"));
    EXPECT_TRUE(loggedSoon(QStringLiteral("⚠️ [粘贴] 没有获得键盘焦点的窗口")));
}

TEST_F(ApplicationFaults, AChatWhoseStreamBreaksKeepsTheQuestionAndSaysTheAnswerWasCut)
{
    useScenario(R"({"recognition":{"sentences":["第一个问题？"]},
                    "chat":{"defaultAnswer":"这是一个会被打断的很长的回答。后面还有。","chunkChars":4,
                            "fault":{"type":"close-after","frames":2}}})");
    press(QStringLiteral("ctrl"), 700);
    const QString cut = endingStatus();
    EXPECT_TRUE(cut.startsWith(QStringLiteral("回复中断："))) << cut.toStdString();

    // The next question carries the first one and the part of its answer
    // that was heard.
    useScenario(R"({"recognition":{"sentences":["第二个问题？"]},"chat":{"defaultAnswer":"好。"}})");
    press(QStringLiteral("ctrl"), 700);
    EXPECT_EQ(endingStatus(), QStringLiteral("回复已完成"));
    const auto requests = server.recorder().recordsOfKind(QStringLiteral("http-request"));
    ASSERT_EQ(requests.size(), 2);
    const QJsonArray messages = requests[1][QStringLiteral("json")][QStringLiteral("messages")].toArray();
    QStringList contents;
    for (const QJsonValue &message : messages)
        contents << message[QStringLiteral("role")].toString() + QLatin1Char(':') + message[QStringLiteral("content")].toString();
    ASSERT_EQ(contents.size(), 4) << contents.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(contents[1], QStringLiteral("user:第一个问题？"));
    EXPECT_EQ(contents[2], QStringLiteral("assistant:这是一个"));
    EXPECT_EQ(contents[3], QStringLiteral("user:第二个问题？"));
}

TEST_F(ApplicationFaults, AReplyWhoseRequestTimesOutSaysSoAndTypesNothing)
{
    PasteTarget target(env);
    useScenario(R"({"vision":{"fault":{"type":"never-answer"}}})");
    QElapsedTimer timer;
    timer.start();
    press(QStringLiteral("super"), 600);
    EXPECT_EQ(endingStatus(), QStringLiteral("分析失败：服务 3 秒没有回应，请求已放弃"));
    EXPECT_LT(timer.elapsed(), 10000);
    EXPECT_TRUE(target.text().isEmpty());
    EXPECT_EQ(server.recorder().recordsOfKind(QStringLiteral("image")).size(), 1);
}

} // namespace
