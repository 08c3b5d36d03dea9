#include "FakeKeyEventSource.h"
#include "HotkeyMonitorService.h"
#include "ManualScheduler.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

constexpr std::uint64_t Option = ModifierMask::Option;
constexpr std::uint64_t Control = ModifierMask::Control;
constexpr std::uint64_t Command = ModifierMask::Command;
constexpr std::uint64_t Shift = ModifierMask::Shift;

class HotkeyMonitor : public ::testing::Test
{
protected:
    void SetUp() override { create(ShortcutConfig::defaults()); }

    // A monitor whose first setup has run (the source is trusted unless the
    // test says otherwise before calling).
    void create(const ShortcutConfig &config, bool runSetup = true)
    {
        monitor.reset();
        source.startCalls = source.stopCalls = local.startCalls = local.stopCalls = 0;
        events.clear();
        auto manual = std::make_unique<ManualScheduler>();
        scheduler = manual.get();
        monitor = std::make_unique<HotkeyMonitorService>(source, local, config, std::move(manual));
        QObject::connect(monitor.get(), &HotkeyMonitorService::keyDown,
                         [this](AppMode mode) { events << QStringLiteral("down:") + AppModes::rawValue(mode); });
        QObject::connect(monitor.get(), &HotkeyMonitorService::keyDownCancelled,
                         [this](AppMode mode) { events << QStringLiteral("cancel:") + AppModes::rawValue(mode); });
        QObject::connect(monitor.get(), &HotkeyMonitorService::modeCancelled,
                         [this](AppMode mode) { events << QStringLiteral("withdrawn:") + AppModes::rawValue(mode); });
        QObject::connect(monitor.get(), &HotkeyMonitorService::currentModeChanged, [this](auto mode) {
            events << QStringLiteral("mode:") + (mode ? AppModes::rawValue(*mode) : QStringLiteral("none"));
        });
        QObject::connect(monitor.get(), &HotkeyMonitorService::isHotkeyPressedChanged, [this](bool pressed) {
            events << QStringLiteral("pressed:") + (pressed ? QStringLiteral("true") : QStringLiteral("false"));
        });
        if (runSetup) {
            scheduler->elapse(HotkeyMonitorService::kFirstSetupDelay);
            log.clear();
        }
    }

    // Sends a flag word, then lets the main loop run the tasks it posted.
    void flags(std::uint64_t word)
    {
        source.press(word);
        scheduler->runTasks();
    }

    FakeKeyEventSource source;
    FakeKeyEventSource local;
    TestSupport::LogCapture log;
    ManualScheduler *scheduler = nullptr;
    std::unique_ptr<HotkeyMonitorService> monitor;
    QStringList events;
};

TEST_F(HotkeyMonitor, ShortPressNotifiesThePressThenCancelsIt)
{
    flags(Option);
    EXPECT_EQ(events, QStringList{QStringLiteral("down:voice_input")});
    scheduler->elapse(100ms);
    flags(0);
    scheduler->elapse(1s);
    EXPECT_EQ(events, (QStringList{QStringLiteral("down:voice_input"), QStringLiteral("cancel:voice_input")}));
    EXPECT_EQ(monitor->currentMode(), std::nullopt);
}

TEST_F(HotkeyMonitor, LongPressActivatesAtThresholdAndReleaseEndsTheMode)
{
    flags(Option);
    scheduler->elapse(299ms);
    EXPECT_EQ(monitor->currentMode(), std::nullopt);
    scheduler->elapse(1ms);
    EXPECT_EQ(monitor->currentMode(), AppMode::VoiceInput);
    EXPECT_TRUE(monitor->isHotkeyPressed());
    EXPECT_TRUE(log.lines().contains(QStringLiteral("✅ 长按检测成功，激活模式：语音输入法")));

    scheduler->elapse(200ms);
    flags(0);
    EXPECT_EQ(events, (QStringList{QStringLiteral("down:voice_input"), QStringLiteral("mode:voice_input"),
                                   QStringLiteral("pressed:true"), QStringLiteral("mode:none"),
                                   QStringLiteral("pressed:false")}));
    EXPECT_EQ(log.lines().last(), QStringLiteral("🔚 释放快捷键，关闭模式：语音输入法"));
}

