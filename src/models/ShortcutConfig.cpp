#include "ShortcutConfig.h"

#include "Json.h"
#include "UserText.h"

#include <QStringList>

namespace {
const QString kModifier = QStringLiteral("modifier");
const QString kEnabled = QStringLiteral("enabled");

// The JSON member of each mode is its field name, not the mode's raw value.
QString memberName(AppMode mode)
{
    switch (mode) {
    case AppMode::VoiceInput:
        return QStringLiteral("voiceInput");
    case AppMode::ChatAssistant:
        return QStringLiteral("chatAssistant");
    case AppMode::BffReply:
        return QStringLiteral("bffReply");
    }
    Q_UNREACHABLE();
}
} // namespace

QByteArray HotkeyConfig::toJson() const
{
    return Json::ObjectWriter()
        .add(kModifier, ModifierKeys::rawValue(modifier))
        .add(kEnabled, enabled)
        .bytes();
}

std::optional<HotkeyConfig> HotkeyConfig::fromJson(const QJsonObject &object)
{
    const auto raw = Json::stringMember(object, kModifier);
    const auto enabled = Json::boolMember(object, kEnabled);
    if (!raw || !enabled)
        return std::nullopt;
    const auto modifier = ModifierKeys::fromRawValue(*raw);
    if (!modifier)
        return std::nullopt;
    return HotkeyConfig{*modifier, *enabled};
}

const HotkeyConfig &ShortcutConfig::config(AppMode mode) const
{
    switch (mode) {
    case AppMode::VoiceInput:
        return voiceInput;
    case AppMode::ChatAssistant:
        return chatAssistant;
    case AppMode::BffReply:
        return bffReply;
    }
    Q_UNREACHABLE();
}

HotkeyConfig &ShortcutConfig::config(AppMode mode)
{
    return const_cast<HotkeyConfig &>(std::as_const(*this).config(mode));
}

QByteArray ShortcutConfig::toJson() const
{
    Json::ObjectWriter writer;
    for (AppMode mode : allAppModes)
        writer.addRaw(memberName(mode), config(mode).toJson());
    return writer.bytes();
}

std::optional<ShortcutConfig> ShortcutConfig::fromJson(const QByteArray &json)
{
    const auto object = Json::parseObject(json);
    if (!object)
        return std::nullopt;
    ShortcutConfig result;
    for (AppMode mode : allAppModes) {
        const auto member = Json::objectMember(*object, memberName(mode));
        const auto hotkey = member ? HotkeyConfig::fromJson(*member) : std::nullopt;
        if (!hotkey)
            return std::nullopt;
        result.config(mode) = *hotkey;
    }
    return result;
}

QList<ModePair> ShortcutConfig::conflicts() const
{
    static const ModePair pairs[] = {
        {AppMode::VoiceInput, AppMode::ChatAssistant},
        {AppMode::VoiceInput, AppMode::BffReply},
        {AppMode::ChatAssistant, AppMode::BffReply},
    };
    QList<ModePair> result;
    for (const ModePair &pair : pairs) {
        const HotkeyConfig &a = config(pair.first);
        const HotkeyConfig &b = config(pair.second);
        if (a.enabled && b.enabled && a.modifier == b.modifier)
            result.append(pair);
    }
    return result;
}

QString ShortcutConfig::conflictWarning(const QList<ModePair> &conflicts)
{
    if (conflicts.isEmpty())
        return {};
    QStringList parts;
    for (const ModePair &pair : conflicts)
        parts << UserText::of(QT_TRANSLATE_NOOP("UserText", "%1 与 %2"))
                     .arg(AppModes::messageName(pair.first), AppModes::messageName(pair.second));
    return UserText::of(QT_TRANSLATE_NOOP("UserText", "⚠️ 快捷键冲突：%1 使用了相同的修饰键"))
        .arg(parts.join(QStringLiteral("、")));
}
