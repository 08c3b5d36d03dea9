#include "FakeNotificationServer.h"
#include "PasteTarget.h"
#include "PulseControl.h"
#include "RunEnding.h"
#include "RunningApplication.h"
#include "TakeAudioFile.h"
#include "TakeHistory.h"

#include <QPoint>
#include <QRegularExpression>

using TestSupport::runTool;
using TestSupport::settle;
using TestSupport::toolOutput;
using TestSupport::waitUntil;

namespace {

// The running application as a desktop citizen: its start-up, its tray icon
// in jwm's dock and the icon's menu, the status window and the settings
// shortcut, reached as a user (xdotool) and a screen reader (AT-SPI) do.
class Shell : public RunningApplication
{
protected:
    // The icon embedded in the tray: a small window of ours inside the dock.
    std::optional<QPoint> trayIcon()
    {
        static const QRegularExpression line(
            QStringLiteral(R"(\"quillwren\": \(\"quillwren\" \"quillwren\"\)\s+(\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(\d+)\+(\d+))"));
        const QString tree = toolOutput(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")});
        for (auto it = line.globalMatch(tree); it.hasNext();) {
            const auto match = it.next();
            const int width = match.captured(1).toInt();
            if (width <= 64 && match.captured(2).toInt() <= 64)
                return QPoint(match.captured(3).toInt() + width / 2, match.captured(4).toInt() + match.captured(2).toInt() / 2);
        }
        return std::nullopt;
    }
    bool clickTray(const char *button)
    {
        const auto at = trayIcon();
        if (!at)
            return false;
        return runTool(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(at->x()), QString::number(at->y()),
                                                   QStringLiteral("click"), QString::fromLatin1(button)})
               == 0;
    }
    // Opens the icon's menu with the right button and picks an entry with
    // the keyboard: a menu is a popup, which the accessibility tree leaves out.
    bool chooseFromTrayMenu(const char *keys)
    {
        if (!clickTray("3"))
            return false;
        settle(400);
        QStringList args{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("100")};
        args += QString::fromLatin1(keys).split(QLatin1Char(' '));
        return runTool(QStringLiteral("xdotool"), args) == 0;
    }
};

// The windows in the user's language and the log in its original: the same
// windows and the same failing take, once under English and once under Chinese.
class ShellLanguages : public Shell
{
protected:
    void adjustEnvironment(QProcessEnvironment &appEnv) override { appEnv.insert(QStringLiteral("LANGUAGE"), language); }

    struct Seen
    {
        QStringList statusWindow;
        QStringList settings; // every tab's names, the tab names first
        QString notice;
        QStringList takeLog;
    };

    Seen look(const QString &settingsTitle, const QStringList &tabs)
    {
        Seen seen;
        EXPECT_TRUE(waitUntil([&] { return trayIcon().has_value(); }, 5000));
        EXPECT_TRUE(clickTray("1"));
        EXPECT_TRUE(waitUntil([&] { return windows(QStringLiteral("Quillwren")) == 1; }, 5000));
        seen.statusWindow = names(QStringLiteral("Quillwren"));
        EXPECT_EQ(run({QStringLiteral("settings")}).exitCode, 0);
        EXPECT_TRUE(waitUntil([&] { return windows(settingsTitle) == 1; }, 5000)) << settingsTitle.toStdString();
        seen.settings = tabs;
        for (const QString &tab : tabs) {
            EXPECT_TRUE(act({QStringLiteral("tab"), settingsTitle, tab})) << tab.toStdString();
            seen.settings += names(settingsTitle);
        }
        // A take whose chat model refuses the key: told in a notification.
        const qsizetype before = notifications.received().size();
        useScenario(R"({"recognition":{"sentences":["在吗？"]},
                        "chat":{"fault":{"type":"http-error","status":401,
                                "body":{"error":{"message":"Invalid API-key provided.","type":"invalid_request_error",
                                                 "param":null,"code":"invalid_api_key"},"request_id":"r1"}}}})");
        press(QStringLiteral("ctrl"), 800);
        endingStatus();
        EXPECT_TRUE(waitUntil([&] { return notifications.received().size() > before; }, 5000)) << log().toStdString();
        if (notifications.received().size() > before)
            seen.notice = notifications.received()[before].summary;
        // The take's lines that carry its texts, their numbers masked (times, ids).
        static const QRegularExpression digits(QStringLiteral("\\d+"));
        for (const QString &line : log().split(QLatin1Char('\n'))) {
            if (line.contains(QStringLiteral("长按检测成功")) || line.contains(QStringLiteral("[语音处理]"))
                || line.contains(QStringLiteral("[通知]")) || line.contains(QStringLiteral("释放快捷键")))
                seen.takeLog << QString(line).replace(digits, QStringLiteral("#"));
        }
        return seen;
    }

