// The chat's answer is heard as it arrives: a sentence starts with its first
// audio, the sentences keep their order whatever order their audio comes in,
// and one whose audio stalls or breaks off keeps what was heard without
// holding up the rest, and the status says the answer was not spoken whole.
#include "RunningApplication.h"
#include "SpeakerRecording.h"

#include <QJsonObject>

#include <iostream>

using TestSupport::waitUntil;

namespace {

class StreamedSpeech : public RunningApplication
{
protected:
    void heardFromItsFirstFrameInOrder();
};

TEST_F(StreamedSpeech, ASentenceIsHeardFromItsFirstFrameAndTheOrderHolds)
{
    heardFromItsFirstFrameInOrder();
}

// An output with a short latency runs dry between frames more often, and
// PulseAudio's Qt sink then neither pulls on its own nor says when the
// sound is over: each sentence must still play out and end on time.
class StreamedSpeechOnAShortLatencyOutput : public StreamedSpeech
{
protected:
    void adjustEnvironment(QProcessEnvironment &appEnv) override
    {
        appEnv.insert(QStringLiteral("PULSE_LATENCY_MSEC"), QStringLiteral("30"));
    }
};

TEST_F(StreamedSpeechOnAShortLatencyOutput, EachSentenceStillPlaysOutAndEnds)
{
    heardFromItsFirstFrameInOrder();
}

void StreamedSpeech::heardFromItsFirstFrameInOrder()
{
    // Sentence 0 streams in ten frames over 1.5 s (its 0.96 s of sound
    // outruns them); sentence 1 arrives whole long before it has ended.
    useScenario(R"({"chat":{"defaultAnswer":"第一句话在这里。第二句话在这里。第三句话在这里。","chunkChars":4},
                    "synthesis":{"toneHz":{"第一句":440,"第二句":660,"第三句":880},
                                 "frames":{"第一句":10},"spreadMs":{"第一句":1500}}})");
    SpeakerRecording speaker;
    holdAndSpeak(QStringLiteral("ctrl"));
    ASSERT_TRUE(waitUntil([this] { return idleWith(QStringLiteral("回复已完成")); }, 15000));
    speaker.stop();

    QList<QJsonObject> firstFrames;
    for (const QJsonObject &frame : server.recorder().recordsOfKind(QStringLiteral("tts-frame"))) {
        if (frame[QStringLiteral("text")].toString().startsWith(QStringLiteral("第一句")))
            firstFrames << frame;
    }
    ASSERT_EQ(firstFrames.size(), 10);
    const qint64 firstFrameAt = server.recorder().startedAt() + firstFrames[0][QStringLiteral("time_ms")].toInteger();
    const qint64 lastFrameAt = server.recorder().startedAt() + firstFrames[9][QStringLiteral("time_ms")].toInteger();
    const std::optional<qint64> heardAt = speaker.firstSoundAfter(firstFrameAt - 500);
    ASSERT_TRUE(heardAt.has_value()) << "nothing was heard";
    std::cout << "first sound " << *heardAt - firstFrameAt << " ms after the first frame; last frame at "
              << lastFrameAt - firstFrameAt << " ms\n";
    EXPECT_LE(*heardAt - firstFrameAt, 150) << "the first sound came long after the first frame";
    EXPECT_LT(*heardAt, lastFrameAt) << "the sentence waited for its last frame";
    EXPECT_TRUE(speaker.heardPitches({440, 660, 880})) << speaker.heardText();
    EXPECT_FALSE(logged(QStringLiteral("播放失败")));
}

// The synthesis gives up after 3 s rather than 15.
class StreamedSpeechWithShortWaits : public RunningApplication
{
protected:
    void adjustEnvironment(QProcessEnvironment &appEnv) override
    {
        appEnv.insert(QStringLiteral("QUILLWREN_TIMEOUT_SCALE"), QStringLiteral("0.2"));
    }
};

TEST_F(StreamedSpeechWithShortWaits, AStalledOrBrokenSentenceKeepsWhatWasHeardAndTheRestIsSpoken)
{
    // Sentence 0 breaks off after 4 of its 10 frames; sentence 1 stalls
    // after 4 (its synthesis gives up); sentence 2 comes whole.
    useScenario(R"({"chat":{"defaultAnswer":"第一句话说得很长很长。第二句话说得很长很长。第三句话在这里。","chunkChars":4},
                    "synthesis":{"toneHz":{"第一句":440,"第二句":660,"第三句":880},
                                 "frames":{"第一句":10,"第二句":10},"spreadMs":{"第一句":500,"第二句":500},
                                 "failAfterFrames":{"第一句":4},"stallAfterFrames":{"第二句":4}}})");
    SpeakerRecording speaker;
    holdAndSpeak(QStringLiteral("ctrl"));
    const QString ending = endingStatus();
    speaker.stop();
    EXPECT_TRUE(ending.startsWith(QStringLiteral("回复中断："))) << ending.toStdString();
    EXPECT_TRUE(speaker.heardPitches({440, 660, 880})) << speaker.heardText() << "; what came of each is heard, in order";
    EXPECT_EQ(server.recorder().recordsOfKind(QStringLiteral("tts-stalled")).size(), 1);
    EXPECT_TRUE(logged(QStringLiteral("⚠️ [TTS-流水线] 第 1 句合成失败，跳过：TTS 合成超时")));
}

} // namespace
