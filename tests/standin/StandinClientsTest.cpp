// The requests the service's own client libraries send (vectors/), replayed
// against the stand-in: taken and answered as the service takes them, and,
// in the strict mode the test suite runs it in, each deviation from what
// this program sends refused and named.
#include "StandinClient.h"

#include "Multipart.h"
#include "TestSupport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

namespace {

QList<QJsonObject> vectors()
{
    QList<QJsonObject> lines;
    QFile file(QStringLiteral(CLIENT_VECTORS));
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (!line.trimmed().isEmpty())
            lines << QJsonDocument::fromJson(line).object();
    }
    return lines;
}

class ServiceClients : public StandinFixture
{
protected:
    void SetUp() override
    {
        StandinFixture::SetUp();
        lines = vectors();
        ASSERT_EQ(lines.size(), 19) << CLIENT_VECTORS;
    }
    QJsonObject frame(int line) const { return lines.at(line)[QStringLiteral("frame")].toObject(); }
    QString taskError(const QJsonObject &event) const
    {
        return event[QStringLiteral("header")][QStringLiteral("error_message")].toString();
    }
    // An HTTP line as its library sent it: the path, headers and JSON body.
    RawResponse send(int line)
    {
        const QJsonObject vector = lines.at(line);
        QList<std::pair<QByteArray, QByteArray>> headers{{"Authorization", "Bearer " + key().toUtf8()},
                                                         {"Content-Type", "application/json"}};
        const QString type = vector[QStringLiteral("headers")][QStringLiteral("content-type")].toString();
        if (!type.isEmpty())
            headers[1].second = type.toUtf8();
        return rawHttp(server, "POST", vector[QStringLiteral("path")].toString(), headers,
                       QJsonDocument(vector[QStringLiteral("body")].toObject()).toJson(QJsonDocument::Compact));
    }
    // The upload as OpenAI's library streams a file: multipart, chunked.
    RawResponse upload()
    {
        const QByteArray wav = QByteArray("RIFF") + QByteArray(40, '\0') + Frames::tone(440, 500);
        const QByteArray boundary = "----formdata-openai-0123456789";
        const QByteArray body = "--" + boundary + "\r\nContent-Disposition: form-data; name=\"model\"\r\n\r\n"
                                "gpt-4o-mini-transcribe\r\n--" + boundary
                                + "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"speech.wav\"\r\n"
                                  "Content-Type: audio/wav\r\n\r\n" + wav + "\r\n--" + boundary + "--\r\n";
        return rawHttp(server, "POST", lines.at(17)[QStringLiteral("path")].toString(),
                       {{"Authorization", "Bearer " + key().toUtf8()},
                        {"Content-Type", "multipart/form-data; boundary=" + boundary}},
                       body, true);
    }
    static QString message(const RawResponse &response)
    {
        const QJsonObject body = QJsonDocument::fromJson(response.body).object();
        return body[QStringLiteral("error")][QStringLiteral("message")].toString()
               + body[QStringLiteral("message")].toString();
    }

    QList<QJsonObject> lines;
};

