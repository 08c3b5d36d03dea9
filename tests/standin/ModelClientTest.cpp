#include "CleanupPrompt.h"
#include "DashScopeAPIService.h"
#include "VisionClient.h"
#include "ImageEncoding.h"
#include "StandinClient.h"
#include "TestSupport.h"

#include <QElapsedTimer>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

#include <iostream>

using TestSupport::await;
using namespace std::chrono_literals;

namespace {

QCoro::Task<std::optional<QString>> keyNow(std::optional<QString> key)
{
    co_return key;
}

struct Streamed
{
    QString text;
    QStringList increments;
    std::optional<ServiceError> error;
};

QCoro::Task<Streamed> readAll(std::shared_ptr<ChatStream> stream)
{
    Streamed result;
    while (auto increment = co_await stream->next()) {
        result.increments << *increment;
        result.text += *increment;
    }
    result.error = stream->error();
    co_return result;
}

QString jpegBase64(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    return *ImageEncoding::jpegBase64(image, 0.7);
}

class ModelClient : public StandinFixture
{
protected:
    void SetUp() override
    {
        StandinFixture::SetUp();
        apiKey = key();
        config.compatibleBaseURL = server.compatibleBaseUrl();
        client = std::make_unique<DashScopeAPIService>([this] { return keyNow(apiKey); }, DashScopeEndpoints{server.webSocketUrl()},
                                                       NetworkTimeouts{.synthesis = 800ms});
    }
    void TearDown() override
    {
        if (HasFailure())
            std::cerr << log.lines().join(QLatin1Char('\n')).toStdString() << std::endl;
    }

    Streamed ask(const QString &question)
    {
        return await(readAll(client->streamChat({{QStringLiteral("user"), question}}, QStringLiteral("简短地回答"), config)));
    }
    QList<QJsonObject> sent(const QString &kind) const { return server.recorder().recordsOfKind(kind); }

    TestSupport::LogCapture log;
    std::optional<QString> apiKey;
    AppConfig config;
    std::unique_ptr<DashScopeAPIService> client;
};

TEST_F(ModelClient, AStreamedAnswerArrivesInIncrementsFromTheRequestAsSpecified)
{
    useScenario(R"({"chat":{"answers":{"几点了？":"下午三点。"},"chunkChars":2}})");
    const Streamed answer = ask(QStringLiteral("几点了？"));
    EXPECT_FALSE(answer.error);
    EXPECT_EQ(answer.text, QStringLiteral("下午三点。"));
    EXPECT_EQ(answer.increments.size(), 3) << "the role-only, finish and usage chunks yield nothing";

    const auto requests = sent(QStringLiteral("http-request"));
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0][QStringLiteral("json")].toObject(),
              QJsonDocument::fromJson(R"({"model":"qwen3.5-flash","messages":[{"role":"system","content":"简短地回答"},)"
                                      R"({"role":"user","content":"几点了？"}],"stream":true,"temperature":0.7,"max_tokens":2048})")
                  .object());
    EXPECT_EQ(requests[0][QStringLiteral("headers")][QStringLiteral("accept")].toString(), QStringLiteral("text/event-stream"));
    EXPECT_EQ(requests[0][QStringLiteral("headers")][QStringLiteral("content-type")].toString(), QStringLiteral("application/json"));
    EXPECT_EQ(requests[0][QStringLiteral("path")].toString(), QStringLiteral("/compatible-mode/v1/chat/completions"));
    EXPECT_FALSE(log.linesStartingWith(QStringLiteral("✅ [LLM-Stream] 流式响应完成")).isEmpty());
}

