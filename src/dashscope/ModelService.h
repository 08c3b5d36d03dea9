#pragma once

#include "AppConfig.h"
#include "AudioStream.h"
#include "ChatRecords.h"
#include "ChatStream.h"
#include "ServiceError.h"

#include <QObject>

#include <QCoroTask>

#include <memory>
#include <optional>

// The model work the modes need besides recognition: a streamed chat answer,
// a drafted reply to a screenshot, and speech for a sentence. The service's
// client implements it; tests give the pipelines a scripted fake.
class ModelService : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // The answer as it is generated. Returns at once; the request runs on its own.
    virtual std::shared_ptr<ChatStream> streamChat(const QList<LLMMessage> &messages,
                                                   const std::optional<QString> &systemPrompt,
                                                   const AppConfig &config) = 0;
    // A chat request as it is (its own model, temperature, bounds and
    // switches: a dictation's clean-up), streamed. Returns at once.
    virtual std::shared_ptr<ChatStream> streamRequest(LLMRequest request, const AppConfig &config) = 0;
    // The vision model's reply to a screenshot (Base64 JPEG, no prefix).
    virtual QCoro::Task<Result<QString>> analyzeChatScreenshot(QString base64Jpeg, AppConfig config,
                                                               QString systemPrompt) = 0;
    // One MP3 clip for the text.
    virtual QCoro::Task<Result<QByteArray>> synthesizeSpeech(QString text, AppConfig config) = 0;
    // The text's speech as it arrives. Returns at once.
    virtual std::shared_ptr<AudioStream> streamSpeech(QString text, AppConfig config) = 0;
    // Opens the connection of the next speech ahead of time (a spoken
    // question is on its way), and closes it again when it was not needed.
    virtual void prepareSpeech(const AppConfig &config) { Q_UNUSED(config); }
    virtual void dropPreparedSpeech() {}
};
