#include "DashScopeAPIService.h"

#include "Log.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <QCoroNetworkReply>

namespace {
// Splits what has arrived into complete lines (ended by LF, CR or CR LF); the
// unfinished rest stays in the buffer.
QList<QByteArray> takeLines(QByteArray &buffer, bool all)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < buffer.size(); ++i) {
        if (buffer[i] == '\n' || buffer[i] == '\r') {
            lines.append(buffer.mid(start, i - start));
            start = i + 1;
        }
    }
    buffer.remove(0, start);
    if (all && !buffer.isEmpty()) {
        lines.append(buffer);
        buffer.clear();
    }
    return lines;
}
} // namespace

std::optional<QUrl> chatCompletionsUrl(const QString &baseUrl)
{
    const QUrl url(baseUrl + QStringLiteral("/chat/completions"), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty()
        || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
        return std::nullopt;
    return url;
}

ServiceError invalidUrlError(const QString &baseUrl)
{
    return {QStringLiteral("URLError"), -1, QStringLiteral("无效的服务地址：") + baseUrl};
}

ServiceError networkError(const QString &description, int code)
{
    return {QStringLiteral("QNetworkReply"), code, description};
}

DashScopeAPIService::DashScopeAPIService(KeyProvider apiKey, QUrl webSocketEndpoint,
                                         std::chrono::milliseconds synthesisTimeout, QObject *parent)
    : QObject(parent)
    , m_apiKey(std::move(apiKey))
    , m_webSocketEndpoint(std::move(webSocketEndpoint))
    , m_synthesisTimeout(synthesisTimeout)
    , m_network(new QNetworkAccessManager(this))
{
    m_network->setTransferTimeout(30000);
}

DashScopeAPIService::~DashScopeAPIService() = default;

QCoro::Task<std::optional<QString>> DashScopeAPIService::configuredKey()
{
    const std::optional<QString> key = co_await m_apiKey();
    if (!key || key->isEmpty())
        co_return std::nullopt;
    co_return key;
}

std::shared_ptr<ChatStream> DashScopeAPIService::streamChat(const QList<LLMMessage> &messages,
                                                            const std::optional<QString> &systemPrompt,
                                                            const AppConfig &config)
{
    auto stream = std::make_shared<ChatStream>(this);
    QList<LLMMessage> all;
    if (systemPrompt)
        all.append({QStringLiteral("system"), *systemPrompt});
    all.append(messages);
    runChat(all, config, stream);
    return stream;
}

QCoro::Task<> DashScopeAPIService::runChat(QList<LLMMessage> messages, AppConfig config,
                                           std::shared_ptr<ChatStream> stream)
{
    const std::optional<QString> key = co_await configuredKey();
    if (!key) {
        stream->finish(ServiceError::apiKeyMissing());
        co_return;
    }
    const auto url = chatCompletionsUrl(config.compatibleBaseURL);
    if (!url) {
        stream->finish(invalidUrlError(config.compatibleBaseURL));
        co_return;
    }
    QNetworkRequest request(*url);
    request.setTransferTimeout(60000);
    request.setRawHeader("Authorization", "Bearer " + key->toUtf8());
    request.setRawHeader("Content-Type", "application/json");
    request.setRawHeader("Accept", "text/event-stream");
    const QByteArray body = LLMRequest{config.llmModel, messages, true, 0.7, 2048}.toJson();
    Log::line(QStringLiteral("🤖 [LLM-Stream] 发起流式请求:"));
    Log::line(QStringLiteral("   URL: POST ") + url->toString());
    Log::line(QStringLiteral("   模型: ") + config.llmModel);

    QNetworkReply *reply = m_network->post(request, body);
    reply->setParent(nullptr);
    std::unique_ptr<QNetworkReply, void (*)(QNetworkReply *)> guard(reply, [](QNetworkReply *r) {
        r->disconnect(); // the handlers below refer to this coroutine's locals
        r->deleteLater();
    });
    QByteArray pending;
    QByteArray errorBody;
    int status = 0;
    bool done = false;
    auto fail = [&](const ServiceError &error) {
        Log::line(QStringLiteral("❌ [LLM-Stream] 请求异常: ") + error.description);
        stream->finish(error);
        done = true;
    };
    // Reads what has arrived, line by line; the first line decides on the status.
    auto consume = [&](bool atEnd) {
        if (done)
            return;
        if (status == 0) {
            status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            if (status == 0)
                return;
            Log::line(QStringLiteral("🤖 [LLM-Stream] HTTP 状态码: %1").arg(status));
        }
        pending += reply->readAll();
        for (const QByteArray &raw : takeLines(pending, atEnd)) {
            if (status != 200) {
                errorBody += raw; // line breaks are lost
                continue;
            }
            const QByteArray line = raw.trimmed();
            if (!line.startsWith("data: "))
                continue;
            const QByteArray data = line.mid(6);
            if (data == "[DONE]") {
                done = true;
                Log::line(QStringLiteral("✅ [LLM-Stream] 流式响应完成"));
                stream->finish();
                return;
            }
            const auto chunk = LLMResponse::fromJson(data);
            if (!chunk || chunk->choices.isEmpty() || !chunk->choices.first().delta)
                continue;
            const auto &content = chunk->choices.first().delta->content;
            if (content && !content->isEmpty())
                stream->push(*content);
        }
    };
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [&] { consume(false); });
    co_await qCoro(reply).waitForFinished(std::chrono::milliseconds(-1));
    consume(true);
    if (done)
        co_return;
    if (status == 0) {
        // No HTTP answer at all: the transport failed.
        fail(networkError(reply->errorString(), int(reply->error())));
        co_return;
    }
    if (status != 200) {
        const QString text = QString::fromUtf8(errorBody);
        Log::line(QStringLiteral("❌ [LLM-Stream] 请求失败，响应体: ") + text);
        fail({QStringLiteral("APIError"), status, QStringLiteral("LLM 流式请求失败 (%1): %2").arg(status).arg(text)});
        co_return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        fail(networkError(reply->errorString(), int(reply->error())));
        co_return;
    }
    Log::line(QStringLiteral("✅ [LLM-Stream] 流式响应完成"));
    stream->finish();
}