    QStringList names(const QString &window)
    {
        return drive({QStringLiteral("names"), window}).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    QString language = QStringLiteral("en");
    FakeNotificationServer notifications;
};

TEST_F(ShellLanguages, EnglishWindowsAndNoticesOutsideChineseLocalesWithTheSameLog)
{
    ASSERT_TRUE(notifications.isServing());
    const Seen english = look(QStringLiteral("Settings"), {QStringLiteral("API Key"), QStringLiteral("Models"),
                                                           QStringLiteral("Shortcuts"), QStringLiteral("Text and History"),
                                                           QStringLiteral("Audio"), QStringLiteral("About")});
    ASSERT_EQ(run({QStringLiteral("quit")}).exitCode, 0);
    ASSERT_TRUE(waitUntil([&] { return app.state() == QProcess::NotRunning; }, 5000));
    language = QStringLiteral("zh_CN");
    startApplication();
    const Seen chinese = look(QStringLiteral("设置"), {QStringLiteral("API 配置"), QStringLiteral("模型设置"),
                                                      QStringLiteral("快捷键"), QStringLiteral("文字与历史"),
                                                      QStringLiteral("音频"), QStringLiteral("关于")});

    // English: no Chinese character anywhere but in the user's own words
    // (the recent takes: a time, then the words; their copy buttons).
    static const QRegularExpression cjk(QStringLiteral("[\\x{3000}-\\x{303f}\\x{4e00}-\\x{9fff}\\x{ff00}-\\x{ffef}]"));
    static const QRegularExpression usersWords(QStringLiteral("^(\\d\\d-\\d\\d \\d\\d:\\d\\d  |Copy: |Copy as heard: )"));
    for (const QString &name : english.statusWindow + english.settings) {
        if (!usersWords.match(name).hasMatch()) {
            EXPECT_FALSE(cjk.match(name).hasMatch()) << "not English: " << name.toStdString();
        }
    }
    for (const char *text : {"Ready", "Hold Alt", "Hold Ctrl", "Hold Super", "Desktop features"})
        EXPECT_TRUE(english.statusWindow.contains(QString::fromUtf8(text))) << text;
    for (const char *text : {"Your API key is stored securely in the system keyring", "Hold Alt to start Dictation",
                             "Hold Ctrl to start Chat assistant", "Restore defaults", "Keep a history", "Features:"})
        EXPECT_TRUE(english.settings.contains(QString::fromUtf8(text))) << text;
    // The service's own words are passed on as they came.
    const QString englishFailure = QStringLiteral("The answer failed: Chat request failed (401): ");
    ASSERT_TRUE(english.notice.startsWith(englishFailure)) << english.notice.toStdString();

    // Chinese: the originals, byte for byte.
    for (const char *text : {"就绪", "长按 Alt", "桌面功能"})
        EXPECT_TRUE(chinese.statusWindow.contains(QString::fromUtf8(text))) << text;
    for (const char *text : {"您的 API Key 将安全地存储在系统密钥环中", "长按 Alt 键激活「语音输入法」",
                             "长按 Ctrl 键激活「聊天助手」", "恢复默认设置", "保存历史记录", "功能特性："})
        EXPECT_TRUE(chinese.settings.contains(QString::fromUtf8(text))) << text;
    const QString chineseFailure = QStringLiteral("回复失败：LLM 流式请求失败 (401): ");
    ASSERT_TRUE(chinese.notice.startsWith(chineseFailure)) << chinese.notice.toStdString();
    EXPECT_EQ(english.notice.mid(englishFailure.size()), chinese.notice.mid(chineseFailure.size()));
    EXPECT_TRUE(chinese.notice.contains(QStringLiteral("Invalid API-key provided.")));

    // The log is the same whatever the windows showed.
    ASSERT_FALSE(english.takeLog.isEmpty());
    EXPECT_TRUE(english.takeLog.filter(QStringLiteral("🔔 [通知] 回复失败：LLM 流式请求失败 (#): ")).size() == 1)
        << english.takeLog.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(english.takeLog, chinese.takeLog);
}

TEST_F(Shell, StartsInOrderWithItsIconInTheTray)
{
    ASSERT_TRUE(waitUntil([&] { return logged(QStringLiteral("✨ 应用初始化完成，状态栏图标已显示")); }, 5000));
    const QStringList order{QStringLiteral("🚀 Quillwren 应用启动..."), QStringLiteral("✅ AppViewModel 已初始化"),
                            QStringLiteral("✅ StatusBarController 已初始化"),
                            QStringLiteral("✅ FloatingBallWindowManager 已初始化"),
                            QStringLiteral("🔐 辅助功能权限状态：✅ 已授权"),
                            QStringLiteral("✅ 辅助功能权限已授权，快捷键监听已就绪"),
                            QStringLiteral("✨ 应用初始化完成，状态栏图标已显示")};
    qsizetype at = 0;
    for (const QString &line : order) {
        const qsizetype found = log().indexOf(line, at);
        EXPECT_GE(found, at) << "missing or out of order: " << line.toStdString();
        at = std::max(at, found);
    }
    EXPECT_TRUE(waitUntil([&] { return trayIcon().has_value(); }, 5000)) << "the icon is not in the tray";
    EXPECT_EQ(windows(QStringLiteral("设置")), 0);
    EXPECT_EQ(windows(QStringLiteral("Quillwren")), 0) << "no window shows at start";
}

TEST_F(Shell, TheTrayMenuOpensOneSettingsWindowAndQuits)
{
    ASSERT_TRUE(waitUntil([&] { return trayIcon().has_value(); }, 5000));
    ASSERT_TRUE(chooseFromTrayMenu("Down Return")); // "打开设置", the first entry
    ASSERT_TRUE(waitUntil([&] { return windows(QStringLiteral("设置")) == 1; }, 5000));
    ASSERT_TRUE(chooseFromTrayMenu("Down Return"));
    settle(500);
    EXPECT_EQ(windows(QStringLiteral("设置")), 1) << "the same window, brought forward";

    ASSERT_TRUE(chooseFromTrayMenu("Up Return")); // "退出 Quillwren", the last
    ASSERT_TRUE(waitUntil([&] { return app.state() == QProcess::NotRunning; }, 5000));
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.exitCode(), 0);
    EXPECT_TRUE(logged(QStringLiteral("Quillwren 即将退出")));
}

