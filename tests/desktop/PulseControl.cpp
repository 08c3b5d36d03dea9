#include "PulseControl.h"

#include <QFile>
#include <QProcess>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>

namespace PulseControl {

bool pactl(const QStringList &args, QByteArray *output)
{
    QProcess process;
    process.start(QStringLiteral("pactl"), args);
    if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return false;
    if (output)
        *output = process.readAllStandardOutput().trimmed();
    return true;
}

TestMicrophone::TestMicrophone(const QString &name, Kind kind)
{
    if (!pactl({QStringLiteral("load-module"), QStringLiteral("module-null-sink"),
                QStringLiteral("sink_name=%1_sink").arg(name), QStringLiteral("rate=16000"), QStringLiteral("channels=1")},
               &m_sinkModule))
        return;
    pactl({QStringLiteral("load-module"), QStringLiteral("module-remap-source"),
           QStringLiteral("master=%1_sink.monitor").arg(name), QStringLiteral("source_name=%1").arg(name),
           QStringLiteral("source_properties='device.description=%1%2'")
               .arg(name, kind == Kind::BuiltIn ? QStringLiteral(" device.form_factor=internal") : QString())},
          &m_sourceModule);
}

TestMicrophone::~TestMicrophone()
{
    remove();
    if (!m_sinkModule.isEmpty())
        pactl({QStringLiteral("unload-module"), QString::fromLatin1(m_sinkModule)});
    pactl({QStringLiteral("set-default-source"), QStringLiteral("vmic")});
}

void TestMicrophone::remove()
{
    if (m_sourceModule.isEmpty())
        return;
    pactl({QStringLiteral("unload-module"), QString::fromLatin1(m_sourceModule)});
    m_sourceModule.clear();
}

TestSpeaker::TestSpeaker(const QString &name)
{
    pactl({QStringLiteral("load-module"), QStringLiteral("module-null-sink"), QStringLiteral("sink_name=%1").arg(name)},
          &m_module);
}

TestSpeaker::~TestSpeaker()
{
    if (!m_module.isEmpty())
        pactl({QStringLiteral("unload-module"), QString::fromLatin1(m_module)});
}

PrivateAudioServer::PrivateAudioServer()
{
    // Its own runtime and configuration folders: nothing of the session's server is touched.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.path());
    env.insert(QStringLiteral("HOME"), m_dir.path());
    // Off the session bus, whose server name the session's audio server holds.
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent"));
    env.remove(QStringLiteral("DISPLAY"));
    m_server.setProcessEnvironment(env);
    // Gone with the test even when the test crashes: nothing sweeps its folder.
    m_server.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_server.setStandardOutputFile(QProcess::nullDevice());
    m_server.setStandardErrorFile(m_dir.filePath(QStringLiteral("server.log")), QIODevice::Append);
}

PrivateAudioServer::~PrivateAudioServer()
{
    stop();
}

QByteArray PrivateAudioServer::address() const
{
    return "unix:" + m_dir.filePath(QStringLiteral("native")).toUtf8();
}

bool PrivateAudioServer::start()
{
    m_server.start(QStringLiteral("pulseaudio"),
                   {QStringLiteral("-n"), QStringLiteral("--daemonize=no"), QStringLiteral("--exit-idle-time=-1"),
                    QStringLiteral("--log-target=stderr"),
                    QStringLiteral("-L"), QStringLiteral("module-native-protocol-unix socket=%1 auth-anonymous=1")
                                              .arg(m_dir.filePath(QStringLiteral("native"))),
                    QStringLiteral("-L"), QStringLiteral("module-null-sink sink_name=privmic_sink"),
                    QStringLiteral("-L"), QStringLiteral("module-remap-source master=privmic_sink.monitor source_name=privmic")});
    if (!m_server.waitForStarted(5000))
        return false;
    for (int i = 0; i < 50; ++i) {
        QProcess info;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PULSE_SERVER"), QString::fromUtf8(address()));
        info.setProcessEnvironment(env);
        info.start(QStringLiteral("pactl"), {QStringLiteral("info")});
        if (info.waitForFinished(5000) && info.exitCode() == 0)
            return true;
        QThread::msleep(100);
    }
    QFile log(m_dir.filePath(QStringLiteral("server.log")));
    log.open(QIODevice::ReadOnly);
    qWarning("the private audio server does not answer: %s", log.readAll().constData());
    return false;
}

void PrivateAudioServer::stop()
{
    if (m_server.state() == QProcess::NotRunning)
        return;
    m_server.terminate();
    if (!m_server.waitForFinished(5000)) {
        m_server.kill();
        m_server.waitForFinished(5000);
    }
}

} // namespace PulseControl
