#pragma once

#include <QObject>
#include <QString>

class AppViewModel;

// The running application on the session bus: it owns the name
// com.orvo.Quillwren, so that one instance runs per session, and answers
// Status, OpenSettings and Quit on /com/orvo/Quillwren (interface
// com.orvo.Quillwren1).
class DBusService : public QObject
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

    // The controller's state as one JSON line.
    static QString statusJson(const AppViewModel *controller);

public Q_SLOTS:
    QString Status() const;
    void OpenSettings();
    void Quit();

Q_SIGNALS:
    void settingsRequested();
    void quitRequested();

private:
    AppViewModel *m_controller = nullptr;
    bool m_registered = false;
    QString m_busError;
};
