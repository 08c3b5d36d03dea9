#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Which keystroke pastes into the focused window, by its X11 class: terminals
// take Ctrl+V as a control character, so they get their own paste chord.
enum class PasteChord {
    CtrlV,      // everything else
    CtrlShiftV, // terminals that paste the clipboard with Ctrl+Shift+V (VTE-based, Konsole, kitty, Alacritty, …)
    ShiftInsert // xterm and rxvt: they paste the PRIMARY selection, which must hold the text too
};

// The chord for a window whose WM_CLASS names (instance and class), or whose
// Wayland app_id, are given.
PasteChord pasteChordFor(const QStringList &windowClass);
QString pasteChordName(PasteChord chord);

// The chord as evdev key codes (what Wayland keyboards and the portal send):
// the modifiers, pressed in this order and released in reverse, and the key.
struct PasteChordKeys
{
    QList<int> modifiers;
    int key = 0;
};
PasteChordKeys pasteChordKeys(PasteChord chord);
