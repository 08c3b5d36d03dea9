#include "ChatClient.h"

#include "CompatibleMode.h"
#include "DashScopeEndpoints.h"
#include "Log.h"
#include "SseLineReader.h"
#include "UserText.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>

#include <QCoroNetworkReply>

namespace {
constexpr double kTemperature = 0.7;
constexpr int kMaxTokens = 2048;
// The most of a whole (not streamed) answer that is kept to be read.
constexpr qsizetype kMaxWholeBody = 4 * 1024 * 1024;
} // namespace

ChatClient::ChatClient(ApiKeyProvider apiKey, QNetworkAccessManager &network,
                       std::chrono::milliseconds inactivityTimeout, QObject *parent)
    : QObject(parent), m_apiKey(std::move(apiKey)), m_network(network), m_inactivityTimeout(inactivityTimeout)
{
}

std::shared_ptr<ChatStream> ChatClient::streamChat(const QList<LLMMessage> &messages,
                                                   const std::optional<QString> &systemPrompt, const AppConfig &config)
{
    QList<LLMMessage> all;
    if (systemPrompt)
        all.append({QStringLiteral("system"), *systemPrompt});
    all.append(messages);
    return streamRequest(LLMRequest{config.llmModel, all, true, kTemperature, kMaxTokens}, config);
}

std::shared_ptr<ChatStream> ChatClient::streamRequest(LLMRequest request, const AppConfig &config)
{
    auto stream = std::make_shared<ChatStream>(this);
    run(std::move(request), config, stream);
    return stream;
}

QCoro::Task<> ChatClient::run(LLMRequest request, AppConfig config, std::shared_ptr<ChatStream> stream)
{
    const QString base = DashScopeEndpoints::forConfig(config).compatibleBase;
    const auto url = CompatibleMode::chatCompletionsUrl(base);
    const std::optional<QString> key = co_await keyForEndpoint(url, m_hostKeys, m_apiKey);
    if (!key) {
        stream->finish(ServiceError::apiKeyMissing());
        co_return;
    }
    if (!url) {
        stream->finish(CompatibleMode::invalidUrlError(base));
        co_return;
    }
    // The thinking switch is the service's own member: a server that does
    // not know it refuses the whole request. That server is asked once more
    // without it, and never again with it while the program runs.
    if (request.enable_thinking && m_refusesThinking.contains(url->authority()))
        request.enable_thinking.reset();
    while (co_await send(request, *url, *key, stream) == Sent::RefusedThinking) {
        Log::line(QStringLiteral("⚠️ [LLM-Stream] 服务不接受 enable_thinking，去掉后重试"));
        m_refusesThinking.insert(url->authority());
        request.enable_thinking.reset();
    }
}

QCoro::Task<ChatClient::Sent> ChatClient::send(const LLMRequest &request, QUrl url, QString key,
                                               std::shared_ptr<ChatStream> stream)
{
    QNetworkRequest httpRequest = CompatibleMode::jsonRequest(url, key, m_inactivityTimeout);
    httpRequest.setRawHeader("Accept", "text/event-stream");
    const QByteArray body = request.toJson();
    Log::line(QStringLiteral("🤖 [LLM-Stream] 发起流式请求:"));
    Log::line(QStringLiteral("   URL: POST ") + url.toString());
    Log::line(QStringLiteral("   模型: ") + request.model);

    QNetworkReply *reply = m_network.post(httpRequest, body);
    reply->setParent(nullptr);
    std::unique_ptr<QNetworkReply, void (*)(QNetworkReply *)> guard(reply, [](QNetworkReply *r) {
        r->disconnect(); // the handlers below refer to this coroutine's locals
        r->deleteLater();
    });
    stream->setStop([reply = QPointer<QNetworkReply>(reply)] {
        if (reply)
            reply->abort();
    });
    SseLineReader reader;
    QByteArray errorBody;
    // A server that answers the whole completion at once, as JSON, instead
    // of as events: what it sent, read at the end.
    QByteArray wholeBody;
    bool sawEvents = false;
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
        // A reply ended by the timeout is closed and has nothing more to read.
        QList<QByteArray> lines = reader.feed(reply->isOpen() ? reply->readAll() : QByteArray());
        if (atEnd)
            lines += reader.finish();
        for (const QByteArray &line : lines) {
            if (status != 200) {
                errorBody += line; // line breaks are lost
                continue;
            }
            const auto data = SseLineReader::dataOf(line);
            if (!data) {
                if (!sawEvents && wholeBody.size() < kMaxWholeBody)
                    wholeBody += line + '\n';
                continue;
            }
            sawEvents = true;
            if (*data == "[DONE]") {
                done = true;
                Log::line(QStringLiteral("✅ [LLM-Stream] 流式响应完成"));
                stream->finish();
                return;
            }
            const auto chunk = LLMResponse::fromJson(*data);
            if (!chunk || chunk->choices.isEmpty() || !chunk->choices.first().delta)
                continue;
            const auto &content = chunk->choices.first().delta->content;
            if (content && !content->isEmpty())
                stream->push(*content);
        }
    };
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [&] { consume(false); });
    co_await qCoro(reply).waitForFinished(std::chrono::milliseconds(-1));
    if (stream->hasEnded())
        co_return Sent::Ended; // given up by its reader: nothing more to tell
    consume(true);
    if (done)
        co_return Sent::Ended;
    if (status == 0) {
        // No HTTP answer at all: the transport failed.
        fail(CompatibleMode::networkError(reply->errorString(), int(reply->error()), m_inactivityTimeout));
        co_return Sent::Ended;
    }
    if (status != 200) {
        const QString text = QString::fromUtf8(errorBody);
        if (request.enable_thinking && status >= 400 && status < 500 && text.contains(QLatin1String("enable_thinking")))
            co_return Sent::RefusedThinking;
        Log::line(QStringLiteral("❌ [LLM-Stream] 请求失败，响应体: ") + text);
        fail({QStringLiteral("APIError"), status,
              UserText::of(QT_TRANSLATE_NOOP("UserText", "LLM 流式请求失败 (%1): %2")).arg(status).arg(text)});
        co_return Sent::Ended;
    }
    if (reply->error() != QNetworkReply::NoError) {
        fail(CompatibleMode::networkError(reply->errorString(), int(reply->error()), m_inactivityTimeout));
        co_return Sent::Ended;
    }
    if (!sawEvents && !wholeBody.trimmed().isEmpty()) {
        const auto whole = LLMResponse::fromJson(wholeBody);
        const bool hasText = whole && !whole->choices.isEmpty() && whole->choices.first().message;
        Log::line(hasText ? QStringLiteral("🤖 [LLM-Stream] 服务未按流式回答，读取整段回复")
                          : QStringLiteral("⚠️ [LLM-Stream] 回复既不是事件流也不是完整回答"));
        if (hasText && !whole->choices.first().message->content.isEmpty())
            stream->push(whole->choices.first().message->content);
    }
    Log::line(QStringLiteral("✅ [LLM-Stream] 流式响应完成"));
    stream->finish();
    co_return Sent::Ended;
}
