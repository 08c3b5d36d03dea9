#include "Mp3Player.h"
#include "Mp3Synth.h"
#include "TestSupport.h"

#include <QElapsedTimer>
#include <QSignalSpy>

#include <gtest/gtest.h>

using TestSupport::runTool;

namespace {

// The session's audio server plays into the "speaker" null sink.
class Mp3Playback : public ::testing::Test
{
protected:
    void TearDown() override { runTool(QStringLiteral("pactl"), {QStringLiteral("suspend-sink"), QStringLiteral("speaker"), QStringLiteral("0")}); }

    Mp3Player player;
    QSignalSpy finished{&player, &ClipPlayer::finishedPlaying};
    QSignalSpy failed{&player, &ClipPlayer::decodeErrorOccurred};
};

TEST_F(Mp3Playback, AClipPlaysToItsEndOnTheDefaultOutput)
{
    const QByteArray clip = Mp3Synth::tone(QStringLiteral("你好")); // 0.3 s
    QElapsedTimer timer;
    timer.start();
    ASSERT_TRUE(player.play(clip));
    ASSERT_TRUE(finished.wait(5000));
    // Well past "at once", short of the clip's length: the sink may report
    // the end a few milliseconds before the last sample is heard (249 ms once).
    EXPECT_GE(timer.elapsed(), 200) << "it ended when the sound did, not at once";
    EXPECT_EQ(failed.count(), 0);
}

TEST_F(Mp3Playback, AStalledOutputEndsTheClipWithAnErrorInsteadOfForever)
{
    // A suspended sink takes no audio: the clip never drains.
    ASSERT_EQ(runTool(QStringLiteral("pactl"), {QStringLiteral("suspend-sink"), QStringLiteral("speaker"), QStringLiteral("1")}), 0);
    const QByteArray clip = Mp3Synth::tone(QStringLiteral("你好")); // 0.3 s
    QElapsedTimer timer;
    timer.start();
    ASSERT_TRUE(player.play(clip));
    ASSERT_TRUE(failed.wait(Mp3Player::kStallMarginMs + 3000)) << "the clip must end";
    EXPECT_LT(timer.elapsed(), 300 + Mp3Player::kStallMarginMs + 1000);
    EXPECT_EQ(finished.count(), 0);
    const auto error = failed.first().first().value<std::optional<ServiceError>>();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain, QStringLiteral("AudioError"));
}

} // namespace
