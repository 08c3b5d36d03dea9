#include "RunningApplication.h"

using TestSupport::runTool;
using TestSupport::settle;
using TestSupport::toolOutput;
using TestSupport::waitUntil;

namespace {

// The settings window of the running application, driven through the
// accessibility bus as a screen reader would, and checked where the user's
// settings end up: the settings file, the hotkey monitor, the keyring.
class SettingsWindow : public RunningApplication
{
protected:
    int windows() { return RunningApplication::windows(QStringLiteral("设置")); }
    QString config() { return run({QStringLiteral("config"), QStringLiteral("show")}).out; }
    QString storedKey()
    {
        return toolOutput(QStringLiteral("secret-tool"), {QStringLiteral("lookup"), QStringLiteral("server"),
                                                         QStringLiteral("com.orvo.quillwren.apikey"), QStringLiteral("user"),
                                                         QStringLiteral("dashscope_api_key")});
    }
    void closeWindow() { closeWithAltF4(QStringLiteral("设置")); }
};

TEST_F(SettingsWindow, EditsReachTheSettingsTheMonitorAndTheKeyring)
{
    const auto opened = run({QStringLiteral("settings")});
    ASSERT_EQ(opened.exitCode, 0) << opened.err.toStdString();
    ASSERT_TRUE(waitUntil([&] { return windows() == 1; }, 10000)) << "the window is not on the accessibility bus";

    // A model name, typed into its field: saved a second later.
    ASSERT_TRUE(act({QStringLiteral("tab"), QStringLiteral("设置"), QStringLiteral("模型设置")}));
    ASSERT_TRUE(act({QStringLiteral("set-text"), QStringLiteral("设置"), QStringLiteral("模型名称"), QStringLiteral("qwen-e2e")}));
    EXPECT_TRUE(waitUntil([&] { return config().contains(QStringLiteral("qwen-e2e")); }, 5000)) << config().toStdString();

    // Shift for the chat assistant: saved and applied to the running monitor.
    ASSERT_TRUE(act({QStringLiteral("tab"), QStringLiteral("设置"), QStringLiteral("快捷键")}));
    ASSERT_TRUE(act({QStringLiteral("press"), QStringLiteral("设置"), QStringLiteral("Shift"), QStringLiteral("聊天助手")}));
    EXPECT_TRUE(waitUntil([&] { return logged(QStringLiteral("聊天助手：长按 Shift (⇧)")); }, 5000))
        << "the monitor did not take the new key";
    EXPECT_TRUE(logged(QStringLiteral("✅ [Settings] 快捷键配置已保存并应用")));
    EXPECT_TRUE(config().contains(QStringLiteral("\"shift\""))) << config().toStdString();
    EXPECT_TRUE(act({QStringLiteral("shows"), QStringLiteral("设置"), QStringLiteral("长按 Shift 键激活「聊天助手」")}));

    // A key, entered and saved: in the keyring.
    ASSERT_TRUE(act({QStringLiteral("tab"), QStringLiteral("设置"), QStringLiteral("API 配置")}));
    ASSERT_TRUE(act({QStringLiteral("set-text"), QStringLiteral("设置"), QStringLiteral("API Key"),
                     QStringLiteral("sk-from-the-settings")}));
    ASSERT_TRUE(act({QStringLiteral("press"), QStringLiteral("设置"), QStringLiteral("保存")}));
    EXPECT_TRUE(waitUntil([&] { return storedKey() == QStringLiteral("sk-from-the-settings"); }, 5000)) << storedKey().toStdString();
    EXPECT_TRUE(waitUntil([&] { return act({QStringLiteral("shows"), QStringLiteral("设置"), QStringLiteral("保存成功！")}); }, 3000));

    // Asked again: the same window, not a second one.
    ASSERT_EQ(run({QStringLiteral("settings")}).exitCode, 0);
    settle(500);
    EXPECT_EQ(windows(), 1);

    // Closed and opened again: a fresh window with the stored values; the application goes on.
    closeWindow();
    ASSERT_TRUE(waitUntil([&] { return windows() == 0; }, 5000));
    EXPECT_EQ(app.state(), QProcess::Running) << "closing the settings never quits";
    ASSERT_EQ(run({QStringLiteral("settings")}).exitCode, 0);
    ASSERT_TRUE(waitUntil([&] { return windows() == 1; }, 10000));
    ASSERT_TRUE(act({QStringLiteral("tab"), QStringLiteral("设置"), QStringLiteral("模型设置")}));
    EXPECT_EQ(drive({QStringLiteral("text"), QStringLiteral("设置"), QStringLiteral("模型名称")}), QStringLiteral("qwen-e2e"));
}

TEST_F(SettingsWindow, KeysAndTheKeyStoreHaveTheirLinuxNamesWhileTheLogKeepsItsOwn)
{
    ASSERT_EQ(run({QStringLiteral("settings")}).exitCode, 0);
    ASSERT_TRUE(waitUntil([&] { return windows() == 1; }, 10000));
    ASSERT_TRUE(act({QStringLiteral("tab"), QStringLiteral("设置"), QStringLiteral("快捷键")}));
    QStringList shown = drive({QStringLiteral("names"), QStringLiteral("设置")}).split(QLatin1Char('\n'));
    for (const QString &name : {QStringLiteral("Alt"), QStringLiteral("Ctrl"), QStringLiteral("Super"), QStringLiteral("Shift"),
                                QStringLiteral("长按 Alt 键激活「语音输入法」"), QStringLiteral("长按 Ctrl 键激活「聊天助手」"),
                                QStringLiteral("长按 Super 键激活「BFF 智能回复」"),
                                QStringLiteral("BFF 模式：Super+C / Super+V 等组合键不会误触发")})
        EXPECT_TRUE(shown.contains(name)) << name.toStdString() << " is not shown:\n" << shown.join(QLatin1Char('\n')).toStdString();

    ASSERT_TRUE(act({QStringLiteral("tab"), QStringLiteral("设置"), QStringLiteral("API 配置")}));
    shown += drive({QStringLiteral("names"), QStringLiteral("设置")}).split(QLatin1Char('\n'));
    EXPECT_TRUE(shown.contains(QStringLiteral("您的 API Key 将安全地存储在系统密钥环中")));
    for (const QString &name : std::as_const(shown)) {
        for (const QString &macName : {QStringLiteral("Option"), QStringLiteral("Command"), QStringLiteral("Cmd"),
                                       QStringLiteral("Keychain"), QStringLiteral("⌥"), QStringLiteral("⌘")})
            EXPECT_FALSE(name.contains(macName)) << name.toStdString();
    }

    // The stored names and the log lines stay as they were: files and log
    // readers keep working.
    EXPECT_TRUE(config().contains(QStringLiteral("\"option\""))) << config().toStdString();
    EXPECT_TRUE(logged(QStringLiteral("语音输入法：长按 Option (⌥)")));
}

TEST_F(SettingsWindow, ReplacementsAndTheHistoryAndClipboardSwitchesAreSavedAtOnce)
{
    ASSERT_EQ(run({QStringLiteral("replace"), QStringLiteral("add"), QStringLiteral("通义"), QStringLiteral("Tongyi")}).exitCode, 0);
    ASSERT_EQ(run({QStringLiteral("settings")}).exitCode, 0);
    ASSERT_TRUE(waitUntil([&] { return windows() == 1; }, 10000));
    ASSERT_TRUE(act({QStringLiteral("tab"), QStringLiteral("设置"), QStringLiteral("文字与历史")}));
    EXPECT_TRUE(act({QStringLiteral("shows"), QStringLiteral("设置"), QStringLiteral("Tongyi")})) << "the stored list is shown";
    ASSERT_TRUE(act({QStringLiteral("set-text"), QStringLiteral("设置"), QStringLiteral("新的替换：识别为"), QStringLiteral("千问")}));
    ASSERT_TRUE(act({QStringLiteral("set-text"), QStringLiteral("设置"), QStringLiteral("新的替换：替换为"), QStringLiteral("Qwen")}));
    ASSERT_TRUE(act({QStringLiteral("press"), QStringLiteral("设置"), QStringLiteral("添加替换")}));
    const auto listed = [&] { return run({QStringLiteral("replace"), QStringLiteral("list")}).out; };
    EXPECT_TRUE(waitUntil([&] { return listed() == QStringLiteral("通义 → Tongyi\n千问 → Qwen\n"); }, 3000))
        << listed().toStdString();
    EXPECT_TRUE(act({QStringLiteral("shows"), QStringLiteral("设置"), QStringLiteral("Qwen")}));

    // The clean-up's own rule, saved as it is typed; the level's box is there.
    const QString names = drive({QStringLiteral("names"), QStringLiteral("设置")});
    EXPECT_TRUE(names.contains(QStringLiteral("智能润色"))) << names.toStdString();
    ASSERT_TRUE(act({QStringLiteral("set-text"), QStringLiteral("设置"), QStringLiteral("润色的附加要求"),
                     QStringLiteral("British spelling")}));
    EXPECT_TRUE(waitUntil([&] { return config().contains(QStringLiteral("\"cleanupInstructions\":\"British spelling\"")); },
                          3000)) << config().toStdString();

    ASSERT_TRUE(act({QStringLiteral("press"), QStringLiteral("设置"), QStringLiteral("保存历史记录")}));
    ASSERT_TRUE(act({QStringLiteral("press"), QStringLiteral("设置"), QStringLiteral("粘贴后恢复剪贴板原内容")}));
    EXPECT_TRUE(waitUntil([&] {
        const QString shown = config();
        return shown.contains(QStringLiteral("\"keepHistory\":false")) && shown.contains(QStringLiteral("\"restoreClipboard\":true"));
    }, 3000)) << config().toStdString();

    // A model name typed afterwards keeps the list (the model page saves its
    // own members only).
    ASSERT_TRUE(act({QStringLiteral("tab"), QStringLiteral("设置"), QStringLiteral("模型设置")}));
    ASSERT_TRUE(act({QStringLiteral("set-text"), QStringLiteral("设置"), QStringLiteral("模型名称"), QStringLiteral("qwen-after")}));
    ASSERT_TRUE(waitUntil([&] { return config().contains(QStringLiteral("qwen-after")); }, 5000));
    EXPECT_EQ(listed(), QStringLiteral("通义 → Tongyi\n千问 → Qwen\n"));
    EXPECT_TRUE(config().contains(QStringLiteral("\"keepHistory\":false")));
}

TEST_F(SettingsWindow, ANameTypedJustBeforeClosingIsNotLost)
{
    ASSERT_EQ(run({QStringLiteral("settings")}).exitCode, 0);
    ASSERT_TRUE(waitUntil([&] { return windows() == 1; }, 10000));
    ASSERT_TRUE(act({QStringLiteral("tab"), QStringLiteral("设置"), QStringLiteral("模型设置")}));
    ASSERT_TRUE(act({QStringLiteral("set-text"), QStringLiteral("设置"), QStringLiteral("视觉模型名称"),
                     QStringLiteral("qwen-vl-last-second")}));
    closeWindow(); // well within the second the automatic save waits
    ASSERT_TRUE(waitUntil([&] { return windows() == 0; }, 5000));
    EXPECT_TRUE(config().contains(QStringLiteral("qwen-vl-last-second"))) << config().toStdString();
}

TEST_F(SettingsWindow, OpeningTheSettingsStartsTheApplicationWhenNoneRuns)
{
    ASSERT_EQ(run({QStringLiteral("quit")}).exitCode, 0);
    ASSERT_TRUE(waitUntil([&] { return app.state() == QProcess::NotRunning; }, 5000));
    QProcessEnvironment withBus = env;
    withBus.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    const auto opened = TestSupport::runQuillwren({QStringLiteral("settings")}, withBus);
    EXPECT_EQ(opened.exitCode, 0) << opened.err.toStdString();
    EXPECT_TRUE(waitUntil([&] { return windows() == 1; }, 10000));
    EXPECT_EQ(run({QStringLiteral("quit")}).exitCode, 0);
    EXPECT_TRUE(waitUntil([&] { return run({QStringLiteral("status")}).exitCode == 1; }, 5000));
}

} // namespace
