#include "PasteChord.h"

#include <QSet>

#include <linux/input-event-codes.h>

PasteChord pasteChordFor(const QStringList &windowClass)
{
    // WM_CLASS names and Wayland app_ids, compared in lower case. One table,
    // in one place.
    static const QSet<QString> ctrlShiftV{
        QStringLiteral("gnome-terminal"), QStringLiteral("gnome-terminal-server"), QStringLiteral("xfce4-terminal"),
        QStringLiteral("mate-terminal"),  QStringLiteral("tilix"),                 QStringLiteral("terminator"),
        QStringLiteral("lxterminal"),     QStringLiteral("qterminal"),             QStringLiteral("konsole"),
        QStringLiteral("kitty"),          QStringLiteral("alacritty"),             QStringLiteral("terminology"),
        QStringLiteral("guake"),          QStringLiteral("sakura"),                QStringLiteral("tilda"),
        QStringLiteral("foot"),           QStringLiteral("st-256color"),           QStringLiteral("wezterm"),
        QStringLiteral("org.wezfurlong.wezterm"), QStringLiteral("kgx"),           QStringLiteral("ptyxis"),
        QStringLiteral("x-terminal-emulator"), QStringLiteral("footclient"), QStringLiteral("org.gnome.terminal"),
        QStringLiteral("org.kde.konsole"), QStringLiteral("org.gnome.console"), QStringLiteral("org.gnome.ptyxis"),
    };
    static const QSet<QString> shiftInsert{QStringLiteral("xterm"), QStringLiteral("uxterm"), QStringLiteral("urxvt"),
                                           QStringLiteral("rxvt"), QStringLiteral("rxvt-unicode")};
    for (const QString &name : windowClass) {
        const QString lower = name.toLower();
        if (shiftInsert.contains(lower))
            return PasteChord::ShiftInsert;
        if (ctrlShiftV.contains(lower))
            return PasteChord::CtrlShiftV;
    }
    return PasteChord::CtrlV;
}

QString pasteChordName(PasteChord chord)
{
    switch (chord) {
    case PasteChord::CtrlShiftV:
        return QStringLiteral("Ctrl+Shift+V");
    case PasteChord::ShiftInsert:
        return QStringLiteral("Shift+Insert");
    case PasteChord::CtrlV:
        break;
    }
    return QStringLiteral("Ctrl+V");
}

PasteChordKeys pasteChordKeys(PasteChord chord)
{
    PasteChordKeys keys;
    if (chord != PasteChord::ShiftInsert)
        keys.modifiers << KEY_LEFTCTRL;
    if (chord != PasteChord::CtrlV)
        keys.modifiers << KEY_LEFTSHIFT;
    keys.key = chord == PasteChord::ShiftInsert ? KEY_INSERT : KEY_V;
    return keys;
}