TEST_F(ModelClient, ACleanUpIsSentAsItIsWithoutReasoningAndAServerWithoutTheThinkingSwitchIsAskedAgainWithoutIt)
{
    config.dictationCleanup = QStringLiteral("light");
    const QString heard = QStringLiteral("嗯，那个，我们明天见");
    auto cleanUp = [&] { return await(readAll(client->streamRequest(CleanupPrompt::request(heard, config), config))); };
    useScenario(R"({"cleanup":{"behaviour":"reasoning","chunkChars":3}})");
    const Streamed edited = cleanUp();
    EXPECT_FALSE(edited.error);
    EXPECT_EQ(edited.text, QStringLiteral("我们明天见")) << "reasoning_content is never part of the text";
    QList<QJsonObject> requests = sent(QStringLiteral("http-request"));
    ASSERT_EQ(requests.size(), 1);
    const QJsonObject body = requests[0][QStringLiteral("json")].toObject();
    EXPECT_EQ(body[QStringLiteral("temperature")].toDouble(-1), 0.0);
    EXPECT_EQ(body[QStringLiteral("enable_thinking")], QJsonValue(false));
    EXPECT_EQ(body[QStringLiteral("max_tokens")].toInt(), 2 * heard.size() + 64);
    EXPECT_TRUE(body[QStringLiteral("stream")].toBool());

    // A server that does not know the switch refuses it: asked again at
    // once without it, and never again with it.
    useScenario(R"({"cleanup":{"refuseThinking":true}})");
    EXPECT_EQ(cleanUp().text, QStringLiteral("我们明天见"));
    EXPECT_EQ(cleanUp().text, QStringLiteral("我们明天见"));
    requests = sent(QStringLiteral("http-request"));
    ASSERT_EQ(requests.size(), 4);
    EXPECT_TRUE(requests[1][QStringLiteral("json")].toObject().contains(QStringLiteral("enable_thinking")));
    EXPECT_FALSE(requests[2][QStringLiteral("json")].toObject().contains(QStringLiteral("enable_thinking")));
    EXPECT_FALSE(requests[3][QStringLiteral("json")].toObject().contains(QStringLiteral("enable_thinking")));
    EXPECT_EQ(log.linesStartingWith(QStringLiteral("⚠️ [LLM-Stream] 服务不接受 enable_thinking，去掉后重试")).size(), 1);

    // A server that answers the whole completion at once, not as events.
    useScenario(R"({"cleanup":{"whole":true}})");
    EXPECT_EQ(cleanUp().text, QStringLiteral("我们明天见"));
    EXPECT_EQ(log.linesStartingWith(QStringLiteral("🤖 [LLM-Stream] 服务未按流式回答，读取整段回复")).size(), 1);

    // Given up by its reader: the request is stopped, not left running.
    useScenario(R"({"cleanup":{"fault":{"type":"never-answer"}}})");
    const auto stream = client->streamRequest(CleanupPrompt::request(heard, config), config);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return sent(QStringLiteral("http-request")).size() == 6; }));
    stream->abandon({QStringLiteral("Test"), -1, QStringLiteral("given up")});
    const Streamed abandoned = await(readAll(stream));
    ASSERT_TRUE(abandoned.error);
    EXPECT_EQ(abandoned.error->description, QStringLiteral("given up"));
    const int connection = sent(QStringLiteral("http-request")).last()[QStringLiteral("connection")].toInt();
    EXPECT_TRUE(TestSupport::waitUntil([&] {
        for (const QJsonObject &closed : sent(QStringLiteral("http-closed"))) {
            if (closed[QStringLiteral("connection")].toInt() == connection)
                return true;
        }
        return false;
    }, 3000)) << "the connection is closed";
}

