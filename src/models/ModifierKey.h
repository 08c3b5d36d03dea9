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
// "Option (⌥)": what log lines print for a key, on every platform.
QString label(ModifierKey key);

// What the windows show: the names this platform's keyboards and desktops
// use. Linux: "Alt", "Ctrl", "Super", "Shift"; macOS: "Option", "Control",
// "Command", "Shift". The stored names stay those of rawValue.
QString displayName(ModifierKey key);
// The key's glyph where the platform prints one (macOS: "⌥" ...); empty on
// Linux, whose key caps and menus print none.
QString displaySymbol(ModifierKey key);
// The key in a sentence: "Alt" on Linux, "Option (⌥)" on macOS.
QString displayLabel(ModifierKey key);
// The key with a letter as menus print it: "Super+C" on Linux, "Cmd+C" on macOS.
QString combination(ModifierKey key, QChar letter);
} // namespace ModifierKeys
