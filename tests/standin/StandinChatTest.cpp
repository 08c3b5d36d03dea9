#include "ImageEncoding.h"
#include "StandinClient.h"

#include <QBuffer>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>

namespace {

QByteArray chatBody(const QString &question, const QString &model = QStringLiteral("qwen3.5-flash"))
{
    return QJsonDocument(QJsonObject{{QStringLiteral("model"), model},
                                     {QStringLiteral("messages"),
                                      QJsonArray{QJsonObject{{QStringLiteral("role"), QStringLiteral("system")},
                                                             {QStringLiteral("content"), QStringLiteral("你是助手")}},
                                                 QJsonObject{{QStringLiteral("role"), QStringLiteral("user")},
                                                             {QStringLiteral("content"), question}}}},
                                     {QStringLiteral("stream"), true},
                                     {QStringLiteral("temperature"), 0.7},
                                     {QStringLiteral("max_tokens"), 2048}})
        .toJson(QJsonDocument::Compact);
}

QByteArray jpegBase64(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    return ImageEncoding::jpegBase64(image, 0.7)->toLatin1();
}

QByteArray visionBody(const QByteArray &base64)
{
    const QJsonArray parts{
        QJsonObject{{QStringLiteral("type"), QStringLiteral("image_url")},
                    {QStringLiteral("image_url"),
                     QJsonObject{{QStringLiteral("url"), QStringLiteral("data:image/jpeg;base64,") + QString::fromLatin1(base64)}}}},
        QJsonObject{{QStringLiteral("type"), QStringLiteral("text")}, {QStringLiteral("text"), QStringLiteral("回复什么？")}}};
    return QJsonDocument(QJsonObject{{QStringLiteral("model"), QStringLiteral("qwen-vl-max")},
                                     {QStringLiteral("messages"),
                                      QJsonArray{QJsonObject{{QStringLiteral("role"), QStringLiteral("system")},
                                                             {QStringLiteral("content"), QStringLiteral("你是我")}},
                                                 QJsonObject{{QStringLiteral("role"), QStringLiteral("user")},
                                                             {QStringLiteral("content"), parts}}}},
                                     {QStringLiteral("max_tokens"), 1024}})
        .toJson(QJsonDocument::Compact);
}

// The text of a streamed answer and the shape of its chunks.
struct Stream
{
    QString text;
    QStringList shape; // "role", "content", "stop", "usage", "[DONE]", "other"
};

Stream parse(const QByteArray &body)
{
    Stream stream;
    for (const QString &data : dataLines(body)) {
        if (data == QLatin1String("[DONE]")) {
            stream.shape << data;
            continue;
        }
        const QJsonDocument document = QJsonDocument::fromJson(data.toUtf8());
        if (!document.isObject()) {
            stream.shape << QStringLiteral("other");
            continue;
        }
        const QJsonObject chunk = document.object();
        const QJsonArray choices = chunk[QStringLiteral("choices")].toArray();
        for (const char *member : {"id", "object", "created", "model", "choices"})
            EXPECT_TRUE(chunk.contains(QLatin1String(member))) << member;
        if (choices.isEmpty()) {
            const QJsonObject usage = chunk[QStringLiteral("usage")].toObject();
            EXPECT_TRUE(usage[QStringLiteral("total_tokens")].isDouble());
            stream.shape << QStringLiteral("usage");
            continue;
        }
        const QJsonObject choice = choices[0].toObject();
        const QJsonObject delta = choice[QStringLiteral("delta")].toObject();
        if (delta.contains(QStringLiteral("role")))
            stream.shape << QStringLiteral("role");
        else if (choice[QStringLiteral("finish_reason")].toString() == QLatin1String("stop"))
            stream.shape << QStringLiteral("stop");
        else
            stream.shape << QStringLiteral("content");
        stream.text += delta[QStringLiteral("content")].toString();
    }
    return stream;
}

class StandinChat : public StandinFixture
{
};

TEST_F(StandinChat, StreamsARoleChunkContentAFinishAUsageChunkAndDone)
{
    useScenario(R"({"chat":{"answers":{"几点了？":"现在是下午三点。"},"chunkChars":3,"chunkDelayMs":5}})");
    const HttpResult result = postChat(server, chatBody(QStringLiteral("几点了？")), key());
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.status, 200);
    const Stream stream = parse(result.body);
    EXPECT_EQ(stream.text, QStringLiteral("现在是下午三点。"));
    EXPECT_EQ(stream.shape, (QStringList{QStringLiteral("role"), QStringLiteral("content"), QStringLiteral("content"),
                                         QStringLiteral("content"), QStringLiteral("stop"), QStringLiteral("usage"),
                                         QStringLiteral("[DONE]")}));

    const auto requests = server.recorder().recordsOfKind(QStringLiteral("http-request"));
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0][QStringLiteral("json")].toObject(), QJsonDocument::fromJson(chatBody(QStringLiteral("几点了？"))).object());
    EXPECT_EQ(requests[0][QStringLiteral("headers")][QStringLiteral("authorization")].toString(),
              QStringLiteral("Bearer sk-s****6789"));

    const Stream fallback = parse(postChat(server, chatBody(QStringLiteral("别的问题")), key()).body);
    EXPECT_TRUE(fallback.text.contains(QStringLiteral("别的问题"))) << "the default answer repeats the question";
}

