#include "Mp3Player.h"
#include "Mp3Synth.h"
#include "TestSupport.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

TEST(Mp3Player, AClipOfTheServiceDecodesToItsWholeLength)
{
    // The stand-in's clip for ten characters: 1.2 s of tone at 22050 Hz, mono.
    const Result<Mp3Player::Pcm> pcm = Mp3Player::decode(Mp3Synth::tone(QString(10, QChar(u'字'))));
    ASSERT_TRUE(pcm) << pcm.error().description.toStdString();
    EXPECT_EQ(pcm.value().format.sampleRate(), 22050);
    EXPECT_EQ(pcm.value().format.channelCount(), 1);
    EXPECT_EQ(pcm.value().format.sampleFormat(), QAudioFormat::Int16);
    const double seconds = pcm.value().format.durationForBytes(qint32(pcm.value().samples.size())) / 1e6;
    EXPECT_NEAR(seconds, 1.2, 0.06) << "the encoder's padding is all that may differ";
}

TEST(Mp3Player, WhatIsNoMp3FailsAtOnceAndReportsNothingLater)
{
    for (const QByteArray &bad : {QByteArray(), QByteArray("not an mp3 at all"), QByteArray(5000, '\xff')}) {
        const Result<Mp3Player::Pcm> pcm = Mp3Player::decode(bad);
        ASSERT_FALSE(pcm) << bad.size();
        EXPECT_EQ(pcm.error().domain, QStringLiteral("AudioError"));
        EXPECT_TRUE(pcm.error().description.startsWith(QStringLiteral("音频解码错误："))) << pcm.error().description.toStdString();
    }
    Mp3Player player;
    QSignalSpy finished(&player, &ClipPlayer::finishedPlaying);
    QSignalSpy failed(&player, &ClipPlayer::decodeErrorOccurred);
    EXPECT_FALSE(player.play("not an mp3 at all"));
    TestSupport::settle(50);
    EXPECT_EQ(finished.count() + failed.count(), 0) << "a clip that never started ends nothing";
}

} // namespace
