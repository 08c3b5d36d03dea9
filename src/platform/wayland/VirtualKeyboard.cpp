#include "VirtualKeyboard.h"

#include "Delay.h"
#include "Log.h"
#include "WaylandDisplay.h"

#include "virtual-keyboard-unstable-v1-client-protocol.h"

#include <QElapsedTimer>

#include <wayland-client.h>

#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// The compositor compiles it with its own keyboard data, as for a real keyboard.
constexpr char kKeymap[] = "xkb_keymap {\n"
                           "  xkb_keycodes { include \"evdev+aliases(qwerty)\" };\n"
                           "  xkb_types { include \"complete\" };\n"
                           "  xkb_compat { include \"complete\" };\n"
                           "  xkb_symbols { include \"pc+us+inet(evdev)\" };\n"
                           "};\n";

// The modifier bits of the keymap's types: Shift and Control.
constexpr quint32 kShiftMask = 1;
constexpr quint32 kControlMask = 4;

quint32 milliseconds()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    return quint32(clock.elapsed());
}

} // namespace

VirtualKeyboard::VirtualKeyboard(WaylandDisplay &display) : m_display(display)
{
    if (!display.virtualKeyboardManager() || !display.seat())
        return;
    const int fd = memfd_create("quillwren-keymap", MFD_CLOEXEC);
    if (fd < 0 || write(fd, kKeymap, sizeof(kKeymap)) != qint64(sizeof(kKeymap))) {
        Log::line(QStringLiteral("❌ [Wayland] 无法为虚拟键盘写入键盘布局"));
        if (fd >= 0)
            close(fd);
        return;
    }
    m_keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(display.virtualKeyboardManager(), display.seat());
    zwp_virtual_keyboard_v1_keymap(m_keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, sizeof(kKeymap));
    close(fd);
    m_display.flush();
}

VirtualKeyboard::~VirtualKeyboard()
{
    if (m_keyboard) {
        zwp_virtual_keyboard_v1_destroy(m_keyboard);
        m_display.flush();
    }
}

void VirtualKeyboard::key(quint32 code, bool down)
{
    zwp_virtual_keyboard_v1_key(m_keyboard, milliseconds(), code,
                                down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
}

void VirtualKeyboard::modifiers(quint32 depressed)
{
    zwp_virtual_keyboard_v1_modifiers(m_keyboard, depressed, 0, 0, 0);
}

QCoro::Task<> VirtualKeyboard::press(PasteChord chord, int holdMs)
{
    if (!m_keyboard)
        co_return;
    const PasteChordKeys keys = pasteChordKeys(chord);
    quint32 mask = 0;
    for (int modifier : keys.modifiers) {
        key(modifier, true);
        mask |= modifier == KEY_LEFTSHIFT ? kShiftMask : kControlMask;
    }
    // The compositor takes the modifier state from this request, not from the keys.
    modifiers(mask);
    key(keys.key, true);
    m_display.flush();
    co_await delay(std::chrono::milliseconds(holdMs));
    key(keys.key, false);
    for (qsizetype i = keys.modifiers.size() - 1; i >= 0; --i)
        key(keys.modifiers[i], false);
    modifiers(0);
    m_display.flush();
}
