#pragma once

#include <QProcessEnvironment>
#include <QString>

// The kind of graphical session this process runs in, read from the
// environment the session manager sets: X11 or Wayland, which desktop
// family, and whether an X display (the X server, or XWayland in a Wayland
// session) can be reached.
struct SessionInfo
{
    enum class Type { X11, Wayland, None };
    enum class Desktop { Gnome, Kde, Wlroots, Other };

    Type type = Type::None;
    Desktop desktop = Desktop::Other;
    // As the session names itself ($XDG_CURRENT_DESKTOP), or the compositor
    // found from its own variables.
    QString desktopName;
    // $DISPLAY: the X server, or XWayland in a Wayland session.
    QString xDisplay;
    bool hasXDisplay = false;
    bool hasWaylandDisplay = false;

    static SessionInfo fromEnvironment(const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment());

    bool isWayland() const { return type == Type::Wayland; }
    // "Wayland (sway), XWayland :1" and the like, for the log and `doctor`.
    QString describe() const;
};