TEST_F(ServiceClients, AsTheServiceEveryRequestIsTakenAnsweredAndRecorded)
{
    server.setStrict(false);
    // The SDK's recognition: its lower-case scheme, its run-task, its finish.
    WsClient recognition(server, key(), {}, "bearer");
    ASSERT_TRUE(recognition.isConnected()) << "the scheme's name is case-insensitive";
    recognition.sendJson(frame(1));
    EXPECT_FALSE(recognition.waitForEvent(QStringLiteral("task-started")).isEmpty()) << recognition.events.size();
    recognition.sendBinary(Frames::tone(440, 400));
    recognition.sendJson(frame(2));
    EXPECT_FALSE(recognition.waitForEvent(QStringLiteral("task-finished")).isEmpty());
    for (const QJsonObject &event : recognition.events)
        EXPECT_TRUE(taskError(event).isEmpty()) << taskError(event).toStdString();

    // Its synthesis, both ways: "Default" format and rate, its extra members.
    for (const QList<int> &task : {QList<int>{3, 4}, QList<int>{5, 6, 7, 8}}) {
        const qsizetype spoken = server.recorder().recordsOfKind(QStringLiteral("tts-audio")).size();
        WsClient synthesis(server, key());
        synthesis.sendJson(frame(task.first()));
        ASSERT_FALSE(synthesis.waitForEvent(QStringLiteral("task-started")).isEmpty()) << task.first();
        for (int line : task.mid(1))
            synthesis.sendJson(frame(line));
        EXPECT_TRUE(TestSupport::waitUntil([&] {
            return server.recorder().recordsOfKind(QStringLiteral("tts-audio")).size() == spoken + task.size() - 1
                   && synthesis.binaryFrames > 0;
        }, 3000)) << "audio for each of its texts: " << synthesis.binaryFrames;
        for (const QJsonObject &event : synthesis.events)
            EXPECT_TRUE(taskError(event).isEmpty()) << taskError(event).toStdString();
    }

    // Its vocabulary actions, each in turn on what the first made.
    for (int line = 9; line <= 13; ++line) {
        const RawResponse response = send(line);
        EXPECT_EQ(response.status, 200) << line << " " << response.body.toStdString();
    }

    // OpenAI's library: a stream, a whole answer when it names no stream, a PNG.
    const RawResponse streamed = send(14);
    EXPECT_EQ(streamed.status, 200);
    EXPECT_TRUE(streamed.headers.value("content-type").startsWith("text/event-stream"));
    EXPECT_TRUE(dataLines(streamed.body).contains(QStringLiteral("[DONE]")));
    for (int line : {15, 16}) {
        const RawResponse whole = send(line);
        EXPECT_EQ(whole.status, 200) << line << " " << whole.body.toStdString();
        EXPECT_EQ(QJsonDocument::fromJson(whole.body)[QStringLiteral("object")].toString(), QStringLiteral("chat.completion"))
            << "not streamed: " << whole.body.toStdString();
        EXPECT_FALSE(QJsonDocument::fromJson(whole.body)[QStringLiteral("choices")][0][QStringLiteral("message")]
                         [QStringLiteral("content")].toString().isEmpty());
    }
    const QJsonObject image = server.recorder().recordsOfKind(QStringLiteral("image")).last();
    EXPECT_EQ(image[QStringLiteral("format")].toString(), QStringLiteral("png"));

    // Its upload, in chunks; its speech request.
    const RawResponse transcript = upload();
    EXPECT_EQ(transcript.status, 200) << transcript.body.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(transcript.body)[QStringLiteral("text")].toString(),
              server.scenario().recognition.sentences.join(QString()));
    const QJsonObject uploaded = server.recorder().recordsOfKind(QStringLiteral("transcription")).last();
    EXPECT_TRUE(uploaded[QStringLiteral("chunked")].toBool());
    EXPECT_GT(uploaded[QStringLiteral("file")][QStringLiteral("bytes")].toInt(), 16000);
    const RawResponse speech = send(18);
    EXPECT_EQ(speech.status, 200) << speech.body.toStdString();
    EXPECT_EQ(speech.headers.value("content-type"), "audio/mpeg");
    EXPECT_GT(speech.body.size(), 1000);
    EXPECT_EQ(server.recorder().recordsOfKind(QStringLiteral("speech")).size(), 1);

    // Each recorded as it came, the members the stand-in does not act on included.
    const auto frames = server.recorder().recordsOfKind(QStringLiteral("ws-text"));
    EXPECT_EQ(frames.size(), 8) << "the eight frames of the WebSocket lines";
    EXPECT_TRUE(std::any_of(frames.begin(), frames.end(), [](const QJsonObject &f) {
        return f[QStringLiteral("json")][QStringLiteral("payload")][QStringLiteral("parameters")][QStringLiteral("enable_ssml")].toBool();
    }));
    EXPECT_EQ(server.recorder().recordsOfKind(QStringLiteral("customization")).size(), 5);
    EXPECT_EQ(server.recorder().recordsOfKind(QStringLiteral("http-request")).size(), 3) << "the three chat requests";
}

