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

#if defined(Q_OS_MACOS)
QString displayName(ModifierKey key)
{
    return title(key);
}

QString displaySymbol(ModifierKey key)
{
    return symbol(key);
}

QString displayLabel(ModifierKey key)
{
    return label(key);
}

QString combination(ModifierKey key, QChar letter)
{
    static const QString shortNames[] = {QStringLiteral("Opt"), QStringLiteral("Ctrl"), QStringLiteral("Cmd"),
                                         QStringLiteral("Shift")};
    return shortNames[int(key)] + QLatin1Char('+') + letter;
}
#else
QString displayName(ModifierKey key)
{
    switch (key) {
    case ModifierKey::Option:
        return QStringLiteral("Alt");
    case ModifierKey::Control:
        return QStringLiteral("Ctrl");
    case ModifierKey::Command:
        return QStringLiteral("Super");
    case ModifierKey::Shift:
        return QStringLiteral("Shift");
    }
    Q_UNREACHABLE();
}

QString displaySymbol(ModifierKey)
{
    return {};
}

QString displayLabel(ModifierKey key)
{
    return displayName(key);
}

QString combination(ModifierKey key, QChar letter)
{
    return displayName(key) + QLatin1Char('+') + letter;
}
#endif

} // namespace ModifierKeys
