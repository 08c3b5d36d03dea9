#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// What serves one of the desktop's capabilities here (the mode keys, the
// clipboard, the paste keystroke, the screen capture, the indicator window,
// the tray), whether it works, and for what does not, how to make it work.
struct CapabilityStatus
{
    QString capability;
    QString backend;
    bool works = false;
    // For the user: what to do about it (empty when it works).
    QString fix;

    // "mode keys: evdev (2 keyboards) — works" or "... — does not work: FIX".
    QString line() const
    {
        QString text = capability + QStringLiteral(": ") + backend;
        if (works)
            return text + QStringLiteral(" — works");
        text += QStringLiteral(" — does not work");
        return fix.isEmpty() ? text : text + QStringLiteral(": ") + fix;
    }
};

using CapabilityReport = QList<CapabilityStatus>;

inline QStringList capabilityLines(const CapabilityReport &report)
{
    QStringList lines;
    for (const CapabilityStatus &status : report)
        lines << status.line();
    return lines;
}
