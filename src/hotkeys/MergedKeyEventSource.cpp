#include "MergedKeyEventSource.h"

MergedKeyEventSource::MergedKeyEventSource(KeyEventSource &global, KeyEventSource &fallback, KeyEventSource &always,
                                           QObject *parent)
    : KeyEventSource(parent), m_global(global), m_fallback(fallback), m_always(always)
{
    const KeyEventSource *members[] = {&m_global, &m_fallback, &m_always};
    for (int member = 0; member < 3; ++member) {
        connect(members[member], &KeyEventSource::flagsChanged, this,
                [this, member](std::uint64_t flags) { memberFlagsChanged(member, flags); });
        connect(members[member], &KeyEventSource::keyDown, this, [this](std::int32_t code) {
            if (m_active)
                Q_EMIT keyDown(code);
        });
        connect(members[member], &KeyEventSource::buttonDown, this, [this](int button) {
            if (m_active)
                Q_EMIT buttonDown(button);
        });
        connect(members[member], &KeyEventSource::escapeDown, this, [this] {
            if (m_active)
                Q_EMIT escapeDown();
        });
        connect(members[member], &KeyEventSource::toggled, this, [this](std::uint64_t modifier) {
            if (m_active)
                Q_EMIT toggled(modifier);
        });
    }
}

bool MergedKeyEventSource::start()
{
    if (m_active)
        return true;
    m_active = true;
    m_always.start();
    if (!m_global.isTrusted() || !m_global.start())
        m_fallback.start();
    return true;
}

void MergedKeyEventSource::stop()
{
    if (!m_active)
        return;
    m_active = false;
    for (KeyEventSource *member : {&m_global, &m_fallback, &m_always}) {
        if (member->isActive())
            member->stop();
    }
    m_memberFlags = {0, 0, 0};
    m_flags = 0;
}

void MergedKeyEventSource::memberFlagsChanged(int member, std::uint64_t flags)
{
    if (!m_active)
        return;
    m_memberFlags[member] = flags;
    std::uint64_t merged = 0;
    for (std::uint64_t held : std::as_const(m_memberFlags))
        merged |= held;
    if (merged == m_flags)
        return;
    m_flags = merged;
    Q_EMIT flagsChanged(merged);
}
