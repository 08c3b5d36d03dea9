#include "AppViewModel.h"

#include "AudioRecorderService.h"
#include "Delay.h"
#include "DesktopBackend.h"
#include "HotkeyMonitorService.h"
#include "Log.h"
#include "Memory.h"
#include "ModelService.h"
#include "SettingsStore.h"
#include "SpeechRecognizer.h"
#include "TakeAudioKeeper.h"
#include "TakeStart.h"
#include "TextReplacements.h"
#include "UserText.h"

namespace {
QString name(AppMode mode)
{
    return AppModes::messageName(mode);
}
} // namespace

AppViewModel::AppViewModel(Services services, QObject *parent)
    : QObject(parent)
    , m_services(std::move(services))
    , m_textInput(m_services.desktop)
    , m_screenCapture(m_services.desktop)
    , m_chat(m_services.modelService, m_services.player, m_services.scheduler, this)
    , m_bff(m_services.modelService, m_screenCapture, m_textInput, m_services.scheduler)
    , m_voiceInput(m_textInput, DictationCleanup(m_services), m_take)
    , m_take(m_services.recognizer, m_services.audioKeeper)
    , m_appConfig(m_services.settings.loadAppConfig())
{
    setupBindings();
    checkApiKeyStatus();
    checkAccessibilityPermission();
}

AppViewModel::~AppViewModel() = default;

void AppViewModel::setupBindings()
{
    HotkeyMonitorService &monitor = m_services.monitor;
    connect(&monitor, &HotkeyMonitorService::keyDown, this, &AppViewModel::prewarmForMode);
    connect(&monitor, &HotkeyMonitorService::keyDownCancelled, this, &AppViewModel::cancelPrewarm);
    connect(&monitor, &HotkeyMonitorService::escapePressed, this, [this] { m_voiceInput.cancel(); });
    // Everything below arrives later on the event loop, never inside the
    // sender's own handler.
    connect(&monitor, &HotkeyMonitorService::currentModeChanged, this, &AppViewModel::handleModeChange,
            Qt::QueuedConnection);
    // Queued like the mode's changes, so it lands after the activation it
    // cancels and before the withdrawal that follows it.
    connect(&monitor, &HotkeyMonitorService::modeCancelled, this, &AppViewModel::handleModeCancelled,
            Qt::QueuedConnection);
    QMetaObject::invokeMethod(
        this, [this] { handleModeChange(m_services.monitor.currentMode()); }, Qt::QueuedConnection);
    connect(&m_services.recorder, &AudioRecorderService::recordingStateChanged, this,
            [this](const RecordingState &state) {
                if (!state.isError())
                    return;
                setStatusMessage(state.errorMessage());
                m_services.recorder.cancelRecording();
            },
            Qt::QueuedConnection);
    connect(&m_services.recognizer, &SpeechRecognizer::currentTranscriptChanged, this,
            [this](const QString &text) {
                // A result still queued when its take was cancelled is not news.
                if (!text.isEmpty() && m_currentMode)
                    setStatusMessage(UserText::of(QT_TRANSLATE_NOOP("UserText", "识别中：%1")).arg(text));
            },
            Qt::QueuedConnection);
    if (TakeAudioKeeper *keeper = m_services.audioKeeper)
        connect(&m_services.recognizer, &SpeechRecognizer::takeAudio, this,
                [keeper](const QByteArray &pcm) { keeper->append(pcm); });
    connect(&m_services.recognizer, &SpeechRecognizer::finalTranscriptChanged, this,
            [this](const QString &text) {
                if (!text.isEmpty() && m_currentMode)
                    setStatusMessage(UserText::of(QT_TRANSLATE_NOOP("UserText", "识别完成：%1")).arg(text));
            },
            Qt::QueuedConnection);
}

QCoro::Task<> AppViewModel::checkApiKeyStatus()
{
    const std::optional<QString> key = co_await configuredKey(m_services.apiKey);
    setHasApiKey(key.has_value());
}

void AppViewModel::checkAccessibilityPermission()
{
    if (!m_services.accessibilityProblem)
        return;
    // There is no system prompt to show here: say what is missing instead.
    if (const QString problem = m_services.accessibilityProblem(); !problem.isEmpty())
        Log::line(QStringLiteral("⚠️ [AppViewModel] 辅助功能不可用：") + problem);
}

void AppViewModel::showNotice(const QString &message)
{
    if (!m_currentMode && !isBusy())
        setStatusMessage(message);
}

