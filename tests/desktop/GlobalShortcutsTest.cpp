#include "FakePortal.h"
#include "PasteTarget.h"
#include "RunningApplication.h"

#include <memory>

using TestSupport::settle;
using TestSupport::waitUntil;

// The mode keys through the desktop's GlobalShortcuts portal: the running
// application against a portal of this test's own on the session bus, which
// plays the desktop (the binding's dialog, the shortcuts going down and up,
// the user changing the keys, the portal going away).
namespace {

class GlobalShortcuts : public RunningApplication
{
protected:
    void SetUp() override
    {
        portal = std::make_unique<FakePortal>(0);
        portal->globalShortcutsVersion = 1;
        portal->screenshotVersion = 0;
        portal->assignedTriggers = {{QStringLiteral("voice"), QStringLiteral("Super+Alt+V")}};
        prepare(*portal);
        ASSERT_TRUE(portal->start()) << "another portal holds the name";
        RunningApplication::SetUp();
    }

    void TearDown() override
    {
        RunningApplication::TearDown();
        portal.reset();
    }

    // What a test changes in the portal before the application starts.
    virtual void prepare(FakePortal &fake) { Q_UNUSED(fake); }

    void adjustEnvironment(QProcessEnvironment &appEnv) override
    {
        // This desktop is X11, where XInput2 would serve: the route is asked for.
        appEnv.insert(QStringLiteral("QUILLWREN_KEYS"), QStringLiteral("portal"));
    }

    // The running instance's mode-keys line, as `doctor` prints it.
    QString instanceKeysLine()
    {
        const QStringList lines = run({QStringLiteral("doctor")}).out.split(QLatin1Char('\n'));
        const qsizetype start = lines.indexOf(QStringLiteral("the running Quillwren uses:"));
        for (qsizetype i = start + 1; start >= 0 && i < lines.size(); ++i) {
            if (lines[i].startsWith(QStringLiteral("  mode keys: ")))
                return lines[i].trimmed();
        }
        return {};
    }

