#pragma once

#include "KeyEventSource.h"

// Where no supported desktop is found: never trusted, never starts.
class NullKeyEventSource final : public KeyEventSource
{
    Q_OBJECT

public:
    explicit NullKeyEventSource(QString reason, QObject *parent = nullptr)
        : KeyEventSource(parent), m_reason(std::move(reason))
    {
    }

    bool isTrusted() const override { return false; }
    QString untrustedReason() const override { return m_reason; }
    bool start() override { return false; }
    void stop() override {}
    bool isActive() const override { return false; }

private:
    QString m_reason;
};
