// A sentence's speech as it arrives from the stand-in: frame by frame, cut
// short by a failure or a stall (what came is kept), and on a connection
// opened ahead of time; and from an OpenAI-style speech server, with the key
// stored for its host and no other.
#include "DashScopeAPIService.h"
#include "StandinClient.h"
#include "Recorder.h"
#include "TestSupport.h"

using TestSupport::waitUntil;
using namespace std::chrono_literals;

namespace {

QCoro::Task<std::optional<QString>> keyNow(std::optional<QString> key)
{
    co_return key;
}

class SpeechStreams : public StandinFixture
{
protected:
    void SetUp() override
    {
        StandinFixture::SetUp();
        service = std::make_unique<DashScopeAPIService>([this] { return keyNow(key()); },
                                                        DashScopeEndpoints{server.webSocketUrl()},
                                                        NetworkTimeouts{.synthesis = 1500ms});
    }

    qsizetype recorded(const QString &kind) const { return server.recorder().recordsOfKind(kind).size(); }
    // Waits for the stream's end; true when it came.
    static bool ends(const AudioStream &audio) { return waitUntil([&] { return audio.isFinished(); }, 5000); }

    std::unique_ptr<DashScopeAPIService> service;
    AppConfig config;
};

TEST_F(SpeechStreams, TheAudioArrivesFrameByFrameBeforeTheTaskEnds)
{
    useScenario(R"({"synthesis":{"frames":{"你好":5},"spreadMs":{"你好":600}}})");
    const std::shared_ptr<AudioStream> audio = service->streamSpeech(QStringLiteral("你好，世界。"), config);
    ASSERT_TRUE(waitUntil([&] { return !audio->bytes().isEmpty(); }, 3000));
    EXPECT_FALSE(audio->isFinished()) << "the first frame is there long before the last";
    const qsizetype first = audio->bytes().size();
    ASSERT_TRUE(ends(*audio));
    EXPECT_FALSE(audio->error());
    const auto whole = server.recorder().recordsOfKind(QStringLiteral("tts-audio"));
    ASSERT_EQ(whole.size(), 1);
    EXPECT_EQ(audio->bytes().size(), whole[0][QStringLiteral("bytes")].toInt());
    EXPECT_LT(first * 4, audio->bytes().size());
    EXPECT_EQ(recorded(QStringLiteral("tts-frame")), 5);
}

TEST_F(SpeechStreams, ABrokenOrStalledStreamKeepsWhatCameAndSaysWhy)
{
    useScenario(R"({"synthesis":{"frames":{"断":5,"停":5},"spreadMs":{"断":200,"停":200},
                                 "failAfterFrames":{"断":2},"stallAfterFrames":{"停":3}}})");
    const std::shared_ptr<AudioStream> broken = service->streamSpeech(QStringLiteral("说到这里就断了。"), config);
    const std::shared_ptr<AudioStream> stalled = service->streamSpeech(QStringLiteral("说到这里就停了。"), config);
    ASSERT_TRUE(ends(*broken));
    ASSERT_TRUE(broken->error());
    EXPECT_EQ(broken->error()->description, QStringLiteral("TTS 任务失败"));
    EXPECT_FALSE(broken->bytes().isEmpty()) << "the two frames that came are kept";
    ASSERT_TRUE(ends(*stalled)) << "a stalled stream is given up on";
    ASSERT_TRUE(stalled->error());
    EXPECT_EQ(stalled->error()->description, QStringLiteral("TTS 合成超时"));
    EXPECT_FALSE(stalled->bytes().isEmpty());
}

TEST_F(SpeechStreams, APreparedConnectionServesTheNextSentenceAndIsClosedWhenNotNeeded)
{
    service->prepareSpeech(config);
    ASSERT_TRUE(waitUntil([&] { return recorded(QStringLiteral("ws-upgrade")) == 1; }, 3000));
    service->prepareSpeech(config); // once is enough
    TestSupport::settle(100);
    EXPECT_EQ(recorded(QStringLiteral("ws-upgrade")), 1);
    EXPECT_EQ(recorded(QStringLiteral("ws-text")), 0) << "no task before there is a sentence";

    const std::shared_ptr<AudioStream> first = service->streamSpeech(QStringLiteral("第一句。"), config);
    ASSERT_TRUE(ends(*first));
    EXPECT_FALSE(first->error());
    EXPECT_EQ(recorded(QStringLiteral("ws-upgrade")), 1) << "the sentence used the prepared connection";
    const std::shared_ptr<AudioStream> second = service->streamSpeech(QStringLiteral("第二句。"), config);
    ASSERT_TRUE(ends(*second));
    EXPECT_EQ(recorded(QStringLiteral("ws-upgrade")), 2) << "later sentences open their own";

    // Prepared for a question that then was not asked: closed, no task.
    TestSupport::settle(200); // the finished sentences' connections have gone
    const qsizetype texts = recorded(QStringLiteral("ws-text"));
    const qsizetype gone = recorded(QStringLiteral("ws-disconnected")) + recorded(QStringLiteral("ws-close"));
    service->prepareSpeech(config);
    ASSERT_TRUE(waitUntil([&] { return recorded(QStringLiteral("ws-upgrade")) == 3; }, 3000));
    service->dropPreparedSpeech();
    EXPECT_TRUE(waitUntil([&] {
        return recorded(QStringLiteral("ws-disconnected")) + recorded(QStringLiteral("ws-close")) > gone;
    }, 3000)) << "the unused connection stays open";
    EXPECT_EQ(recorded(QStringLiteral("ws-text")), texts);
}