    std::unique_ptr<FakePortal> portal;
};

TEST_F(GlobalShortcuts, TheModesAreBoundAndAHalfSecondHoldMakesATakeWhileATenthIsATap)
{
    ASSERT_TRUE(loggedSoon(QStringLiteral("✅ [快捷键] 全局快捷键已绑定"))) << log().toStdString();
    const auto bound = portal->boundShortcuts();
    ASSERT_EQ(bound.size(), 3);
    QStringList ids, triggers;
    for (const auto &[id, properties] : bound) {
        ids << id;
        triggers << properties.value(QStringLiteral("preferred_trigger")).toString();
        EXPECT_FALSE(properties.value(QStringLiteral("description")).toString().isEmpty()) << id.toStdString();
    }
    EXPECT_EQ(ids, (QStringList{QStringLiteral("voice"), QStringLiteral("chat"), QStringLiteral("reply")}));
    EXPECT_EQ(triggers.size(), QSet<QString>(triggers.cbegin(), triggers.cend()).size()) << "each mode its own chord";

    PasteTarget target(env);
    const qsizetype before = audioFramesReceived();
    portal->activate(QStringLiteral("voice"));
    speakWhileRecording(before); // about 1.4 s held
    portal->deactivate(QStringLiteral("voice"));
    ASSERT_TRUE(waitUntil([&] { return !target.text().isEmpty(); }, 10000)) << "nothing was typed";
    EXPECT_EQ(target.text(), QStringLiteral("你好，这是本地替身服务的识别结果。"));
    EXPECT_EQ(endingStatus(), QStringLiteral("文本已输入"));

    // Half a second: past the long-press delay, a take.
    const qsizetype takes = log().count(QStringLiteral("✅ 长按检测成功"));
    portal->activate(QStringLiteral("reply"));
    settle(500);
    portal->deactivate(QStringLiteral("reply"));
    EXPECT_TRUE(waitUntil([&] { return log().count(QStringLiteral("✅ 长按检测成功")) == takes + 1; }, 3000));
    endingStatus();

    // A tenth: a tap, no take.
    portal->activate(QStringLiteral("voice"));
    settle(100);
    portal->deactivate(QStringLiteral("voice"));
    EXPECT_TRUE(loggedSoon(QStringLiteral("⚡️ 短按取消，通知取消预热：语音输入法")));
    settle(800);
    EXPECT_EQ(log().count(QStringLiteral("✅ 长按检测成功")), takes + 1) << "a tap made a take";
}

TEST_F(GlobalShortcuts, TheKeysTheDesktopReportsAreShownAndFollowedWhenTheUserChangesThem)
{
    ASSERT_TRUE(loggedSoon(QStringLiteral("✅ [快捷键] 全局快捷键已绑定")));
    EXPECT_EQ(instanceKeysLine(), QStringLiteral("mode keys: the desktop's global shortcuts (voice: Super+Alt+V, chat: "
                                                 "LOGO+ALT+c, reply: LOGO+ALT+r) — works"));
    portal->changeTriggers({{QStringLiteral("voice"), QStringLiteral("Ctrl+Alt+Space")},
                            {QStringLiteral("chat"), QString()},
                            {QStringLiteral("reply"), QStringLiteral("Super+F9")}});
    ASSERT_TRUE(loggedSoon(QStringLiteral("⌨️ [快捷键] 桌面更改了全局快捷键")));
    EXPECT_EQ(instanceKeysLine(), QStringLiteral("mode keys: the desktop's global shortcuts (voice: Ctrl+Alt+Space, chat: "
                                                 "no keys yet, reply: Super+F9) — works"));
    // Nothing assigned at all: it says where to assign them.
    portal->changeTriggers({{QStringLiteral("voice"), QString()}, {QStringLiteral("chat"), QString()},
                            {QStringLiteral("reply"), QString()}});
    EXPECT_TRUE(waitUntil([&] { return instanceKeysLine().contains(QStringLiteral("— does not work: no keys are assigned")); },
                          3000))
        << instanceKeysLine().toStdString();
}

TEST_F(GlobalShortcuts, TheShortcutScreenShowsTheDesktopsKeysAsTheyChange)
{
    ASSERT_TRUE(loggedSoon(QStringLiteral("✅ [快捷键] 全局快捷键已绑定")));
    ASSERT_EQ(run({QStringLiteral("settings")}).exitCode, 0);
    ASSERT_TRUE(waitUntil([&] { return windows(QStringLiteral("设置")) == 1; }, 10000));
    ASSERT_TRUE(act({QStringLiteral("tab"), QStringLiteral("设置"), QStringLiteral("快捷键")}));
    const auto shown = [&](const QString &text) {
        return drive({QStringLiteral("names"), QStringLiteral("设置")}).contains(text);
    };
    EXPECT_TRUE(shown(QStringLiteral("正在使用：桌面全局快捷键（按键在桌面设置中选择）")));
    EXPECT_TRUE(shown(QStringLiteral("语音输入法：Super+Alt+V"))) << drive({QStringLiteral("names"), QStringLiteral("设置")}).toStdString();
    EXPECT_TRUE(shown(QStringLiteral("BFF智能回复：LOGO+ALT+r")));
    // The user picks other keys in the desktop's settings: the open screen follows.
    portal->changeTriggers({{QStringLiteral("voice"), QStringLiteral("Ctrl+Alt+Space")},
                            {QStringLiteral("chat"), QStringLiteral("Super+F8")},
                            {QStringLiteral("reply"), QString()}});
    EXPECT_TRUE(waitUntil([&] { return shown(QStringLiteral("语音输入法：Ctrl+Alt+Space")); }, 3000));
    EXPECT_TRUE(shown(QStringLiteral("BFF智能回复：未设置按键")));
}

TEST_F(GlobalShortcuts, APortalThatGoesAwayLetsGoOfTheHeldModeAndBindsAgainWhenItComesBack)
{
    ASSERT_TRUE(loggedSoon(QStringLiteral("✅ [快捷键] 全局快捷键已绑定")));
    portal->activate(QStringLiteral("reply"));
    ASSERT_TRUE(loggedSoon(QStringLiteral("✅ 长按检测成功")));
    portal.reset();
    EXPECT_TRUE(loggedSoon(QStringLiteral("⚠️ [快捷键] 全局快捷键失效：the portal went away")));
    EXPECT_TRUE(loggedSoon(QStringLiteral("[BFF智能回复] 修饰键释放"))) << "the held mode was not let go";
    endingStatus();
    EXPECT_TRUE(instanceKeysLine().contains(QStringLiteral("the global shortcuts are not bound (the portal went away)")))
        << instanceKeysLine().toStdString();

    portal = std::make_unique<FakePortal>(0);
    portal->globalShortcutsVersion = 1;
    ASSERT_TRUE(portal->start());
    EXPECT_TRUE(waitUntil([&] { return log().count(QStringLiteral("✅ [快捷键] 全局快捷键已绑定")) == 2; }, 5000));
    EXPECT_TRUE(instanceKeysLine().endsWith(QStringLiteral("— works"))) << instanceKeysLine().toStdString();

    // The desktop closing the session is the same loss.
    portal->closeShortcutSession();
    EXPECT_TRUE(loggedSoon(QStringLiteral("全局快捷键失效：the desktop closed the shortcuts session")));
}

TEST_F(GlobalShortcuts, MonitorKeysWatchesTheShortcutsItBindsToo)
{
    ASSERT_TRUE(loggedSoon(QStringLiteral("✅ [快捷键] 全局快捷键已绑定")));
    const QString firstSession = portal->shortcutSession();
    QProcess monitor;
    QProcessEnvironment monitorEnv = env;
    monitorEnv.insert(QStringLiteral("QUILLWREN_KEYS"), QStringLiteral("portal"));
    monitor.setProcessEnvironment(monitorEnv);
    // Its log goes to standard output with what it reports.
    monitor.setProcessChannelMode(QProcess::MergedChannels);
    monitor.start(QStringLiteral(QUILLWREN_BINARY), {QStringLiteral("monitor-keys")});
    QString out;
    const auto shows = [&](const QString &text) {
        out += QString::fromUtf8(monitor.readAll());
        return out.contains(text);
    };
    ASSERT_TRUE(waitUntil([&] { return shows(QStringLiteral("✅ [快捷键] 全局快捷键已绑定")); }, 8000)) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("Watching the keyboard (portal)")));
    ASSERT_NE(portal->shortcutSession(), firstSession);
    portal->activate(QStringLiteral("voice")); // to the newest session: the command's
    settle(500);
    portal->deactivate(QStringLiteral("voice"));
    EXPECT_TRUE(waitUntil([&] { return shows(QStringLiteral("currentMode none")); }, 3000)) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("currentMode voice_input"))) << out.toStdString();
    monitor.terminate();
    monitor.waitForFinished(5000);
}