void AppViewModel::setInputNotice(const QString &notice)
{
    if (notice == m_inputNotice)
        return;
    m_inputNotice = notice;
    if (!notice.isEmpty())
        Log::line(QStringLiteral("⚠️ [AppViewModel] ") + notice);
    Q_EMIT inputNoticeChanged(notice);
}

void AppViewModel::prewarmForMode(AppMode mode)
{
    if (isBusy()) {
        Log::line(QStringLiteral("⚠️ [AppViewModel] 正在处理中，跳过预热：") + name(mode));
        return;
    }
    if (mode == AppMode::BffReply) {
        Log::line(QStringLiteral("💕 [AppViewModel] BFF智能回复 无需 ASR 预热"));
        return;
    }
    Log::line(QStringLiteral("🔥 [AppViewModel] 按键按下，开始预热 ASR 连接：") + name(mode));
    m_appConfig = m_services.settings.loadAppConfig();
    m_services.recognizer.warmUp(m_appConfig);
}

void AppViewModel::cancelPrewarm(AppMode mode)
{
    Q_UNUSED(mode);
    QMetaObject::invokeMethod(
        this, [this] { m_services.recognizer.cancelWarmUp(); }, Qt::QueuedConnection);
}

void AppViewModel::handleModeChange(std::optional<AppMode> mode)
{
    if (!mode) {
        if (!m_currentMode)
            return; // not a release: nothing was active
        if (isBusy()) {
            // The release of an activation that was ignored while busy: the
            // run in progress already had its own release.
            return;
        }
        if (*m_currentMode == AppMode::BffReply) {
            processBFFReply();
            return;
        }
        stopAndProcess(*m_currentMode);
        return;
    }
    if (isBusy()) {
        Log::line(QStringLiteral("⚠️ [AppViewModel] 正在处理中，忽略新的模式激活：") + name(*mode));
        m_services.monitor.resetPressState();
        return;
    }
    setCurrentMode(mode);
    // The answer's first sentence will want a synthesis connection: it is
    // opened while the question is still being asked.
    if (*mode == AppMode::ChatAssistant)
        m_services.modelService.prepareSpeech(m_appConfig);
    if (*mode == AppMode::BffReply) {
        setStatusMessage(UserText::of(QT_TRANSLATE_NOOP("UserText", "BFF 模式就绪，松开按键开始分析...")));
        return;
    }
    if (m_services.audioKeeper)
        m_services.audioKeeper->begin(m_services.settings.loadAppConfig());
    m_appConfig = m_services.settings.loadAppConfig();
    m_takeStart = std::make_shared<TakeStart>(this);
    TakeStart::run(m_takeStart, m_services.recognizer, m_appConfig, [this](const QString &s) { setStatusMessage(s); });
}

void AppViewModel::handleModeCancelled(AppMode mode)
{
    // Only a take of ours that has not been released: an activation ignored
    // while busy belongs to nobody.
    if (isBusy() || m_currentMode != mode)
        return;
    Log::line(QStringLiteral("🚫 [AppViewModel] 组合键取消本次操作，丢弃：") + name(mode));
    if (auto start = std::exchange(m_takeStart, {}))
        start->cancel();
    // The take is over before the recogniser is torn down: closing the audio
    // source can run queued events (the withdrawal among them), and they
    // must find no take to finish.
    finishRun({RunEnding::Kind::Cancelled, UserText::of(QT_TRANSLATE_NOOP("UserText", "已取消")), {}});
    if (mode == AppMode::ChatAssistant)
        m_services.modelService.dropPreparedSpeech();
    if (mode != AppMode::BffReply)
        m_services.recognizer.cancelRecognition();
}

