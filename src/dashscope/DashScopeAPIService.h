#pragma once

#include "ApiKeyProvider.h"
#include "AppConfig.h"
#include "ChatRecords.h"
#include "ChatStream.h"
#include "DashScopeEndpoints.h"
#include "ModelService.h"
#include "NetworkTimeouts.h"
#include "ServiceError.h"
#include "SpeechSynthesizer.h"

#include <QObject>

#include <chrono>
#include <memory>
#include <optional>

class ChatClient;
class QNetworkAccessManager;
class VisionClient;

// The program's one client of the model service for everything but
// recognition: the streaming chat, the vision request (both on one shared HTTP
// client) and speech synthesis. Every call reads the API key afresh.
class DashScopeAPIService : public ModelService
{
    Q_OBJECT

public:
    // The WebSocket follows each call's settings unless endpoints fixes it
    // (DashScopeEndpoints::fixedByEnvironment()).
    DashScopeAPIService(ApiKeyProvider apiKey, DashScopeEndpoints endpoints, const NetworkTimeouts &timeouts = {},
                        QObject *parent = nullptr);
    ~DashScopeAPIService() override;

    // The answer as it is generated. Returns at once; the request runs on its own.
    std::shared_ptr<ChatStream> streamChat(const QList<LLMMessage> &messages,
                                           const std::optional<QString> &systemPrompt,
                                           const AppConfig &config) override;
    std::shared_ptr<ChatStream> streamRequest(LLMRequest request, const AppConfig &config) override;
    // The vision model's reply to a screenshot (Base64 JPEG, no prefix).
    QCoro::Task<Result<QString>> analyzeChatScreenshot(QString base64Jpeg, AppConfig config,
                                                       QString systemPrompt) override;
    // One MP3 clip (22050 Hz) for the text.
    QCoro::Task<Result<QByteArray>> synthesizeSpeech(QString text, AppConfig config) override;
    std::shared_ptr<AudioStream> streamSpeech(QString text, AppConfig config) override;
    void prepareSpeech(const AppConfig &config) override;
    void dropPreparedSpeech() override;

    // Keys stored per host, for every client: the chat's and vision's host
    // (instead of the service's key), and an OpenAI-style speech server (none
    // sent where none is stored).
    void setHostKeys(const HostKeyProvider &hostKeys);

private:
    QNetworkAccessManager *m_network;
    ChatClient *m_chat;
    VisionClient *m_vision;
    SpeechSynthesizer *m_synthesizer;
};