TEST_F(HotkeyMonitor, TheModeIsPublishedOnlyAfterTheEventHandlerReturned)
{
    flags(Option);
    scheduler->fireTimersOnly(300ms);
    EXPECT_EQ(monitor->currentMode(), std::nullopt) << "the timer only posts the activation";
    scheduler->runTasks();
    EXPECT_EQ(monitor->currentMode(), AppMode::VoiceInput);

    source.press(0);
    EXPECT_EQ(monitor->currentMode(), AppMode::VoiceInput) << "the release is delivered in a task";
    scheduler->runTasks();
    EXPECT_EQ(monitor->currentMode(), std::nullopt);
}

TEST_F(HotkeyMonitor, AnotherKeyCancelsAPendingBffPressAtOnce)
{
    source.press(Command);
    EXPECT_TRUE(scheduler->pendingTasks() == 0) << "BFF reply gets no press notification";
    source.key(54);
    EXPECT_EQ(events, QStringList{QStringLiteral("cancel:bff_reply")}) << "synchronously, not in a task";
    EXPECT_TRUE(log.lines().contains(QStringLiteral("⚡️ BFF智能回复 检测到组合键（keyCode: 54），取消长按计时器")));
    EXPECT_TRUE(monitor->pressedModes().empty());

    scheduler->elapse(1s);
    log.clear();
    flags(0);
    EXPECT_EQ(events, QStringList{QStringLiteral("cancel:bff_reply")});
    EXPECT_TRUE(log.lines().isEmpty()) << "the later release is not a release";
}

TEST_F(HotkeyMonitor, AnyOtherKeyCancelsAPendingPressOfEveryModeAtOnce)
{
    for (std::uint64_t key : {Option, Control}) {
        events.clear();
        flags(key);
        source.key(23); // Alt+Tab, Ctrl+C: typed before the long press
        ASSERT_EQ(events.size(), 2);
        EXPECT_TRUE(events[1].startsWith(QStringLiteral("cancel:"))) << "synchronously, so the warm-up stops now";
        EXPECT_TRUE(monitor->pressedModes().empty());
        scheduler->elapse(1s);
        EXPECT_EQ(monitor->currentMode(), std::nullopt) << "the timer found the press gone";
        log.clear();
        flags(0);
        EXPECT_EQ(events.size(), 2) << "the later release is not a release";
        EXPECT_TRUE(log.lines().isEmpty());
    }
}

TEST_F(HotkeyMonitor, AnotherKeyWithdrawsAnActiveModeAsACancelNotARelease)
{
    flags(Option);
    scheduler->elapse(300ms);
    ASSERT_EQ(monitor->currentMode(), AppMode::VoiceInput);
    events.clear();
    source.key(9); // Esc
    EXPECT_EQ(monitor->currentMode(), AppMode::VoiceInput) << "withdrawn from the event loop, like a release";
    scheduler->runTasks();
    EXPECT_EQ(events, (QStringList{QStringLiteral("withdrawn:voice_input"), QStringLiteral("mode:none"),
                                   QStringLiteral("pressed:false")}));
    EXPECT_TRUE(log.lines().contains(QStringLiteral("⚡️ 语音输入法 检测到组合键（keyCode: 9），取消已激活的模式")));

    log.clear();
    flags(0);
    scheduler->elapse(1s);
    EXPECT_EQ(events.size(), 3) << "no release, no short-press cancel after it";
    EXPECT_TRUE(log.linesStartingWith(QStringLiteral("🔚")).isEmpty());

    // The next press is a press like any other.
    flags(Option);
    scheduler->elapse(300ms);
    EXPECT_EQ(monitor->currentMode(), AppMode::VoiceInput);
}

