#pragma once

#include "AppConfig.h"
#include "ControllerServices.h"

#include <QString>

#include <QCoroTask>

#include <chrono>
#include <functional>
#include <memory>

class ChatStream;
class DesktopBackend;
class ModelService;
class Scheduler;

// Dictated words tidied by a chat model before they are typed, as the
// settings' level says; the words as heard whenever that is off, the focused
// application is a terminal or one the user listed, or the clean-up fails,
// takes too long or returns something that is not an edit of them
// (CleanupGuard). Never the cause of lost words: the transcript is typed
// instead, and the status and the log say why.
class DictationCleanup
{
public:
    // All must outlive it. shown is told when a clean-up starts and ends.
    DictationCleanup(ModelService &models, DesktopBackend &desktop, Scheduler &scheduler,
                     std::function<void(bool)> shown = {})
        : m_models(models), m_desktop(desktop), m_scheduler(scheduler), m_shown(std::move(shown))
    {
    }
    explicit DictationCleanup(const ControllerServices &services)
        : DictationCleanup(services.modelService, services.desktop, services.scheduler, services.cleaningShown)
    {
    }

    // Transcripts longer than this are typed as heard: no clean-up would
    // come back within its time limit.
    static constexpr qsizetype kMaxCharacters = 4000;
    // How long a clean-up may take, from its request to its last word: a
    // fast model's first word comes within about 300 ms and it writes more
    // than 100 characters a second, so 500 ms and 10 ms a character keep a
    // short take (release to paste) under a second; at most 30 s.
    static std::chrono::milliseconds timeLimit(const QString &transcript);

    struct Outcome
    {
        // What to type: the edited words, or the transcript as heard.
        QString text;
        // The user cancelled during the clean-up: nothing is typed.
        bool cancelled = false;
        // Why the transcript is typed as heard after a clean-up was tried
        // (as the status says it); empty otherwise.
        QString fallback = {};
    };
    using StatusSink = std::function<void(const QString &)>;
    QCoro::Task<Outcome> run(QString transcript, AppConfig config, StatusSink status);
    // Ends the clean-up under way (Esc) so that nothing is typed; false when
    // none is under way.
    bool cancel();

private:
    // Why a clean-up is not tried for the focused application; empty when it is.
    QCoro::Task<QString> skipReason(const AppConfig &config);

    ModelService &m_models;
    DesktopBackend &m_desktop;
    Scheduler &m_scheduler;
    std::function<void(bool)> m_shown;
    std::shared_ptr<ChatStream> m_underWay;
    bool m_cancelled = false;
};