TEST_F(ModelClient, OddStreamsAreReadAsTheServiceMeansThem)
{
    useScenario(R"({"chat":{"defaultAnswer":"没有结束标记。","fault":{"type":"no-done"}}})");
    EXPECT_EQ(ask(QStringLiteral("q")).text, QStringLiteral("没有结束标记。"));
    EXPECT_FALSE(ask(QStringLiteral("q")).error);

    useScenario(R"({"chat":{"defaultAnswer":"好的。","fault":{"type":"malformed"}}})");
    EXPECT_EQ(ask(QStringLiteral("q")).text, QStringLiteral("好的。")) << "bad lines, comments and data: without a blank are skipped";

    useScenario(R"({"chat":{"defaultAnswer":"拆开的行。","chunkDelayMs":0,"fault":{"type":"split-packets","bytes":3}}})");
    EXPECT_EQ(ask(QStringLiteral("q")).text, QStringLiteral("拆开的行。"));

    useScenario(R"({"chat":{"defaultAnswer":"回车换行。","crlf":true}})");
    EXPECT_EQ(ask(QStringLiteral("q")).text, QStringLiteral("回车换行。"));

    useScenario(R"({"chat":{"defaultAnswer":"不该出现","fault":{"type":"malformed","lines":["data: [DONE]"]}}})");
    const Streamed ended = ask(QStringLiteral("q"));
    EXPECT_EQ(ended.text, QString()) << "[DONE] ends the answer even with more data after it";
    EXPECT_FALSE(ended.error);
}

TEST_F(ModelClient, AConnectionLostPartWayKeepsWhatWasDelivered)
{
    useScenario(R"({"chat":{"defaultAnswer":"一二三四五六七八","chunkChars":2,"fault":{"type":"close-after","frames":3}}})");
    const Streamed answer = ask(QStringLiteral("q"));
    EXPECT_EQ(answer.text, QStringLiteral("一二三四"));
    ASSERT_TRUE(answer.error);
    EXPECT_EQ(answer.error->domain, QStringLiteral("QNetworkReply"));
}

TEST_F(ModelClient, StatusesOtherThan200EndTheStreamWithTheBody)
{
    useScenario(R"({"chat":{"fault":{"type":"http-error","status":500,"body":"upstream\nbroken"}}})");
    Streamed answer = ask(QStringLiteral("q"));
    ASSERT_TRUE(answer.error);
    EXPECT_EQ(*answer.error, (ServiceError{QStringLiteral("APIError"), 500, QStringLiteral("LLM 流式请求失败 (500): upstreambroken")}));

    useScenario(R"({"chat":{"fault":{"type":"http-error","status":201,"body":"created?"}}})");
    answer = ask(QStringLiteral("q"));
    ASSERT_TRUE(answer.error);
    EXPECT_EQ(answer.error->code, 201) << "any status but 200 is a failure";

    useScenario("{}");
    apiKey = QStringLiteral("sk-wrong-key-000000");
    answer = ask(QStringLiteral("q"));
    ASSERT_TRUE(answer.error);
    EXPECT_EQ(answer.error->code, 401);
    EXPECT_TRUE(answer.error->description.contains(QStringLiteral("invalid_api_key"))) << answer.error->description.toStdString();
}

TEST_F(ModelClient, NoKeyOrABadBaseUrlFailsWithoutARequest)
{
    apiKey = QString();
    const Streamed noKey = ask(QStringLiteral("q"));
    EXPECT_EQ(noKey.error, (ServiceError{QStringLiteral("APIKeyError"), 401, QStringLiteral("请先配置 API Key")}));
    EXPECT_EQ(await(client->analyzeChatScreenshot(jpegBase64(8, 8), config, QStringLiteral("p"))).error().code, 401);
    EXPECT_EQ(await(client->synthesizeSpeech(QStringLiteral("你好"), config)).error().code, 401);

    apiKey = key();
    config.compatibleBaseURL = QStringLiteral("not a url");
    EXPECT_EQ(ask(QStringLiteral("q")).error->domain, QStringLiteral("URLError"));
    EXPECT_EQ(await(client->analyzeChatScreenshot(jpegBase64(8, 8), config, QStringLiteral("p"))).error().domain,
              QStringLiteral("URLError"));
    EXPECT_TRUE(server.recorder().records().isEmpty());
}

