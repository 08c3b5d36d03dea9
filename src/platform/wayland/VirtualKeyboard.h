#pragma once

#include "x11/PasteChord.h"

#include <QCoroTask>

class WaylandDisplay;
struct zwp_virtual_keyboard_v1;

// A keyboard of this process's own on the seat (zwp_virtual_keyboard_v1,
// wlroots compositors): its keys reach the focused window, native or
// XWayland, as if typed. It has its own keymap (US), so the paste chords
// come out the same whatever layout the user types with.
class VirtualKeyboard final
{
public:
    explicit VirtualKeyboard(WaylandDisplay &display);
    ~VirtualKeyboard();
    VirtualKeyboard(const VirtualKeyboard &) = delete;
    VirtualKeyboard &operator=(const VirtualKeyboard &) = delete;

    bool isAvailable() const { return m_keyboard != nullptr; }
    // The chord's modifiers go down, then its key; the key is held holdMs,
    // then everything comes up in reverse order.
    QCoro::Task<> press(PasteChord chord, int holdMs);

private:
    void key(quint32 code, bool down);
    void modifiers(quint32 depressed);

    WaylandDisplay &m_display;
    zwp_virtual_keyboard_v1 *m_keyboard = nullptr;
};
