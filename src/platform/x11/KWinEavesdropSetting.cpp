#include "KWinEavesdropSetting.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace KWinEavesdropSetting {

Mode parse(const QString &kwinrc)
{
    bool inGroup = false;
    Mode mode = Mode::NotSet;
    for (QString line : kwinrc.split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = line == QLatin1String("[Xwayland]");
            continue;
        }
        if (!inGroup || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0)
            continue;
        // KConfig keys may carry flags such as "[$i]" (immutable).
        QString key = line.left(equals).trimmed();
        if (const qsizetype flags = key.indexOf(QLatin1Char('[')); flags >= 0)
            key = key.left(flags);
        if (key != QLatin1String("XwaylandEavesdrops"))
            continue;
        const QString value = line.mid(equals + 1).trimmed();
        // The last line of the group wins, as in KConfig.
        mode = value == QLatin1String("None")           ? Mode::NoKeys
               : value == QLatin1String("Modifiers")    ? Mode::Modifiers
               : value == QLatin1String("Combinations") ? Mode::Combinations
               : value == QLatin1String("All")          ? Mode::All
                                                        : Mode::Unknown;
    }
    return mode;
}

Mode read()
{
    const QString userConfig = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    for (const QString &path : {userConfig + QStringLiteral("/kwinrc"), QStringLiteral("/etc/xdg/kwinrc")}) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        if (const Mode mode = parse(QString::fromUtf8(file.readAll())); mode != Mode::NotSet)
            return mode;
    }
    return Mode::NotSet;
}

bool enoughForModeKeys(Mode mode)
{
    return mode == Mode::Combinations || mode == Mode::All;
}

QString name(Mode mode)
{
    switch (mode) {
    case Mode::NotSet:
        return QStringLiteral("not set");
    case Mode::NoKeys:
        return QStringLiteral("None");
    case Mode::Modifiers:
        return QStringLiteral("Modifiers");
    case Mode::Combinations:
        return QStringLiteral("Combinations");
    case Mode::All:
        return QStringLiteral("All");
    case Mode::Unknown:
        break;
    }
    return QStringLiteral("unrecognised");
}

QString fix(Mode mode)
{
    if (enoughForModeKeys(mode))
        return {};
    QString why = mode == Mode::Modifiers
                      ? QStringLiteral("KWin shows X11 programs only the modifiers (XwaylandEavesdrops=Modifiers), so "
                                       "a slow Ctrl+C would start a take; ")
                      : QStringLiteral("KWin hides the keys of Wayland windows from X11 programs (XwaylandEavesdrops=%1); ")
                            .arg(name(mode));
    return why
           + QStringLiteral("run `kwriteconfig5 --file kwinrc --group Xwayland --key XwaylandEavesdrops Combinations` "
                            "(kwriteconfig6 on Plasma 6), or in System Settings → Legacy X11 App Support let X11 apps read "
                            "the keys typed while Control, Alt or Meta is held; then log out and in again");
}

} // namespace KWinEavesdropSetting