TEST_F(Shell, AClickOnTheIconShowsTheStatusWindowWhereShiftOneOpensTheSettings)
{
    ASSERT_TRUE(waitUntil([&] { return trayIcon().has_value(); }, 5000));
    ASSERT_TRUE(clickTray("1"));
    ASSERT_TRUE(waitUntil([&] { return windows(QStringLiteral("Quillwren")) == 1; }, 5000));
    int status = -1;
    drive({QStringLiteral("shows"), QStringLiteral("Quillwren"), QStringLiteral("就绪")}, &status);
    EXPECT_EQ(status, 0) << "the status line of an idle assistant";
    const QStringList shown = drive({QStringLiteral("names"), QStringLiteral("Quillwren")}).split(QLatin1Char('\n'));
    for (const QString &usage : {QStringLiteral("长按 Alt"), QStringLiteral("长按 Ctrl"), QStringLiteral("长按 Super")})
        EXPECT_TRUE(shown.contains(usage)) << "the keys are named as on Linux: " << usage.toStdString();

    const QString window = toolOutput(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                                  QStringLiteral("--name"), QStringLiteral("^Quillwren$")})
                               .split(QLatin1Char('\n'), Qt::SkipEmptyParts)
                               .value(0);
    ASSERT_FALSE(window.isEmpty());
    ASSERT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), QStringLiteral("--sync"), window}), 0);
    ASSERT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("shift+1")}), 0);
    EXPECT_TRUE(waitUntil([&] { return windows(QStringLiteral("设置")) == 1; }, 5000));
    EXPECT_TRUE(waitUntil([&] { return logged(QStringLiteral("⚙️ 快捷键触发：打开设置页面")); }, 2000));
}

