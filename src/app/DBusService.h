#pragma once

#include "TakeRetry.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class AppViewModel;
class ModeKeyBindings;

// The running application on the session bus: it owns the name
// com.orvo.Quillwren, so that one instance runs per session, and answers
// Status, OpenSettings and Quit on /com/orvo/Quillwren (interface
// com.orvo.Quillwren1); Hold, Release and Toggle for the desktop's key
// bindings; Capabilities for `quillwren doctor`; Retry for `quillwren retry`.
class DBusService : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.orvo.Quillwren1")

public:
    static constexpr auto kServiceName = "com.orvo.Quillwren";
    static constexpr auto kObjectPath = "/com/orvo/Quillwren";
    static constexpr auto kInterface = "com.orvo.Quillwren1";

    enum class Registration { Registered, AlreadyRunning, NoBus };

    explicit DBusService(QObject *parent = nullptr);
    ~DBusService() override;

    // Claims the name and exports this object. Without a session bus the
    // application still runs, only without Status and Quit.
    Registration registerInstance();
    // What the bus said when it could not be reached.
    QString busError() const { return m_busError; }

    // The controller whose state Status reports; set once it exists.
    void setController(AppViewModel *controller) { m_controller = controller; }
    // Where Hold, Release and Toggle go; set once the monitor listens.
    void setKeyBindings(ModeKeyBindings *bindings) { m_bindings = bindings; }
    // The capability lines Capabilities answers with.
    void setCapabilities(std::function<QStringList()> lines) { m_capabilities = std::move(lines); }
    using RetryHandler = std::function<QCoro::Task<TakeRetry::Outcome>(int)>;
    // What Retry runs; set once the controller exists.
    void setRetry(RetryHandler retry) { m_retry = std::move(retry); }

    // The controller's state as one JSON line.
    static QString statusJson(const AppViewModel *controller);

public Q_SLOTS:
    QString Status() const;
    void OpenSettings();
    void Quit();
    // MODE is "voice", "chat" or "reply"; Release with "" releases every mode
    // held through a binding. A refusal is a D-Bus error with the reason.
    void Hold(const QString &mode);
    void Release(const QString &mode);
    void Toggle(const QString &mode);
    QStringList Capabilities() const;
    // Sends the take numbered n by `quillwren history` again (0: the newest
    // failed or cancelled one with audio); answers, once it has ended, with
    // its status, or a D-Bus error saying why it failed.
    QString Retry(int n);

Q_SIGNALS:
    void settingsRequested();
    void quitRequested();

private:
    enum class BindingAction { Hold, Release, Toggle };
    void binding(BindingAction action, const QString &mode);
    QCoro::Task<> answerRetry(int n, QDBusMessage call, QDBusConnection bus);

    AppViewModel *m_controller = nullptr;
    ModeKeyBindings *m_bindings = nullptr;
    std::function<QStringList()> m_capabilities;
    RetryHandler m_retry;
    bool m_registered = false;
    QString m_busError;
};
