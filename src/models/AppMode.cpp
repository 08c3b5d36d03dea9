#include "AppMode.h"
#include "UserText.h"

namespace AppModes {

QString rawValue(AppMode mode)
{
    switch (mode) {
    case AppMode::VoiceInput:
        return QStringLiteral("voice_input");
    case AppMode::ChatAssistant:
        return QStringLiteral("chat_assistant");
    case AppMode::BffReply:
        return QStringLiteral("bff_reply");
    }
    Q_UNREACHABLE();
}

std::optional<AppMode> fromRawValue(const QString &raw)
{
    for (AppMode mode : allAppModes) {
        if (rawValue(mode) == raw)
            return mode;
    }
    return std::nullopt;
}

QString messageName(AppMode mode)
{
    switch (mode) {
    case AppMode::VoiceInput:
        return UserText::of(QT_TRANSLATE_NOOP("UserText", "语音输入法"));
    case AppMode::ChatAssistant:
        return UserText::of(QT_TRANSLATE_NOOP("UserText", "聊天助手"));
    case AppMode::BffReply:
        return UserText::of(QT_TRANSLATE_NOOP("UserText", "BFF智能回复"));
    }
    Q_UNREACHABLE();
}

} // namespace AppModes
