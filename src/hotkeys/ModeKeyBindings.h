#pragma once

#include "AppMode.h"
#include "KeyEventSource.h"
#include "ShortcutConfig.h"

#include <QDateTime>

#include <functional>
#include <optional>

// The mode keys as the desktop's own key bindings report them, for
// compositors that let no program see the keys (sway, Hyprland, GNOME
// without evdev access): the desktop runs `quillwren hold MODE` when the key
// goes down and `quillwren release MODE` when it comes up, or `quillwren
// toggle MODE` on each press where shortcuts fire only on press. Each hold
// and release acts as the mode's modifier going down or up, so the monitor's
// rules apply unchanged: a release within the long-press delay is a tap. A
// toggle of a voice mode starts a take that goes on without the key held
// (as a double tap does) and the next toggle ends it.
class ModeKeyBindings final : public KeyEventSource
{
    Q_OBJECT

public:
    // config: the shortcuts now in force (which modifier each mode uses).
    explicit ModeKeyBindings(std::function<ShortcutConfig()> config, QObject *parent = nullptr);

    // "voice", "chat", "reply": the names the commands take.
    static std::optional<AppMode> modeFromName(const QString &name);
    static QString nameOf(AppMode mode);

    bool isTrusted() const override { return true; }
    QString untrustedReason() const override { return {}; }
    bool start() override;
    void stop() override;
    bool isActive() const override { return m_active; }

    // Who acts: the desktop's key bindings through the commands, or the
    // desktop's global shortcuts (which are not the bindings: they do not
    // count as a binding having reached the instance).
    enum class Via { Command, Shortcut };

    // Each answers an empty string, or why nothing happened.
    QString hold(AppMode mode, Via via = Via::Command);
    // Every mode held through a binding when mode is none.
    QString release(std::optional<AppMode> mode, Via via = Via::Command);
    QString toggle(AppMode mode);

    bool isHeld(AppMode mode) const;
    // When a binding last reached this instance through a command (invalid:
    // never), which proves the desktop's bindings are in place.
    QDateTime lastUsed() const { return m_lastUsed; }

private:
    QString refusal(AppMode mode) const;
    void publish(std::uint64_t held);

    std::function<ShortcutConfig()> m_config;
    // The modifier bits held through bindings.
    std::uint64_t m_held = 0;
    bool m_active = false;
    QDateTime m_lastUsed;
};
