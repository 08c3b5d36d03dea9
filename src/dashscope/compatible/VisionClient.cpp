#include "VisionClient.h"

#include "ChatRecords.h"
#include "CompatibleMode.h"
#include "DashScopeEndpoints.h"
#include "Log.h"
#include "UserText.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QStringDecoder>

#include <QCoroNetworkReply>

VisionClient::VisionClient(ApiKeyProvider apiKey, QNetworkAccessManager &network,
                           std::chrono::milliseconds inactivityTimeout, QObject *parent)
    : QObject(parent), m_apiKey(std::move(apiKey)), m_network(network), m_inactivityTimeout(inactivityTimeout)
{
}

QString VisionClient::visionInstruction()
{
    return QStringLiteral("请仔细分析这个截图中的聊天界面，理解对话上下文，然后站在“我”的角度生成最合适的回复。只输出回复文本，不要任何解释或标注。");
}

QString VisionClient::redactedBody(const QByteArray &body, qsizetype base64Chars)
{
    static const QRegularExpression base64(QStringLiteral("base64,[A-Za-z0-9+/=]{100,}"));
    QString text = QString::fromUtf8(body);
    text.replace(base64, QStringLiteral("base64,<%1_chars_omitted>").arg(base64Chars));
    if (text.size() > 800)
        text = text.left(800) + QStringLiteral("...");
    return text;
}

QCoro::Task<Result<QString>> VisionClient::analyzeChatScreenshot(QString base64Jpeg, AppConfig config,
                                                                          QString systemPrompt)
{
    const QString base = DashScopeEndpoints::forConfig(config).compatibleBase;
    const auto url = CompatibleMode::chatCompletionsUrl(base);
    const std::optional<QString> key = co_await keyForEndpoint(url, m_hostKeys, m_apiKey);
    if (!key)
        co_return ServiceError::apiKeyMissing();
    if (!url)
        co_return CompatibleMode::invalidUrlError(base);

    const QNetworkRequest request = CompatibleMode::jsonRequest(*url, *key, m_inactivityTimeout);
    const QList<VLContentPart> parts{
        {QStringLiteral("image_url"), std::nullopt, VLImageURL{QStringLiteral("data:image/jpeg;base64,") + base64Jpeg}},
        {QStringLiteral("text"), visionInstruction(), std::nullopt}};
    const VLRequest vision{config.vlModel,
                           {VLMessage{QStringLiteral("system"), systemPrompt}, VLMessage{QStringLiteral("user"), parts}},
                           kMaxTokens};
    const QByteArray body = vision.toJson();
    Log::line(QStringLiteral("👁️ [VL] 发起视觉理解请求:"));
    Log::line(QStringLiteral("   URL: POST ") + url->toString());
    Log::line(QStringLiteral("   模型: ") + config.vlModel);
    Log::line(QStringLiteral("   图片 Base64 大小: %1 KB").arg(base64Jpeg.size() / 1024));
    Log::line(QStringLiteral("   请求体大小: %1 KB").arg(body.size() / 1024));
    Log::line(QStringLiteral("   请求 JSON 骨架: ") + redactedBody(body, base64Jpeg.size()));

    QNetworkReply *reply = m_network.post(request, body);
    co_await qCoro(reply).waitForFinished(std::chrono::milliseconds(-1));
    reply->deleteLater();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status == 0)
        co_return CompatibleMode::networkError(reply->errorString(), int(reply->error()), m_inactivityTimeout);
    Log::line(QStringLiteral("👁️ [VL] HTTP 状态码: %1").arg(status));
    const QByteArray answer = reply->readAll();
    if (status != 200) {
        QStringDecoder utf8(QStringDecoder::Utf8);
        QString text = utf8.decode(answer);
        if (utf8.hasError())
            text = UserText::of(QT_TRANSLATE_NOOP("UserText", "(无法解析响应体)"));
        Log::line(QStringLiteral("❌ [VL] 请求失败，响应体: ") + text);
        const auto error = APIError::fromJson(answer);
        co_return ServiceError{
            QStringLiteral("APIError"), status,
            error ? error->error.message
                  : UserText::of(QT_TRANSLATE_NOOP("UserText", "VL 请求失败 (%1): %2")).arg(status).arg(text)};
    }
    const auto response = LLMResponse::fromJson(answer);
    if (!response)
        co_return ServiceError{QStringLiteral("DecodingError"), -1,
                               UserText::of(QT_TRANSLATE_NOOP("UserText", "无法解析视觉模型的响应"))};
    if (response->choices.isEmpty() || !response->choices.first().message)
        co_return ServiceError{QStringLiteral("ParseError"), -1,
                               UserText::of(QT_TRANSLATE_NOOP("UserText", "无响应内容"))};
    const QString content = response->choices.first().message->content;
    Log::line(QStringLiteral("✅ [VL] 响应成功，回复长度: %1 字符").arg(content.size()));
    Log::line(QStringLiteral("   回复内容: ") + content.left(100));
    co_return content;
}
