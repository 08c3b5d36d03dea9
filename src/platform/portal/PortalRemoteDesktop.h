#pragma once

#include "x11/PasteChord.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <QCoroTask>

#include <chrono>
#include <functional>
#include <optional>

// The paste keystroke through the RemoteDesktop portal (GNOME, KDE): one
// keyboard-only session for the application's life, started once with the
// user's consent. Where the portal can remember the consent (interface
// version 2), its restore token is kept, so the next start does not ask.
class PortalRemoteDesktop final : public QObject
{
    Q_OBJECT

public:
    static constexpr auto kInterface = "org.freedesktop.portal.RemoteDesktop";
    // The user may take a while to read the dialog.
    static constexpr std::chrono::milliseconds kConsentTimeout{120000};

    enum class State { NotStarted, Starting, Started, Refused, Cancelled, Missing, Failed };

    // Where the restore token lives between runs.
    struct TokenStore
    {
        std::function<QString()> load;
        std::function<void(const QString &)> save;
    };

    PortalRemoteDesktop(QDBusConnection bus, TokenStore tokens, QObject *parent = nullptr);

    // Whether a portal with this interface answers; its version (0: none),
    // asked once.
    uint version() const;
    // Creates the session, selects the keyboard and starts it, asking the
    // user where the portal must; true when the session runs. Once: later
    // calls answer with the outcome of the first.
    QCoro::Task<bool> start();
    State state() const { return m_state; }
    // What went wrong, for the user; empty while all is well.
    QString problem() const { return m_problem; }

    // The chord's keys down, the key held holdMs, then all up.
    QCoro::Task<> press(PasteChord chord, int holdMs);

Q_SIGNALS:
    void stateChanged(PortalRemoteDesktop::State state);

private:
    void setState(State state, QString problem = {});
    void notifyKey(int keycode, bool down);

    QDBusConnection m_bus;
    mutable std::optional<uint> m_version;
    TokenStore m_tokens;
    State m_state = State::NotStarted;
    QString m_problem;
    QString m_session;
};