TEST_F(ModelClient, AScreenshotIsSentWithThePromptAndTheInstructionAndAnsweredWhole)
{
    useScenario(R"({"vision":{"reply":"马上到！"}})");
    const QString image = jpegBase64(1280, 720);
    const Result<QString> reply = await(client->analyzeChatScreenshot(image, config, QStringLiteral("你是我")));
    ASSERT_TRUE(reply) << reply.error().description.toStdString();
    EXPECT_EQ(reply.value(), QStringLiteral("马上到！"));

    const QJsonObject body = sent(QStringLiteral("http-request"))[0][QStringLiteral("json")].toObject();
    EXPECT_EQ(body[QStringLiteral("max_tokens")].toInt(), 1024);
    EXPECT_EQ(body[QStringLiteral("model")].toString(), QStringLiteral("qwen-vl-max"));
    const QJsonArray messages = body[QStringLiteral("messages")].toArray();
    EXPECT_EQ(messages[0].toObject(), QJsonDocument::fromJson(R"({"role":"system","content":"你是我"})").object());
    const QJsonArray parts = messages[1][QStringLiteral("content")].toArray();
    EXPECT_EQ(parts[0][QStringLiteral("type")].toString(), QStringLiteral("image_url"));
    EXPECT_EQ(parts[1][QStringLiteral("text")].toString(), VisionClient::visionInstruction());
    EXPECT_EQ(sent(QStringLiteral("image"))[0][QStringLiteral("width")].toInt(), 1280);
    EXPECT_TRUE(sent(QStringLiteral("http-request"))[0][QStringLiteral("headers")][QStringLiteral("accept")].toString().isEmpty()
                || sent(QStringLiteral("http-request"))[0][QStringLiteral("headers")][QStringLiteral("accept")].toString() == QStringLiteral("*/*"));
    for (const QString &line : log.lines())
        EXPECT_FALSE(line.contains(image.left(200))) << "the image is never logged";
    EXPECT_FALSE(log.linesStartingWith(QStringLiteral("   请求 JSON 骨架: ")).isEmpty());
}

TEST_F(ModelClient, VisionFailuresReadTheServicesErrorOrItsText)
{
    const QString image = jpegBase64(16, 16);
    useScenario(R"({"vision":{"fault":{"type":"http-error","status":400,"body":{"error":{"message":"图片太大","code":"InvalidParameter"}}}}})");
    EXPECT_EQ(await(client->analyzeChatScreenshot(image, config, QStringLiteral("p"))).error(),
              (ServiceError{QStringLiteral("APIError"), 400, QStringLiteral("图片太大")}));
    useScenario(R"({"vision":{"fault":{"type":"http-error","status":500,"body":"Internal Server Error"}}})");
    EXPECT_EQ(await(client->analyzeChatScreenshot(image, config, QStringLiteral("p"))).error().description,
              QStringLiteral("VL 请求失败 (500): Internal Server Error"));
    useScenario(R"({"vision":{"fault":{"type":"http-error","status":200,"body":{"id":"c","object":"o","created":1,"model":"m","choices":[]}}}})");
    EXPECT_EQ(await(client->analyzeChatScreenshot(image, config, QStringLiteral("p"))).error().description,
              QStringLiteral("无响应内容"));
    useScenario(R"({"vision":{"reply":""}})");
    const Result<QString> empty = await(client->analyzeChatScreenshot(image, config, QStringLiteral("p")));
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty.value(), QString()) << "an empty reply is not an error";
}

// An unanswering service is given up on after the inactivity timeout, and
// the error says so rather than "Operation canceled".
TEST_F(ModelClient, AnUnansweringServiceTimesOutWithAnErrorThatSaysSo)
{
    client = std::make_unique<DashScopeAPIService>([this] { return keyNow(apiKey); }, DashScopeEndpoints{server.webSocketUrl()},
                                                   NetworkTimeouts{.httpInactivity = 300ms});
    useScenario(R"({"vision":{"fault":{"type":"never-answer"}},"chat":{"fault":{"type":"never-answer"}}})");
    QElapsedTimer timer;
    timer.start();
    const auto vision = await(client->analyzeChatScreenshot(jpegBase64(16, 16), config, QStringLiteral("p")));
    ASSERT_FALSE(vision);
    EXPECT_EQ(vision.error().description, QStringLiteral("服务 0.3 秒没有回应，请求已放弃"));
    const Streamed chat = ask(QStringLiteral("有人吗"));
    ASSERT_TRUE(chat.error);
    EXPECT_EQ(chat.error->description, QStringLiteral("服务 0.3 秒没有回应，请求已放弃"));
    EXPECT_LT(timer.elapsed(), 3000);

    // The wait is for silence, not for the whole answer: one that keeps
    // coming is never cut, however long it takes in all.
    useScenario(R"({"chat":{"defaultAnswer":"一二三四五六","chunkChars":2,"chunkDelayMs":150}})");
    const Streamed slow = ask(QStringLiteral("q"));
    EXPECT_EQ(slow.text, QStringLiteral("一二三四五六"));
    EXPECT_FALSE(slow.error);
}

