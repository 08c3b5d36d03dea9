#include "TakeRetry.h"

#include "AppViewModel.h"
#include "DesktopBackend.h"
#include "KeptAudioCapture.h"
#include "Log.h"
#include "Memory.h"
#include "RealtimeASRService.h"
#include "SettingsStore.h"
#include "TakeAudioFile.h"
#include "TextReplacements.h"
#include "UserText.h"

#include <QElapsedTimer>
#include <QFile>

#include <QCoroSignal>

QCoro::Task<Result<QString>> TakeRetry::recognize(RecognizerFactory factory, QByteArray pcm, AppConfig config)
{
    const qint64 lengthMs = pcm.size() / 32;
    KeptAudioCapture audio(std::move(pcm));
    const std::unique_ptr<RealtimeASRService> recognizer = factory(audio);
    config.keepAudio = QStringLiteral("none"); // the audio is kept already
    Log::line(QStringLiteral("🔁 [重试] 重新发送保存的音频（%1 ms）").arg(lengthMs));
    QString failure;
    QObject::connect(recognizer.get(), &RealtimeASRService::recordingStateChanged, recognizer.get(),
                     [&failure](const RecordingState &state) {
                         if (state.isError())
                             failure = state.errorMessage();
                     });
    if (const VoidResult connected = co_await recognizer->connect(config); !connected)
        co_return connected.error();
    // Listened for before the first buffer can go.
    auto ended = qCoro(&audio, &KeptAudioCapture::finished, std::chrono::milliseconds(-1));
    if (const VoidResult started = co_await recognizer->startRecognition(config); !started)
        co_return started.error();
    if (audio.isRunning())
        co_await std::move(ended);
    co_await recognizer->stopRecognition();
    const QString text = recognizer->finalTranscript();
    // Words heard before a failure still count; a failure with none is one.
    if (text.isEmpty() && (recognizer->connectionTroubled() || !failure.isEmpty())) {
        co_return ServiceError{QStringLiteral("RetryError"), -1,
                               failure.isEmpty() ? UserText::of(QT_TRANSLATE_NOOP("UserText", "连接中断")) : failure};
    }
    co_return text;
}

QCoro::Task<TakeRetry::Outcome> TakeRetry::run(TakeRecord record)
{
    AppViewModel &c = m_controller;
    if (c.m_currentMode || c.isBusy())
        co_return Outcome{{}, false, UserText::of(QT_TRANSLATE_NOOP("UserText", "正在处理中，请稍后再试"))};
    if (record.mode == AppMode::BffReply || record.audio.isEmpty() || !c.m_services.retryRecognizer)
        co_return Outcome{{}, false, UserText::of(QT_TRANSLATE_NOOP("UserText", "这次录音没有保存音频，无法重试"))};
    QString unreadable;
    std::optional<TakeAudio> audio = TakeAudio::read(record.audio, &unreadable);
    if (!audio) {
        co_return Outcome{
            {}, false, UserText::of(QT_TRANSLATE_NOOP("UserText", "无法读取保存的音频：%1")).arg(unreadable)};
    }
    if (audio->cutShort)
        Log::line(QStringLiteral("⚠️ [重试] 保存的音频不完整，发送已写下的 %1 ms").arg(audio->lengthMs()));
    c.m_appConfig = c.m_services.settings.loadAppConfig();
    c.setProcessing(true);
    c.setStatusMessage(UserText::of(QT_TRANSLATE_NOOP("UserText", "正在重新识别...")));
    QElapsedTimer elapsed;
    elapsed.start();
    const Result<QString> heard = co_await recognize(c.m_services.retryRecognizer, std::move(audio->pcm), c.m_appConfig);
    RunEnding ending;
    if (!heard) {
        ending = RunEnding::failed(
            UserText::of(QT_TRANSLATE_NOOP("UserText", "重试失败：%1")).arg(heard.error().description));
    } else {
        ending = co_await finish(record, TextReplacements::apply(heard.value(), c.m_appConfig.replacements));
    }
    Log::line(QStringLiteral("🔁 [重试] 结束：") + ending.status);
    record.ending = ending.historyName(record.mode);
    record.latencyMs = elapsed.elapsed();
    if (!ending.isFailure() && c.m_appConfig.keepAudio != QLatin1String("all")) {
        // Done at last: its audio is kept no longer than a success's.
        QFile::remove(record.audio);
        record.audio.clear();
        record.audioMs = -1;
    }
    c.setStatusMessage(ending.status);
    c.setProcessing(false);
    Memory::releaseFreedMemory();
    Q_EMIT c.runEnded(ending);
    co_return Outcome{record, !ending.isFailure(), ending.status};
}

QCoro::Task<RunEnding> TakeRetry::finish(TakeRecord &record, const QString &text)
{
    AppViewModel &c = m_controller;
    if (text.isEmpty())
        co_return RunEnding::failed(UserText::of(QT_TRANSLATE_NOOP("UserText", "未识别到语音内容")));
    record.text = text;
    if (record.mode == AppMode::VoiceInput) {
        c.m_services.desktop.setClipboardText(text);
        co_return RunEnding::onClipboard(text);
    }
    const RunEnding ending
        = co_await c.m_chat.run(text, c.m_appConfig, [&c](const QString &status) { c.setStatusMessage(status); });
    record.answer = c.m_chat.lastAnswer();
    co_return ending;
}
