#include "X11KeyEventSource.h"

#include "ModifierKey.h"

#include <QSocketNotifier>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {
// Caps Lock, AltGr and the like: modifiers, but none of the four. Their keys
// are neither a modifier change nor a key-down.
constexpr std::uint64_t kOtherModifier = std::uint64_t(1) << 63;

std::uint64_t maskOfKeysym(KeySym keysym)
{
    switch (keysym) {
    case XK_Alt_L:
    case XK_Alt_R:
    case XK_Meta_L:
    case XK_Meta_R:
        return ModifierMask::Option;
    case XK_Control_L:
    case XK_Control_R:
        return ModifierMask::Control;
    case XK_Super_L:
    case XK_Super_R:
    case XK_Hyper_L:
    case XK_Hyper_R:
        return ModifierMask::Command;
    case XK_Shift_L:
    case XK_Shift_R:
        return ModifierMask::Shift;
    default:
        return IsModifierKey(keysym) ? kOtherModifier : 0;
    }
}

void selectRawInputEvents(Display *display, bool on)
{
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    if (on) {
        XISetMask(bits, XI_RawKeyPress);
        XISetMask(bits, XI_RawKeyRelease);
        // A click or a drag with a mode key held is a combination too.
        XISetMask(bits, XI_RawButtonPress);
    }
    XIEventMask mask;
    // All master devices: each key once (all devices would deliver it twice).
    mask.deviceid = XIAllMasterDevices;
    mask.mask_len = sizeof(bits);
    mask.mask = bits;
    XISelectEvents(display, DefaultRootWindow(display), &mask, 1);
    XFlush(display);
}
} // namespace

X11KeyEventSource::X11KeyEventSource(QObject *parent) : KeyEventSource(parent)
{
    m_display = XOpenDisplay(nullptr);
    if (!m_display) {
        m_untrustedReason = QStringLiteral("no X display could be opened (is $DISPLAY set?)");
        return;
    }
    int event = 0, error = 0;
    // Announce 2.2: a client of 2.1 or later gets raw events even while
    // another client (an unlock prompt, a menu) grabs the keyboard; a 2.0
    // client does not. A 2.0 server is still enough.
    int major = 2, minor = 2;
    if (!XQueryExtension(m_display, "XInputExtension", &m_xiOpcode, &event, &error)
        || XIQueryVersion(m_display, &major, &minor) != Success || major < 2) {
        m_untrustedReason = QStringLiteral("the X server does not offer XInput2 2.0 or later");
        return;
    }
    int testMajor = 0, testMinor = 0;
    if (!XTestQueryExtension(m_display, &event, &error, &testMajor, &testMinor)) {
        m_untrustedReason = QStringLiteral("the X server does not offer the XTest extension");
        return;
    }
}

X11KeyEventSource::~X11KeyEventSource()
{
    stop();
    if (m_display)
        XCloseDisplay(m_display);
}

bool X11KeyEventSource::isTrusted() const
{
    return m_display && m_untrustedReason.isEmpty();
}

bool X11KeyEventSource::start()
{
    if (m_active)
        return true;
    if (!isTrusted())
        return false;

    loadModifierKeycodes();
    // Keys already held are known, so that their release is no surprise, but
    // they are not reported: a press is an edge we saw.
    char keys[32] = {};
    XQueryKeymap(m_display, keys);
    m_heldModifiers.clear();
    for (int keycode = 0; keycode < 256; ++keycode) {
        if ((keys[keycode / 8] & (1 << (keycode % 8))) && keycode < m_keycodeMasks.size()
            && m_keycodeMasks[keycode] && m_keycodeMasks[keycode] != kOtherModifier)
            m_heldModifiers.insert(keycode);
    }
    m_flags = 0;
    for (int keycode : std::as_const(m_heldModifiers))
        m_flags |= m_keycodeMasks[keycode];

    selectRawInputEvents(m_display, true);
    if (!m_notifier) {
        m_notifier = std::make_unique<QSocketNotifier>(ConnectionNumber(m_display), QSocketNotifier::Read);
        connect(m_notifier.get(), &QSocketNotifier::activated, this, &X11KeyEventSource::readEvents);
    }
    m_notifier->setEnabled(true);
    m_active = true;
    // Xlib may already hold events it read while answering the calls above.
    readEvents();
    return true;
}

void X11KeyEventSource::stop()
{
    if (!m_active)
        return;
    m_active = false;
    m_notifier->setEnabled(false);
    selectRawInputEvents(m_display, false);
    // Drop what arrived before the deselection took effect.
    XSync(m_display, True);
    m_heldModifiers.clear();
    m_flags = 0;
}

void X11KeyEventSource::loadModifierKeycodes()
{
    int minKeycode = 0, maxKeycode = 0;
    XDisplayKeycodes(m_display, &minKeycode, &maxKeycode);
    m_keycodeMasks.fill(0, maxKeycode + 1);
    for (int keycode = minKeycode; keycode <= maxKeycode; ++keycode)
        m_keycodeMasks[keycode] = maskOfKeysym(XkbKeycodeToKeysym(m_display, KeyCode(keycode), 0, 0));
    m_escapeKeycode = XKeysymToKeycode(m_display, XK_Escape);
}

void X11KeyEventSource::readEvents()
{
    // A handler may stop this source while events are still queued: check each time.
    while (m_active && XPending(m_display)) {
        XEvent event;
        XNextEvent(m_display, &event);
        if (event.type == MappingNotify) {
            XRefreshKeyboardMapping(&event.xmapping);
            loadModifierKeycodes();
            continue;
        }
        XGenericEventCookie *cookie = &event.xcookie;
        if (cookie->type != GenericEvent || cookie->extension != m_xiOpcode
            || !XGetEventData(m_display, cookie))
            continue;
        if (cookie->evtype == XI_RawKeyPress || cookie->evtype == XI_RawKeyRelease) {
            const auto *raw = static_cast<const XIRawEvent *>(cookie->data);
            const int keycode = raw->detail;
            const bool press = cookie->evtype == XI_RawKeyPress;
            XFreeEventData(m_display, cookie);
            handleKey(keycode, press);
        } else if (cookie->evtype == XI_RawButtonPress) {
            const int button = static_cast<const XIRawEvent *>(cookie->data)->detail;
            XFreeEventData(m_display, cookie);
            Q_EMIT buttonDown(button);
        } else {
            XFreeEventData(m_display, cookie);
        }
    }
}

void X11KeyEventSource::handleKey(int keycode, bool press)
{
    const std::uint64_t mask =
        keycode >= 0 && keycode < m_keycodeMasks.size() ? m_keycodeMasks[keycode] : 0;
    if (!mask) {
        if (press) {
            Q_EMIT keyDown(keycode);
            if (keycode == m_escapeKeycode)
                Q_EMIT escapeDown();
        }
        return;
    }
    if (mask == kOtherModifier)
        return;
    if (press)
        m_heldModifiers.insert(keycode);
    else
        m_heldModifiers.remove(keycode);
    std::uint64_t flags = 0;
    for (int held : std::as_const(m_heldModifiers))
        flags |= m_keycodeMasks[held];
    if (flags != m_flags) {
        m_flags = flags;
        Q_EMIT flagsChanged(flags);
    }
}
