#pragma once

#include "AppMode.h"
#include "ModifierKey.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>
#include <utility>

// The key assignment of one mode.
struct HotkeyConfig
{
    ModifierKey modifier = ModifierKey::Option;
    bool enabled = true;

    friend bool operator==(const HotkeyConfig &, const HotkeyConfig &) = default;

    QByteArray toJson() const;
    // Strict: both members required, "modifier" one of the four raw values.
    static std::optional<HotkeyConfig> fromJson(const QJsonObject &object);
};

using ModePair = std::pair<AppMode, AppMode>;

// One assignment per mode. Stored as JSON under "shortcutConfigV2".
struct ShortcutConfig
{
    HotkeyConfig voiceInput{ModifierKey::Option, true};
    HotkeyConfig chatAssistant{ModifierKey::Control, true};
    HotkeyConfig bffReply{ModifierKey::Command, true};

    friend bool operator==(const ShortcutConfig &, const ShortcutConfig &) = default;

    static ShortcutConfig defaults() { return {}; }

    const HotkeyConfig &config(AppMode mode) const;
    HotkeyConfig &config(AppMode mode);

    // Compact JSON, members in field order.
    QByteArray toJson() const;
    // Strict: every member of every mode is required; extra members are ignored.
    static std::optional<ShortcutConfig> fromJson(const QByteArray &json);

    // The pairs of enabled modes that share a modifier, in the fixed pair order
    // (voice/chat, voice/bff, chat/bff). A disabled mode never conflicts.
    QList<ModePair> conflicts() const;
    // The one-line warning the shortcut screen shows; empty when there is no conflict.
    static QString conflictWarning(const QList<ModePair> &conflicts);
};