TEST_F(StandinChat, BadKeysBadBodiesAndUnknownModelsGetTheServiceErrorBody)
{
    const HttpResult unauthorized = postChat(server, chatBody(QStringLiteral("hi")), QStringLiteral("sk-wrong"));
    EXPECT_EQ(unauthorized.status, 401);
    const QJsonObject error = QJsonDocument::fromJson(unauthorized.body).object();
    EXPECT_EQ(error[QStringLiteral("error")][QStringLiteral("code")].toString(), QStringLiteral("invalid_api_key"));
    EXPECT_TRUE(error[QStringLiteral("request_id")].isString());

    QJsonObject body = QJsonDocument::fromJson(chatBody(QStringLiteral("hi"))).object();
    const QList<std::pair<QString, std::function<void(QJsonObject &)>>> cases{
        {QStringLiteral("stream"), [](QJsonObject &b) { b.remove(QStringLiteral("stream")); }},
        {QStringLiteral("temperature"), [](QJsonObject &b) { b[QStringLiteral("temperature")] = QStringLiteral("0.7"); }},
        {QStringLiteral("max_tokens"), [](QJsonObject &b) { b[QStringLiteral("max_tokens")] = 20.5; }},
        {QStringLiteral("top_k"), [](QJsonObject &b) { b[QStringLiteral("top_k")] = 3; }},
        {QStringLiteral("messages[1].content"), [](QJsonObject &b) {
             QJsonArray messages = b[QStringLiteral("messages")].toArray();
             messages[1] = QJsonObject{{QStringLiteral("role"), QStringLiteral("user")}, {QStringLiteral("content"), 7}};
             b[QStringLiteral("messages")] = messages;
         }},
        {QStringLiteral("messages[0].role"), [](QJsonObject &b) {
             QJsonArray messages = b[QStringLiteral("messages")].toArray();
             messages[0] = QJsonObject{{QStringLiteral("role"), QStringLiteral("robot")}, {QStringLiteral("content"), QStringLiteral("x")}};
             b[QStringLiteral("messages")] = messages;
         }},
    };
    for (const auto &[param, edit] : cases) {
        QJsonObject bad = body;
        edit(bad);
        const HttpResult result = postChat(server, QJsonDocument(bad).toJson(QJsonDocument::Compact), key());
        EXPECT_EQ(result.status, 400) << param.toStdString();
        EXPECT_EQ(QJsonDocument::fromJson(result.body)[QStringLiteral("error")][QStringLiteral("param")].toString(), param);
    }
    EXPECT_EQ(postChat(server, "{not json", key()).status, 400);
    EXPECT_EQ(postChat(server, chatBody(QStringLiteral("hi"), QStringLiteral("gpt-4")), key()).status, 404);
}

TEST_F(StandinChat, AVisionRequestNeedsARealJpegAndGetsAWholeAnswer)
{
    useScenario(R"({"vision":{"reply":"马上到！"}})");
    const QByteArray image = jpegBase64(640, 360);
    const HttpResult result = postChat(server, visionBody(image), key());
    ASSERT_EQ(result.status, 200);
    const QJsonObject response = QJsonDocument::fromJson(result.body).object();
    EXPECT_EQ(response[QStringLiteral("choices")][0][QStringLiteral("message")][QStringLiteral("content")].toString(),
              QStringLiteral("马上到！"));
    for (const char *member : {"id", "object", "created", "model", "usage"})
        EXPECT_TRUE(response.contains(QLatin1String(member))) << member;

    const auto images = server.recorder().recordsOfKind(QStringLiteral("image"));
    ASSERT_EQ(images.size(), 1);
    EXPECT_EQ(images[0][QStringLiteral("width")].toInt(), 640);
    EXPECT_EQ(images[0][QStringLiteral("height")].toInt(), 360);
    EXPECT_EQ(images[0][QStringLiteral("base64_chars")].toInt(), image.size());
    const QString recordedUrl = server.recorder().recordsOfKind(QStringLiteral("http-request"))[0][QStringLiteral("json")]
                                    [QStringLiteral("messages")][1][QStringLiteral("content")][0][QStringLiteral("image_url")]
                                    [QStringLiteral("url")].toString();
    EXPECT_EQ(recordedUrl, QStringLiteral("data:image/jpeg;base64,<%1 chars>").arg(image.size()));

    QImage png(10, 10, QImage::Format_RGB32);
    png.fill(Qt::red);
    QByteArray pngBytes;
    QBuffer buffer(&pngBytes);
    buffer.open(QIODevice::WriteOnly);
    png.save(&buffer, "PNG");
    EXPECT_EQ(postChat(server, visionBody(pngBytes.toBase64()), key()).status, 400);
    EXPECT_EQ(postChat(server, visionBody("@@@not base64@@@"), key()).status, 400);

    useScenario(R"({"vision":{"fault":{"type":"http-error","status":400,"body":{"error":{"message":"图片太大","type":"invalid_request_error","code":"InvalidParameter"}}}}})");
    const HttpResult failed = postChat(server, visionBody(image), key());
    EXPECT_EQ(failed.status, 400);
    EXPECT_EQ(QJsonDocument::fromJson(failed.body)[QStringLiteral("error")][QStringLiteral("message")].toString(),
              QStringLiteral("图片太大"));
}

} // namespace