QCoro::Task<> AppViewModel::stopAndProcess(AppMode mode)
{
    bool started = false;
    QString startFailure;
    m_take.restart();
    m_releasePending = true;
    if (mode == AppMode::ChatAssistant)
        m_services.modelService.prepareSpeech(m_appConfig); // at the release at the latest
    if (auto start = std::exchange(m_takeStart, {})) {
        started = co_await start->started(); // a release during the start waits for it
        startFailure = start->failure();
    }
    m_releasePending = false;
    setProcessing(true);
    setStatusMessage(UserText::of(QT_TRANSLATE_NOOP("UserText", "正在处理...")));
    co_await m_services.recognizer.stopRecognition();
    // The transcript's own status texts are queued: let them land before the
    // pipeline's, which must be the last word.
    co_await delay(m_services.scheduler, std::chrono::milliseconds(0));
    // A run whose recognition never started has no transcript of its own.
    const QString heard = started ? m_services.recognizer.finalTranscript() : QString();
    // The user's fixed corrections, before the words are used.
    const QString text = TextReplacements::apply(heard, m_appConfig.replacements);
    if (text != heard)
        Log::line(QStringLiteral("🔁 [替换] 识别结果按替换表修改为：\"%1\"").arg(text.left(100)));
    m_take.heard(text);
    if (text.isEmpty()) {
        Log::line(QStringLiteral("❌ [语音处理] 识别结果为空，模式：") + name(mode));
        if (mode == AppMode::ChatAssistant)
            m_services.modelService.dropPreparedSpeech();
        const QString nothing = UserText::of(QT_TRANSLATE_NOOP("UserText", "未识别到语音内容"));
        // A start that failed is why nothing was heard: the user must learn it.
        finishRun(startFailure.isEmpty() ? RunEnding{RunEnding::Kind::NothingHeard, nothing, {}}
                                         : RunEnding::failed(nothing, startFailure));
        co_return;
    }
    Log::line(QStringLiteral("✅ [语音处理] 识别结果：\"%1\"，模式：%2").arg(text.left(100), name(mode)));
    if (mode == AppMode::VoiceInput)
        finishRun(co_await m_voiceInput.run(text, m_appConfig, [this](const QString &s) { setStatusMessage(s); }));
    else if (mode == AppMode::ChatAssistant)
        co_await processChatAssistant(text);
}

QCoro::Task<> AppViewModel::processChatAssistant(QString text)
{
    const RunEnding ending = co_await m_chat.run(text, m_appConfig, [this](const QString &s) { setStatusMessage(s); });
    m_take.answered(m_chat.lastAnswer());
    finishRun(ending);
}

QCoro::Task<> AppViewModel::processBFFReply()
{
    m_appConfig = m_services.settings.loadAppConfig();
    m_take.restart();
    setProcessing(true);
    setStatusMessage(UserText::of(QT_TRANSLATE_NOOP("UserText", "正在截屏...")));
    const RunEnding ending = co_await m_bff.run(m_appConfig, [this](const QString &s) { setStatusMessage(s); });
    m_take.heard(m_bff.lastDraft(), m_bff.lastDraftMs());
    finishRun(ending);
}

QCoro::Task<TakeRetry::Outcome> AppViewModel::retryTake(TakeRecord record)
{
    co_return co_await TakeRetry(*this, m_services.retryRecognizer).run(std::move(record));
}

AppConfig AppViewModel::beginRetryRun(const QString &status)
{
    m_appConfig = m_services.settings.loadAppConfig();
    setProcessing(true);
    setStatusMessage(status);
    return m_appConfig;
}

QCoro::Task<RunEnding> AppViewModel::answerAloud(QString question, AppConfig config, QString *answer)
{
    const RunEnding ending
        = co_await m_chat.run(question, config, [this](const QString &status) { setStatusMessage(status); });
    *answer = m_chat.lastAnswer();
    co_return ending;
}

void AppViewModel::putOnClipboard(const QString &text)
{
    m_services.desktop.setClipboardText(text);
}

void AppViewModel::finishRun(const RunEnding &ending, bool record)
{
    RunEnding told = ending;
    if (record) {
        TakeRecorder::Ended take = m_take.end(m_currentMode, ending);
        if (take.record)
            Q_EMIT takeRecorded(*take.record);
        told = std::move(take.told);
    }
    setStatusMessage(told.status);
    setProcessing(false);
    setCurrentMode(std::nullopt);
    // The run's transient buffers (screen pictures, decoded audio) leave
    // with it: an idle application holds no more than it needs.
    Memory::releaseFreedMemory();
    Q_EMIT runEnded(told);
}

void AppViewModel::setCurrentMode(std::optional<AppMode> mode)
{
    if (std::exchange(m_currentMode, mode) != mode)
        Q_EMIT currentModeChanged(mode);
}

void AppViewModel::setProcessing(bool processing)
{
    if (std::exchange(m_isProcessing, processing) != processing)
        Q_EMIT isProcessingChanged(processing);
}

void AppViewModel::setStatusMessage(const QString &message)
{
    if (std::exchange(m_statusMessage, message) != message)
        Q_EMIT statusMessageChanged(message);
}

void AppViewModel::setHasApiKey(bool hasKey)
{
    if (std::exchange(m_hasApiKey, hasKey) != hasKey)
        Q_EMIT hasApiKeyChanged(hasKey);
}
