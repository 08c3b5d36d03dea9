#include "PulseControl.h"

#include <QProcess>

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

} // namespace PulseControl