TEST_F(Shell, TheAudioTabMetersTheChosenMicrophoneAndOneThatIsGoneFallsBackWithANotice)
{
    PulseControl::TestMicrophone usb(QStringLiteral("usbmic"));
    ASSERT_TRUE(usb.isLoaded());
    ASSERT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("inputDevice"), QStringLiteral("usbmic")})
                  .exitCode, 0);
    ASSERT_EQ(run({QStringLiteral("settings")}).exitCode, 0);
    ASSERT_TRUE(waitUntil([&] { return windows(QStringLiteral("设置")) == 1; }, 5000));
    drive({QStringLiteral("tab"), QStringLiteral("设置"), QStringLiteral("音频")});
    const QStringList shown = drive({QStringLiteral("names"), QStringLiteral("设置")}).split(QLatin1Char('\n'));
    // The list (a combo box is named by its choice), its meter and switches.
    for (const QString &name : {QStringLiteral("usbmic"), QStringLiteral("系统默认"), QStringLiteral("VirtualMic"),
                                QStringLiteral("输入电平"),
                                QStringLiteral("录音开始和结束时播放提示音"), QStringLiteral("录音和播报回答时暂停正在播放的媒体")})
        EXPECT_TRUE(shown.contains(name)) << name.toStdString() << " in " << shown.join(QLatin1Char('|')).toStdString();
    const auto level = [&] {
        return drive({QStringLiteral("value"), QStringLiteral("设置"), QStringLiteral("输入电平")}).trimmed().toDouble();
    };
    // The meter follows the chosen microphone, not the default.
    const QString tone = writeTone(dir.filePath(QStringLiteral("level.wav")), 16000, 1, 3.0);
    QProcess speaker;
    speaker.start(QStringLiteral("paplay"), {QStringLiteral("--device=vmic_sink"), tone});
    settle(1200);
    EXPECT_LT(level(), 30) << "the default microphone is not the one chosen";
    speaker.kill();
    speaker.waitForFinished(3000);
    speaker.start(QStringLiteral("paplay"), {QStringLiteral("--device=usbmic_sink"), tone});
    EXPECT_TRUE(waitUntil([&] { return level() > 70; }, 4000)) << "a loud tone on the chosen microphone";
    speaker.kill();
    speaker.waitForFinished(3000);

    // Unplugged: the next take records from the default, and the status says so.
    usb.remove();
    settle(300);
    PasteTarget target(env);
    holdAndSpeak(QStringLiteral("alt"));
    ASSERT_TRUE(waitUntil([&] { return !target.text().isEmpty(); }, 10000)) << "the default was not recorded";
    const QString notice = QStringLiteral("所选麦克风「usbmic」不可用，正在使用系统默认麦克风");
    EXPECT_EQ(status()[QStringLiteral("inputNotice")].toString(), notice);
    EXPECT_TRUE(logged(notice));
    ASSERT_TRUE(clickTray("1"));
    ASSERT_TRUE(waitUntil([&] { return windows(QStringLiteral("Quillwren")) == 1; }, 5000));
    int shows = -1;
    drive({QStringLiteral("shows"), QStringLiteral("Quillwren"), notice}, &shows);
    EXPECT_EQ(shows, 0) << "the status window names the missing microphone";
    ASSERT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("inputDevice"), QString()}).exitCode, 0);
}

