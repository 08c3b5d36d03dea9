#include "AutostartEntry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace AutostartEntry {

QString path()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/autostart/quillwren.desktop");
}

bool isEnabled()
{
    return QFileInfo::exists(path());
}

QString contents(const QString &program)
{
    // An Exec argument with spaces or reserved characters is quoted, with
    // those characters escaped inside the quotes (and backslashes doubled
    // again, as in every value of a desktop entry).
    QString exec = program;
    exec.replace(QLatin1Char('\\'), QStringLiteral("\\\\\\\\"))
        .replace(QLatin1Char('"'), QStringLiteral("\\\\\""))
        .replace(QLatin1Char('`'), QStringLiteral("\\\\`"))
        .replace(QLatin1Char('$'), QStringLiteral("\\\\$"));
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Quillwren\n"
                          "Comment=Voice input and chat assistant\n"
                          "Comment[zh_CN]=智能语音输入和聊天助手\n"
                          "Exec=\"%1\" run\n"
                          "Icon=quillwren\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(exec);
}

bool setEnabled(bool enabled, const QString &program)
{
    if (!enabled)
        return !QFileInfo::exists(path()) || QFile::remove(path());
    if (!QDir().mkpath(QFileInfo(path()).absolutePath()))
        return false;
    QSaveFile file(path());
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(contents(program).toUtf8());
    return file.commit();
}

} // namespace AutostartEntry