TEST_F(ModelClient, SynthesisReturnsTheClipOfItsOwnTask)
{
    const Result<QByteArray> clip = await(client->synthesizeSpeech(QStringLiteral("你好，世界。"), config));
    ASSERT_TRUE(clip) << clip.error().description.toStdString();
    EXPECT_GT(clip.value().size(), 1000);
    EXPECT_TRUE(sent(QStringLiteral("task-failed")).isEmpty()) << "every frame was accepted";
    EXPECT_EQ(sent(QStringLiteral("ws-upgrade"))[0][QStringLiteral("path")].toString(), QStringLiteral("/api-ws/v1/inference"));
    const auto texts = sent(QStringLiteral("ws-text"));
    ASSERT_EQ(texts.size(), 3);
    const QString taskId = texts[0][QStringLiteral("json")][QStringLiteral("header")][QStringLiteral("task_id")].toString();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9a-f]{32}$")).match(taskId).hasMatch());
    EXPECT_EQ(texts[0][QStringLiteral("json")].toObject(), Frames::synthesisRunTask(taskId));
    EXPECT_EQ(texts[1][QStringLiteral("json")].toObject(), Frames::continueTask(taskId, QStringLiteral("你好，世界。")));
    EXPECT_EQ(texts[2][QStringLiteral("json")].toObject(), Frames::finishTask(taskId));

    // Two at once: two connections, each with its own audio.
    auto shortCall = client->synthesizeSpeech(QStringLiteral("短"), config);
    auto longCall = client->synthesizeSpeech(QStringLiteral("这一句要长得多，所以它的音频也更长。"), config);
    const Result<QByteArray> shortClip = await(std::move(shortCall));
    const Result<QByteArray> longClip = await(std::move(longCall));
    ASSERT_TRUE(shortClip && longClip);
    EXPECT_GT(longClip.value().size(), 2 * shortClip.value().size());
    EXPECT_EQ(sent(QStringLiteral("ws-upgrade")).size(), 3);
}

TEST_F(ModelClient, SynthesisEndsOnAClosedConnectionATimeOutOrAFailure)
{
    useScenario(R"({"synthesis":{"chunkBytes":400,"fault":{"type":"close-after","frames":3}}})");
    const Result<QByteArray> partial = await(client->synthesizeSpeech(QStringLiteral("一段会被切断的文字。"), config));
    ASSERT_TRUE(partial) << "a connection that closes ends the clip";
    EXPECT_EQ(partial.value().size(), 800);

    useScenario(R"({"synthesis":{"fault":{"type":"never-answer"}}})");
    EXPECT_EQ(await(client->synthesizeSpeech(QStringLiteral("你好"), config)).error(),
              (ServiceError{QStringLiteral("TTS"), -1, QStringLiteral("TTS 合成超时")}));

    useScenario(R"({"synthesis":{"fault":{"type":"task-failed","message":"voice not found","inPayload":true}}})");
    EXPECT_EQ(await(client->synthesizeSpeech(QStringLiteral("你好"), config)).error().description, QStringLiteral("voice not found"));
    useScenario(R"({"synthesis":{"fault":{"type":"task-failed","message":"only in the header"}}})");
    EXPECT_EQ(await(client->synthesizeSpeech(QStringLiteral("你好"), config)).error().description, QStringLiteral("TTS 任务失败"));
}

} // namespace
