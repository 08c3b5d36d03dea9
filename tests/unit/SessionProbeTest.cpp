#include "CapabilityTexts.h"
#include "FakeKeyEventSource.h"
#include "MergedKeyEventSource.h"
#include "ModeKeyBindings.h"
#include "PlatformFactory.h"
#include "SessionInfo.h"
#include "evdev/EvdevKeyEventSource.h"
#include "x11/KWinEavesdropSetting.h"

#include <gtest/gtest.h>

namespace {

using RouteKind = PlatformFactory::KeyRoute;
using Eavesdrop = KWinEavesdropSetting::Mode;

SessionInfo sessionOf(std::initializer_list<std::pair<const char *, const char *>> variables)
{
    QProcessEnvironment env;
    for (const auto &[name, value] : variables)
        env.insert(QString::fromLatin1(name), QString::fromLatin1(value));
    return SessionInfo::fromEnvironment(env);
}

TEST(Session, TheTypeAndDesktopComeFromTheSessionsVariables)
{
    const SessionInfo x11 = sessionOf({{"XDG_SESSION_TYPE", "x11"}, {"DISPLAY", ":0"}, {"XDG_CURRENT_DESKTOP", "XFCE"}});
    EXPECT_EQ(x11.type, SessionInfo::Type::X11);
    EXPECT_EQ(x11.desktop, SessionInfo::Desktop::Other);

    const SessionInfo gnome = sessionOf({{"XDG_SESSION_TYPE", "wayland"}, {"WAYLAND_DISPLAY", "wayland-0"},
                                         {"DISPLAY", ":0"}, {"XDG_CURRENT_DESKTOP", "ubuntu:GNOME"}});
    EXPECT_EQ(gnome.type, SessionInfo::Type::Wayland);
    EXPECT_EQ(gnome.desktop, SessionInfo::Desktop::Gnome);
    EXPECT_EQ(gnome.describe(), QStringLiteral("Wayland (ubuntu:GNOME), XWayland :0"));

    // Started by hand from a terminal: no session type, only the compositor's variables.
    const SessionInfo sway = sessionOf({{"WAYLAND_DISPLAY", "wayland-1"}, {"SWAYSOCK", "/run/user/1000/sway-ipc.sock"}});
    EXPECT_EQ(sway.type, SessionInfo::Type::Wayland);
    EXPECT_EQ(sway.desktop, SessionInfo::Desktop::Wlroots);
    EXPECT_EQ(sway.describe(), QStringLiteral("Wayland (sway), no XWayland"));

    EXPECT_EQ(sessionOf({{"XDG_CURRENT_DESKTOP", "KDE"}, {"WAYLAND_DISPLAY", "w"}}).desktop, SessionInfo::Desktop::Kde);
    EXPECT_EQ(sessionOf({{"XDG_CURRENT_DESKTOP", "Hyprland"}}).desktop, SessionInfo::Desktop::Wlroots);
    EXPECT_EQ(sessionOf({}).type, SessionInfo::Type::None);
}

TEST(KWinEavesdrop, TheSettingIsReadFromItsGroupOnly)
{
    EXPECT_EQ(KWinEavesdropSetting::parse(QString()), Eavesdrop::NotSet);
    EXPECT_EQ(KWinEavesdropSetting::parse(QStringLiteral("[Xwayland]\nScale=1\n")), Eavesdrop::NotSet);
    EXPECT_EQ(KWinEavesdropSetting::parse(QStringLiteral("[Other]\nXwaylandEavesdrops=All\n")), Eavesdrop::NotSet);
    EXPECT_EQ(KWinEavesdropSetting::parse(QStringLiteral("[Xwayland]\nXwaylandEavesdrops=None\n")), Eavesdrop::NoKeys);
    EXPECT_EQ(KWinEavesdropSetting::parse(QStringLiteral("[Windows]\nA=1\n\n[Xwayland]\nXwaylandEavesdrops = Modifiers\n")),
              Eavesdrop::Modifiers);
    EXPECT_EQ(KWinEavesdropSetting::parse(QStringLiteral("[Xwayland]\nXwaylandEavesdrops[$i]=Combinations\n")),
              Eavesdrop::Combinations);
    // The last word wins, as in KConfig.
    EXPECT_EQ(KWinEavesdropSetting::parse(QStringLiteral("[Xwayland]\nXwaylandEavesdrops=None\nXwaylandEavesdrops=All\n")),
              Eavesdrop::All);
    EXPECT_EQ(KWinEavesdropSetting::parse(QStringLiteral("[Xwayland]\nXwaylandEavesdrops=Everything\n")),
              Eavesdrop::Unknown);
}

TEST(KWinEavesdrop, EachSettingGivesItsRouteAndItsDiagnosis)
{
    const SessionInfo kde = sessionOf({{"XDG_SESSION_TYPE", "wayland"}, {"WAYLAND_DISPLAY", "wayland-0"},
                                       {"DISPLAY", ":1"}, {"XDG_CURRENT_DESKTOP", "KDE"}});
    const struct
    {
        Eavesdrop setting;
        bool evdev;
        RouteKind route;
        const char *inFix;
    } rows[] = {
        {Eavesdrop::Combinations, false, RouteKind::X11, nullptr},
        {Eavesdrop::All, true, RouteKind::X11, nullptr},
        // Modifiers would make a slow Ctrl+C a take: not used.
        {Eavesdrop::Modifiers, false, RouteKind::BindingsOnly, "a slow Ctrl+C would start a take"},
        {Eavesdrop::Modifiers, true, RouteKind::Evdev, nullptr},
        {Eavesdrop::NoKeys, false, RouteKind::BindingsOnly, "XwaylandEavesdrops Combinations"},
        {Eavesdrop::NotSet, false, RouteKind::BindingsOnly, "XwaylandEavesdrops=not set"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(KWinEavesdropSetting::name(row.setting).toStdString());
        const PlatformFactory::KeyRouteProbe probe{row.setting, row.evdev};
        EXPECT_EQ(PlatformFactory::chooseKeyRoute(kde, probe), row.route);
        if (!row.inFix)
            continue;
        const CapabilityStatus status = CapabilityTexts::bindingKeys(kde, probe, EvdevKeyEventSource::permissionFix());
        EXPECT_FALSE(status.works);
        EXPECT_TRUE(status.fix.contains(QString::fromUtf8(row.inFix))) << status.fix.toStdString();
        EXPECT_TRUE(status.fix.contains(QStringLiteral("usermod -aG input"))) << status.fix.toStdString();
        EXPECT_TRUE(status.line().startsWith(QStringLiteral("mode keys: the desktop's key bindings only"))) << status.line().toStdString();
    }
}

TEST(KeyRouteChoice, FollowsTheSessionAndTheProbesAndCanBeForced)
{
    const SessionInfo x11 = sessionOf({{"XDG_SESSION_TYPE", "x11"}, {"DISPLAY", ":0"}});
    const SessionInfo sway = sessionOf({{"XDG_SESSION_TYPE", "wayland"}, {"WAYLAND_DISPLAY", "wayland-1"},
                                        {"DISPLAY", ":2"}, {"XDG_CURRENT_DESKTOP", "sway"}});
    const SessionInfo gnome = sessionOf({{"XDG_SESSION_TYPE", "wayland"}, {"WAYLAND_DISPLAY", "wayland-0"},
                                         {"DISPLAY", ":0"}, {"XDG_CURRENT_DESKTOP", "GNOME"}});
    EXPECT_EQ(PlatformFactory::chooseKeyRoute(x11, {}), RouteKind::X11);
    EXPECT_EQ(PlatformFactory::chooseKeyRoute(x11, {Eavesdrop::NotSet, true}), RouteKind::X11);
    // XWayland sees keys only while one of its windows has the focus.
    EXPECT_EQ(PlatformFactory::chooseKeyRoute(sway, {}), RouteKind::BindingsOnly);
    EXPECT_EQ(PlatformFactory::chooseKeyRoute(sway, {Eavesdrop::All, true}), RouteKind::Evdev);
    EXPECT_EQ(PlatformFactory::chooseKeyRoute(gnome, {Eavesdrop::NotSet, false}), RouteKind::BindingsOnly);
    EXPECT_EQ(PlatformFactory::chooseKeyRoute(gnome, {}, "evdev"), RouteKind::Evdev);
    EXPECT_EQ(PlatformFactory::chooseKeyRoute(x11, {}, "bindings"), RouteKind::BindingsOnly);

    // The desktop's global shortcuts serve where neither the keyboards nor
    // KWin's forwarding do; X11 never needs them.
    const SessionInfo kde = sessionOf({{"XDG_SESSION_TYPE", "wayland"}, {"WAYLAND_DISPLAY", "wayland-0"},
                                       {"DISPLAY", ":1"}, {"XDG_CURRENT_DESKTOP", "KDE"}});
    EXPECT_EQ(PlatformFactory::chooseKeyRoute(gnome, {Eavesdrop::NotSet, false, 1}), RouteKind::Portal);
    EXPECT_EQ(PlatformFactory::chooseKeyRoute(gnome, {Eavesdrop::NotSet, true, 1}), RouteKind::Evdev);
    EXPECT_EQ(PlatformFactory::chooseKeyRoute(kde, {Eavesdrop::Combinations, false, 1}), RouteKind::X11);
    EXPECT_EQ(PlatformFactory::chooseKeyRoute(kde, {Eavesdrop::NoKeys, false, 1}), RouteKind::Portal);
    EXPECT_EQ(PlatformFactory::chooseKeyRoute(x11, {Eavesdrop::NotSet, false, 1}), RouteKind::X11);
    EXPECT_EQ(PlatformFactory::chooseKeyRoute(x11, {}, "portal"), RouteKind::Portal);
    // The setting picks among the routes that work, and is passed over where
    // its route does not; the variable wins over it.
    EXPECT_EQ(PlatformFactory::chooseKeyRoute(gnome, {Eavesdrop::NotSet, true, 1}, {}, "portal"), RouteKind::Portal);
    EXPECT_EQ(PlatformFactory::chooseKeyRoute(gnome, {Eavesdrop::NotSet, true, 1}, {}, "bindings"), RouteKind::BindingsOnly);
    EXPECT_EQ(PlatformFactory::chooseKeyRoute(gnome, {Eavesdrop::NotSet, false, 0}, {}, "evdev"), RouteKind::BindingsOnly);
    EXPECT_EQ(PlatformFactory::chooseKeyRoute(gnome, {Eavesdrop::NotSet, true, 1}, "bindings", "portal"),
              RouteKind::BindingsOnly);
    EXPECT_EQ(PlatformFactory::workingKeyRoutes(gnome, {Eavesdrop::NotSet, true, 1}),
              (QList<RouteKind>{RouteKind::Evdev, RouteKind::Portal, RouteKind::BindingsOnly}));
    EXPECT_EQ(PlatformFactory::workingKeyRoutes(x11, {}), (QList<RouteKind>{RouteKind::X11, RouteKind::BindingsOnly}));

    // Each desktop is told its own way to bind the keys.
    EXPECT_TRUE(CapabilityTexts::bindingAdvice(gnome).contains(QStringLiteral("quillwren toggle voice")));
    EXPECT_TRUE(CapabilityTexts::bindingAdvice(gnome).contains(QStringLiteral("Custom Shortcuts")));
    EXPECT_TRUE(CapabilityTexts::bindingAdvice(sway).contains(QStringLiteral("`quillwren release voice` on release")));
}

TEST(CapabilityLines, SayTheBackendWhetherItWorksAndTheFix)
{
    EXPECT_EQ((CapabilityStatus{QStringLiteral("tray"), QStringLiteral("StatusNotifierItem"), true, {}}).line(),
              QStringLiteral("tray: StatusNotifierItem — works"));
    EXPECT_EQ((CapabilityStatus{QStringLiteral("clipboard"), QStringLiteral("none"), false, QStringLiteral("fix it")}).line(),
              QStringLiteral("clipboard: none — does not work: fix it"));
}

class Bindings : public ::testing::Test
{
protected:
    ShortcutConfig config = ShortcutConfig::defaults();
    ModeKeyBindings bindings{[this] { return config; }};
    QList<std::uint64_t> words;
    void SetUp() override
    {
        QObject::connect(&bindings, &KeyEventSource::flagsChanged, [this](std::uint64_t flags) { words << flags; });
    }
};

TEST_F(Bindings, HoldAndReleaseActAsTheModesConfiguredKey)
{
    EXPECT_EQ(ModeKeyBindings::modeFromName(QStringLiteral("voice")), AppMode::VoiceInput);
    EXPECT_EQ(ModeKeyBindings::modeFromName(QStringLiteral("reply")), AppMode::BffReply);
    EXPECT_EQ(ModeKeyBindings::modeFromName(QStringLiteral("voice_input")), std::nullopt);

    // Before the monitor listens, a binding is refused, not remembered.
    EXPECT_FALSE(bindings.hold(AppMode::VoiceInput).isEmpty());
    EXPECT_FALSE(bindings.lastUsed().isValid());
    bindings.start();
    config.config(AppMode::VoiceInput).modifier = ModifierKey::Shift;
    EXPECT_EQ(bindings.hold(AppMode::VoiceInput), QString());
    EXPECT_EQ(bindings.hold(AppMode::VoiceInput), QString()) << "a repeated hold is still one press";
    EXPECT_EQ(bindings.hold(AppMode::ChatAssistant), QString());
    EXPECT_EQ(bindings.release(AppMode::VoiceInput), QString());
    EXPECT_EQ(bindings.release(std::nullopt), QString());
    EXPECT_EQ(words, (QList<std::uint64_t>{ModifierMask::Shift, ModifierMask::Shift | ModifierMask::Control,
                                           ModifierMask::Control, 0}));
    EXPECT_TRUE(bindings.lastUsed().isValid());
}

TEST_F(Bindings, ToggleStartsThenEndsAndADisabledModeIsRefused)
{
    bindings.start();
    EXPECT_EQ(bindings.toggle(AppMode::BffReply), QString());
    EXPECT_TRUE(bindings.isHeld(AppMode::BffReply));
    EXPECT_EQ(bindings.toggle(AppMode::BffReply), QString());
    EXPECT_FALSE(bindings.isHeld(AppMode::BffReply));
    EXPECT_EQ(words, (QList<std::uint64_t>{ModifierMask::Command, 0}));

    config.config(AppMode::ChatAssistant).enabled = false;
    EXPECT_EQ(bindings.hold(AppMode::ChatAssistant), QStringLiteral("the chat mode is turned off in the settings"));
    // Stopping forgets what was held, silently, as a keyboard source does.
    bindings.hold(AppMode::VoiceInput);
    bindings.stop();
    EXPECT_EQ(words.size(), 3);
    EXPECT_FALSE(bindings.isHeld(AppMode::VoiceInput));
}

TEST(MergedKeys, TheWordIsTheUnionAndTheFallbackServesOnlyWhenTheGlobalSourceCannot)
{
    FakeKeyEventSource global, local;
    ModeKeyBindings bindings([] { return ShortcutConfig::defaults(); });
    MergedKeyEventSource merged(global, local, bindings);
    QList<std::uint64_t> words;
    QObject::connect(&merged, &KeyEventSource::flagsChanged, [&](std::uint64_t flags) { words << flags; });

    ASSERT_TRUE(merged.start());
    EXPECT_TRUE(global.active);
    EXPECT_FALSE(local.active);
    global.press(ModifierMask::Option);
    bindings.hold(AppMode::VoiceInput); // the same key by two routes
    global.press(0);                    // still held through the binding
    bindings.release(AppMode::VoiceInput);
    EXPECT_EQ(words, (QList<std::uint64_t>{ModifierMask::Option, 0}));
    merged.stop();
    EXPECT_FALSE(global.active || bindings.isActive());

    global.trusted = false;
    ASSERT_TRUE(merged.start()) << "the bindings still serve";
    EXPECT_FALSE(global.active);
    EXPECT_TRUE(local.active);
    EXPECT_TRUE(bindings.isActive());
}

} // namespace
