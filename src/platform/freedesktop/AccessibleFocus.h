#pragma once

#include <QDBusConnection>
#include <QString>

#include <QCoroTask>

#include <chrono>
#include <optional>

// Which application has the active window, as the accessibility bus tells
// it: where the compositor keeps its window list to itself (GNOME, KDE),
// this is how a terminal is told from other windows. Applications register
// there under their program name (GTK, Qt, VTE terminals and Konsole do);
// one that does not is simply not found.
class AccessibleFocus
{
public:
    // Each question to an application is given this long: a hung one must
    // not hold the paste back.
    static constexpr std::chrono::milliseconds kCallTimeout{250};

    // session: the bus on which the accessibility bus is announced.
    explicit AccessibleFocus(QDBusConnection session);
    ~AccessibleFocus();

    // The name of the application whose window is active; empty when none
    // is found or there is no accessibility bus.
    QCoro::Task<QString> activeApplicationName();

private:
    bool connect();

    QDBusConnection m_session;
    std::optional<QDBusConnection> m_a11y;
    QString m_connectionName;
};
