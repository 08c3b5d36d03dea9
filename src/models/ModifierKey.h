#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <optional>

// The four modifiers a mode can be bound to, in the order the shortcut screen
// lays them out. On Linux: Option = Alt, Control = Ctrl, Command = Super, Shift = Shift.
enum class ModifierKey { Option, Control, Command, Shift };

inline constexpr std::array<ModifierKey, 4> allModifierKeys = {
    ModifierKey::Option, ModifierKey::Control, ModifierKey::Command, ModifierKey::Shift};

// Bits of the 64-bit held-modifier word. Every platform backend reports the
// modifiers it sees with these masks, whatever its native bits are.
namespace ModifierMask {
inline constexpr std::uint64_t Option = 0x80000;
inline constexpr std::uint64_t Control = 0x40000;
inline constexpr std::uint64_t Command = 0x100000;
inline constexpr std::uint64_t Shift = 0x20000;
} // namespace ModifierMask

namespace ModifierKeys {
// "option", "control", "command", "shift": the stored form.
QString rawValue(ModifierKey key);
// Exact match only: "Option" or " option" is not a modifier.
std::optional<ModifierKey> fromRawValue(const QString &raw);
std::uint64_t mask(ModifierKey key);
// "⌥", "⌃", "⌘", "⇧"
QString symbol(ModifierKey key);
// "Option", "Control", ...: the capitalised raw value shown on key chips.
QString title(ModifierKey key);
// "Option (⌥)": what log lines and the shortcut screen print for a key.
QString label(ModifierKey key);
} // namespace ModifierKeys
