#include "pulse/PulseAudioInputWatcher.h"
#include "PulseControl.h"
#include "TestSupport.h"

#include <QProcess>

#include <gtest/gtest.h>

using PulseControl::TestMicrophone;
using PulseControl::TestSpeaker;
using TestSupport::settle;
using TestSupport::waitUntil;

namespace {

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
    // The server announces the removal and its new default one after the other.
    EXPECT_TRUE(waitUntil([&] { return watcher.defaultInputId() != QByteArray("headset"); }))
        << "the server chose another default";
}

// Points this process's audio clients at another server while it lives.
class ServerAddress
{
public:
    explicit ServerAddress(const QByteArray &address) : m_saved(qgetenv("PULSE_SERVER")) { qputenv("PULSE_SERVER", address); }
    ~ServerAddress()
    {
        if (m_saved.isNull())
            qunsetenv("PULSE_SERVER");
        else
            qputenv("PULSE_SERVER", m_saved);
    }

private:
    QByteArray m_saved;
};

TEST(AudioInputWatcher, FindsAServerThatComesLateAndOneThatComesBack)
{
    TestSupport::LogCapture log;
    PulseControl::PrivateAudioServer server;
    ServerAddress address(server.address());
    PulseAudioInputWatcher watcher;
    int changes = 0;
    QObject::connect(&watcher, &AudioInputWatcher::inputsChanged, [&] { ++changes; });
    EXPECT_TRUE(waitUntil([&] { return !log.linesStartingWith(QStringLiteral("ℹ️ [Audio] 无法连接音频服务器，稍后重试")).isEmpty(); }));
    EXPECT_FALSE(watcher.isConnected());
    EXPECT_TRUE(watcher.defaultInputId().isEmpty());
    settle(1500);
    EXPECT_EQ(log.linesStartingWith(QStringLiteral("ℹ️ [Audio] 无法连接音频服务器")).size(), 1) << "said once, not per retry";

    // The server starts after the program (a login where the audio server comes second).
    ASSERT_TRUE(server.start());
    ASSERT_TRUE(waitUntil([&] { return watcher.isConnected(); }, 8000));
    EXPECT_EQ(watcher.defaultInputId(), QByteArray("privmic"));
    EXPECT_TRUE(waitUntil([&] { return !log.linesStartingWith(QStringLiteral("✅ [Audio] 已连接音频服务器")).isEmpty(); }));
    EXPECT_EQ(changes, 0) << "the first server the watcher sees is the starting point";

    // The server restarts (an update of the audio system).
    server.stop();
    ASSERT_TRUE(waitUntil([&] { return !log.linesStartingWith(QStringLiteral("⚠️ [Audio] 与音频服务器的连接已断开，稍后重连")).isEmpty(); }));
    EXPECT_FALSE(watcher.isConnected());
    EXPECT_TRUE(watcher.defaultInputId().isEmpty());
    ASSERT_TRUE(server.start());
    ASSERT_TRUE(waitUntil([&] { return watcher.isConnected() && changes == 1; }, 8000))
        << "a server that comes back may have other inputs: a recording must restart its capture";
    EXPECT_EQ(watcher.defaultInputId(), QByteArray("privmic"));
}

} // namespace