TEST_F(HotkeyMonitor, AModifierOrAPointerButtonGoingDownIsACombinationToo)
{
    flags(Control);
    scheduler->elapse(300ms);
    ASSERT_EQ(monitor->currentMode(), AppMode::ChatAssistant);
    flags(Control | Shift); // Ctrl+Shift: a layout switch, a shortcut
    EXPECT_EQ(monitor->currentMode(), std::nullopt);
    EXPECT_TRUE(events.contains(QStringLiteral("withdrawn:chat_assistant")));
    EXPECT_TRUE(log.lines().contains(
        QStringLiteral("⚡️ 聊天助手 检测到组合键（修饰键: Shift (⇧)），取消已激活的模式")));
    flags(0);

    // Alt held, then a drag begins: the press never becomes a take.
    events.clear();
    flags(Option);
    scheduler->elapse(100ms);
    source.button(1);
    scheduler->elapse(1s);
    EXPECT_EQ(events, (QStringList{QStringLiteral("down:voice_input"), QStringLiteral("cancel:voice_input")}));
    EXPECT_TRUE(log.lines().contains(QStringLiteral("⚡️ 语音输入法 检测到组合键（鼠标按键: 1），取消长按计时器")));
    flags(0);

    // An active reply is withdrawn by a click as well.
    flags(Command);
    scheduler->elapse(300ms);
    ASSERT_EQ(monitor->currentMode(), AppMode::BffReply);
    source.button(3);
    scheduler->runTasks();
    EXPECT_EQ(monitor->currentMode(), std::nullopt);
    EXPECT_TRUE(events.contains(QStringLiteral("withdrawn:bff_reply")));
}

TEST_F(HotkeyMonitor, AModeKeyGoingDownCancelsTheHeldModeAndStartsItsOwnPress)
{
    flags(Option);
    scheduler->elapse(300ms);
    ASSERT_EQ(monitor->currentMode(), AppMode::VoiceInput);
    events.clear();
    flags(Option | Control); // Ctrl+Alt+T on its way
    EXPECT_EQ(events, (QStringList{QStringLiteral("withdrawn:voice_input"), QStringLiteral("mode:none"),
                                   QStringLiteral("pressed:false"), QStringLiteral("down:chat_assistant")}));
    EXPECT_EQ(monitor->pressedModes(), std::set<AppMode>{AppMode::ChatAssistant});
    source.key(28);
    EXPECT_TRUE(monitor->pressedModes().empty()) << "and T cancels that one";
    scheduler->elapse(1s);
    EXPECT_EQ(monitor->currentMode(), std::nullopt);
}

