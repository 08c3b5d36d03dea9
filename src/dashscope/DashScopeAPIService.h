#pragma once

#include "AppConfig.h"
#include "ChatRecords.h"
#include "ChatStream.h"
#include "ServiceError.h"

#include <QObject>
#include <QUrl>

#include <QCoroTask>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QNetworkAccessManager;

// The program's client of the model service for everything but recognition:
// the streaming chat, the vision request (one shared HTTP client) and speech
// synthesis (a WebSocket of its own per call). Every call reads the API key
// afresh.
class DashScopeAPIService : public QObject
{
    Q_OBJECT

public:
    using KeyProvider = std::function<QCoro::Task<std::optional<QString>>()>;

    // webSocketEndpoint: the duplex endpoint (a trailing slash is dropped for
    // synthesis); synthesisTimeout bounds a whole synthesis call.
    DashScopeAPIService(KeyProvider apiKey, QUrl webSocketEndpoint,
                        std::chrono::milliseconds synthesisTimeout = std::chrono::seconds(15),
                        QObject *parent = nullptr);
    ~DashScopeAPIService() override;

    // The answer as it is generated. Returns at once; the request runs on its own.
    std::shared_ptr<ChatStream> streamChat(const QList<LLMMessage> &messages,
                                           const std::optional<QString> &systemPrompt, const AppConfig &config);
    // The vision model's reply to a screenshot (Base64 JPEG, no prefix).
    QCoro::Task<Result<QString>> analyzeChatScreenshot(QString base64Jpeg, AppConfig config, QString systemPrompt);
    // One MP3 clip (22050 Hz) for the text.
    QCoro::Task<Result<QByteArray>> synthesizeSpeech(QString text, AppConfig config);

    // The instruction the vision request sends with every screenshot.
    static QString visionInstruction();
    // The logged form of a request body: Base64 runs of 100 characters or
    // more replaced by their size, the whole cut at 800 characters.
    static QString redactedBody(const QByteArray &body, qsizetype base64Chars);

private:
    QCoro::Task<std::optional<QString>> configuredKey();
    QCoro::Task<> runChat(QList<LLMMessage> messages, AppConfig config, std::shared_ptr<ChatStream> stream);

    KeyProvider m_apiKey;
    QUrl m_webSocketEndpoint;
    std::chrono::milliseconds m_synthesisTimeout;
    QNetworkAccessManager *m_network;
};

// The chat-completions URL of a base: the plain concatenation, or nothing
// when that is not an http(s) URL.
std::optional<QUrl> chatCompletionsUrl(const QString &baseUrl);
ServiceError invalidUrlError(const QString &baseUrl);
ServiceError networkError(const QString &description, int code);
