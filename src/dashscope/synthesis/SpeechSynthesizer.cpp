#include "SpeechSynthesizer.h"

#include "CompatibleMode.h"
#include "Log.h"
#include "OpenAISpeechCall.h"
#include "SynthesisCall.h"

#include <QNetworkAccessManager>
#include <QWebSocket>

namespace {
bool usesOpenAI(const AppConfig &config)
{
    return config.speechService == QLatin1String("openai");
}
// A silence this long ends an OpenAI-style speech call (the whole call is
// bounded by the synthesis time-out as well).
constexpr std::chrono::milliseconds kSpeechInactivity{15000};
} // namespace

SpeechSynthesizer::SpeechSynthesizer(ApiKeyProvider apiKey, DashScopeEndpoints endpoints,
                                     std::chrono::milliseconds timeout, QObject *parent)
    : QObject(parent), m_apiKey(std::move(apiKey)), m_endpoints(std::move(endpoints)), m_timeout(timeout)
{
    m_preparedIdle.setSingleShot(true);
    m_preparedIdle.setInterval(kPreparedIdleLimit);
    connect(&m_preparedIdle, &QTimer::timeout, this, [this] {
        Log::line(QStringLiteral("🔌 [TTS] 预先建立的连接闲置过久，已关闭"));
        dropPreparedConnection();
    });
}

SpeechSynthesizer::~SpeechSynthesizer()
{
    dropPreparedConnection();
}

void SpeechSynthesizer::prepareConnection(const AppConfig &config)
{
    const quint64 generation = ++m_prepareGeneration;
    if (!m_prepared && !usesOpenAI(config))
        openPrepared(generation, m_endpoints.synthesis(config));
}

QCoro::Task<> SpeechSynthesizer::openPrepared(quint64 generation, QUrl endpoint)
{
    const std::optional<QString> key = co_await configuredKey(m_apiKey);
    // Dropped (or opened by a later call) while the key was being read.
    if (!key || generation != m_prepareGeneration || m_prepared)
        co_return;
    Log::line(QStringLiteral("🔌 [TTS] 预先建立语音合成连接"));
    m_prepared = SynthesisCall::openSocket(endpoint, *key);
    m_preparedKey = *key;
    m_preparedEndpoint = endpoint;
    m_preparedIdle.start();
}

void SpeechSynthesizer::dropPreparedConnection()
{
    ++m_prepareGeneration;
    m_preparedIdle.stop();
    if (std::unique_ptr<QWebSocket> socket = std::exchange(m_prepared, {})) {
        socket->close(QWebSocketProtocol::CloseCodeNormal);
        socket.release()->deleteLater(); // it may still be signalling
    }
}

std::shared_ptr<AudioStream> SpeechSynthesizer::streamSpeech(QString text, AppConfig config)
{
    auto stream = std::make_shared<AudioStream>();
    if (usesOpenAI(config))
        runOpenAI(stream, std::move(text), std::move(config));
    else
        run(stream, std::move(text), std::move(config));
    return stream;
}

QCoro::Task<> SpeechSynthesizer::runOpenAI(std::shared_ptr<AudioStream> stream, QString text, AppConfig config)
{
    const std::optional<QUrl> url = CompatibleMode::endpointUrl(config.speechBaseURL, QStringLiteral("/audio/speech"));
    // Only the key stored for this host: the service's own never leaves for another company's server.
    const ApiKeyProvider noFallback; // named: GCC 12 mishandles temporaries inside a co_await
    std::optional<QString> key;
    if (url)
        key = co_await keyForUrl(*url, m_hostKeys, noFallback);
    if (!m_network)
        m_network = std::make_unique<QNetworkAccessManager>();
    OpenAISpeechCall::start(*m_network, std::move(stream), text, config, key, m_timeout, kSpeechInactivity);
}

QCoro::Task<> SpeechSynthesizer::run(std::shared_ptr<AudioStream> stream, QString text, AppConfig config)
{
    const std::optional<QString> key = co_await configuredKey(m_apiKey);
    if (!key) {
        stream->finish(ServiceError::apiKeyMissing());
        co_return;
    }
    Log::line(QStringLiteral("🔊 [TTS] 开始 WebSocket 语音合成，模型：%1，语音：%2").arg(config.ttsModel, config.ttsVoice));
    // The prepared connection serves the first call after it, if its key
    // and its address are still the ones configured.
    const QUrl endpoint = m_endpoints.synthesis(config);
    std::unique_ptr<QWebSocket> socket;
    if (m_prepared && m_preparedKey == *key && m_preparedEndpoint == endpoint) {
        m_preparedIdle.stop();
        ++m_prepareGeneration;
        socket = std::exchange(m_prepared, {});
    }
    dropPreparedConnection();
    auto call = std::make_unique<SynthesisCall>(std::move(socket), endpoint, *key, text, config, m_timeout, stream);
    co_await call->done();
    call.release()->deleteLater(); // its socket may still be signalling
}

QCoro::Task<Result<QByteArray>> SpeechSynthesizer::synthesizeSpeech(QString text, AppConfig config)
{
    const std::shared_ptr<AudioStream> stream = streamSpeech(std::move(text), std::move(config));
    co_await stream->ended();
    if (stream->error())
        co_return *stream->error();
    co_return stream->bytes();
}
