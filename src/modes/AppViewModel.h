#pragma once

#include "BffReplyPipeline.h"
#include "ChatAssistantPipeline.h"
#include "ControllerServices.h"
#include "RecordingState.h"
#include "RetryHost.h"
#include "ScreenCaptureService.h"
#include "TakeRecorder.h"
#include "TextInputService.h"
#include "VoiceInputPipeline.h"

#include <QObject>

#include <functional>
#include <memory>
#include <optional>

class TakeStart;

// The mode controller: turns the hotkey monitor's press, activation and
// release into the three modes. A press warms recognition up; the activation
// of dictation or the chat assistant starts recognition; the release stops it
// and hands the transcript to the mode's pipeline. The reply mode records
// nothing and runs its pipeline on the release. A combination while the key
// is held cancels the take: nothing is sent, pasted or asked. Only one run at
// a time: while one is processing, presses and activations are ignored.
//
// It publishes what the windows show (mode, processing, status line, whether
// a key is stored). No widgets here: it is tested without a display.
class AppViewModel : public QObject, private RetryHost
{
    Q_OBJECT
    Q_PROPERTY(std::optional<AppMode> currentMode READ currentMode NOTIFY currentModeChanged)
    Q_PROPERTY(bool isProcessing READ isProcessing NOTIFY isProcessingChanged)
    Q_PROPERTY(QString statusMessage READ statusMessage NOTIFY statusMessageChanged)
    Q_PROPERTY(bool hasApiKey READ hasApiKey NOTIFY hasApiKeyChanged)
    Q_PROPERTY(QString inputNotice READ inputNotice NOTIFY inputNoticeChanged)

public:
    using Services = ControllerServices;

    explicit AppViewModel(Services services, QObject *parent = nullptr);
    ~AppViewModel() override;

    std::optional<AppMode> currentMode() const { return m_currentMode; }
    bool isProcessing() const { return m_isProcessing; }
    QString statusMessage() const { return m_statusMessage; }
    // What is amiss with the microphone beside the takes (the one chosen is
    // missing, the default serves), kept until it is no longer so; empty when
    // nothing is.
    QString inputNotice() const { return m_inputNotice; }
    void setInputNotice(const QString &notice);
    bool hasApiKey() const { return m_hasApiKey; }
    const QList<LLMMessage> &chatHistory() const { return m_chat.history(); }

    // The monitor's press of a mode's key (not the reply mode's).
    void prewarmForMode(AppMode mode);
    // A press that ended before it became long, or was cancelled.
    void cancelPrewarm(AppMode mode);
    // The monitor's activated mode, or nothing at the release.
    void handleModeChange(std::optional<AppMode> mode);
    // The monitor withdrew the active mode: the take is discarded.
    void handleModeCancelled(AppMode mode);
    // A word from the desktop for the status (a permission being asked):
    // shown only while no take is under way, whose texts come first.
    void showNotice(const QString &message);
    // Sends a kept take's audio again and finishes it as its mode would,
    // except that dictated text goes to the clipboard (see TakeRetry).
    QCoro::Task<TakeRetry::Outcome> retryTake(TakeRecord record);

Q_SIGNALS:
    void currentModeChanged(std::optional<AppMode> mode);
    void isProcessingChanged(bool processing);
    void statusMessageChanged(const QString &message);
    void hasApiKeyChanged(bool hasKey);
    void inputNoticeChanged(const QString &notice);
    // A run has ended (its status is already shown).
    void runEnded(const RunEnding &ending);
    // A take that produced words has ended: what the history keeps.
    void takeRecorded(const TakeRecord &record);

private:
    void setupBindings();
    QCoro::Task<> checkApiKeyStatus();
    void checkAccessibilityPermission();

    QCoro::Task<> stopAndProcess(AppMode mode);
    QCoro::Task<> processChatAssistant(QString text);
    QCoro::Task<> processBFFReply();
    // The end of every run: its last status text, then idle. A run of a
    // take of its own tells the history about it (see TakeRecorder).
    void finishRun(const RunEnding &ending, bool record = true);

    // A run is under way: from its release (or the reply's start) to its end.
    bool isBusy() const { return m_isProcessing || m_releasePending; }
    void setCurrentMode(std::optional<AppMode> mode);
    void setProcessing(bool processing);
    void setStatusMessage(const QString &message);
    void setHasApiKey(bool hasKey);

    // A kept take sent again runs as a run of ours.
    bool isRunUnderWay() const override { return m_currentMode || isBusy(); }
    AppConfig beginRetryRun(const QString &status) override;
    QCoro::Task<RunEnding> answerAloud(QString question, AppConfig config, QString *answer) override;
    void putOnClipboard(const QString &text) override;
    void endRetryRun(const RunEnding &ending) override { finishRun(ending, false); }

    Services m_services;
    TextInputService m_textInput;
    ScreenCaptureService m_screenCapture;
    ChatAssistantPipeline m_chat;
    BffReplyPipeline m_bff;
    VoiceInputPipeline m_voiceInput;

    std::optional<AppMode> m_currentMode;
    bool m_isProcessing = false;
    // A release waits for its recognition to have started before it shows
    // "processing"; the run is under way all the same.
    bool m_releasePending = false;
    QString m_statusMessage;
    QString m_inputNotice;
    bool m_hasApiKey = false;
    // The take under way, for the history.
    TakeRecorder m_take;
    AppConfig m_appConfig;
    // The start of the current recognition; the release waits for it.
    std::shared_ptr<TakeStart> m_takeStart;
};
