#pragma once

#include "AppConfig.h"
#include "OneShot.h"

#include <QString>

#include <QCoroTask>

#include <functional>
#include <memory>

class SpeechRecognizer;

// The start of a take's recognition, which its release waits for: it
// connects (unless a warm-up is under way or done) and starts the
// recogniser. A start that fails says why and keeps recording what is said
// without the service; a take cancelled meanwhile leaves no microphone open.
class TakeStart
{
public:
    // The waits belong to context.
    explicit TakeStart(QObject *context) : m_done(context) {}

    // Runs the start; status shows what the user must know. The recogniser
    // must outlive it.
    static QCoro::Task<> run(std::shared_ptr<TakeStart> start, SpeechRecognizer &recognizer, AppConfig config,
                             std::function<void(const QString &)> status);
    // The take was cancelled while it started.
    void cancel() { m_cancelled = true; }
    // Waits for the start: whether recognition started.
    QCoro::Task<bool> started();
    // The status of a start that failed.
    const QString &failure() const { return m_failure; }

private:
    OneShot<bool> m_done; // released with whether recognition started
    bool m_cancelled = false;
    QString m_failure;
};
