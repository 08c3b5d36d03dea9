#pragma once

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QVariantMap>

#include <QCoroTask>

#include <chrono>
#include <optional>

class QDBusMessage;
class QDBusServiceWatcher;

// Keyboard shortcuts through the desktop's GlobalShortcuts portal (GNOME 48+,
// KDE Plasma, Hyprland): the application names its actions, the desktop lets
// the user pick a key combination for each (in its own dialog or settings),
// and reports each combination going down (Activated) and coming up
// (Deactivated). No program sees any other key. One session for the
// application's life; when the portal goes away and comes back, the actions
// are bound again.
class PortalGlobalShortcuts final : public QObject
{
    Q_OBJECT

public:
    static constexpr auto kInterface = "org.freedesktop.portal.GlobalShortcuts";
    // The desktop may show a dialog that the user takes a while over.
    static constexpr std::chrono::milliseconds kBindTimeout{120000};

    struct Shortcut
    {
        QString id;
        QString description;
        // In the freedesktop shortcut notation ("LOGO+ALT+v"); a
        // suggestion the desktop may ignore.
        QString preferredTrigger;
    };

    enum class State { NotStarted, Binding, Bound, Refused, Cancelled, Missing, Failed, Lost };

    PortalGlobalShortcuts(QDBusConnection bus, QList<Shortcut> shortcuts, QObject *parent = nullptr);
    ~PortalGlobalShortcuts() override;

    // The interface's version (0: no portal offers it), asked once.
    uint version() const;
    // Creates the session and binds the shortcuts; true when bound. A second
    // call while bound or binding answers with that outcome; after a
    // failure it tries again.
    QCoro::Task<bool> bind();
    State state() const { return m_state; }
    // What went wrong, for the user; empty while all is well.
    QString problem() const { return m_problem; }
    // Each bound shortcut's id with how the desktop says it is triggered
    // (empty: bound, but no keys assigned yet).
    QMap<QString, QString> triggers() const { return m_triggers; }

    // The a(sa{sv}) list of shortcuts the portal sends, as id → properties.
    static QList<QPair<QString, QVariantMap>> parseShortcuts(const QVariant &value);

Q_SIGNALS:
    void activated(const QString &id);
    void deactivated(const QString &id);
    // The triggers the desktop reports changed (bound, or changed by the user).
    void triggersChanged();
    void stateChanged(PortalGlobalShortcuts::State state);

private Q_SLOTS:
    void onActivated(const QDBusObjectPath &session, const QString &id, qulonglong timestamp, const QVariantMap &options);
    void onDeactivated(const QDBusObjectPath &session, const QString &id, qulonglong timestamp,
                       const QVariantMap &options);
    void onShortcutsChanged(const QDBusMessage &message);
    void onSessionClosed();

private:
    void setState(State state, QString problem = {});
    void takeTriggers(const QVariant &list);
    void listen(bool on);
    void lose(const QString &why);

    QDBusConnection m_bus;
    QList<Shortcut> m_shortcuts;
    mutable std::optional<uint> m_version;
    State m_state = State::NotStarted;
    QString m_problem;
    QString m_session;
    QMap<QString, QString> m_triggers;
    // Counts bindings and losses: a binding that a loss overtook is stale.
    quint64 m_generation = 0;
    // The shortcuts down now (Activated without its Deactivated yet).
    QSet<QString> m_held;
    QDBusServiceWatcher *m_watcher;
};
