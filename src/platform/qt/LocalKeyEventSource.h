#pragma once

#include "KeyEventSource.h"

// The application's own key events, read from Qt's event stream: the fallback
// when no global source can start. It sees keys only while one of this
// application's windows has the focus. Always trusted.
class LocalKeyEventSource final : public KeyEventSource
{
    Q_OBJECT

public:
    explicit LocalKeyEventSource(QObject *parent = nullptr);

    bool isTrusted() const override { return true; }
    QString untrustedReason() const override { return {}; }
    bool start() override;
    void stop() override;
    bool isActive() const override { return m_active; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool m_active = false;
    std::uint64_t m_flags = 0;
    const QEvent *m_lastEvent = nullptr;
    quint64 m_lastTimestamp = 0;
};
