#include "ChatAssistantPipeline.h"

#include "ClipPlayer.h"
#include "Delay.h"
#include "Log.h"
#include "ModelService.h"
#include "Prompts.h"
#include "SentenceCutter.h"
#include "UserText.h"

#include <map>
#include <vector>

ChatAssistantPipeline::ChatAssistantPipeline(ModelService &service, ClipPlayer &player, Scheduler &scheduler,
                                             QObject *parent)
    : QObject(parent), m_service(service), m_player(player), m_scheduler(scheduler)
{
    // As a delegate's callbacks: each handled later on the event loop.
    connect(&m_player, &ClipPlayer::finishedPlaying, this, &ChatAssistantPipeline::audioPlayerDidFinishPlaying,
            Qt::QueuedConnection);
    connect(&m_player, &ClipPlayer::decodeErrorOccurred, this,
            &ChatAssistantPipeline::audioPlayerDecodeErrorDidOccur, Qt::QueuedConnection);
}

QCoro::Task<RunEnding> ChatAssistantPipeline::run(QString question, AppConfig config, StatusSink status)
{
    Log::line(QStringLiteral("💬 [聊天助手] 开始处理，识别文本：\"%1\"").arg(question.left(100)));
    m_history.append({QStringLiteral("user"), question});
    m_lastAnswer.clear();
    auto queue = std::make_shared<ClipQueue>(this);
    status(UserText::of(QT_TRANSLATE_NOOP("UserText", "正在思考...")));
    auto answer = std::make_shared<Answer>();
    QCoro::Task<> producer = produce(config, queue, answer);

    std::map<int, std::shared_ptr<AudioStream>> pending;
    int nextIndex = 0;
    bool firstPlayback = true;
    std::optional<ServiceError> unspoken; // why a sentence was not heard whole
    while (auto clip = co_await queue->next()) {
        pending[clip->first] = std::move(clip->second);
        for (auto it = pending.find(nextIndex); it != pending.end(); it = pending.find(nextIndex)) {
            const std::shared_ptr<AudioStream> audio = std::move(it->second);
            pending.erase(it);
            // Its first audio, or the end of a synthesis that brought none.
            co_await audio->started();
            if (!audio->bytes().isEmpty() && std::exchange(firstPlayback, false))
                status(UserText::of(QT_TRANSLATE_NOOP("UserText", "正在回复...")));
            co_await speak(nextIndex, audio, &unspoken);
            ++nextIndex;
        }
    }
    co_await std::move(producer);
    // A connection opened for this answer and not needed is not kept.
    m_service.dropPreparedSpeech();
    co_await delay(m_scheduler, kPauseAfterLastClip);
    // An answer that failed is not a finished reply: before any text it is a
    // failure, after some it was cut off (what came is spoken and kept in the
    // history). Nor is one that was not spoken whole.
    if (answer->error && answer->text.isEmpty())
        co_return RunEnding::failed(
            UserText::of(QT_TRANSLATE_NOOP("UserText", "回复失败：%1")).arg(answer->error->description));
    if (answer->error)
        co_return RunEnding::failed(
            UserText::of(QT_TRANSLATE_NOOP("UserText", "回复中断：%1")).arg(answer->error->description));
    if (unspoken)
        co_return RunEnding::failed(
            UserText::of(QT_TRANSLATE_NOOP("UserText", "回复中断：%1")).arg(unspoken->description));
    co_return RunEnding::done(UserText::of(QT_TRANSLATE_NOOP("UserText", "回复已完成")));
}

QCoro::Task<> ChatAssistantPipeline::speak(int index, std::shared_ptr<AudioStream> audio,
                                           std::optional<ServiceError> *problem)
{
    // A sentence whose synthesis failed before any audio counts as done
    // without playing.
    if (audio->bytes().isEmpty()) {
        *problem = problem->value_or(audio->error().value_or(
            ServiceError{QStringLiteral("TTS"), -1, UserText::of(QT_TRANSLATE_NOOP("UserText", "TTS 没有返回音频"))}));
        co_return;
    }
    Log::line(QStringLiteral("🔊 [播放] 播放第 %1 句").arg(index));
    const VoidResult result = co_await playAudio(audio);
    if (!result) {
        Log::line(QStringLiteral("⚠️ [播放] 第 %1 句播放失败：%2").arg(index).arg(result.error().description));
        *problem = problem->value_or(result.error());
        co_return;
    }
    // Played to the end of what came: whole only if nothing was missing.
    co_await audio->ended();
    if (audio->error())
        *problem = problem->value_or(*audio->error());
}

