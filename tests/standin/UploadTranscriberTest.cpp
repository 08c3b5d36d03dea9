// A take sent whole, at the release, to an OpenAI-style transcription server
// (the stand-in): the audio from before the long press to the tail, the
// form's fields, the key of that host alone or none, streamed and plain
// answers, and each way it goes wrong: words lost never, the reason said.
#include "PcmPlaybackCapture.h"
#include "RecognizerSwitch.h"
#include "StandinClient.h"
#include "TestSupport.h"
#include "TranscriptionRequest.h"
#include "UploadTranscriber.h"

#include <QElapsedTimer>
#include <QJsonArray>

using TestSupport::settle;
using TestSupport::waitUntil;
using namespace std::chrono_literals;

namespace {

QCoro::Task<std::optional<QString>> storedKey(std::optional<QString> key)
{
    co_return key;
}

class Upload : public StandinFixture
{
protected:
    void SetUp() override
    {
        StandinFixture::SetUp();
        config.transcriptionService = QStringLiteral("openai");
        config.transcriptionBaseURL = QStringLiteral("http://127.0.0.1:%1/v1").arg(server.port());
        transcriber = std::make_unique<UploadTranscriber>(
            [this](QString host) { return storedKey(hostKeys.contains(host) ? std::optional(hostKeys.value(host)) : std::nullopt); },
            mic, 100ms, 1000ms);
        QObject::connect(transcriber.get(), &SpeechRecognizer::takeAudio,
                         [this](const QByteArray &pcm) { kept += pcm; });
    }
    qsizetype uploads() const { return server.recorder().recordsOfKind(QStringLiteral("transcription")).size(); }
    QJsonObject lastUpload() const { return server.recorder().recordsOfKind(QStringLiteral("transcription")).value(uploads() - 1); }
    // Holds the key: a warm-up, the long press, recording, the release.
    void take(int heldMs = 600)
    {
        const qsizetype before = uploads();
        transcriber->warmUp(config);
        settle(300);
        ASSERT_TRUE(TestSupport::await(transcriber->startRecognition(config)));
        settle(heldMs);
        EXPECT_EQ(uploads(), before) << "nothing goes up before the release";
        TestSupport::await(transcriber->stopRecognition());
    }

