#include "TakeRetry.h"

#include "KeptAudioCapture.h"
#include "Log.h"
#include "RealtimeASRService.h"
#include "TakeAudioFile.h"
#include "TakeRecorder.h"
#include "TextReplacements.h"
#include "UserText.h"

#include <QElapsedTimer>
#include <QFile>

#include <QCoroSignal>

QCoro::Task<Result<QString>> TakeRetry::recognize(RecognizerFactory factory, QByteArray pcm, AppConfig config)
{
    const qint64 lengthMs = pcm.size() / TakeAudioWriter::kBytesPerMs;
    KeptAudioCapture audio(std::move(pcm));
    const std::unique_ptr<SpeechRecognizer> recognizer = factory(audio, config);
    config.keepAudio = QStringLiteral("none"); // the audio is kept already
    Log::line(QStringLiteral("🔁 [重试] 重新发送保存的音频（%1 ms）").arg(lengthMs));
    QString failure;
    if (auto *realtime = qobject_cast<RealtimeASRService *>(recognizer.get())) {
        QObject::connect(realtime, &RealtimeASRService::recordingStateChanged, realtime,
                         [&failure](const RecordingState &state) {
                             if (state.isError())
                                 failure = state.errorMessage();
                         });
    }
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
    if (failure.isEmpty())
        failure = recognizer->failure(); // an upload's refusal
    // Words heard before a failure still count; a failure with none is one.
    if (text.isEmpty() && (recognizer->connectionTroubled() || !failure.isEmpty())) {
        co_return ServiceError{QStringLiteral("RetryError"), -1,
                               failure.isEmpty() ? UserText::of(QT_TRANSLATE_NOOP("UserText", "连接中断")) : failure};
    }
    co_return text;
}

QCoro::Task<TakeRetry::Outcome> TakeRetry::run(TakeRecord record)
{
    if (m_host.isRunUnderWay())
        co_return Outcome{{}, false, UserText::of(QT_TRANSLATE_NOOP("UserText", "正在处理中，请稍后再试"))};
    if (record.mode == AppMode::BffReply || record.audio.isEmpty() || !m_recognizers)
        co_return Outcome{{}, false, UserText::of(QT_TRANSLATE_NOOP("UserText", "这次录音没有保存音频，无法重试"))};
    QString unreadable;
    std::optional<TakeAudio> audio = TakeAudio::read(record.audio, &unreadable);
    if (!audio) {
        co_return Outcome{
            {}, false, UserText::of(QT_TRANSLATE_NOOP("UserText", "无法读取保存的音频：%1")).arg(unreadable)};
    }
    if (audio->cutShort)
        Log::line(QStringLiteral("⚠️ [重试] 保存的音频不完整，发送已写下的 %1 ms").arg(audio->lengthMs()));
    const AppConfig config = m_host.beginRetryRun(UserText::of(QT_TRANSLATE_NOOP("UserText", "正在重新识别...")));
    QElapsedTimer elapsed;
    elapsed.start();
    const Result<QString> heard = co_await recognize(m_recognizers, std::move(audio->pcm), config);
    RunEnding ending;
    if (!heard) {
        ending = RunEnding::failed(
            UserText::of(QT_TRANSLATE_NOOP("UserText", "重试失败：%1")).arg(heard.error().description));
    } else {
        ending = co_await finish(record, TextReplacements::apply(heard.value(), config.replacements), config);
    }
    Log::line(QStringLiteral("🔁 [重试] 结束：") + ending.status);
    record.ending = ending.historyName(record.mode);
    record.reason = TakeRecorder::reasonOf(ending);
    record.latencyMs = elapsed.elapsed();
    if (!ending.isFailure() && config.keepAudio != QLatin1String("all")) {
        // Done at last: its audio is kept no longer than a success's.
        QFile::remove(record.audio);
        record.audio.clear();
        record.audioMs = -1;
    }
    m_host.endRetryRun(ending);
    co_return Outcome{record, !ending.isFailure(), ending.status};
}

QCoro::Task<RunEnding> TakeRetry::finish(TakeRecord &record, const QString &text, const AppConfig &config)
{
    if (text.isEmpty())
        co_return RunEnding::failed(UserText::of(QT_TRANSLATE_NOOP("UserText", "未识别到语音内容")));
    record.text = text;
    if (record.mode == AppMode::VoiceInput) {
        m_host.putOnClipboard(text);
        co_return RunEnding::onClipboard(text);
    }
    co_return co_await m_host.answerAloud(text, config, &record.answer);
}
