#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Drives the session's audio server with pactl, for tests that add and take
// away microphones.
namespace PulseControl {

// Runs pactl; whether it succeeded. Its standard output, trimmed, goes to output.
bool pactl(const QStringList &args, QByteArray *output = nullptr);

// A microphone "NAME" fed from the sink "NAME_sink" (paplay --device=NAME_sink
// speaks into it), like the session's own "vmic". Removed when destroyed, and
// the session's default microphone is set back to "vmic".
class TestMicrophone
{
public:
    enum class Kind { Plugged, BuiltIn }; // a built-in one says so to the server, as a laptop's does
    explicit TestMicrophone(const QString &name, Kind kind = Kind::Plugged);
    ~TestMicrophone();
    TestMicrophone(const TestMicrophone &) = delete;
    TestMicrophone &operator=(const TestMicrophone &) = delete;

    bool isLoaded() const { return !m_sourceModule.isEmpty(); }
    // Takes the microphone away (the source only, the sink stays), as an unplug would.
    void remove();

private:
    QByteArray m_sinkModule;
    QByteArray m_sourceModule;
};

// A sink with no microphone of its own: only its monitor appears as a source.
class TestSpeaker
{
public:
    explicit TestSpeaker(const QString &name);
    ~TestSpeaker();
    TestSpeaker(const TestSpeaker &) = delete;
    TestSpeaker &operator=(const TestSpeaker &) = delete;

private:
    QByteArray m_module;
};

// An audio server of the test's own, on a socket of its own, with one
// microphone "privmic": for tests that stop and start the server.
class PrivateAudioServer
{
public:
    PrivateAudioServer();
    ~PrivateAudioServer();
    PrivateAudioServer(const PrivateAudioServer &) = delete;
    PrivateAudioServer &operator=(const PrivateAudioServer &) = delete;

    // The address for PULSE_SERVER.
    QByteArray address() const;
    // Starts the server; true once it answers.
    bool start();
    void stop();

private:
    QTemporaryDir m_dir;
    QProcess m_server;
};

} // namespace PulseControl
