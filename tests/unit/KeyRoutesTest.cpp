#include "FakeKeyEventSource.h"
#include "HotkeyMonitorService.h"
#include "ManualScheduler.h"
#include "MergedKeyEventSource.h"
#include "ModeKeyBindings.h"
#include "PipeInputDirectory.h"
#include "evdev/EvdevKeyEventSource.h"

#include <gtest/gtest.h>

#include <functional>

using namespace std::chrono_literals;

// Every route the mode keys can take to the monitor must give the same
// activations, taps and cancels: the rules live in the monitor alone.
namespace {

constexpr std::uint64_t kAlt = ModifierMask::Option;
constexpr std::uint64_t kCtrl = ModifierMask::Control;
constexpr std::uint64_t kSuper = ModifierMask::Command;

// A route: how a modifier goes down and up, and another key is pressed, on it.
class Route
{
public:
    virtual ~Route() = default;
    virtual KeyEventSource &source() = 0;
    virtual void down(std::uint64_t mask) = 0;
    virtual void up(std::uint64_t mask) = 0;
    // False where the route cannot see other keys (the bindings alone).
    virtual bool seesOtherKeys() const { return true; }
    virtual void otherKey() = 0;
    virtual void escape() = 0;
    // False where no command can reach the route.
    virtual bool takesToggles() const { return false; }
    virtual void toggle(std::uint64_t) {}
};

// A desktop-wide source (X11's, say) through the merge the application uses.
class GlobalRoute final : public Route
{
public:
    KeyEventSource &source() override { return merged; }
    void down(std::uint64_t mask) override { global.press(held |= mask); }
    void up(std::uint64_t mask) override { global.press(held &= ~mask); }
    void otherKey() override { global.key(54); }
    void escape() override { global.escape(); }

    FakeKeyEventSource global, local;
    ModeKeyBindings bindings{[] { return ShortcutConfig::defaults(); }};
    MergedKeyEventSource merged{global, local, bindings};
    std::uint64_t held = 0;
};

// The kernel's keyboards, read through a pipe.
class EvdevRoute final : public Route
{
public:
    EvdevRoute()
    {
        auto directory = std::make_unique<PipeInputDirectory>();
        pipes = directory.get();
        pipes->add(kPath, PipeInputDirectory::keyboardKeys(), false);
        evdev = std::make_unique<EvdevKeyEventSource>(std::move(directory));
        QObject::connect(evdev.get(), &KeyEventSource::flagsChanged, [this] { ++delivered; });
        QObject::connect(evdev.get(), &KeyEventSource::keyDown, [this] { ++delivered; });
        QObject::connect(evdev.get(), &KeyEventSource::escapeDown, [this] { ++delivered; });
    }
    KeyEventSource &source() override { return *evdev; }
    void down(std::uint64_t mask) override
    {
        held |= mask;
        send(code(mask), 1);
    }
    void up(std::uint64_t mask) override
    {
        held &= ~mask;
        send(code(mask), 0);
    }
    // Without a modifier held the kernel's key is nobody's business: nothing
    // is delivered, and the pipe's order puts it before the next step's key.
    void otherKey() override { held ? send(KEY_C, 1) : pipes->key(kPath, KEY_C, 1); }
    void escape() override { send(KEY_ESC, 1); }

private:
    static int code(std::uint64_t mask)
    {
        return mask == kAlt ? KEY_LEFTALT : mask == kCtrl ? KEY_LEFTCTRL : mask == kSuper ? KEY_RIGHTMETA : KEY_LEFTSHIFT;
    }
    void send(int code, int value)
    {
        const int expected = delivered + 1;
        pipes->key(kPath, code, value);
        EXPECT_TRUE(deliverUntil([&] { return delivered >= expected; })) << "evdev delivered nothing";
    }

    const QString kPath = QStringLiteral("/dev/input/event2");
    PipeInputDirectory *pipes = nullptr;
    std::unique_ptr<EvdevKeyEventSource> evdev;
    int delivered = 0;
    std::uint64_t held = 0;
};

// The desktop's key bindings alone (sway, Hyprland, GNOME shortcuts).
class BindingsRoute final : public Route
{
public:
    KeyEventSource &source() override { return bindings; }
    void down(std::uint64_t mask) override { EXPECT_EQ(bindings.hold(modeOf(mask)), QString()); }
    void up(std::uint64_t mask) override { EXPECT_EQ(bindings.release(modeOf(mask)), QString()); }
    bool seesOtherKeys() const override { return false; }
    void otherKey() override {}
    void escape() override {}
    bool takesToggles() const override { return true; }
    void toggle(std::uint64_t mask) override { EXPECT_EQ(bindings.toggle(modeOf(mask)), QString()); }

