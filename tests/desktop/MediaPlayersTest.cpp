// Other sound is paused while the user speaks: media players on the session
// bus (MPRIS), each a player of the test's own.
#include "FakeMediaPlayer.h"
#include "TestSupport.h"
#include "freedesktop/MprisMediaPlayers.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

using TestSupport::settle;
using TestSupport::waitUntil;

namespace {

const QString kPause = QStringLiteral("Pause"), kPlay = QStringLiteral("Play"), kPlaying = QStringLiteral("Playing"),
              kPaused = QStringLiteral("Paused");

TEST(MprisMediaPlayers, PausesWhatPlaysAndPlaysAgainOnlyWhatItPausedThatIsStillPaused)
{
    FakeMediaPlayer music(QStringLiteral("music"), kPlaying), video(QStringLiteral("video"), kPaused),
        podcast(QStringLiteral("podcast"), kPlaying), radio(QStringLiteral("radio"), kPlaying),
        stopped(QStringLiteral("stopped"), QStringLiteral("Stopped"));
    for (const FakeMediaPlayer *player : {&music, &video, &podcast, &radio, &stopped})
        ASSERT_TRUE(player->isServing());
    MprisMediaPlayers players;

    QElapsedTimer spent;
    spent.start();
    players.pausePlaying();
    EXPECT_LT(spent.elapsed(), MprisMediaPlayers::kReplyTimeoutMs) << "the take never waits for the players";
    ASSERT_TRUE(waitUntil([&] { return !music.calls().isEmpty() && !podcast.calls().isEmpty() && !radio.calls().isEmpty(); },
                          3000));
    settle(200);
    EXPECT_EQ(players.heldPlayers().size(), 3);
    for (const FakeMediaPlayer *player : {&music, &podcast, &radio})
        EXPECT_EQ(player->calls(), QStringList{kPause});
    EXPECT_EQ(video.calls(), QStringList()) << "a paused player is not touched";
    EXPECT_EQ(stopped.calls(), QStringList());

    // Meanwhile the user resumes the podcast and closes the radio.
    podcast.setStatus(kPlaying);
    radio.close();
    ASSERT_TRUE(waitUntil([&] { return players.heldPlayers().size() == 2; }, 3000)) << "the resumed one is forgotten";
    players.resumePaused();
    ASSERT_TRUE(waitUntil([&] { return music.calls().size() == 2; }, 3000));
    settle(300);
    EXPECT_EQ(music.calls(), (QStringList{kPause, kPlay}));
    EXPECT_EQ(music.playbackStatus(), kPlaying);
    EXPECT_EQ(podcast.calls(), QStringList{kPause}) << "resumed by the user: left alone";
    EXPECT_EQ(radio.calls(), QStringList{kPause});
    EXPECT_EQ(video.calls(), QStringList());
    EXPECT_TRUE(players.heldPlayers().isEmpty());

    // A take that starts while the last one's players are being played
    // again keeps them paused, and plays them at its own end.
    podcast.setStatus(kPaused);
    players.pausePlaying();
    players.resumePaused();
    players.pausePlaying();
    settle(500);
    EXPECT_EQ(music.playbackStatus(), kPaused) << music.calls().join(QLatin1Char(' ')).toStdString();
    players.resumePaused();
    ASSERT_TRUE(waitUntil([&] { return music.playbackStatus() == kPlaying; }, 3000));
    settle(300);
    for (const FakeMediaPlayer *player : {&music, &video, &podcast, &stopped})
        EXPECT_FALSE(player->calls().contains(QStringLiteral("PlayPause"))) << "never a toggle";
    EXPECT_EQ(podcast.calls(), QStringList{kPause}) << "paused by the user before the take: left alone";
}

TEST(MprisMediaPlayers, WithNoPlayersOrNoBusNothingHappens)
{
    MprisMediaPlayers players;
    players.pausePlaying();
    settle(300);
    EXPECT_TRUE(players.heldPlayers().isEmpty());
    players.resumePaused();

    MprisMediaPlayers unconnected(QDBusConnection(QStringLiteral("no-such-connection")));
    unconnected.pausePlaying();
    unconnected.resumePaused();
    EXPECT_TRUE(unconnected.heldPlayers().isEmpty());
}

} // namespace
