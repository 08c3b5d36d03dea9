#include "pulse/PulseAudioInputWatcher.h"
#include "PulseControl.h"
#include "TestSupport.h"

#include <QProcess>

#include <gtest/gtest.h>

using PulseControl::TestMicrophone;
using PulseControl::TestSpeaker;
using TestSupport::waitUntil;

namespace {

void settle(int ms)
{
    waitUntil([] { return false; }, ms);
}

// Against the session's real audio server (PulseAudio with the virtual microphone "vmic").
TEST(AudioInputWatcher, ReportsMicrophonesComingAndGoingAndTheUsersDefault)
{
    PulseAudioInputWatcher watcher;
    int changes = 0;
    QObject::connect(&watcher, &AudioInputWatcher::inputsChanged, [&] { ++changes; });
    ASSERT_TRUE(waitUntil([&] { return watcher.isConnected(); }));
    EXPECT_EQ(watcher.defaultInputId(), QByteArray("vmic"));
    settle(200);
    EXPECT_EQ(changes, 0) << "what is there at the start is no change";

    {
        TestSpeaker speaker(QStringLiteral("quiet_speaker"));
        settle(500);
        EXPECT_EQ(changes, 0) << "a new output's monitor is not a microphone";
    }
    settle(300);
    EXPECT_EQ(changes, 0) << "nor is its removal";

    TestMicrophone headset(QStringLiteral("headset"));
    ASSERT_TRUE(headset.isLoaded());
    ASSERT_TRUE(waitUntil([&] { return changes == 1; })) << "a microphone was plugged in";
    EXPECT_FALSE(watcher.isBuiltIn("headset"));
    {
        TestMicrophone laptop(QStringLiteral("laptop"), TestMicrophone::Kind::BuiltIn);
        ASSERT_TRUE(waitUntil([&] { return changes == 2; }));
        EXPECT_TRUE(watcher.isBuiltIn("laptop"));
    }
    ASSERT_TRUE(waitUntil([&] { return changes == 3; }));
    EXPECT_FALSE(watcher.isBuiltIn("laptop")) << "gone with the microphone";

    ASSERT_TRUE(PulseControl::pactl({QStringLiteral("set-default-source"), QStringLiteral("headset")}));
    ASSERT_TRUE(waitUntil([&] { return changes == 4; })) << "the user chose another default";
    EXPECT_EQ(watcher.defaultInputId(), QByteArray("headset"));

    // Recording from it changes its state; that is not a change of the inputs.
    QProcess recorder;
    recorder.start(QStringLiteral("parecord"), {QStringLiteral("--device=headset"), QStringLiteral("/dev/null")});
    settle(800);
    recorder.kill();
    recorder.waitForFinished();
    settle(200);
    EXPECT_EQ(changes, 4);

    headset.remove();
    ASSERT_TRUE(waitUntil([&] { return changes >= 5; })) << "the microphone was unplugged";
    EXPECT_NE(watcher.defaultInputId(), QByteArray("headset")) << "the server chose another default";
}

TEST(AudioInputWatcher, WithoutAServerItStaysSilentAndKnowsNoDefault)
{
    TestSupport::LogCapture log;
    const QByteArray server = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", "unix:/nonexistent");
    {
        PulseAudioInputWatcher watcher;
        int changes = 0;
        QObject::connect(&watcher, &AudioInputWatcher::inputsChanged, [&] { ++changes; });
        EXPECT_TRUE(waitUntil([&] { return !log.linesStartingWith(QStringLiteral("ℹ️ [Audio] 无法连接音频服务器")).isEmpty(); }));
        EXPECT_FALSE(watcher.isConnected());
        EXPECT_TRUE(watcher.defaultInputId().isEmpty());
        EXPECT_EQ(changes, 0);
    }
    if (server.isNull())
        qunsetenv("PULSE_SERVER");
    else
        qputenv("PULSE_SERVER", server);
}

} // namespace
