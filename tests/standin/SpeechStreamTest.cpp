// A sentence's speech as it arrives from the stand-in: frame by frame, cut
// short by a failure or a stall (what came is kept), and on a connection
// opened ahead of time.
#include "DashScopeAPIService.h"
#include "StandinClient.h"
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

} // namespace