    static AppMode modeOf(std::uint64_t mask)
    {
        return mask == kAlt ? AppMode::VoiceInput : mask == kCtrl ? AppMode::ChatAssistant : AppMode::BffReply;
    }
    ModeKeyBindings bindings{[] { return ShortcutConfig::defaults(); }};
};

// The bindings hold the mode key; the global source still sees other keys.
class BindingsWithGlobalKeysRoute final : public Route
{
public:
    KeyEventSource &source() override { return merged; }
    void down(std::uint64_t mask) override { EXPECT_EQ(bindings.hold(BindingsRoute::modeOf(mask)), QString()); }
    void up(std::uint64_t mask) override { EXPECT_EQ(bindings.release(BindingsRoute::modeOf(mask)), QString()); }
    void otherKey() override { global.key(54); }
    void escape() override { global.escape(); }
    bool takesToggles() const override { return true; }
    void toggle(std::uint64_t mask) override { EXPECT_EQ(bindings.toggle(BindingsRoute::modeOf(mask)), QString()); }

    FakeKeyEventSource global, local;
    ModeKeyBindings bindings{[] { return ShortcutConfig::defaults(); }};
    MergedKeyEventSource merged{global, local, bindings};
};

struct Step
{
    enum Kind { Down, Up, Key, Wait, Esc, Toggle } kind;
    std::uint64_t mask = 0;
    std::chrono::milliseconds wait{0};
};
Step down(std::uint64_t mask) { return {Step::Down, mask}; }
Step up(std::uint64_t mask) { return {Step::Up, mask}; }
Step key() { return {Step::Key}; }
Step wait(std::chrono::milliseconds ms) { return {Step::Wait, 0, ms}; }
Step esc() { return {Step::Esc}; }
Step toggle(std::uint64_t mask) { return {Step::Toggle, mask}; }

struct Case
{
    const char *name;
    std::vector<Step> steps;
    QStringList expected;
    bool needsOtherKeys = false;
    bool needsToggles = false;
};

const QString kDown = QStringLiteral("down:voice_input"), kVoice = QStringLiteral("mode:voice_input"),
              kNone = QStringLiteral("mode:none"), kPressed = QStringLiteral("pressed:true"),
              kUnpressed = QStringLiteral("pressed:false"), kTap = QStringLiteral("cancel:voice_input"),
              kLocked = QStringLiteral("locked:voice_input"), kUnlocked = QStringLiteral("locked:none");

const std::vector<Case> &cases()
{
    static const std::vector<Case> table = {
        {"a long press activates and the release ends it",
         {down(kAlt), wait(300ms), up(kAlt)},
         {kDown, kVoice, kPressed, kNone, kUnpressed}},
        {"a release within 300 ms is a tap",
         {down(kAlt), wait(299ms), up(kAlt), wait(1s)},
         {kDown, QStringLiteral("cancel:voice_input")}},
        {"the reply key warms nothing up",
         {down(kSuper), wait(400ms), up(kSuper)},
         {QStringLiteral("mode:bff_reply"), kPressed, kNone, kUnpressed}},
        {"a second mode key before the long press taps the first",
         {down(kAlt), wait(100ms), down(kCtrl), wait(300ms), up(kCtrl), up(kAlt)},
         {kDown, QStringLiteral("cancel:voice_input"), QStringLiteral("down:chat_assistant"),
          QStringLiteral("mode:chat_assistant"), kPressed, kNone, kUnpressed}},
        {"another key before the long press is a tap",
         {down(kCtrl), wait(100ms), key(), wait(300ms), up(kCtrl)},
         {QStringLiteral("down:chat_assistant"), QStringLiteral("cancel:chat_assistant")},
         true},
        {"another key after the activation withdraws the take",
         {down(kAlt), wait(300ms), key(), up(kAlt), wait(1s)},
         {kDown, kVoice, kPressed, QStringLiteral("withdrawn:voice_input"), kNone, kUnpressed},
         true},
        {"a double tap locks the take until the key's next press, and another mode's key is ignored meanwhile",
         {down(kAlt), wait(100ms), up(kAlt), wait(399ms), down(kAlt), wait(100ms), up(kAlt), wait(5s), down(kCtrl),
          wait(400ms), up(kCtrl), down(kAlt), up(kAlt), wait(1s)},
         {kDown, kTap, kDown, kVoice, kPressed, kLocked, kNone, kUnpressed, kUnlocked}},
        {"a second press after 400 ms is a long press of its own",
         {down(kAlt), wait(100ms), up(kAlt), wait(401ms), down(kAlt), wait(300ms), up(kAlt)},
         {kDown, kTap, kDown, kVoice, kPressed, kNone, kUnpressed}},
        {"taps of two keys are no double tap",
         {down(kAlt), up(kAlt), down(kCtrl), up(kCtrl), down(kAlt), wait(300ms), up(kAlt)},
         {kDown, kTap, QStringLiteral("down:chat_assistant"), QStringLiteral("cancel:chat_assistant"), kDown, kVoice,
          kPressed, kNone, kUnpressed}},
        {"typing goes to its window during a locked take and Esc cancels it",
         {down(kAlt), up(kAlt), down(kAlt), up(kAlt), key(), wait(2s), esc(), wait(1s)},
         {kDown, kTap, kDown, kVoice, kPressed, kLocked, QStringLiteral("withdrawn:voice_input"), kNone, kUnpressed,
          kUnlocked},
         true},
        {"the time limit ends a locked take as a release",
         {down(kAlt), up(kAlt), down(kAlt), up(kAlt), wait(299s), down(kCtrl), up(kCtrl), wait(1s)},
         {kDown, kTap, kDown, kVoice, kPressed, kLocked, kNone, kUnpressed, kUnlocked}},
        {"a toggle locks the take whatever the switch, the next toggle ends it",
         {toggle(kCtrl), wait(10s), toggle(kCtrl)},
         {QStringLiteral("down:chat_assistant"), QStringLiteral("mode:chat_assistant"), kPressed,
          QStringLiteral("locked:chat_assistant"), kNone, kUnpressed, kUnlocked},
         false, true},
    };
    return table;
}

struct RouteFactory
{
    const char *name;
    std::function<std::unique_ptr<Route>()> make;
};

class KeyRoutes : public ::testing::TestWithParam<RouteFactory>
{
};

TEST_P(KeyRoutes, GiveTheMonitorTheSameActivationsTapsAndCancels)
{
    for (const Case &c : cases()) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<Route> route = GetParam().make();
        if ((c.needsOtherKeys && !route->seesOtherKeys()) || (c.needsToggles && !route->takesToggles()))
            continue;
        FakeKeyEventSource unusedFallback;
        auto manual = std::make_unique<ManualScheduler>();
        ManualScheduler *scheduler = manual.get();
        HotkeyMonitorService monitor(route->source(), unusedFallback, ShortcutConfig::defaults(), std::move(manual));
        // Double taps lock dictation alone, for 300 s.
        monitor.setHandsFreeSettings([](AppMode mode) {
            return HotkeyMonitorService::HandsFree{mode == AppMode::VoiceInput, 300s};
        });
        QStringList events;
        const auto record = [&](const QString &prefix) {
            return [&events, prefix](auto mode) { events << prefix + AppModes::rawValue(mode); };
        };
        QObject::connect(&monitor, &HotkeyMonitorService::keyDown, record(QStringLiteral("down:")));
        QObject::connect(&monitor, &HotkeyMonitorService::keyDownCancelled, record(QStringLiteral("cancel:")));
        QObject::connect(&monitor, &HotkeyMonitorService::modeCancelled, record(QStringLiteral("withdrawn:")));
        QObject::connect(&monitor, &HotkeyMonitorService::currentModeChanged, [&](std::optional<AppMode> mode) {
            events << QStringLiteral("mode:") + (mode ? AppModes::rawValue(*mode) : QStringLiteral("none"));
        });
        QObject::connect(&monitor, &HotkeyMonitorService::isHotkeyPressedChanged,
                         [&](bool pressed) { events << (pressed ? kPressed : kUnpressed); });
        QObject::connect(&monitor, &HotkeyMonitorService::handsFreeModeChanged, [&](std::optional<AppMode> mode) {
            events << QStringLiteral("locked:") + (mode ? AppModes::rawValue(*mode) : QStringLiteral("none"));
        });
        scheduler->elapse(HotkeyMonitorService::kFirstSetupDelay);
        ASSERT_EQ(monitor.monitoringState(), HotkeyMonitorService::MonitoringState::Tapping);

        for (const Step &step : c.steps) {
            switch (step.kind) {
            case Step::Down:
                route->down(step.mask);
                break;
            case Step::Up:
                route->up(step.mask);
                break;
            case Step::Key:
                route->otherKey();
                break;
            case Step::Wait:
                scheduler->elapse(step.wait);
                break;
            case Step::Esc:
                route->escape();
                break;
            case Step::Toggle:
                route->toggle(step.mask);
                break;
            }
            scheduler->runTasks();
        }
        EXPECT_EQ(events, c.expected);
        EXPECT_EQ(unusedFallback.startCalls, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryRoute, KeyRoutes,
    ::testing::Values(RouteFactory{"global", [] { return std::unique_ptr<Route>(new GlobalRoute); }},
                      RouteFactory{"evdev", [] { return std::unique_ptr<Route>(new EvdevRoute); }},
                      RouteFactory{"bindings", [] { return std::unique_ptr<Route>(new BindingsRoute); }},
                      RouteFactory{"bindingsWithGlobalKeys",
                                   [] { return std::unique_ptr<Route>(new BindingsWithGlobalKeysRoute); }}),
    [](const ::testing::TestParamInfo<RouteFactory> &info) { return std::string(info.param.name); });

} // namespace
