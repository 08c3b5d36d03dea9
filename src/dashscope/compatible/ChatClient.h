#pragma once

#include "ApiKeyProvider.h"
#include "AppConfig.h"
#include "ChatRecords.h"
#include "ChatStream.h"

#include <QObject>

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

private:
    QCoro::Task<> run(QList<LLMMessage> messages, AppConfig config, std::shared_ptr<ChatStream> stream);

    ApiKeyProvider m_apiKey;
    QNetworkAccessManager &m_network;
    std::chrono::milliseconds m_inactivityTimeout;
};
