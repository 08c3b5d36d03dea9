#include "StandinClient.h"
#include "TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTcpSocket>

#include <functional>

namespace {

const QString kRecognitionTask = QStringLiteral("0123456789ABCDEF0123456789ABCDEF");

QString eventOf(const QJsonObject &frame)
{
    return frame[QStringLiteral("header")][QStringLiteral("event")].toString();
}

QJsonObject sentenceOf(const QJsonObject &frame)
{
    return frame[QStringLiteral("payload")][QStringLiteral("output")][QStringLiteral("sentence")].toObject();
}

class StandinRecognition : public StandinFixture
{
protected:
    // Streams audio in 100 ms frames.
    void stream(WsClient &client, const QByteArray &pcm)
    {
        for (qsizetype i = 0; i < pcm.size(); i += 3200)
            client.sendBinary(pcm.mid(i, 3200));
    }
};

TEST_F(StandinRecognition, ATaskStreamsGrowingResultsAndFinishesWithTheWholeScript)
{
    useScenario(R"({"recognition":{"sentences":["今天天气很好。","我们出去走走吧！"],"interimResults":2,"audioMsPerResult":200}})");
    WsClient client(server, key());
    ASSERT_TRUE(client.isConnected());
    client.sendJson(Frames::recognitionRunTask(kRecognitionTask));
    const QJsonObject started = client.waitForEvent(QStringLiteral("task-started"));
    ASSERT_FALSE(started.isEmpty());
    EXPECT_EQ(started[QStringLiteral("header")][QStringLiteral("task_id")].toString(), kRecognitionTask);

    stream(client, Frames::tone(440, 1000));
    TestSupport::settle(200);
    const qsizetype duringAudio = client.events.size() - 1;
    EXPECT_EQ(duringAudio, 5) << "one result per 200 ms of audio";

    client.sendJson(Frames::finishTask(kRecognitionTask));
    const QJsonObject finished = client.waitForEvent(QStringLiteral("task-finished"));
    ASSERT_FALSE(finished.isEmpty());
    EXPECT_EQ(finished[QStringLiteral("payload")][QStringLiteral("output")].toObject(), QJsonObject());

    QStringList texts, ends;
    for (const QJsonObject &frame : client.events) {
        if (eventOf(frame) != QLatin1String("result-generated"))
            continue;
        const QJsonObject sentence = sentenceOf(frame);
        texts << sentence[QStringLiteral("text")].toString();
        const bool end = sentence[QStringLiteral("sentence_end")].toBool();
        ends << (end ? QStringLiteral("end") : QStringLiteral("-"));
        EXPECT_EQ(frame[QStringLiteral("payload")][QStringLiteral("usage")].isObject(), end)
            << "a final result carries usage.duration";
        EXPECT_FALSE(sentence[QStringLiteral("heartbeat")].toBool());
    }
    EXPECT_EQ(texts, (QStringList{QStringLiteral("今天天"), QStringLiteral("今天天气很"), QStringLiteral("今天天气很好。"),
                                  QStringLiteral("我们出"), QStringLiteral("我们出去走走"), QStringLiteral("我们出去走走吧！")}));
    EXPECT_EQ(ends, (QStringList{QStringLiteral("-"), QStringLiteral("-"), QStringLiteral("end"), QStringLiteral("-"),
                                 QStringLiteral("-"), QStringLiteral("end")}));

    const auto audio = server.recorder().recordsOfKind(QStringLiteral("audio"));
    ASSERT_EQ(audio.size(), 1);
    EXPECT_NEAR(audio[0][QStringLiteral("duration_ms")].toDouble(), 1000, 0.1);
    EXPECT_NEAR(audio[0][QStringLiteral("dominant_hz")].toDouble(), 440, 1.0);
    EXPECT_NEAR(audio[0][QStringLiteral("rms")].toDouble(), 0.5 / std::sqrt(2.0), 0.01);
    EXPECT_EQ(server.recorder().recordsOfKind(QStringLiteral("ws-binary")).size(), 10);
    const auto texts_ = server.recorder().recordsOfKind(QStringLiteral("ws-text"));
    ASSERT_EQ(texts_.size(), 2);
    EXPECT_EQ(texts_[0][QStringLiteral("json")].toObject(), Frames::recognitionRunTask(kRecognitionTask)) << "recorded as sent";
}

TEST_F(StandinRecognition, WithAVoiceThresholdAShortToneGivesNoWordsAndSpeechDoes)
{
    useScenario(R"({"recognition":{"minVoicedMs":300,"audioMsPerResult":100}})");
    const auto wordsFor = [&](const QByteArray &pcm, bool oneFrame = false) {
        WsClient client(server, key());
        client.sendJson(Frames::recognitionRunTask(kRecognitionTask));
        EXPECT_FALSE(client.waitForEvent(QStringLiteral("task-started")).isEmpty());
        if (oneFrame)
            client.sendBinary(pcm);
        else
            stream(client, pcm);
        client.sendJson(Frames::finishTask(kRecognitionTask));
        EXPECT_FALSE(client.waitForEvent(QStringLiteral("task-finished")).isEmpty());
        QString words;
        for (const QJsonObject &frame : client.events) {
            if (eventOf(frame) == QLatin1String("result-generated"))
                words = sentenceOf(frame)[QStringLiteral("text")].toString();
        }
        return words;
    };
    const QByteArray silence(16000 * 2, '\0');
    // A cue-like blip of 200 ms among a second of silence, twice: 200 ms voiced in each of two takes.
    EXPECT_EQ(wordsFor(Frames::tone(880, 200) + silence), QString());
    EXPECT_EQ(wordsFor(silence + Frames::tone(660, 200)), QString());
    // The same blip inside one long frame (a client that is late sends
    // bigger buffers): voiced for its own 200 ms, not the frame's 1.2 s.
    EXPECT_EQ(wordsFor(silence.left(16000) + Frames::tone(660, 200) + silence.left(16000), true), QString());
    EXPECT_EQ(wordsFor(silence + Frames::tone(440, 400)), QStringLiteral("你好，这是本地替身服务的识别结果。"));
}

TEST_F(StandinRecognition, EveryDeviationFromTheRunTaskIsRefusedNamingTheMember)
{
    using Edit = std::function<void(QJsonObject &header, QJsonObject &payload, QJsonObject &parameters)>;
    const QList<std::pair<QString, Edit>> cases{
        {QStringLiteral("payload.parameters.sample_rate must be an integer"),
         [](auto &, auto &, auto &p) { p[QStringLiteral("sample_rate")] = QStringLiteral("16000"); }},
        {QStringLiteral("payload.parameters.sample_rate must be 16000"),
         [](auto &, auto &, auto &p) { p[QStringLiteral("sample_rate")] = 8000; }},
        {QStringLiteral("payload.parameters.heartbeat must be a boolean"),
         [](auto &, auto &, auto &p) { p[QStringLiteral("heartbeat")] = QStringLiteral("true"); }},
        {QStringLiteral("payload.parameters.semantic_punctuation_enabled must be a boolean"),
         [](auto &, auto &, auto &p) { p[QStringLiteral("semantic_punctuation_enabled")] = 1; }},
        {QStringLiteral("payload.parameters.format must be \"pcm\""),
         [](auto &, auto &, auto &p) { p[QStringLiteral("format")] = QStringLiteral("wav"); }},
        {QStringLiteral("payload.parameters.format is missing"),
         [](auto &, auto &, auto &p) { p.remove(QStringLiteral("format")); }},
        {QStringLiteral("payload.parameters.max_sentence_silence is not a known member"),
         [](auto &, auto &, auto &p) { p[QStringLiteral("max_sentence_silence")] = 800; }},
        {QStringLiteral("payload.parameters.language_hints must be a list whose first item is \"zh\", \"en\" or \"ja\""),
         [](auto &, auto &, auto &p) { p[QStringLiteral("language_hints")] = QJsonArray{QStringLiteral("fr")}; }},
        {QStringLiteral("payload.parameters.language_hints must be a list whose first item is \"zh\", \"en\" or \"ja\""),
         [](auto &, auto &, auto &p) { p[QStringLiteral("language_hints")] = QStringLiteral("zh"); }},
        {QStringLiteral("payload.function must be \"recognition\""),
         [](auto &, auto &pl, auto &) { pl[QStringLiteral("function")] = QStringLiteral("Recognition"); }},
        {QStringLiteral("payload.input must be an empty object"),
         [](auto &, auto &pl, auto &) { pl[QStringLiteral("input")] = QJsonObject{{QStringLiteral("x"), 1}}; }},
        {QStringLiteral("payload.model \"paraformer-v1\" does not exist"),
         [](auto &, auto &pl, auto &) { pl[QStringLiteral("model")] = QStringLiteral("paraformer-v1"); }},
        {QStringLiteral("header.streaming must be \"duplex\""),
         [](auto &h, auto &, auto &) { h[QStringLiteral("streaming")] = QStringLiteral("out"); }},
        {QStringLiteral("header.task_id is missing"), [](auto &h, auto &, auto &) { h.remove(QStringLiteral("task_id")); }},
    };
    WsClient client(server, key());
    ASSERT_TRUE(client.isConnected());
    for (const auto &[expected, edit] : cases) {
        QJsonObject frame = Frames::recognitionRunTask(kRecognitionTask);
        QJsonObject header = frame[QStringLiteral("header")].toObject();
        QJsonObject payload = frame[QStringLiteral("payload")].toObject();
        QJsonObject parameters = payload[QStringLiteral("parameters")].toObject();
        edit(header, payload, parameters);
        payload[QStringLiteral("parameters")] = parameters;
        frame = {{QStringLiteral("header"), header}, {QStringLiteral("payload"), payload}};
        client.sendJson(frame);
        const QJsonObject failed = client.waitForEvent(QStringLiteral("task-failed"));
        EXPECT_EQ(failed[QStringLiteral("header")][QStringLiteral("error_code")].toString(), QStringLiteral("InvalidParameter"));
        EXPECT_EQ(failed[QStringLiteral("header")][QStringLiteral("error_message")].toString(), expected);
    }
    // The connection is usable again for a right task.
    client.sendJson(Frames::recognitionRunTask(kRecognitionTask));
    EXPECT_FALSE(client.waitForEvent(QStringLiteral("task-started")).isEmpty());
}

TEST_F(StandinRecognition, NothingMayBeSentBeforeTaskStartedOrOutOfTurn)
{
    // With the default scenario, as the service does, the task takes a while
    // to start: audio sent soon after run-task, without waiting for
    // task-started, is refused every time.
    for (int attempt = 0; attempt < 5; ++attempt) {
        WsClient early(server, key());
        early.sendJson(Frames::recognitionRunTask(kRecognitionTask));
        TestSupport::settle(20);
        early.sendBinary(Frames::tone(440, 100));
        EXPECT_EQ(early.waitForEvent(QStringLiteral("task-failed"))[QStringLiteral("header")][QStringLiteral("error_message")].toString(),
                  QStringLiteral("audio received before task-started"));
        TestSupport::settle(200);
        EXPECT_TRUE(early.waitForEvent(QStringLiteral("task-started"), 10).isEmpty()) << "the failed task never starts";
    }
    WsClient client(server, key());
    client.sendJson(Frames::recognitionRunTask(kRecognitionTask));
    client.sendJson(Frames::finishTask(kRecognitionTask));
    EXPECT_EQ(client.waitForEvent(QStringLiteral("task-failed"))[QStringLiteral("header")][QStringLiteral("error_message")].toString(),
              QStringLiteral("finish-task before task-started"));

    client.sendJson(Frames::recognitionRunTask(kRecognitionTask));
    ASSERT_FALSE(client.waitForEvent(QStringLiteral("task-started")).isEmpty());
    client.sendJson(Frames::recognitionRunTask(QStringLiteral("FFFF")));
    EXPECT_TRUE(client.waitForEvent(QStringLiteral("task-failed"))[QStringLiteral("header")][QStringLiteral("error_message")]
                    .toString().startsWith(QStringLiteral("a second run-task")));

    client.sendJson(Frames::recognitionRunTask(kRecognitionTask));
    ASSERT_FALSE(client.waitForEvent(QStringLiteral("task-started")).isEmpty());
    client.sendJson(Frames::finishTask(QStringLiteral("ABCDEF")));
    EXPECT_EQ(client.waitForEvent(QStringLiteral("task-failed"))[QStringLiteral("header")][QStringLiteral("error_message")].toString(),
              QStringLiteral("header.task_id must be the running task's id ") + kRecognitionTask);
}

TEST_F(StandinRecognition, SilenceDroppedConnectionsAndMalformedFramesArePlayed)
{
    useScenario(R"({"recognition":{"fault":{"type":"never-answer"}}})");
    {
        WsClient silent(server, key());
        silent.sendJson(Frames::recognitionRunTask(kRecognitionTask));
        TestSupport::settle(300);
        EXPECT_TRUE(silent.events.isEmpty());
    }
    useScenario(R"({"recognition":{"fault":{"type":"never-answer","at":"finish"}}})");
    {
        WsClient stuck(server, key());
        stuck.sendJson(Frames::recognitionRunTask(kRecognitionTask));
        ASSERT_FALSE(stuck.waitForEvent(QStringLiteral("task-started")).isEmpty());
        stuck.sendJson(Frames::finishTask(kRecognitionTask));
        EXPECT_TRUE(stuck.waitForEvent(QStringLiteral("task-finished"), 300).isEmpty());
    }
    useScenario(R"({"recognition":{"fault":{"type":"close-after","frames":2},"audioMsPerResult":100}})");
    {
        WsClient dropped(server, key());
        dropped.sendJson(Frames::recognitionRunTask(kRecognitionTask));
        ASSERT_FALSE(dropped.waitForEvent(QStringLiteral("task-started")).isEmpty());
        dropped.sendBinary(Frames::tone(440, 300));
        EXPECT_TRUE(dropped.waitForDisconnect());
        EXPECT_EQ(dropped.events.size(), 2);
    }
    useScenario(R"({"recognition":{"fault":{"type":"malformed"}}})");
    {
        WsClient garbled(server, key());
        garbled.sendJson(Frames::recognitionRunTask(kRecognitionTask));
        ASSERT_FALSE(garbled.waitForEvent(QStringLiteral("task-started")).isEmpty());
        TestSupport::settle(100);
        EXPECT_EQ(garbled.nonJsonTexts, (QStringList{QStringLiteral("not json"), QStringLiteral("[1,2,3]")}));
        ASSERT_EQ(garbled.events.size(), 2);
        EXPECT_FALSE(garbled.events[1].contains(QStringLiteral("header")));
    }
}

TEST_F(StandinRecognition, TheUpgradeNeedsTheKeyOfItsHostAndTheEndpoint)
{
    auto statusOf = [this](const QByteArray &authorization, const QByteArray &path,
                           const QByteArray &host = "127.0.0.1") {
        // The server runs in this thread: wait on the event loop, never block.
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, server.port());
        EXPECT_TRUE(TestSupport::waitUntil([&] { return socket.state() == QAbstractSocket::ConnectedState; }));
        QByteArray request = "GET " + path + " HTTP/1.1\r\nHost: " + host + "\r\nUpgrade: websocket\r\n"
                             "Connection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                             "Sec-WebSocket-Version: 13\r\n";
        if (!authorization.isEmpty())
            request += "Authorization: " + authorization + "\r\n";
        socket.write(request + "\r\n");
        TestSupport::waitUntil([&] { return socket.bytesAvailable() > 0; });
        return socket.readAll();
    };
    const QByteArray good = "Bearer " + key().toUtf8();
    const QByteArray accepted = statusOf(good, "/api-ws/v1/inference");
    EXPECT_TRUE(accepted.startsWith("HTTP/1.1 101"));
    EXPECT_TRUE(accepted.contains("Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo="));
    EXPECT_TRUE(statusOf(good, "/api-ws/v1/inference/").startsWith("HTTP/1.1 101"));
    EXPECT_TRUE(statusOf({}, "/api-ws/v1/inference/").startsWith("HTTP/1.1 401"));
    EXPECT_TRUE(statusOf("Bearer sk-wrong-key-000000", "/api-ws/v1/inference/").startsWith("HTTP/1.1 401"));
    EXPECT_TRUE(statusOf(good, "/api-ws/v2/inference/").startsWith("HTTP/1.1 404"));