class RefusedGlobalShortcuts : public GlobalShortcuts
{
protected:
    void prepare(FakePortal &fake) override { fake.bindResponse = 1; }
};

TEST_F(RefusedGlobalShortcuts, FallBackToTheDesktopsKeyBindingsAndSaySo)
{
    ASSERT_TRUE(loggedSoon(QStringLiteral("⚠️ [快捷键] 改用桌面的按键绑定（quillwren hold/release）：the desktop refused "
                                          "the shortcuts")));
    const QString line = instanceKeysLine();
    EXPECT_TRUE(line.startsWith(QStringLiteral("mode keys: the desktop's key bindings only"))) << line.toStdString();
    EXPECT_TRUE(line.contains(QStringLiteral("— does not work: the global shortcuts are not bound (the desktop refused "
                                             "the shortcuts); ")))
        << line.toStdString();
    // A shortcut the desktop sends anyway is not taken for a key.
    portal->activate(QStringLiteral("voice"));
    settle(600);
    EXPECT_FALSE(logged(QStringLiteral("✅ 长按检测成功")));
    // The next route works, and then says so.
    ASSERT_EQ(run({QStringLiteral("hold"), QStringLiteral("voice")}).exitCode, 0);
    ASSERT_TRUE(loggedSoon(QStringLiteral("✅ 长按检测成功")));
    ASSERT_EQ(run({QStringLiteral("release"), QStringLiteral("voice")}).exitCode, 0);
    EXPECT_TRUE(instanceKeysLine().startsWith(QStringLiteral("mode keys: the desktop's key bindings (last used")))
        << instanceKeysLine().toStdString();
}

class SlowGlobalShortcuts : public GlobalShortcuts
{
protected:
    void prepare(FakePortal &fake) override { fake.startDelayMs = 1200; } // the dialog stays up a while
};

TEST_F(SlowGlobalShortcuts, ASessionClosedWhileTheDialogIsUpIsNotTakenForBoundWhenTheAnswerComes)
{
    ASSERT_TRUE(loggedSoon(QStringLiteral("⌨️ [快捷键] 向桌面申请全局快捷键")));
    ASSERT_TRUE(waitUntil([&] { return !portal->boundShortcuts().isEmpty(); }, 3000)) << "BindShortcuts never came";
    portal->closeShortcutSession();
    ASSERT_TRUE(loggedSoon(QStringLiteral("全局快捷键失效：the desktop closed the shortcuts session")));
    settle(1500); // the dialog's late answer arrives meanwhile
    EXPECT_FALSE(logged(QStringLiteral("✅ [快捷键] 全局快捷键已绑定"))) << "a closed session was taken for bound";
    EXPECT_TRUE(instanceKeysLine().contains(QStringLiteral("not bound (the desktop closed the shortcuts session)")))
        << instanceKeysLine().toStdString();
    portal->activate(QStringLiteral("voice"));
    settle(500);
    EXPECT_FALSE(logged(QStringLiteral("✅ 长按检测成功")));
}

class MissingGlobalShortcuts : public GlobalShortcuts
{
protected:
    void prepare(FakePortal &fake) override { fake.globalShortcutsVersion = 0; }
};

TEST_F(MissingGlobalShortcuts, FallBackToTheDesktopsKeyBindingsAndSaySo)
{
    ASSERT_TRUE(loggedSoon(QStringLiteral("改用桌面的按键绑定（quillwren hold/release）：no GlobalShortcuts portal answers")));
    EXPECT_TRUE(instanceKeysLine().contains(
        QStringLiteral("the global shortcuts are not bound (no GlobalShortcuts portal answers on the session bus)")))
        << instanceKeysLine().toStdString();
    EXPECT_TRUE(portal->boundShortcuts().isEmpty());
}

} // namespace
