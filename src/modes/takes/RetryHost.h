#pragma once

#include "AppConfig.h"
#include "RunEnding.h"

#include <QString>

#include <QCoroTask>

// What sending a kept take again needs of whoever runs the takes: whether a
// run is under way, a run of its own (begun with its status, ended as every
// run ends, except that the take's record is updated by the caller instead
// of a new one made), the status line, the chat assistant to answer a
// question aloud, and the clipboard for dictated words.
class RetryHost
{
public:
    virtual ~RetryHost() = default;

    // A take is active or a run is being processed: a retry must wait.
    virtual bool isRunUnderWay() const = 0;
    // Shows the run as processing with the status; answers the settings it runs with.
    virtual AppConfig beginRetryRun(const QString &status) = 0;
    // Answers the question aloud as the chat assistant does; the answer's
    // text goes to *answer.
    virtual QCoro::Task<RunEnding> answerAloud(QString question, AppConfig config, QString *answer) = 0;
    virtual void putOnClipboard(const QString &text) = 0;
    // Ends the run with its status (no new history record).
    virtual void endRetryRun(const RunEnding &ending) = 0;
};
