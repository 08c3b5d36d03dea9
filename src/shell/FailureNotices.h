#pragma once

#include "RunEnding.h"

#include <QObject>

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

    FailureNotices(AppViewModel &controller, DesktopNotifier &notifier, Fallback fallback, QObject *parent = nullptr);

private:
    void notice(const RunEnding &ending);

    DesktopNotifier &m_notifier;
    Fallback m_fallback;
};
