#pragma once

#include "ModelService.h"
#include "OneShot.h"

#include <QMetaObject>

// A scripted model service. The chat streams the given chunks, each from its
// own turn of the event loop, then ends (with the given error, if any).
// Synthesis answers a clip holding the sentence's own text, or fails for the
// texts listed; with holdSyntheses, each call waits until the test answers it,
// in whatever order the test chooses.
class FakeModelService final : public ModelService
{
    Q_OBJECT

public:
    struct Synthesis
    {
        QString text;
        std::shared_ptr<AudioStream> audio;
    };

    // Control
    QStringList chunks;
    std::optional<ServiceError> streamError;
    bool holdSyntheses = false;
    QStringList failingSyntheses;
    Result<QString> visionReply = QStringLiteral("好的，我这就过去！");

    // Record
    QList<QList<LLMMessage>> chatRequests; // system prompt first
    QList<LLMRequest> plainRequests;       // those sent as they are
    QList<Synthesis> syntheses;
    QStringList visionImages;
    int speechPrepared = 0;
    int preparedDropped = 0;

    std::shared_ptr<ChatStream> streamChat(const QList<LLMMessage> &messages, const std::optional<QString> &systemPrompt,
                                           const AppConfig &) override
    {
        QList<LLMMessage> request;
        if (systemPrompt)
            request.append({QStringLiteral("system"), *systemPrompt});
        request.append(messages);
        chatRequests.append(request);
        auto stream = std::make_shared<ChatStream>(this);
        for (const QString &chunk : chunks)
            QMetaObject::invokeMethod(this, [stream, chunk] { stream->push(chunk); }, Qt::QueuedConnection);
        QMetaObject::invokeMethod(this, [stream, error = streamError] { stream->finish(error); }, Qt::QueuedConnection);
        return stream;
    }

    // The same scripted chunks and end; never ends when holdRequests is set
    // (the test ends it through the returned stream).
    std::shared_ptr<ChatStream> streamRequest(LLMRequest request, const AppConfig &) override
    {
        plainRequests.append(request);
        auto stream = std::make_shared<ChatStream>(this);
        lastRequestStream = stream;
        if (holdRequests)
            return stream;
        for (const QString &chunk : chunks)
            later([stream, chunk] { stream->push(chunk); });
        later([stream, error = streamError] { stream->finish(error); });
        return stream;
    }
    bool holdRequests = false;
    std::shared_ptr<ChatStream> lastRequestStream;

    QCoro::Task<Result<QString>> analyzeChatScreenshot(QString base64Jpeg, AppConfig, QString) override
    {
        visionImages.append(base64Jpeg);
        co_return visionReply;
    }

    // The sentence's own text as its audio, arriving from the event loop.
    std::shared_ptr<AudioStream> streamSpeech(QString text, AppConfig) override
    {
        auto audio = std::make_shared<AudioStream>();
        syntheses.append({text, audio});
        if (failingSyntheses.contains(text))
            later([audio] { audio->finish(ServiceError{QStringLiteral("TTS"), -1, QStringLiteral("TTS 任务失败")}); });
        else if (!holdSyntheses)
            later([audio, text] { audio->append(text.toUtf8()); audio->finish(); });
        return audio;
    }

    QCoro::Task<Result<QByteArray>> synthesizeSpeech(QString text, AppConfig config) override
    {
        const std::shared_ptr<AudioStream> audio = streamSpeech(std::move(text), std::move(config));
        co_await audio->ended();
        if (audio->error())
            co_return *audio->error();
        co_return audio->bytes();
    }

    void prepareSpeech(const AppConfig &) override { ++speechPrepared; }
    void dropPreparedSpeech() override { ++preparedDropped; }

    // The held synthesis of a sentence: part of its audio (its text), or
    // the rest and its end, or its failure after what came.
    void sendSynthesis(const QString &text, const QString &part) { find(text)->append(part.toUtf8()); }
    void answerSynthesis(const QString &text)
    {
        if (AudioStream *audio = find(text)) {
            audio->append(text.toUtf8());
            audio->finish();
        }
    }
    void failSynthesis(const QString &text)
    {
        find(text)->finish(ServiceError{QStringLiteral("TTS"), -1, QStringLiteral("TTS 连接中断")});
    }

private:
    AudioStream *find(const QString &text) const
    {
        for (const Synthesis &synthesis : syntheses) {
            if (synthesis.text == text)
                return synthesis.audio.get();
        }
        return nullptr;
    }
    void later(std::function<void()> action)
    {
        QMetaObject::invokeMethod(this, std::move(action), Qt::QueuedConnection);
    }
};
