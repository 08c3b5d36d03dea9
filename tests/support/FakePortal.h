#pragma once

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QImage>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QPair>
#include <QThread>
#include <QStringList>
#include <QVariantMap>

#include <functional>

// xdg-desktop-portal's RemoteDesktop and Screenshot interfaces as a test
// plays them, on its
// own connection to the session bus: each request is answered through a
// Request object's Response signal with the response the test chose (0
// granted, 1 refused, 2 cancelled), and every call is recorded. It answers
// from a thread of its own, as a portal in another process would, so that a
// blocking call of the client's is answered too.
class FakePortal final : public QDBusVirtualObject
{
    Q_OBJECT

public:
    explicit FakePortal(uint version = 2);
    ~FakePortal() override;

    // Takes the portal's name on the session bus; false when it is taken.
    bool start();

    uint version;
    uint createResponse = 0;
    uint selectResponse = 0;
    uint startResponse = 0;
    QString issuedToken = QStringLiteral("restore-1");
    // The Screenshot interface: its version (0: absent), its answer, and the
    // picture it saves (where: screenshotFile).
    uint screenshotVersion = 2;
    uint screenshotResponse = 0;
    QImage screenshot;
    QString screenshotFile;
    // The GlobalShortcuts interface: its version (0: absent), the answer to
    // BindShortcuts, and the keys the desktop assigns (shortcut id → the
    // trigger_description it reports; an id not listed gets the chord the
    // client suggested).
    uint globalShortcutsVersion = 0;
    uint bindResponse = 0;
    QMap<QString, QString> assignedTriggers;
    // How long the user takes over the dialog that Start opens.
    int startDelayMs = 10;
    // Called with each key the client sends (on the portal's thread), as
    // the portal passes it on to the compositor.
    std::function<void(int keycode, uint state)> onKey;

    // What it was sent, copied under its lock.
    QStringList calls() const;
    QList<QVariantMap> selectOptions() const;
    QList<QVariantMap> screenshotOptions() const;
    // (evdev keycode, 1 down / 0 up) in the order sent.
    QList<QPair<int, uint>> keys() const;
    void clearKeys();
    // The shortcuts BindShortcuts was sent (id → description and suggested
    // trigger), and the session they were bound in ("" before).
    QList<QPair<QString, QVariantMap>> boundShortcuts() const;
    QString shortcutSession() const;
    // The desktop's signals for the bound session: a shortcut going down or
    // up, the user changing the keys, the session closed.
    void activate(const QString &id);
    void deactivate(const QString &id);
    void changeTriggers(const QMap<QString, QString> &triggers);
    void closeShortcutSession();

    QString introspect(const QString &path) const override;
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override;

private:
    bool handleShortcuts(const QDBusMessage &message);
    // Activated or Deactivated for the shortcut, in the bound session.
    void sendShortcutSignal(const QString &name, const QString &id);
    void answer(const QDBusMessage &call, const QVariantMap &options, uint response, const QVariantMap &results,
                int delayMs = 10);

    QDBusConnection m_bus;
    QThread m_thread;
    mutable QMutex m_lock;
    QStringList m_calls;
    QList<QVariantMap> m_selectOptions;
    QList<QVariantMap> m_screenshotOptions;
    QList<QPair<int, uint>> m_keys;
    QList<QPair<QString, QVariantMap>> m_boundShortcuts;
    QString m_shortcutSession;
};
