#include "DashScopeAPIService.h"

#include "ChatClient.h"
#include "SpeechSynthesizer.h"
#include "VisionClient.h"

#include <QNetworkAccessManager>

DashScopeAPIService::DashScopeAPIService(ApiKeyProvider apiKey, DashScopeEndpoints endpoints,
                                         const NetworkTimeouts &timeouts, QObject *parent)
    : ModelService(parent)
    , m_network(new QNetworkAccessManager(this))
    , m_chat(new ChatClient(apiKey, *m_network, timeouts.httpInactivity, this))
    , m_vision(new VisionClient(apiKey, *m_network, timeouts.httpInactivity, this))
    , m_synthesizer(new SpeechSynthesizer(apiKey, endpoints, timeouts.synthesis, this))
{
}

DashScopeAPIService::~DashScopeAPIService() = default;

void DashScopeAPIService::setHostKeys(const HostKeyProvider &hostKeys)
{
    m_chat->setHostKeys(hostKeys);
    m_vision->setHostKeys(hostKeys);
    m_synthesizer->setHostKeys(hostKeys);
}

std::shared_ptr<ChatStream> DashScopeAPIService::streamChat(const QList<LLMMessage> &messages,
                                                            const std::optional<QString> &systemPrompt,
                                                            const AppConfig &config)
{
    return m_chat->streamChat(messages, systemPrompt, config);
}

std::shared_ptr<ChatStream> DashScopeAPIService::streamRequest(LLMRequest request, const AppConfig &config)
{
    return m_chat->streamRequest(std::move(request), config);
}

QCoro::Task<Result<QString>> DashScopeAPIService::analyzeChatScreenshot(QString base64Jpeg, AppConfig config,
                                                                          QString systemPrompt)
{
    return m_vision->analyzeChatScreenshot(std::move(base64Jpeg), std::move(config), std::move(systemPrompt));
}

QCoro::Task<Result<QByteArray>> DashScopeAPIService::synthesizeSpeech(QString text, AppConfig config)
{
    return m_synthesizer->synthesizeSpeech(std::move(text), std::move(config));
}

std::shared_ptr<AudioStream> DashScopeAPIService::streamSpeech(QString text, AppConfig config)
{
    return m_synthesizer->streamSpeech(std::move(text), std::move(config));
}

void DashScopeAPIService::prepareSpeech(const AppConfig &config)
{
    m_synthesizer->prepareConnection(config);
}

void DashScopeAPIService::dropPreparedSpeech()
{
    m_synthesizer->dropPreparedConnection();
}
