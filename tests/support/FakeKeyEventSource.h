#pragma once

#include "KeyEventSource.h"

// A key-event source driven by the test: it says whether it is trusted and
// whether it may start, counts starts, and emits what the test types.
class FakeKeyEventSource final : public KeyEventSource
{
    Q_OBJECT

public:
    bool isTrusted() const override { return trusted; }
    QString untrustedReason() const override { return trusted ? QString() : QStringLiteral("fake"); }
    bool start() override
    {
        ++startCalls;
        active = active || canStart;
        return active;
    }
    void stop() override
    {
        ++stopCalls;
        active = false;
    }
    bool isActive() const override { return active; }

    // Emits only while active, as a real source does.
    void press(std::uint64_t flags)
    {
        if (active)
            Q_EMIT flagsChanged(flags);
    }
    void key(std::int32_t keyCode)
    {
        if (active)
            Q_EMIT keyDown(keyCode);
    }
    void button(int button)
    {
        if (active)
            Q_EMIT buttonDown(button);
    }
    void escape()
    {
        if (active)
            Q_EMIT escapeDown();
    }

    bool trusted = true;
    bool canStart = true;
    bool active = false;
    int startCalls = 0;
    int stopCalls = 0;
};