QCoro::Task<> ChatAssistantPipeline::produce(AppConfig config, std::shared_ptr<ClipQueue> queue,
                                             std::shared_ptr<Answer> answer)
{
    QString buffer;
    int sentenceIndex = 0;
    std::vector<QCoro::Task<>> syntheses;
    auto stream = m_service.streamChat(m_history, Prompts::chatSystemPrompt(), config);
    while (const auto chunk = co_await stream->next()) {
        answer->text += *chunk;
        buffer += *chunk;
        for (const QString &sentence : SentenceCutter::extractSentences(buffer))
            syntheses.push_back(synthesize(sentenceIndex++, sentence, false, config, queue));
    }
    if (stream->error()) {
        answer->error = stream->error();
        Log::line(QStringLiteral("❌ [聊天助手] LLM 流式请求失败：") + stream->error()->description);
    }
    // The rest is spoken however short it is.
    const QString rest = std::exchange(buffer, {}).trimmed();
    if (!rest.isEmpty())
        syntheses.push_back(synthesize(sentenceIndex, rest, true, config, queue));
    for (QCoro::Task<> &synthesis : syntheses)
        co_await std::move(synthesis);

    m_lastAnswer = answer->text;
    if (!answer->text.isEmpty()) {
        m_history.append({QStringLiteral("assistant"), answer->text});
        if (m_history.size() > kHistoryLimit)
            m_history.remove(0, 2);
    }
    queue->finish();
}

QCoro::Task<> ChatAssistantPipeline::synthesize(int index, QString sentence, bool last, AppConfig config,
                                                std::shared_ptr<ClipQueue> queue)
{
    if (last)
        Log::line(QStringLiteral("🔊 [TTS-流水线] 合成最后句（第 %1 句）：\"%2\"").arg(index).arg(sentence.left(30)));
    else
        Log::line(QStringLiteral("🔊 [TTS-流水线] 合成第 %1 句：\"%2\"").arg(index).arg(sentence.left(30)));
    // Queued at once: the player starts on its first audio.
    const std::shared_ptr<AudioStream> audio = m_service.streamSpeech(sentence, config);
    queue->push({index, audio});
    co_await audio->ended();
    if (const std::optional<ServiceError> &error = audio->error()) {
        if (last)
            Log::line(QStringLiteral("⚠️ [TTS-流水线] 最后句合成失败，跳过：") + error->description);
        else
            Log::line(QStringLiteral("⚠️ [TTS-流水线] 第 %1 句合成失败，跳过：%2").arg(index).arg(error->description));
        co_return;
    }
    if (!last)
        Log::line(QStringLiteral("✅ [TTS-流水线] 第 %1 句合成完成").arg(index));
}

QCoro::Task<VoidResult> ChatAssistantPipeline::playAudio(std::shared_ptr<AudioStream> audio)
{
    if (VoidResult started = m_player.play(std::move(audio)); !started)
        co_return started;
    auto completion = std::make_shared<OneShot<VoidResult>>(this);
    m_audioCompletion = completion;
    co_return co_await *completion;
}

void ChatAssistantPipeline::audioPlayerDidFinishPlaying(bool successfully)
{
    Q_UNUSED(successfully);
    if (auto completion = std::exchange(m_audioCompletion, {}))
        completion->release(Ok{});
}

void ChatAssistantPipeline::audioPlayerDecodeErrorDidOccur(const std::optional<ServiceError> &error)
{
    if (auto completion = std::exchange(m_audioCompletion, {}))
        completion->release(error.value_or(ServiceError{QStringLiteral("AudioError"), -1,
                                                        UserText::of(QT_TRANSLATE_NOOP("UserText", "音频解码错误"))}));
}
