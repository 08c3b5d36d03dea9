#include "KeyValueStore.h"
#include "SettingsStore.h"
#include "TestSupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>

#include <gtest/gtest.h>

using TestSupport::runTool;

namespace {

// `quillwren monitor-keys` on the real X server, with keys typed by xdotool.
class MonitorKeys : public ::testing::Test
{
protected:
    void start(const ShortcutConfig &config = ShortcutConfig::defaults())
    {
        SettingsKeyValueStore file(home.filePath(QStringLiteral("orvo/Quillwren.conf")));
        SettingsStore(file).saveShortcutConfig(config);
        process.setProcessEnvironment(TestSupport::isolatedEnvironment(home));
        process.start(QStringLiteral(QUILLWREN_BINARY), {QStringLiteral("monitor-keys")});
        ASSERT_TRUE(process.waitForStarted(5000));
        // The configuration's last line ends the start-up output.
        ASSERT_TRUE(waitForLine(QStringLiteral("BFF回复：长按"), 5000))
            << output.join(QLatin1Char('\n')).toStdString()
            << QString::fromUtf8(process.readAllStandardError()).toStdString();
        startup = output;
        output.clear();
    }

    void TearDown() override
    {
        process.terminate();
        EXPECT_TRUE(process.waitForFinished(5000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0) << "an interrupt ends the command normally";
    }

    void type(const QString &script)
    {
        ASSERT_EQ(runTool(QStringLiteral("xdotool"), script.split(QLatin1Char(' '))), 0);
    }

    bool waitForLine(const QString &prefix, int timeoutMs = 3000)
    {
        QDeadlineTimer deadline(timeoutMs);
        for (;;) {
            while (process.canReadLine())
                output << QString::fromUtf8(process.readLine()).trimmed();
            for (const QString &line : std::as_const(output)) {
                if (line.startsWith(prefix))
                    return true;
            }
            if (deadline.hasExpired() || process.state() != QProcess::Running)
                return false;
            process.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
        }
    }

    // Everything printed within the quiet period.
    QStringList settle(int ms = 600)
    {
        waitForLine(QStringLiteral("\x01never"), ms);
        return output;
    }

    QStringList starting(const QString &prefix) const
    {
        QStringList result;
        for (const QString &line : output) {
            if (line.startsWith(prefix))
                result << line;
        }
        return result;
    }

    QTemporaryDir home;
    QProcess process;
    QStringList output;
    QStringList startup;
};

TEST_F(MonitorKeys, AltHeldHalfASecondActivatesVoiceInputUntilReleased)
{
    start();
    type(QStringLiteral("keydown alt sleep 0.5 keyup alt"));
    ASSERT_TRUE(waitForLine(QStringLiteral("currentMode none")));
    EXPECT_EQ(starting(QStringLiteral("onKeyDown")), QStringList{QStringLiteral("onKeyDown voice_input")});
    const QStringList modes = starting(QStringLiteral("currentMode"));
    ASSERT_EQ(modes.size(), 2);
    EXPECT_TRUE(modes[0].startsWith(QStringLiteral("currentMode voice_input (+3"))) << modes[0].toStdString();
    EXPECT_TRUE(starting(QStringLiteral("onKeyDownCancelled")).isEmpty());
}

TEST_F(MonitorKeys, AltTappedGivesExactlyOneShortPressCancel)
{
    start();
    type(QStringLiteral("keydown alt sleep 0.1 keyup alt"));
    ASSERT_TRUE(waitForLine(QStringLiteral("onKeyDownCancelled")));
    settle();
    EXPECT_EQ(starting(QStringLiteral("onKeyDownCancelled")),
              QStringList{QStringLiteral("onKeyDownCancelled voice_input")});
    EXPECT_TRUE(output.contains(QStringLiteral("⚡️ 短按取消，通知取消预热：语音输入法")));
    EXPECT_TRUE(starting(QStringLiteral("currentMode")).isEmpty());
}

TEST_F(MonitorKeys, SuperWithAnotherKeyCancelsBffReplyAndItsReleaseDoesNothing)
{
    start();
    type(QStringLiteral("keydown super sleep 0.05 key c sleep 0.5 keyup super"));
    ASSERT_TRUE(waitForLine(QStringLiteral("onKeyDownCancelled bff_reply")));
    settle();
    EXPECT_EQ(starting(QStringLiteral("onKeyDownCancelled")).size(), 1);
    EXPECT_TRUE(starting(QStringLiteral("currentMode")).isEmpty());
    EXPECT_TRUE(starting(QStringLiteral("⬆️")).isEmpty()) << "the release is no longer a release";
}

TEST_F(MonitorKeys, ADisabledModeProducesNothing)
{
    ShortcutConfig config;
    config.bffReply.enabled = false;
    start(config);
    EXPECT_TRUE(startup.contains(QStringLiteral("BFF回复：长按 Command (⌘)（已禁用）")));
    type(QStringLiteral("keydown super sleep 0.5 keyup super"));
    EXPECT_TRUE(settle().isEmpty()) << settle().join(QLatin1Char('\n')).toStdString();
}

TEST_F(MonitorKeys, ShiftHeldBeforeAltCountsOnlyAltsEdge)
{
    ShortcutConfig config;
    config.chatAssistant.modifier = ModifierKey::Shift;
    start(config);
    type(QStringLiteral("keydown shift sleep 0.1 keydown alt sleep 0.5 keyup alt sleep 0.1 keyup shift"));
    ASSERT_TRUE(waitForLine(QStringLiteral("currentMode none")));
    settle();
    EXPECT_EQ(starting(QStringLiteral("⬇️")),
              (QStringList{QStringLiteral("⬇️ [聊天助手] 修饰键按下：Shift (⇧)"),
                           QStringLiteral("⬇️ [语音输入法] 修饰键按下：Option (⌥)")}));
    const QStringList modes = starting(QStringLiteral("currentMode"));
    ASSERT_FALSE(modes.isEmpty());
    EXPECT_TRUE(modes[0].startsWith(QStringLiteral("currentMode voice_input")));
    EXPECT_FALSE(modes.join(QLatin1Char(' ')).contains(QStringLiteral("chat_assistant")));
}

} // namespace