    // A host with a key of its own (a region's) takes only that key.
    Scenario scenario = server.scenario();
    scenario.hostKeys.insert(QStringLiteral("dashscope-intl.aliyuncs.com"), QStringLiteral("sk-intl-0123456789"));
    server.setScenario(scenario);
    const QByteArray intl = "Bearer sk-intl-0123456789";
    EXPECT_TRUE(statusOf(good, "/api-ws/v1/inference/", "dashscope-intl.aliyuncs.com:443").startsWith("HTTP/1.1 401"));
    EXPECT_TRUE(statusOf(intl, "/api-ws/v1/inference/", "DashScope-Intl.aliyuncs.com").startsWith("HTTP/1.1 101"));
    EXPECT_TRUE(statusOf(intl, "/api-ws/v1/inference/", "dashscope.aliyuncs.com").startsWith("HTTP/1.1 401"));
    EXPECT_TRUE(statusOf(good, "/api-ws/v1/inference/", "dashscope.aliyuncs.com").startsWith("HTTP/1.1 101"));

    const auto upgrades = server.recorder().recordsOfKind(QStringLiteral("ws-upgrade"));
    ASSERT_EQ(upgrades.size(), 9);
    EXPECT_EQ(upgrades[3][QStringLiteral("authorization")].toString(), QStringLiteral("Bearer sk-w****0000"));
    EXPECT_EQ(upgrades[0][QStringLiteral("host")].toString(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(upgrades[5][QStringLiteral("host")].toString(), QStringLiteral("dashscope-intl.aliyuncs.com"))
        << "the port goes and the case is folded";
    EXPECT_EQ(upgrades[7][QStringLiteral("host")].toString(), QStringLiteral("dashscope.aliyuncs.com"));
    for (const QJsonObject &entry : server.recorder().records())
        EXPECT_FALSE(QJsonDocument(entry).toJson().contains(key().toUtf8())) << "the key is only kept masked";
}

} // namespace