// The speech service "openai": the stand-in as that server on 127.0.0.1.
class OpenAISpeech : public SpeechStreams
{
protected:
    void SetUp() override
    {
        SpeechStreams::SetUp();
        config.speechService = QStringLiteral("openai");
        config.speechBaseURL = QStringLiteral("http://127.0.0.1:%1/v1").arg(server.port());
        service->setHostKeys([this](QString host) {
            hostsAsked << host;
            return keyNow(hostKeys.contains(host) ? std::optional(hostKeys.value(host)) : std::nullopt);
        });
    }
    QJsonObject lastSpeech() const { return server.recorder().recordsOfKind(QStringLiteral("speech")).value(recorded(QStringLiteral("speech")) - 1); }

    QHash<QString, QString> hostKeys;
    QStringList hostsAsked;
};

TEST_F(OpenAISpeech, TheServerGetsItsHostsKeyOrNoneAndTheClipStreamsIn)
{
    // Its host's own key, which that host alone takes; never the service's.
    hostKeys.insert(QStringLiteral("127.0.0.1"), QStringLiteral("sk-speech-host-key-42"));
    useScenario(R"({"hostKeys":{"127.0.0.1":"sk-speech-host-key-42"},"audio":{"chunkBytes":512,"chunkDelayMs":60}})");
    config.speechModel = QStringLiteral("tts-1");
    config.speechVoice = QStringLiteral("nova");
    const std::shared_ptr<AudioStream> audio = service->streamSpeech(QStringLiteral("你好，世界。"), config);
    ASSERT_TRUE(waitUntil([&] { return !audio->bytes().isEmpty(); }, 5000));
    EXPECT_FALSE(audio->isFinished()) << "the first bytes play before the clip is whole";
    ASSERT_TRUE(ends(*audio));
    EXPECT_FALSE(audio->error()) << audio->error()->description.toStdString();
    EXPECT_TRUE(audio->bytes().size() > 2000);
    const QJsonObject speech = lastSpeech();
    EXPECT_EQ(speech[QStringLiteral("status")].toInt(), 200);
    EXPECT_EQ(speech[QStringLiteral("authorization")].toString(), QStringLiteral("Bearer sk-s****y-42"));
    EXPECT_EQ(speech[QStringLiteral("json")].toObject(),
              (QJsonObject{{QStringLiteral("model"), QStringLiteral("tts-1")}, {QStringLiteral("voice"), QStringLiteral("nova")},
                           {QStringLiteral("input"), QStringLiteral("你好，世界。")}, {QStringLiteral("response_format"), QStringLiteral("mp3")}}));
    EXPECT_EQ(hostsAsked.last(), QStringLiteral("127.0.0.1"));
    service->prepareSpeech(config);
    TestSupport::settle(200);
    EXPECT_EQ(recorded(QStringLiteral("ws-upgrade")), 0) << "nothing of the service's duplex endpoint";

    // A server on the user's own machine, no key stored: no key at all.
    hostKeys.clear();
    useScenario(R"({"audio":{"keylessHosts":["127.0.0.1"]}})");
    const std::shared_ptr<AudioStream> local = service->streamSpeech(QStringLiteral("本机。"), config);
    ASSERT_TRUE(ends(*local));
    EXPECT_FALSE(local->error());
    EXPECT_EQ(lastSpeech()[QStringLiteral("authorization")].toString(), QString()) << "the service's key stays home";
}

TEST_F(OpenAISpeech, ItsRefusalsAreShownInItsWordsAndItsSilenceIsBounded)
{
    const struct
    {
        const char *scenario;
        const char *model;
        const char *description;
    } cases[] = {
        {R"({})", "tts-1", "语音合成失败 (401): Incorrect API key provided."},
        {R"({"audio":{"keylessHosts":["127.0.0.1"]}})", "no-such-voice-model",
         "语音合成失败 (404): The model `no-such-voice-model` does not exist."},
        {R"({"audio":{"keylessHosts":["127.0.0.1"],"fault":{"type":"http-error","status":503,"body":{"error":{"message":"overloaded"}}}}})",
         "tts-1", "语音合成失败 (503): overloaded"},
        {R"({"audio":{"keylessHosts":["127.0.0.1"],"fault":{"type":"never-answer"}}})", "tts-1", "语音合成超时"},
    };
    for (const auto &c : cases) {
        useScenario(c.scenario);
        config.speechModel = QString::fromLatin1(c.model);
        const std::shared_ptr<AudioStream> audio = service->streamSpeech(QStringLiteral("你好。"), config);
        ASSERT_TRUE(ends(*audio)) << c.scenario;
        ASSERT_TRUE(audio->error()) << c.scenario;
        EXPECT_EQ(audio->error()->description, QString::fromUtf8(c.description));
    }
    config.speechBaseURL = QStringLiteral("not a url");
    const std::shared_ptr<AudioStream> nowhere = service->streamSpeech(QStringLiteral("你好。"), config);
    ASSERT_TRUE(ends(*nowhere));
    ASSERT_TRUE(nowhere->error());
    EXPECT_EQ(recorded(QStringLiteral("speech")), 4) << "an address that is no URL is never asked";
}

} // namespace
