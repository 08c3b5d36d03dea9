#pragma once

#include "AppConfig.h"
#include "RunEnding.h"

#include <QString>

#include <QCoroTask>

#include <chrono>
#include <functional>

class ModelService;
class Scheduler;
class ScreenCaptureService;
class TextInputService;

// The reply mode: a picture of the focused screen goes to the vision model
// with a fixed instruction, and its reply is typed into the focused
// application exactly as returned. Nothing is recorded.
class BffReplyPipeline
{
public:
    // Lets the key's release settle before the picture is taken.
    static constexpr std::chrono::milliseconds kPauseBeforeCapture{200};
    // A capture this small (Base64 characters) is most likely a black screen.
    static constexpr qsizetype kSmallCaptureChars = 999;

    using StatusSink = std::function<void(const QString &)>;

    BffReplyPipeline(ModelService &service, ScreenCaptureService &capture, TextInputService &input,
                     Scheduler &scheduler);

    // Runs after the processing state and "正在截屏..." are shown; intermediate
    // status texts go to the sink; the ending, with its status, is returned.
    QCoro::Task<RunEnding> run(AppConfig config, StatusSink status);

    // The last run's draft (empty when it produced none) and how long after
    // the run's start it came.
    const QString &lastDraft() const { return m_lastDraft; }
    qint64 lastDraftMs() const { return m_lastDraftMs; }

private:
    ModelService &m_service;
    ScreenCaptureService &m_capture;
    TextInputService &m_input;
    Scheduler &m_scheduler;
    QString m_lastDraft;
    qint64 m_lastDraftMs = -1;
};
