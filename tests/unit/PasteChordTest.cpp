#include "x11/PasteChord.h"

#include <gtest/gtest.h>

#include <linux/input-event-codes.h>

namespace {

TEST(PasteChord, TerminalsGetTheirOwnChordAndEverythingElseCtrlV)
{
    EXPECT_EQ(pasteChordFor({QStringLiteral("gnome-terminal-server"), QStringLiteral("Gnome-terminal")}),
              PasteChord::CtrlShiftV);
    EXPECT_EQ(pasteChordFor({QStringLiteral("konsole"), QStringLiteral("konsole")}), PasteChord::CtrlShiftV);
    EXPECT_EQ(pasteChordFor({QStringLiteral("Alacritty"), QStringLiteral("Alacritty")}), PasteChord::CtrlShiftV);
    EXPECT_EQ(pasteChordFor({QStringLiteral("xterm"), QStringLiteral("XTerm")}), PasteChord::ShiftInsert);
    EXPECT_EQ(pasteChordFor({QStringLiteral("urxvt"), QStringLiteral("URxvt")}), PasteChord::ShiftInsert);
    EXPECT_EQ(pasteChordFor({QStringLiteral("Navigator"), QStringLiteral("firefox")}), PasteChord::CtrlV);
    EXPECT_EQ(pasteChordFor({}), PasteChord::CtrlV) << "an unknown window gets the usual chord";
    EXPECT_EQ(pasteChordFor({QStringLiteral("xterminal-notes")}), PasteChord::CtrlV) << "whole names only";
}

TEST(PasteChord, WaylandAppIdsOfTerminalsAreKnownToo)
{
    EXPECT_EQ(pasteChordFor({QStringLiteral("org.gnome.Terminal")}), PasteChord::CtrlShiftV);
    EXPECT_EQ(pasteChordFor({QStringLiteral("org.kde.konsole")}), PasteChord::CtrlShiftV);
    EXPECT_EQ(pasteChordFor({QStringLiteral("foot")}), PasteChord::CtrlShiftV);
    EXPECT_EQ(pasteChordFor({QStringLiteral("org.gnome.TextEditor")}), PasteChord::CtrlV);
    EXPECT_EQ(pasteChordFor({QString()}), PasteChord::CtrlV) << "no active window known";
}

TEST(PasteChord, EachChordAsKeyCodesModifiersFirst)
{
    const PasteChordKeys ctrlV = pasteChordKeys(PasteChord::CtrlV);
    EXPECT_EQ(ctrlV.modifiers, QList<int>{KEY_LEFTCTRL});
    EXPECT_EQ(ctrlV.key, KEY_V);
    const PasteChordKeys terminal = pasteChordKeys(PasteChord::CtrlShiftV);
    EXPECT_EQ(terminal.modifiers, (QList<int>{KEY_LEFTCTRL, KEY_LEFTSHIFT}));
    EXPECT_EQ(terminal.key, KEY_V);
    const PasteChordKeys xterm = pasteChordKeys(PasteChord::ShiftInsert);
    EXPECT_EQ(xterm.modifiers, QList<int>{KEY_LEFTSHIFT});
    EXPECT_EQ(xterm.key, KEY_INSERT);
}

} // namespace
