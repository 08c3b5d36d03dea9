#pragma once

#include "KeyEventSource.h"

#include <QList>

// Several key-event sources seen as one, so that the hotkey monitor keeps
// one word of held modifiers whichever route a key came by: the desktop's
// global source (or, when it cannot start, the application's own key
// events) together with the desktop's key bindings. The word is the union of
// what each member holds; a key held through two routes stays held until
// both have let it go.
class MergedKeyEventSource final : public KeyEventSource
{
    Q_OBJECT

public:
    // global: the desktop-wide source; fallback: used in its place when it
    // cannot start; always: a source that runs beside either (the bindings).
    MergedKeyEventSource(KeyEventSource &global, KeyEventSource &fallback, KeyEventSource &always,
                         QObject *parent = nullptr);

    // Always trusted: the bindings work wherever the session bus does.
    bool isTrusted() const override { return true; }
    QString untrustedReason() const override { return {}; }
    bool start() override;
    void stop() override;
    bool isActive() const override { return m_active; }

    // Whether the global source started (else the fallback serves).
    bool globalActive() const { return m_global.isActive(); }

private:
    void memberFlagsChanged(int member, std::uint64_t flags);

    KeyEventSource &m_global;
    KeyEventSource &m_fallback;
    KeyEventSource &m_always;
    QList<std::uint64_t> m_memberFlags{0, 0, 0};
    std::uint64_t m_flags = 0;
    bool m_active = false;
};