TEST_F(Shell, TheStatusWindowListsTheNewestTakesToCopyAgainAndSendsAFailedOneAgain)
{
    // Takes of earlier runs, in the history the application keeps: one
    // whose service failed, with its audio kept.
    TakeHistory history(TakeHistory::defaultPath());
    const QDateTime failedAt = QDateTime::currentDateTime().addSecs(-60);
    const QString audio = history.audioFolder().newFile(failedAt);
    TakeAudioWriter writer;
    ASSERT_TRUE(writer.open(audio));
    ASSERT_TRUE(writer.write(QByteArray(16000, '\x20')) && writer.finish());
    ASSERT_TRUE(history.append({failedAt, AppMode::VoiceInput, {}, {}, QString::fromLatin1(TakeRecord::kFailed), -1,
                                audio, writer.lengthMs()}));
    const QString said = QStringLiteral("上次粘贴失败的那句话 %1").arg(QDateTime::currentMSecsSinceEpoch());
    ASSERT_TRUE(history.append({QDateTime::currentDateTime(), AppMode::VoiceInput, said, {},
                                QString::fromLatin1(TakeRecord::kClipboard), 500, {}, -1}));
    // And one a clean-up edited: the words as heard can be copied too.
    TakeRecord cleaned{QDateTime::currentDateTime(), AppMode::VoiceInput, QStringLiteral("明天四点开会。"), {},
                       QString::fromLatin1(TakeRecord::kPasted), 400, {}, -1};
    cleaned.raw = QStringLiteral("嗯，明天三点，不对，四点开会 %1").arg(QDateTime::currentMSecsSinceEpoch());
    ASSERT_TRUE(history.append(cleaned));
    ASSERT_TRUE(waitUntil([&] { return trayIcon().has_value(); }, 5000));
    ASSERT_TRUE(clickTray("1"));
    ASSERT_TRUE(waitUntil([&] { return windows(QStringLiteral("Quillwren")) == 1; }, 5000));
    const QString copy = QStringLiteral("复制：") + RunEnding::firstWords(said);
    ASSERT_TRUE(act({QStringLiteral("shows"), QStringLiteral("Quillwren"), copy})) << "the take is not listed";
    ASSERT_EQ(runTool(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-i"),
                                                QStringLiteral("/dev/null")}),
              0);
    ASSERT_TRUE(act({QStringLiteral("press"), QStringLiteral("Quillwren"), copy}));
    EXPECT_TRUE(waitUntil([&] {
        return toolOutput(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                                                    QStringLiteral("-o")}) == said;
    }, 3000)) << "its words are not on the clipboard";
    const QString copyRaw = QStringLiteral("复制原文：") + RunEnding::firstWords(cleaned.raw);
    ASSERT_TRUE(act({QStringLiteral("press"), QStringLiteral("Quillwren"), copyRaw})) << "the cleaned take has no 复制原文";
    EXPECT_TRUE(waitUntil([&] {
        return toolOutput(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                                                    QStringLiteral("-o")}) == cleaned.raw;
    }, 3000)) << "the words as heard are not on the clipboard";
    EXPECT_FALSE(act({QStringLiteral("shows"), QStringLiteral("Quillwren"), QStringLiteral("复制原文：") + RunEnding::firstWords(said)}))
        << "a take typed as heard has no second copy button";

    useScenario(R"({"recognition":{"sentences":["按钮找回的话。"]}})");
    const QString retry = QStringLiteral("重试：") + failedAt.toString(QStringLiteral("MM-dd HH:mm:ss"));
    ASSERT_TRUE(act({QStringLiteral("press"), QStringLiteral("Quillwren"), retry})) << "the failed take has no retry";
    EXPECT_TRUE(waitUntil([&] {
        return toolOutput(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                                                    QStringLiteral("-o")}) == QStringLiteral("按钮找回的话。");
    }, 8000)) << "the retried words are not on the clipboard";
    const QList<TakeRecord> takes = history.newest();
    const auto retried = std::find_if(takes.begin(), takes.end(), [&](const TakeRecord &take) { return take.time == failedAt; });
    ASSERT_NE(retried, takes.end());
    EXPECT_EQ(retried->text, QStringLiteral("按钮找回的话。"));
    EXPECT_EQ(retried->ending, QLatin1String(TakeRecord::kClipboard));
    EXPECT_EQ(std::count_if(takes.begin(), takes.end(), [&](const TakeRecord &take) { return take.time == failedAt; }), 1)
        << "updated, not added";
}

