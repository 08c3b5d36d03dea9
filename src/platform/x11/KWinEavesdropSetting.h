#pragma once

#include <QString>

// What KWin lets X11 clients (XWayland) see of the keys typed into Wayland
// windows: its kwinrc setting [Xwayland] XwaylandEavesdrops. With
// Combinations or All the X11 key source works in a Plasma Wayland session as
// on X11. Modifiers is not enough: the letter of Ctrl+C stays hidden, so a
// slow Ctrl+C would look like a long press of Ctrl.
namespace KWinEavesdropSetting {

enum class Mode { NotSet, NoKeys, Modifiers, Combinations, All, Unknown };

// The setting in the text of a kwinrc file (KConfig's INI dialect).
Mode parse(const QString &kwinrc);
// The user's setting: $XDG_CONFIG_HOME/kwinrc (~/.config/kwinrc), else the
// system-wide /etc/xdg/kwinrc; NotSet when neither says.
Mode read();
// Whether the X11 key source can serve the mode keys with this setting.
bool enoughForModeKeys(Mode mode);
QString name(Mode mode);
// How to change it, for the user.
QString fix(Mode mode);

} // namespace KWinEavesdropSetting
