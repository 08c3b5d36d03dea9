#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <QCoroTask>

#include <chrono>

// One call of an xdg-desktop-portal method that answers through a Request
// object: the portal replies at once with the request's path, and later
// (after the user's consent, say) emits Response on it. The Response is
// listened for before the call, on the path the handle token predicts, so
// that a fast answer is not missed.
class PortalRequest final : public QObject
{
    Q_OBJECT

public:
    static constexpr auto kService = "org.freedesktop.portal.Desktop";
    static constexpr auto kPath = "/org/freedesktop/portal/desktop";

    enum class Outcome { Granted, Refused, Cancelled, Failed };

    struct Result
    {
        Outcome outcome = Outcome::Failed;
        QVariantMap results;
        // For Failed: the D-Bus error or the time-out.
        QString error;
    };

    // Calls interface.method with the arguments; the last one must be the
    // options map, which gets the handle token. Waits at most timeout for the
    // Response (the user may be reading a dialog: be generous).
    static QCoro::Task<Result> call(QDBusConnection bus, QString interface, QString method, QVariantList arguments,
                                    std::chrono::milliseconds timeout);

    // CreateSession of a session-based interface (RemoteDesktop,
    // GlobalShortcuts); when granted, *session is the new session's path.
    static QCoro::Task<Result> createSession(QDBusConnection bus, QString interface, std::chrono::milliseconds timeout,
                                             QString *session);

    // What went wrong, for the user: the refusal's or the cancellation's
    // words for this request, or the failure's error; empty when granted.
    static QString describe(const Result &result, const QString &refused, const QString &cancelled);

    // The version a portal interface announces; 0 when no portal offers it
    // (a blocking round trip: the callers keep the answer).
    static uint interfaceVersion(const QDBusConnection &bus, const QString &interface);
    // This connection's part of request and session paths (":1.42" → "1_42").
    static QString senderPart(const QDBusConnection &bus);
    // A token unique within this process.
    static QString newToken();

public Q_SLOTS:
    void onResponse(uint response, const QVariantMap &results);

Q_SIGNALS:
    void answered();

private:
    explicit PortalRequest(QDBusConnection bus);
    bool listen(const QString &path);
    void stopListening();

    QDBusConnection m_bus;
    QString m_path;
    bool m_answered = false;
    uint m_response = 2;
    QVariantMap m_results;
};
