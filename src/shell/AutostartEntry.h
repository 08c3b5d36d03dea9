#pragma once

#include <QString>

// "Start at login": the XDG autostart entry of the user's session
// ($XDG_CONFIG_HOME/autostart/quillwren.desktop), which desktop sessions read
// when the user logs in.
namespace AutostartEntry {

QString path();
bool isEnabled();
// Writes the entry (starting `program run`) or removes it; false when the
// file could not be written or removed.
bool setEnabled(bool enabled, const QString &program);
// The entry's text.
QString contents(const QString &program);

} // namespace AutostartEntry