TEST_F(ServiceClients, StrictEachDeviationFromThisProgramsRequestsIsNamed)
{
    ASSERT_TRUE(server.isStrict()) << "the suite's stand-in";
    EXPECT_FALSE(WsClient(server, key(), {}, "bearer").isConnected()) << "this program writes Bearer";

    WsClient recognition(server, key());
    recognition.sendJson(frame(1));
    EXPECT_EQ(taskError(recognition.waitForEvent(QStringLiteral("task-failed"))),
              QStringLiteral("payload.parameters.heartbeat is missing"));
    WsClient synthesis(server, key());
    synthesis.sendJson(frame(3));
    EXPECT_EQ(taskError(synthesis.waitForEvent(QStringLiteral("task-failed"))),
              QStringLiteral("payload.parameters.format must be \"mp3\""));
    // A continue-task of the SDK's on a task this program would start.
    const QString taskId = frame(4)[QStringLiteral("header")][QStringLiteral("task_id")].toString();
    WsClient ours(server, key());
    ours.sendJson(Frames::synthesisRunTask(taskId));
    ASSERT_FALSE(ours.waitForEvent(QStringLiteral("task-started")).isEmpty());
    ours.sendJson(frame(4));
    EXPECT_EQ(taskError(ours.waitForEvent(QStringLiteral("task-failed"))), QStringLiteral("payload.function is not a known member"));

    for (int line = 9; line <= 14; ++line)
        EXPECT_EQ(send(line).status, 200) << line << ": as this program sends them";
    const struct
    {
        int line;
        int status;
        const char *named;
    } refused[] = {
        {15, 400, "stream must be a boolean"},
        {16, 400, "The image must be a data:image/jpeg;base64, URL."},
        {18, 400, "response_format must be mp3 here"},
    };
    for (const auto &r : refused) {
        const RawResponse response = send(r.line);
        EXPECT_EQ(response.status, r.status) << r.line;
        EXPECT_EQ(message(response), QString::fromUtf8(r.named)) << r.line;
        EXPECT_FALSE(QJsonDocument::fromJson(response.body)[QStringLiteral("request_id")].toString().isEmpty())
            << "every error has its request's ID";
    }
    const RawResponse chunked = upload();
    EXPECT_EQ(chunked.status, 400);
    EXPECT_EQ(message(chunked), QStringLiteral("chunked request bodies are not supported"));
}

TEST(StandinMultipart, AFormIsReadAndWhatIsNotOneIsRefusedWithAReason)
{
    const QByteArray form = "--b\r\nContent-Disposition: form-data; name=\"model\"\r\n\r\nwhisper-1\r\n"
                            "--b\r\nContent-Disposition: form-data; name=\"file\"; filename=\"a b.wav\"\r\n"
                            "Content-Type: audio/wav\r\n\r\nRIFF\r\n--x\r\n--b--\r\n";
    QString error;
    const auto parts = Multipart::parse(form, Multipart::boundaryOf("multipart/form-data; boundary=\"b\""), &error);
    ASSERT_TRUE(parts) << error.toStdString();
    ASSERT_EQ(parts->size(), 2);
    EXPECT_EQ(parts->at(0).name, QStringLiteral("model"));
    EXPECT_EQ(parts->at(0).data, "whisper-1");
    EXPECT_EQ(parts->at(1).fileName, QStringLiteral("a b.wav"));
    EXPECT_EQ(parts->at(1).data, "RIFF\r\n--x") << "a line like a boundary inside the file is data";

    const struct
    {
        QByteArray body;
        QByteArray boundary;
        const char *error;
    } bad[] = {
        {"--b\r\nContent-Disposition: form-data; name=\"model\"\r\n\r\nwhisper-1", "b", "a part is cut short (no closing boundary)"},
        {"--b\r\nContent-Disposition: form-data\r\n\r\nx\r\n--b--", "b", "a part has no name"},
        {"no parts here", "b", "the body holds no part"},
        {"--b\r\nContent-Disposition: form-data; name=\"prompt\"\r\n\r\n" + QByteArray(Multipart::kMaxFieldBytes + 1, 'x')
             + "\r\n--b--", "b", "the part \"prompt\" is larger than 65536 bytes"},
        {"--b--", QByteArray(71, 'b'), "the multipart boundary is missing or longer than 70 characters"},
    };
    for (const auto &b : bad) {
        QString why;
        EXPECT_FALSE(Multipart::parse(b.body, b.boundary, &why));
        EXPECT_EQ(why, QString::fromUtf8(b.error));
    }
    EXPECT_TRUE(Multipart::boundaryOf("application/json").isEmpty());
}

} // namespace
