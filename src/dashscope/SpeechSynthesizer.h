#pragma once

#include "ApiKeyProvider.h"
#include "AppConfig.h"
#include "ServiceError.h"

#include <QObject>
#include <QUrl>

#include <chrono>

// Speech synthesis: one text, one MP3 clip, each call on a WebSocket
// connection of its own to the duplex endpoint.
class SpeechSynthesizer : public QObject
{
    Q_OBJECT

public:
    // timeout bounds a whole call, from connecting to the last audio.
    SpeechSynthesizer(ApiKeyProvider apiKey, QUrl endpoint, std::chrono::milliseconds timeout,
                      QObject *parent = nullptr);

    // One MP3 clip (22050 Hz) for the text.
    QCoro::Task<Result<QByteArray>> synthesizeSpeech(QString text, AppConfig config);

private:
    ApiKeyProvider m_apiKey;
    QUrl m_endpoint;
    std::chrono::milliseconds m_timeout;
};