TEST_F(HotkeyMonitor, ADisabledModeProducesNothing)
{
    ShortcutConfig config;
    config.voiceInput.enabled = false;
    create(config);
    flags(Option);
    EXPECT_EQ(scheduler->liveTimers(), 0u);
    scheduler->elapse(1s);
    flags(0);
    EXPECT_TRUE(events.isEmpty());
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST_F(HotkeyMonitor, TwoModesOnOneModifierShareTheTimerOfTheLaterMode)
{
    ShortcutConfig config;
    config.chatAssistant.modifier = ModifierKey::Option;
    create(config);
    flags(Option);
    EXPECT_EQ(monitor->pressedModes(), (std::set<AppMode>{AppMode::VoiceInput, AppMode::ChatAssistant}));
    EXPECT_EQ(monitor->longPressTimerMode(), AppMode::ChatAssistant);
    EXPECT_EQ(events, (QStringList{QStringLiteral("down:voice_input"), QStringLiteral("down:chat_assistant")}));

    scheduler->elapse(100ms);
    flags(0);
    EXPECT_EQ(events.mid(2), QStringList{QStringLiteral("cancel:chat_assistant")})
        << "the earlier mode's release finds no pending timer of its own";

    events.clear();
    flags(Option);
    scheduler->elapse(300ms);
    EXPECT_EQ(monitor->currentMode(), AppMode::ChatAssistant);
    flags(0);
    EXPECT_EQ(events, (QStringList{QStringLiteral("down:voice_input"), QStringLiteral("down:chat_assistant"),
                                   QStringLiteral("mode:chat_assistant"), QStringLiteral("pressed:true"),
                                   QStringLiteral("mode:none"), QStringLiteral("pressed:false")}));
}

TEST_F(HotkeyMonitor, OnlyTheEdgeOfTheNewModifierCounts)
{
    ShortcutConfig config;
    config.bffReply.modifier = ModifierKey::Shift;
    create(config);
    flags(Shift);
    flags(Shift | Option);
    flags(Shift | Option); // a repeated word changes nothing
    EXPECT_EQ(log.linesStartingWith(QStringLiteral("⬇️")).size(), 2);
    EXPECT_EQ(events, (QStringList{QStringLiteral("cancel:bff_reply"), QStringLiteral("down:voice_input")}))
        << "the held Shift's press is cancelled by the new key, whose own press begins";
    scheduler->elapse(300ms);
    EXPECT_EQ(monitor->currentMode(), AppMode::VoiceInput);
    EXPECT_FALSE(monitor->pressedModes().contains(AppMode::BffReply));
    flags(Option); // Shift let go meanwhile: neither a press nor a combination
    EXPECT_EQ(monitor->currentMode(), AppMode::VoiceInput);
}

TEST_F(HotkeyMonitor, AReleaseBetweenTheTimerAndItsTaskActivatesNothing)
{
    flags(Option);
    scheduler->fireTimersOnly(300ms);
    source.press(0); // released while the activation task is still queued
    scheduler->runTasks();
    EXPECT_TRUE(log.lines().contains(QStringLiteral("❌ 按键已提前释放，取消激活：语音输入法")));
    EXPECT_EQ(monitor->currentMode(), std::nullopt);
    EXPECT_EQ(events, QStringList{QStringLiteral("down:voice_input")})
        << "the timer had fired, so the release is not a short-press cancel either";
}

TEST_F(HotkeyMonitor, ANewConfigurationDropsPendingPressesAndRestartsTheSource)
{
    flags(Option);
    ShortcutConfig config;
    config.voiceInput.modifier = ModifierKey::Shift;
    monitor->updateShortcutConfig(config);
    EXPECT_TRUE(monitor->pressedModes().empty());
    EXPECT_EQ(monitor->longPressTimerMode(), std::nullopt);
    EXPECT_EQ(source.stopCalls, 1);
    EXPECT_TRUE(source.active);
    EXPECT_TRUE(log.lines().contains(QStringLiteral("🟢 事件监听已启用，快捷键监听就绪")));

    scheduler->elapse(1s);
    EXPECT_EQ(monitor->currentMode(), std::nullopt);
    log.clear();
    flags(0);
    EXPECT_TRUE(log.lines().isEmpty()) << "the held key's release is not a release";

    flags(Shift);
    scheduler->elapse(300ms);
    EXPECT_EQ(monitor->currentMode(), AppMode::VoiceInput);
    monitor->updateShortcutConfig(ShortcutConfig::defaults());
    EXPECT_EQ(monitor->currentMode(), AppMode::VoiceInput) << "an active mode stays published";
}

TEST_F(HotkeyMonitor, ResetDropsPressesAndWithdrawsTheActivationLater)
{
    flags(Option);
    scheduler->elapse(300ms);
    monitor->resetPressState();
    EXPECT_TRUE(monitor->pressedModes().empty());
    EXPECT_TRUE(monitor->isHotkeyPressed()) << "cleared in a task";
    scheduler->runTasks();
    EXPECT_FALSE(monitor->isHotkeyPressed());
    EXPECT_EQ(monitor->currentMode(), std::nullopt) << "its release will not be seen";

    // The same key works again: released, then held anew.
    events.clear();
    flags(0);
    flags(Option);
    scheduler->elapse(300ms);
    EXPECT_EQ(monitor->currentMode(), AppMode::VoiceInput);
    EXPECT_TRUE(events.contains(QStringLiteral("mode:voice_input")));

    create(ShortcutConfig::defaults());
    flags(Option);
    monitor->resetPressState();
    scheduler->elapse(1s);
    EXPECT_EQ(monitor->currentMode(), std::nullopt);
    EXPECT_EQ(scheduler->liveTimers(), 0u);
}

TEST_F(HotkeyMonitor, UntrustedStartRetriesThreeTimesOneSecondApartThenGivesUp)
{
    source.trusted = false;
    create(ShortcutConfig::defaults(), false);
    const auto attempts = [this] { return log.linesStartingWith(QStringLiteral("🔄 尝试设置事件监听")).size(); };
    scheduler->elapse(999ms);
    EXPECT_EQ(attempts(), 0);
    scheduler->elapse(1ms);
    EXPECT_EQ(attempts(), 1);
    scheduler->elapse(999ms);
    EXPECT_EQ(attempts(), 1) << "one second apart";
    scheduler->elapse(1001ms);
    EXPECT_EQ(attempts(), 3);
    EXPECT_EQ(monitor->monitoringState(), HotkeyMonitorService::MonitoringState::GivenUp);
    EXPECT_EQ(log.lines().last(), QStringLiteral("❌ 超过最大重试次数，请手动在系统设置中授权"));
    scheduler->elapse(10s);
    EXPECT_EQ(attempts(), 3) << "no attempt after giving up";
    EXPECT_EQ(source.startCalls, 0);
    EXPECT_EQ(local.startCalls, 0) << "giving up installs no fallback";

    source.trusted = true;
    monitor->updateShortcutConfig(ShortcutConfig::defaults());
    EXPECT_EQ(monitor->monitoringState(), HotkeyMonitorService::MonitoringState::Tapping);
}

TEST_F(HotkeyMonitor, TrustGrantedAtTheSecondCheckStartsListening)
{
    source.trusted = false;
    create(ShortcutConfig::defaults(), false);
    scheduler->elapse(1s);
    source.trusted = true;
    scheduler->elapse(1s);
    EXPECT_TRUE(source.active);
    EXPECT_EQ(source.startCalls, 1);
    EXPECT_EQ(monitor->monitoringState(), HotkeyMonitorService::MonitoringState::Tapping);
    EXPECT_EQ(log.linesStartingWith(QStringLiteral("🔄 尝试设置事件监听")).size(), 2);
}

TEST_F(HotkeyMonitor, ASourceThatCannotStartFallsBackToLocalEventsOnce)
{
    source.canStart = false;
    create(ShortcutConfig::defaults());
    ASSERT_EQ(monitor->monitoringState(), HotkeyMonitorService::MonitoringState::LocalFallback);
    monitor->updateShortcutConfig(ShortcutConfig::defaults());
    EXPECT_EQ(log.linesStartingWith(QStringLiteral("⚠️  本地监听已启用")).size(), 1);
    EXPECT_TRUE(local.active);

    local.press(Option);
    scheduler->runTasks();
    EXPECT_EQ(events, QStringList{QStringLiteral("down:voice_input")}) << "each local event is handled once";
}

TEST_F(HotkeyMonitor, ConfigurationLogMarksDisabledModes)
{
    ShortcutConfig config;
    config.chatAssistant = {ModifierKey::Shift, false};
    create(config);
    monitor->printCurrentConfig();
    EXPECT_EQ(log.lines(), (QStringList{QStringLiteral("⌨️ 当前快捷键配置："),
                                        QStringLiteral("   语音输入法：长按 Option (⌥)"),
                                        QStringLiteral("   聊天助手：长按 Shift (⇧)（已禁用）"),
                                        QStringLiteral("   BFF回复：长按 Command (⌘)")}));
}

// Hands-free takes, one script per case: "alt"/"ctrl"/"super" put that key
// down alone, "up" lets every key go, a number waits that many ms, "key",
// "click" and "esc" are another key, a pointer button and Esc. Dictation and
// the chat assistant may be locked (the chat only where the case says), limit 10 s.
TEST_F(HotkeyMonitor, ADoubleTapLocksAModeUntilTheKeysNextPressOrEscAndNothingElseEndsIt)
{
    struct Case
    {
        const char *why;
        const char *script;
        bool chatHandsFree;
        QStringList expected;
        std::optional<AppMode> lockedAtEnd;
    };
    const QString down = QStringLiteral("down:voice_input"), cancel = QStringLiteral("cancel:voice_input"),
                  on = QStringLiteral("mode:voice_input"), off = QStringLiteral("mode:none"),
                  held = QStringLiteral("pressed:true"), free = QStringLiteral("pressed:false");
    const Case cases[] = {
        {"a double tap locks at the second press; letting go and waiting keep it",
         "alt 100 up 200 alt 100 up 5000", false, {down, cancel, down, on, held}, AppMode::VoiceInput},
        {"the next press of the key ends it, and that press's release is nothing",
         "alt 100 up 200 alt 100 up 3000 alt 100 up 1000", false, {down, cancel, down, on, held, off, free}, std::nullopt},
        {"other keys and clicks go to their windows", "alt 100 up 200 alt 100 up key click 500", false,
         {down, cancel, down, on, held}, AppMode::VoiceInput},
        {"another mode's key starts nothing meanwhile", "alt 100 up 200 alt 100 up ctrl 1000 up super 1000 up", true,
         {down, cancel, down, on, held}, AppMode::VoiceInput},
        {"Esc cancels it: the take is withdrawn, not finished", "alt 100 up 200 alt 100 up 1000 esc 1000 alt 100 up",
         false, {down, cancel, down, on, held, QStringLiteral("withdrawn:voice_input"), off, free, down, cancel},
         std::nullopt},
        {"Esc with nothing locked does nothing", "esc alt 100 up 1000", false, {down, cancel}, std::nullopt},
        {"the time limit ends it as a release would", "alt 100 up 200 alt 100 up 10000", false,
         {down, cancel, down, on, held, off, free}, std::nullopt},
        {"a second press after 400 ms is a long press of its own", "alt 100 up 450 alt 1000 up", false,
         {down, cancel, down, on, held, off, free}, std::nullopt},
        {"a second tap is a tap", "alt 100 up 450 alt 100 up 1000", false, {down, cancel, down, cancel}, std::nullopt},
        {"taps of two keys lock nothing", "alt 100 up 100 ctrl 100 up 1000", true,
         {down, cancel, QStringLiteral("down:chat_assistant"), QStringLiteral("cancel:chat_assistant")}, std::nullopt},
        {"typing between the taps makes them two taps", "alt 100 up 100 key alt 100 up 1000", false,
         {down, cancel, down, cancel}, std::nullopt},
        {"a held first press is no tap", "alt 500 up 100 alt 100 up 1000", false,
         {down, on, held, off, free, down, cancel}, std::nullopt},
        {"the chat assistant with its switch off", "ctrl 100 up 100 ctrl 100 up 1000", false,
         {QStringLiteral("down:chat_assistant"), QStringLiteral("cancel:chat_assistant"),
          QStringLiteral("down:chat_assistant"), QStringLiteral("cancel:chat_assistant")},
         std::nullopt},
        {"the chat assistant with its switch on", "ctrl 100 up 100 ctrl 100 up 1000", true,
         {QStringLiteral("down:chat_assistant"), QStringLiteral("cancel:chat_assistant"),
          QStringLiteral("down:chat_assistant"), QStringLiteral("mode:chat_assistant"), held},
         AppMode::ChatAssistant},
        {"the reply records nothing and is never locked", "super 100 up 100 super 100 up 1000", true,
         {QStringLiteral("cancel:bff_reply"), QStringLiteral("cancel:bff_reply")}, std::nullopt},
    };
    for (const Case &c : cases) {
        create(ShortcutConfig::defaults());
        const bool chat = c.chatHandsFree;
        monitor->setHandsFreeSettings([chat](AppMode mode) {
            return HotkeyMonitorService::HandsFree{mode != AppMode::ChatAssistant || chat, std::chrono::seconds(10)};
        });
        std::optional<AppMode> lockedSignal;
        QObject::connect(monitor.get(), &HotkeyMonitorService::handsFreeModeChanged,
                         [&lockedSignal](std::optional<AppMode> mode) { lockedSignal = mode; });
        for (const QString &step : QString::fromLatin1(c.script).split(QLatin1Char(' '))) {
            bool isNumber = false;
            const int ms = step.toInt(&isNumber);
            if (isNumber)
                scheduler->elapse(std::chrono::milliseconds(ms));
            else if (step == QLatin1String("alt"))
                flags(Option);
            else if (step == QLatin1String("ctrl"))
                flags(Control);
            else if (step == QLatin1String("super"))
                flags(Command);
            else if (step == QLatin1String("up"))
                flags(0);
            else if (step == QLatin1String("key"))
                source.key(38);
            else if (step == QLatin1String("click"))
                source.button(1);
            else if (step == QLatin1String("esc"))
                source.escape();
            scheduler->runTasks();
        }
        EXPECT_EQ(events, c.expected) << c.why << ": " << events.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(monitor->handsFreeMode(), c.lockedAtEnd) << c.why;
        EXPECT_EQ(lockedSignal, c.lockedAtEnd) << c.why;
        EXPECT_EQ(monitor->currentMode(), c.lockedAtEnd) << c.why;
    }
}

TEST_F(HotkeyMonitor, ALockedTakeCountsDownItsLastTenSecondsOnceASecondAndStopsWhenItEnds)
{
    std::chrono::seconds limit{25};
    monitor->setHandsFreeSettings([&limit](AppMode) { return HotkeyMonitorService::HandsFree{true, limit}; });
    QList<int> left;
    QObject::connect(monitor.get(), &HotkeyMonitorService::handsFreeSecondsLeft, [&left](int s) { left << s; });
    const auto doubleTap = [&] {
        for (std::uint64_t word : {Option, std::uint64_t(0), Option, std::uint64_t(0)})
            flags(word);
    };
    const auto elapse = [&](int ms) {
        scheduler->elapse(std::chrono::milliseconds(ms));
        scheduler->runTasks();
    };
    doubleTap();
    elapse(14999);
    EXPECT_TRUE(left.isEmpty()) << "nothing before the last ten seconds";
    elapse(1);
    EXPECT_EQ(left, QList<int>{10});
    elapse(8500);
    EXPECT_EQ(left, (QList<int>{10, 9, 8, 7, 6, 5, 4, 3, 2}));
    elapse(1500);
    EXPECT_EQ(left, (QList<int>{10, 9, 8, 7, 6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(monitor->handsFreeMode(), std::nullopt) << "the limit ended it";

    // Ended early, by Esc: the count stops with it.
    left.clear();
    doubleTap();
    elapse(17000);
    source.escape();
    elapse(20000);
    EXPECT_EQ(left, (QList<int>{10, 9, 8}));

    // A limit of ten seconds or less counts from the start.
    left.clear();
    limit = std::chrono::seconds(10);
    elapse(1000);
    doubleTap();
    elapse(0);
    EXPECT_EQ(left, QList<int>{10});
}

TEST_F(HotkeyMonitor, StopsItsSourceWhenDestroyedAndDropsPendingWork)
{
    flags(Option);
    monitor.reset();
    EXPECT_FALSE(source.active);
    EXPECT_EQ(source.stopCalls, 1);
}

} // namespace
