#include "ModeKeyBindings.h"

#include "ModifierKey.h"

ModeKeyBindings::ModeKeyBindings(std::function<ShortcutConfig()> config, QObject *parent)
    : KeyEventSource(parent), m_config(std::move(config))
{
}

std::optional<AppMode> ModeKeyBindings::modeFromName(const QString &name)
{
    for (AppMode mode : allAppModes) {
        if (name == nameOf(mode))
            return mode;
    }
    return std::nullopt;
}

QString ModeKeyBindings::nameOf(AppMode mode)
{
    switch (mode) {
    case AppMode::VoiceInput:
        return QStringLiteral("voice");
    case AppMode::ChatAssistant:
        return QStringLiteral("chat");
    case AppMode::BffReply:
        break;
    }
    return QStringLiteral("reply");
}

bool ModeKeyBindings::start()
{
    m_active = true;
    return true;
}

void ModeKeyBindings::stop()
{
    // Like a keyboard source stopping: what was held is forgotten, silently.
    m_active = false;
    m_held = 0;
}

QString ModeKeyBindings::refusal(AppMode mode) const
{
    if (!m_active)
        return QStringLiteral("the mode keys are not being watched yet");
    if (!m_config().config(mode).enabled)
        return QStringLiteral("the %1 mode is turned off in the settings").arg(nameOf(mode));
    return {};
}

QString ModeKeyBindings::hold(AppMode mode, Via via)
{
    if (QString why = refusal(mode); !why.isEmpty())
        return why;
    if (via == Via::Command)
        m_lastUsed = QDateTime::currentDateTime();
    publish(m_held | ModifierKeys::mask(m_config().config(mode).modifier));
    return {};
}

QString ModeKeyBindings::release(std::optional<AppMode> mode, Via via)
{
    if (!m_active)
        return QStringLiteral("the mode keys are not being watched yet");
    if (via == Via::Command)
        m_lastUsed = QDateTime::currentDateTime();
    publish(mode ? m_held & ~ModifierKeys::mask(m_config().config(*mode).modifier) : 0);
    return {};
}

QString ModeKeyBindings::toggle(AppMode mode)
{
    // The reply records nothing, so it stays a press and a release; a voice
    // mode's take goes on hands-free, so typing in between does not end it.
    if (mode == AppMode::BffReply || isHeld(mode))
        return isHeld(mode) ? release(mode) : hold(mode);
    if (QString why = refusal(mode); !why.isEmpty())
        return why;
    m_lastUsed = QDateTime::currentDateTime();
    Q_EMIT toggled(ModifierKeys::mask(m_config().config(mode).modifier));
    return {};
}

bool ModeKeyBindings::isHeld(AppMode mode) const
{
    return m_held & ModifierKeys::mask(m_config().config(mode).modifier);
}

void ModeKeyBindings::publish(std::uint64_t held)
{
    if (held == m_held)
        return;
    m_held = held;
    Q_EMIT flagsChanged(held);
}
