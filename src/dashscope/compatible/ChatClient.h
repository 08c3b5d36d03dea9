#pragma once

#include "ApiKeyProvider.h"
#include "AppConfig.h"
#include "ChatRecords.h"
#include "ChatStream.h"

#include <QObject>
#include <QSet>
#include <QUrl>

#include <chrono>
#include <memory>
#include <optional>

class QNetworkAccessManager;

// The streaming chat: one request per question, its answer read as
// server-sent events while it is generated.
class ChatClient : public QObject
{
    Q_OBJECT

public:
    // The network manager is shared with the other HTTP client and must outlive this one.
    // A request fails after inactivityTimeout without a byte moving.
    ChatClient(ApiKeyProvider apiKey, QNetworkAccessManager &network, std::chrono::milliseconds inactivityTimeout,
               QObject *parent = nullptr);

    // The answer as it is generated. Returns at once; the request runs on its own.
    std::shared_ptr<ChatStream> streamChat(const QList<LLMMessage> &messages,
                                           const std::optional<QString> &systemPrompt, const AppConfig &config);

    // The request as it is (its model, temperature, bounds and switches),
    // streamed the same way.
    std::shared_ptr<ChatStream> streamRequest(LLMRequest request, const AppConfig &config);

    // Keys stored per host: one for the chat's host is sent instead of the service's.
    void setHostKeys(HostKeyProvider hostKeys) { m_hostKeys = std::move(hostKeys); }

private:
    enum class Sent { Ended, RefusedThinking };
    QCoro::Task<> run(LLMRequest request, AppConfig config, std::shared_ptr<ChatStream> stream);
    // One HTTP request; the stream is ended unless the server refused the thinking switch.
    QCoro::Task<Sent> send(const LLMRequest &request, QUrl url, QString key, std::shared_ptr<ChatStream> stream);

    ApiKeyProvider m_apiKey;
    HostKeyProvider m_hostKeys;
    QNetworkAccessManager &m_network;
    std::chrono::milliseconds m_inactivityTimeout;
    // The servers (host and port) that refused the thinking switch.
    QSet<QString> m_refusesThinking;
};
