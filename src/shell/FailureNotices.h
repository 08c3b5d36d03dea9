#pragma once

#include "RunEnding.h"

#include <QObject>

#include <QCoroTask>

#include <functional>

class AppViewModel;
class DesktopNotifier;

// Tells a user who is looking at another window that a run needs them: it
// failed, or its words could not be typed and wait on the clipboard. Success
// stays quiet (the typed text or the spoken answer is the news), and so does
// a cancelled take. One notification at a time: each replaces the last.
// Where no notification server runs, the tray's own message is used.
class FailureNotices : public QObject
{
    Q_OBJECT

public:
    // Shows a message another way; false when it cannot either.
    using Fallback = std::function<bool(const QString &summary, const QString &body)>;
    // Asked once after a run the service ended by refusing the key: what the
    // user should know beyond the refusal (the key belongs to the other
    // region, and how to switch), or nothing.
    using RefusalExplainer = std::function<QCoro::Task<QString>()>;

    FailureNotices(AppViewModel &controller, DesktopNotifier &notifier, Fallback fallback,
                   RefusalExplainer explainRefusal = {}, QObject *parent = nullptr);

    // Whether a failure's words say that the service refused the API key.
    static bool isKeyRefusal(const RunEnding &ending);

private:
    void notice(const RunEnding &ending);
    QCoro::Task<> explain(RunEnding ending);

    DesktopNotifier &m_notifier;
    Fallback m_fallback;
    RefusalExplainer m_explainRefusal;
    // A newer run's notice replaces an explanation still being sought.
    quint64 m_notices = 0;
};