TEST_F(Shell, ShiftOneInAnotherApplicationIsItsOwn)
{
    PasteTarget target(env);
    ASSERT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("shift+1")}), 0);
    EXPECT_TRUE(waitUntil([&] { return target.text() == QStringLiteral("!"); }, 3000)) << "the keystroke was taken";
    settle(300);
    EXPECT_EQ(windows(QStringLiteral("设置")), 0);
    EXPECT_FALSE(logged(QStringLiteral("⚙️ 快捷键触发：打开设置页面")));
}

TEST_F(Shell, ClosingTheSettingsWindowLeavesTheApplicationRunning)
{
    ASSERT_EQ(run({QStringLiteral("settings")}).exitCode, 0);
    ASSERT_TRUE(waitUntil([&] { return windows(QStringLiteral("设置")) == 1; }, 10000));
    closeWithAltF4(QStringLiteral("设置"));
    ASSERT_TRUE(waitUntil([&] { return windows(QStringLiteral("设置")) == 0; }, 5000));
    settle(500);
    EXPECT_EQ(app.state(), QProcess::Running);
    EXPECT_EQ(run({QStringLiteral("status")}).exitCode, 0);
}

// A desktop without a tray: an X server of its own, no window manager.
class WithoutTray : public CommandFixture
{
protected:
    void TearDown() override
    {
        for (QProcess *process : {&app, &xvfb}) {
            process->terminate();
            process->waitForFinished(5000);
        }
    }
    QProcess xvfb;
    QProcess app;
};

TEST_F(WithoutTray, TheApplicationRunsAndSaysHowToOpenTheSettings)
{
    xvfb.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                                        QStringLiteral("0"), QStringLiteral("1280x800x24"), QStringLiteral("-nolisten"),
                                        QStringLiteral("tcp")});
    ASSERT_TRUE(waitUntil([&] { return xvfb.canReadLine(); }, 5000)) << "Xvfb did not start";
    const QString display = QStringLiteral(":") + QString::fromLatin1(xvfb.readLine()).trimmed();
    QProcessEnvironment bare = env;
    bare.insert(QStringLiteral("DISPLAY"), display);
    app.setProcessEnvironment(bare);
    app.start(QStringLiteral(QUILLWREN_BINARY), {QStringLiteral("run")});
    QString log;
    const auto logged = [&](const QString &text) {
        log += QString::fromUtf8(app.readAllStandardError());
        return log.contains(text);
    };
    EXPECT_TRUE(waitUntil([&] { return logged(QStringLiteral("`quillwren settings`")); }, 8000)) << log.toStdString();
    EXPECT_TRUE(waitUntil([&] { return logged(QStringLiteral("🟢 事件监听已启用")); }, 8000)) << "the keys work all the same";
    EXPECT_EQ(app.state(), QProcess::Running);
    const auto quit = run({QStringLiteral("quit")});
    EXPECT_EQ(quit.exitCode, 0);
    EXPECT_TRUE(waitUntil([&] { return app.state() == QProcess::NotRunning; }, 5000));
    EXPECT_EQ(app.exitCode(), 0);
}

} // namespace
