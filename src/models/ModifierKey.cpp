#include "ModifierKey.h"

namespace ModifierKeys {

QString rawValue(ModifierKey key)
{
    switch (key) {
    case ModifierKey::Option:
        return QStringLiteral("option");
    case ModifierKey::Control:
        return QStringLiteral("control");
    case ModifierKey::Command:
        return QStringLiteral("command");
    case ModifierKey::Shift:
        return QStringLiteral("shift");
    }
    Q_UNREACHABLE();
}

std::optional<ModifierKey> fromRawValue(const QString &raw)
{
    for (ModifierKey key : allModifierKeys) {
        if (rawValue(key) == raw)
            return key;
    }
    return std::nullopt;
}

std::uint64_t mask(ModifierKey key)
{
    switch (key) {
    case ModifierKey::Option:
        return ModifierMask::Option;
    case ModifierKey::Control:
        return ModifierMask::Control;
    case ModifierKey::Command:
        return ModifierMask::Command;
    case ModifierKey::Shift:
        return ModifierMask::Shift;
    }
    Q_UNREACHABLE();
}

QString symbol(ModifierKey key)
{
    switch (key) {
    case ModifierKey::Option:
        return QStringLiteral("⌥");
    case ModifierKey::Control:
        return QStringLiteral("⌃");
    case ModifierKey::Command:
        return QStringLiteral("⌘");
    case ModifierKey::Shift:
        return QStringLiteral("⇧");
    }
    Q_UNREACHABLE();
}

QString title(ModifierKey key)
{
    QString raw = rawValue(key);
    raw[0] = raw[0].toUpper();
    return raw;
}

QString label(ModifierKey key)
{
    return title(key) + QStringLiteral(" (") + symbol(key) + QLatin1Char(')');
}

} // namespace ModifierKeys
