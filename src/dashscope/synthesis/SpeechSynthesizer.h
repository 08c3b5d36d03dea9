#pragma once

#include "ApiKeyProvider.h"
#include "AppConfig.h"
#include "AudioStream.h"
#include "DashScopeEndpoints.h"
#include "ServiceError.h"

#include <QObject>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <memory>

class QNetworkAccessManager;
class QWebSocket;

// Speech synthesis on the duplex endpoint: one text, one MP3 stream, each
// task on a connection of its own. A connection can be opened ahead of time
// (while the user is still speaking), so that the first sentence of an
// answer does not wait for the connection's set-up. Where the settings choose
// the "openai" speech service, each text goes to that server instead
// (OpenAISpeechCall), with nothing to prepare.
class SpeechSynthesizer : public QObject
{
    Q_OBJECT

public:
    // An unused prepared connection is closed after this long, well within
    // the time the service keeps an idle connection open.
    static constexpr std::chrono::milliseconds kPreparedIdleLimit{30000};

    // timeout bounds a whole call, from asking to the last audio. Each call
    // connects where its settings say, unless endpoints fixes the WebSocket.
    SpeechSynthesizer(ApiKeyProvider apiKey, DashScopeEndpoints endpoints, std::chrono::milliseconds timeout,
                      QObject *parent = nullptr);
    ~SpeechSynthesizer() override;

    // The text's speech (MP3, 22050 Hz) as it arrives: returns at once.
    std::shared_ptr<AudioStream> streamSpeech(QString text, AppConfig config);
    // The whole clip.
    QCoro::Task<Result<QByteArray>> synthesizeSpeech(QString text, AppConfig config);

    // Opens the connection the next synthesis with these settings will use;
    // nothing when one is open already or there is no key.
    void prepareConnection(const AppConfig &config);
    // Closes the prepared connection if nobody has used it.
    void dropPreparedConnection();

    // Keys stored per host: an OpenAI-style speech server gets its host's
    // key, or none.
    void setHostKeys(HostKeyProvider hostKeys) { m_hostKeys = std::move(hostKeys); }

private:
    QCoro::Task<> openPrepared(quint64 generation, QUrl endpoint);
    QCoro::Task<> run(std::shared_ptr<AudioStream> stream, QString text, AppConfig config);

    QCoro::Task<> runOpenAI(std::shared_ptr<AudioStream> stream, QString text, AppConfig config);

    ApiKeyProvider m_apiKey;
    HostKeyProvider m_hostKeys;
    std::unique_ptr<QNetworkAccessManager> m_network; // made for the first OpenAI-style call
    DashScopeEndpoints m_endpoints;
    std::chrono::milliseconds m_timeout;
    std::unique_ptr<QWebSocket> m_prepared;
    QString m_preparedKey;
    QUrl m_preparedEndpoint;
    quint64 m_prepareGeneration = 0;
    QTimer m_preparedIdle;
};
