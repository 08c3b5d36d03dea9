#pragma once

#include <QString>

#include <array>
#include <optional>

// The three working modes, in their fixed order: every consumer iterates them
// in this order (the monitor's tests, the conflict pairs, the settings screen).
enum class AppMode { VoiceInput, ChatAssistant, BffReply };

inline constexpr std::array<AppMode, 3> allAppModes = {
    AppMode::VoiceInput, AppMode::ChatAssistant, AppMode::BffReply};

namespace AppModes {
// "voice_input", "chat_assistant", "bff_reply"
QString rawValue(AppMode mode);
std::optional<AppMode> fromRawValue(const QString &raw);
// The name used in messages such as the shortcut-conflict warning.
QString messageName(AppMode mode);
} // namespace AppModes
