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
        std::shared_ptr<OneShot<Result<QByteArray>>> answer;
    };

    // Control
    QStringList chunks;
    std::optional<ServiceError> streamError;
    bool holdSyntheses = false;
    QStringList failingSyntheses;
    Result<QString> visionReply = QStringLiteral("好的，我这就过去！");

    // Record
    QList<QList<LLMMessage>> chatRequests; // system prompt first
    QList<Synthesis> syntheses;
    QStringList visionImages;

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

    QCoro::Task<Result<QString>> analyzeChatScreenshot(QString base64Jpeg, AppConfig, QString) override
    {
        visionImages.append(base64Jpeg);
        co_return visionReply;
    }

    QCoro::Task<Result<QByteArray>> synthesizeSpeech(QString text, AppConfig) override
    {
        auto answer = std::make_shared<OneShot<Result<QByteArray>>>(this);
        syntheses.append({text, answer});
        if (failingSyntheses.contains(text))
            answer->release(ServiceError{QStringLiteral("TTS"), -1, QStringLiteral("TTS 任务失败")});
        else if (!holdSyntheses)
            answer->release(text.toUtf8());
        co_return co_await *answer;
    }

    // Answers the held synthesis of a sentence with its clip.
    void answerSynthesis(const QString &text)
    {
        for (const Synthesis &synthesis : syntheses) {
            if (synthesis.text == text)
                synthesis.answer->release(text.toUtf8());
        }
    }
};