    PcmPlaybackCapture mic;
    QHash<QString, QString> hostKeys;
    AppConfig config;
    QByteArray kept;
    std::unique_ptr<UploadTranscriber> transcriber;
};

TEST_F(Upload, TheWholeTakeGoesUpAtTheReleaseWithItsHostsKeyAndItsWordsComeBack)
{
    hostKeys.insert(QStringLiteral("127.0.0.1"), QStringLiteral("sk-transcribe-host-1"));
    useScenario(R"({"hostKeys":{"127.0.0.1":"sk-transcribe-host-1"},"recognition":{"sentences":["你好，世界。"]}})");
    config.transcriptionModel = QStringLiteral("whisper-large-v3");
    config.asrLanguage = QStringLiteral("zh");
    config.hotWords = {HotWord{QStringLiteral("千问")}, HotWord{QStringLiteral("通义")}};
    take();
    EXPECT_EQ(transcriber->finalTranscript(), QStringLiteral("你好，世界。"));
    EXPECT_FALSE(transcriber->connectionTroubled());
    const QJsonObject upload = lastUpload();
    EXPECT_EQ(upload[QStringLiteral("status")].toInt(), 200);
    EXPECT_EQ(upload[QStringLiteral("authorization")].toString(), QStringLiteral("Bearer sk-t****st-1"));
    EXPECT_EQ(upload[QStringLiteral("fields")].toObject(),
              (QJsonObject{{QStringLiteral("model"), QStringLiteral("whisper-large-v3")}, {QStringLiteral("language"), QStringLiteral("zh")},
                           {QStringLiteral("prompt"), QStringLiteral("千问, 通义")}, {QStringLiteral("response_format"), QStringLiteral("json")},
                           {QStringLiteral("stream"), QStringLiteral("true")}}));
    // From the warm-up (before the long press) to the tail: all of it, as kept.
    const int bytes = upload[QStringLiteral("file")][QStringLiteral("bytes")].toInt();
    EXPECT_EQ(bytes, kept.size() + 44) << "the file is the kept audio as WAV";
    EXPECT_GE(kept.size(), (300 + 600) * 32 * 8 / 10) << "the pre-roll and the recording";
    EXPECT_FALSE(upload[QStringLiteral("chunked")].toBool());

    // A server that answers JSON to a stream request, one that streams; no key for a server on this machine.
    hostKeys.clear();
    for (const char *scenario : {R"({"recognition":{"sentences":["第二次。"]},"audio":{"ignoreStream":true,"keylessHosts":["127.0.0.1"]}})",
                                 R"({"recognition":{"sentences":["第三次。"]},"audio":{"chunkChars":1,"keylessHosts":["127.0.0.1"]}})"}) {
        useScenario(scenario);
        take(300);
        EXPECT_FALSE(transcriber->finalTranscript().isEmpty()) << scenario;
        EXPECT_TRUE(server.scenario().recognition.sentences.contains(transcriber->finalTranscript()));
        EXPECT_EQ(lastUpload()[QStringLiteral("authorization")].toString(), QString()) << "no key where none is stored";
    }
}

TEST_F(Upload, WhenTheServerRefusesFailsOrIsSilentTheAudioIsKeptAndTheReasonSaid)
{
    const struct
    {
        const char *scenario;
        const char *model;
        const char *failure;
    } cases[] = {
        {R"({})", "whisper-1", "转写失败 (401): Incorrect API key provided."},
        {R"({"audio":{"keylessHosts":["127.0.0.1"]}})", "no-such-model", "转写失败 (404): The model `no-such-model` does not exist."},
        {R"({"audio":{"keylessHosts":["127.0.0.1"],"fault":{"type":"http-error","status":500,"body":{"error":{"message":"GPU on fire"}}}}})",
         "whisper-1", "转写失败 (500): GPU on fire"},
        {R"({"audio":{"keylessHosts":["127.0.0.1"],"fault":{"type":"http-error","status":200,"body":"<html>"}}})", "whisper-1",
         "转写失败 (200): the answer has no \"text\": <html>"},
        // The bound: 1 s here, and half the take's length (its seconds follow).
        {R"({"audio":{"keylessHosts":["127.0.0.1"],"fault":{"type":"never-answer"}}})", "whisper-1", "转写超时：1."},
    };
    for (const auto &c : cases) {
        useScenario(c.scenario);
        config.transcriptionModel = QString::fromLatin1(c.model);
        kept.clear();
        QElapsedTimer clock;
        clock.start();
        take(300);
        EXPECT_LT(clock.elapsed(), 4000) << "bounded: " << c.scenario;
        EXPECT_EQ(transcriber->finalTranscript(), QString()) << c.scenario;
        EXPECT_TRUE(transcriber->connectionTroubled()) << "the take is kept to be sent again";
        EXPECT_TRUE(transcriber->failure().startsWith(QString::fromUtf8(c.failure))) << transcriber->failure().toStdString();
        EXPECT_GT(kept.size(), 300 * 32 / 2) << "its audio was handed over";
    }
    // The next good take starts clean.
    useScenario(R"({"audio":{"keylessHosts":["127.0.0.1"]}})");
    config.transcriptionModel = QStringLiteral("whisper-1");
    take(300);
    EXPECT_FALSE(transcriber->connectionTroubled());
    EXPECT_EQ(transcriber->failure(), QString());

    // Cancelled while its request waits: given up at once, not after the bound.
    useScenario(R"({"audio":{"keylessHosts":["127.0.0.1"],"fault":{"type":"never-answer"}}})");
    const qsizetype before = uploads();
    transcriber->warmUp(config);
    ASSERT_TRUE(TestSupport::await(transcriber->startRecognition(config)));
    settle(300);
    auto stopping = transcriber->stopRecognition();
    ASSERT_TRUE(waitUntil([&] { return uploads() == before + 1; }, 2000)) << "the request went";
    QElapsedTimer cancelled;
    cancelled.start();
    transcriber->cancelRecognition();
    TestSupport::await(std::move(stopping));
    EXPECT_LT(cancelled.elapsed(), 300);
    EXPECT_EQ(transcriber->finalTranscript(), QString());

    // A cancelled take sends nothing.
    const qsizetype sent = uploads();
    transcriber->warmUp(config);
    ASSERT_TRUE(TestSupport::await(transcriber->startRecognition(config)));
    settle(200);
    transcriber->cancelRecognition();
    TestSupport::await(transcriber->stopRecognition());
    settle(200);
    EXPECT_EQ(uploads(), sent);
    EXPECT_FALSE(mic.isRunning()) << "the microphone closes";
}

TEST_F(Upload, TheSwitchGivesEachTakeTheRecogniserItsSettingsName)
{
    // The realtime recogniser is not wanted here: a second upload transcriber plays it.
    PcmPlaybackCapture otherMic;
    UploadTranscriber realtime({}, otherMic, 0ms, 1000ms);
    RecognizerSwitch recognizer(realtime, *transcriber);
    EXPECT_EQ(&recognizer.active(), &realtime) << "the service's recogniser by default";
    useScenario(R"({"recognition":{"sentences":["经由开关。"]},"audio":{"keylessHosts":["127.0.0.1"]}})");
    QList<bool> recording;
    QObject::connect(&recognizer, &SpeechRecognizer::isRecordingChanged, [&](bool on) { recording << on; });
    recognizer.warmUp(config);
    EXPECT_EQ(&recognizer.active(), transcriber.get());
    ASSERT_TRUE(TestSupport::await(recognizer.startRecognition(config)));
    settle(300);
    TestSupport::await(recognizer.stopRecognition());
    EXPECT_EQ(recognizer.finalTranscript(), QStringLiteral("经由开关。"));
    EXPECT_EQ(recording, (QList<bool>{true, false}));
    EXPECT_EQ(otherMic.starts, 0);

    AppConfig service = config;
    service.transcriptionService = QStringLiteral("dashscope");
    recognizer.warmUp(service);
    EXPECT_EQ(&recognizer.active(), &realtime) << "the next take follows the settings";
    recognizer.cancelWarmUp();
}

TEST(TranscriptionAnswers, ServerSentEventsAndJsonAreReadAndWhatIsNeitherIsRefused)
{
    const auto words = [](int status, const char *type, const QByteArray &body) {
        const Result<QString> result = TranscriptionRequest::parseAnswer(status, type, body);
        return result ? result.value() : QStringLiteral("error: ") + result.error().description;
    };
    EXPECT_EQ(words(200, "application/json", R"({"text":" 你好 "})"), QStringLiteral("你好"));
    EXPECT_EQ(words(200, "text/event-stream",
                    "data: {\"type\":\"transcript.text.delta\",\"delta\":\"你\"}\n\n"
                    "data: {\"type\":\"transcript.text.delta\",\"delta\":\"好\"}\n\n"),
              QStringLiteral("你好")) << "deltas alone, the done event lost";
    EXPECT_EQ(words(200, "text/event-stream; charset=utf-8",
                    "data: {\"type\":\"transcript.text.delta\",\"delta\":\"x\"}\n\n"
                    "data: {\"type\":\"transcript.text.done\",\"text\":\"你好。\"}\n\n"),
              QStringLiteral("你好。")) << "the done event's text wins";
    EXPECT_EQ(words(200, "text/event-stream", ": keep-alive\n\n"),
              QStringLiteral("error: 转写失败 (200): the event stream holds no transcript"));
    EXPECT_EQ(words(200, "application/json", R"({"segments":[]})"),
              QStringLiteral("error: 转写失败 (200): the answer has no \"text\": {\"segments\":[]}"));
    EXPECT_EQ(words(200, "application/json", QByteArray(TranscriptionRequest::kMaxAnswerBytes + 1, ' ')),
              QStringLiteral("error: 转写失败 (200): the answer is larger than 1048576 bytes"));
    EXPECT_EQ(words(413, "application/json", R"({"error":{"message":"file too large"}})"),
              QStringLiteral("error: 转写失败 (413): file too large"));
    EXPECT_EQ(TranscriptionRequest::boundFor(10000), 20000ms) << "15 s, and 5 s for 10 s of audio";
    EXPECT_EQ(TranscriptionRequest::boundFor(3600000), 180000ms) << "at most 3 minutes";
    const QByteArray file = TranscriptionRequest::wav(QByteArray(3200, '\0'));
    EXPECT_EQ(file.size(), 3244);
    EXPECT_TRUE(file.startsWith("RIFF") && file.mid(8, 8) == "WAVEfmt ");
}

} // namespace
