#include "PasteTarget.h"
#include "RunningApplication.h"

using TestSupport::settle;
using TestSupport::waitUntil;

// The desktop's own key bindings drive the running application through the
// command line: `quillwren hold`, `release` and `toggle`.
namespace {

const QString kTranscript = QStringLiteral("你好，这是本地替身服务的识别结果。");

class KeyBindings : public RunningApplication
{
protected:
    int quillwren(const QStringList &args)
    {
        const auto result = run(args);
        EXPECT_TRUE(result.err.isEmpty() || result.exitCode != 0) << result.err.toStdString();
        return result.exitCode;
    }
};

TEST_F(KeyBindings, HoldThenReleaseDictatesIntoTheFocusedWindow)
{
    PasteTarget target(env);
    const qsizetype before = audioFramesReceived();
    ASSERT_EQ(quillwren({QStringLiteral("hold"), QStringLiteral("voice")}), 0);
    speakWhileRecording(before);
    ASSERT_EQ(quillwren({QStringLiteral("release"), QStringLiteral("voice")}), 0);
    ASSERT_TRUE(waitUntil([&] { return !target.text().isEmpty(); }, 10000)) << "nothing was typed";
    EXPECT_EQ(target.text(), kTranscript);
    EXPECT_EQ(endingStatus(), QStringLiteral("文本已输入"));
}

TEST_F(KeyBindings, AHoldReleasedAfter100MsIsATap)
{
    PasteTarget target(env);
    ASSERT_EQ(quillwren({QStringLiteral("hold"), QStringLiteral("voice")}), 0);
    settle(100);
    ASSERT_EQ(quillwren({QStringLiteral("release"), QStringLiteral("voice")}), 0);
    EXPECT_TRUE(loggedSoon(QStringLiteral("⚡️ 短按取消，通知取消预热：语音输入法")));
    settle(1500);
    EXPECT_FALSE(logged(QStringLiteral("✅ 长按检测成功")));
    EXPECT_EQ(target.text(), QString());
    EXPECT_TRUE(idleWith(QString()));
}

TEST_F(KeyBindings, ToggleTwiceMakesAWholeTake)
{
    PasteTarget target(env);
    const qsizetype before = audioFramesReceived();
    ASSERT_EQ(quillwren({QStringLiteral("toggle"), QStringLiteral("voice")}), 0);
    speakWhileRecording(before);
    ASSERT_EQ(quillwren({QStringLiteral("toggle"), QStringLiteral("voice")}), 0);
    ASSERT_TRUE(waitUntil([&] { return !target.text().isEmpty(); }, 10000)) << "nothing was typed";
    EXPECT_EQ(target.text(), kTranscript);
}

TEST_F(KeyBindings, DoctorSaysWhatWorksHereAndWhatTheInstanceUses)
{
    const auto doctor = run({QStringLiteral("doctor")});
    EXPECT_EQ(doctor.exitCode, 0) << doctor.out.toStdString() << doctor.err.toStdString();
    const QStringList lines = doctor.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 8) << doctor.out.toStdString();
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("session: X11"))) << lines[0].toStdString();
    const QStringList expected = {QStringLiteral("mode keys: x11 (XInput2 raw keys) — works"),
                                  QStringLiteral("clipboard: x11 (CLIPBOARD selection) — works"),
                                  QStringLiteral("paste keystroke: x11 (XTest Ctrl+V) — works"),
                                  QStringLiteral("screen capture: x11 (root window) — works"),
                                  QStringLiteral("indicator window: x11 window — works")};
    EXPECT_EQ(lines.mid(1, 5), expected);
    // jwm has a tray.
    EXPECT_TRUE(lines[6].startsWith(QStringLiteral("tray: "))) << lines[6].toStdString();
    EXPECT_TRUE(lines.contains(QStringLiteral("the running Quillwren uses:")));
    EXPECT_TRUE(lines.contains(QStringLiteral("  ") + expected[0]));
    // The application logged the same lines when it started.
    for (const QString &line : expected)
        EXPECT_TRUE(logged(QStringLiteral("✅ [Platform] ") + line)) << line.toStdString();
}

} // namespace
