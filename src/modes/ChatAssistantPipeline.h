#pragma once

#include "AppConfig.h"
#include "RunEnding.h"
#include "AsyncQueue.h"
#include "AudioStream.h"
#include "ChatRecords.h"
#include "OneShot.h"
#include "ServiceError.h"

#include <QObject>

#include <QCoroTask>

#include <functional>
#include <memory>
#include <optional>

class ClipPlayer;
class ModelService;
class Scheduler;

// The chat assistant answers a spoken question aloud: the question joins a
// rolling history, the model's answer streams in, each complete sentence is
// synthesised the moment it is cut (all at once), and the sentences play
// strictly in order, each from its first audio on, while later ones are
// still being generated.
//
// Every sentence index gets exactly one entry in the queue, its audio stream,
// the moment its synthesis starts, so the player never waits for an index
// that will not come. A sentence whose synthesis fails before any audio is
// skipped; one cut short keeps what was heard. A sound that cannot be played
// ends with an error from the player, never with silence for ever.
class ChatAssistantPipeline : public QObject
{
    Q_OBJECT

public:
    // The history keeps the newest exchanges: at 11 messages the oldest two go.
    static constexpr int kHistoryLimit = 10;
    static constexpr std::chrono::milliseconds kPauseAfterLastClip{300};

    using StatusSink = std::function<void(const QString &)>;

    ChatAssistantPipeline(ModelService &service, ClipPlayer &player, Scheduler &scheduler,
                          QObject *parent = nullptr);

    const QList<LLMMessage> &history() const { return m_history; }
    // The last run's answer as the model wrote it (empty when none came).
    const QString &lastAnswer() const { return m_lastAnswer; }

    // One question, answered aloud. Intermediate status texts go to the sink;
    // the ending is returned: "回复已完成", or a failure: "回复失败：" and the
    // error when the answer failed before any text, "回复中断：" after some.
    QCoro::Task<RunEnding> run(QString question, AppConfig config, StatusSink status);

    // The player's delegate.
    void audioPlayerDidFinishPlaying(bool successfully);
    void audioPlayerDecodeErrorDidOccur(const std::optional<ServiceError> &error);

private:
    // (sentence index, its audio as it arrives)
    using Clip = std::pair<int, std::shared_ptr<AudioStream>>;
    using ClipQueue = AsyncQueue<Clip>;
    struct Answer
    {
        QString text;
        std::optional<ServiceError> error;
    };

    QCoro::Task<> produce(AppConfig config, std::shared_ptr<ClipQueue> queue, std::shared_ptr<Answer> answer);
    QCoro::Task<> synthesize(int index, QString sentence, bool last, AppConfig config,
                             std::shared_ptr<ClipQueue> queue);
    // Plays one sentence; where it was not spoken whole, *problem says why
    // (the first such reason is kept).
    QCoro::Task<> speak(int index, std::shared_ptr<AudioStream> audio, std::optional<ServiceError> *problem);
    QCoro::Task<VoidResult> playAudio(std::shared_ptr<AudioStream> audio);

    ModelService &m_service;
    ClipPlayer &m_player;
    Scheduler &m_scheduler;
    QList<LLMMessage> m_history;
    QString m_lastAnswer;
    std::shared_ptr<OneShot<VoidResult>> m_audioCompletion;
};
