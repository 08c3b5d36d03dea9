#include "SessionInfo.h"

namespace {

SessionInfo::Desktop familyOf(const QString &desktops)
{
    // XDG_CURRENT_DESKTOP is a colon-separated list, most specific first
    // ("ubuntu:GNOME", "KDE", "sway").
    for (const QString &name : desktops.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        const QString lower = name.toLower();
        if (lower == QLatin1String("gnome") || lower == QLatin1String("gnome-classic")
            || lower == QLatin1String("gnome-flashback") || lower == QLatin1String("unity"))
            return SessionInfo::Desktop::Gnome;
        if (lower == QLatin1String("kde"))
            return SessionInfo::Desktop::Kde;
        if (lower == QLatin1String("sway") || lower == QLatin1String("hyprland") || lower == QLatin1String("river")
            || lower == QLatin1String("wayfire") || lower == QLatin1String("labwc") || lower == QLatin1String("wlroots"))
            return SessionInfo::Desktop::Wlroots;
    }
    return SessionInfo::Desktop::Other;
}

} // namespace

SessionInfo SessionInfo::fromEnvironment(const QProcessEnvironment &env)
{
    SessionInfo session;
    session.xDisplay = env.value(QStringLiteral("DISPLAY"));
    session.hasXDisplay = !session.xDisplay.isEmpty();
    session.hasWaylandDisplay = !env.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty();
    const QString type = env.value(QStringLiteral("XDG_SESSION_TYPE")).toLower();
    if (type == QLatin1String("wayland") || (type != QLatin1String("x11") && session.hasWaylandDisplay))
        session.type = Type::Wayland;
    else if (session.hasXDisplay)
        session.type = Type::X11;

    session.desktopName = env.value(QStringLiteral("XDG_CURRENT_DESKTOP"));
    session.desktop = familyOf(session.desktopName);
    if (session.desktopName.isEmpty()) {
        // Compositors started by hand from a terminal set only their own variables.
        if (env.contains(QStringLiteral("SWAYSOCK")))
            session.desktopName = QStringLiteral("sway");
        else if (env.contains(QStringLiteral("HYPRLAND_INSTANCE_SIGNATURE")))
            session.desktopName = QStringLiteral("Hyprland");
        else if (env.contains(QStringLiteral("KDE_FULL_SESSION")))
            session.desktopName = QStringLiteral("KDE");
        session.desktop = familyOf(session.desktopName);
    }
    return session;
}

QString SessionInfo::describe() const
{
    QString text;
    switch (type) {
    case Type::X11:
        text = QStringLiteral("X11");
        break;
    case Type::Wayland:
        text = QStringLiteral("Wayland");
        break;
    case Type::None:
        text = QStringLiteral("no graphical session");
        break;
    }
    if (!desktopName.isEmpty())
        text += QStringLiteral(" (%1)").arg(desktopName);
    if (type == Type::Wayland)
        text += hasXDisplay ? QStringLiteral(", XWayland ") + xDisplay : QStringLiteral(", no XWayland");
    else if (type == Type::X11)
        text += QStringLiteral(", display ") + xDisplay;
    return text;
}
