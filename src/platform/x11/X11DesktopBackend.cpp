#include "X11DesktopBackend.h"

#include "Delay.h"
#include "Log.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {
std::optional<QRect> rootRectOf(Display *display, Window window)
{
    Window root = 0, child = 0;
    int x = 0, y = 0, rootX = 0, rootY = 0;
    unsigned int width = 0, height = 0, border = 0, depth = 0;
    if (!window || !XGetGeometry(display, window, &root, &x, &y, &width, &height, &border, &depth))
        return std::nullopt;
    if (window == root || !XTranslateCoordinates(display, window, root, 0, 0, &rootX, &rootY, &child))
        return std::nullopt;
    return QRect(rootX, rootY, int(width), int(height));
}
} // namespace

X11DesktopBackend::X11DesktopBackend()
{
    m_display = XOpenDisplay(nullptr);
    int event = 0, error = 0, major = 0, minor = 0;
    m_hasXTest = m_display && XTestQueryExtension(m_display, &event, &error, &major, &minor);
}

X11DesktopBackend::~X11DesktopBackend()
{
    if (m_display)
        XCloseDisplay(m_display);
}

void X11DesktopBackend::setClipboardText(const QString &text)
{
    QGuiApplication::clipboard()->setText(text, QClipboard::Clipboard);
}

QImage X11DesktopBackend::grabScreen(QScreen *screen)
{
    return screen ? screen->grabWindow(0).toImage() : QImage();
}

bool X11DesktopBackend::canPaste() const
{
    return m_hasXTest;
}

bool X11DesktopBackend::modifiersHeld() const
{
    XkbStateRec state;
    if (XkbGetState(m_display, XkbUseCoreKbd, &state) != Success)
        return false;
    return state.mods & (ShiftMask | ControlMask | Mod1Mask | Mod4Mask);
}

void X11DesktopBackend::sendKey(unsigned int keysym, bool press)
{
    const KeyCode code = XKeysymToKeycode(m_display, keysym);
    if (code)
        XTestFakeKeyEvent(m_display, code, press, CurrentTime);
    XFlush(m_display);
}

QCoro::Task<> X11DesktopBackend::paste()
{
    if (!m_hasXTest)
        co_return;
    // The server merges synthetic keys with keys the user still holds: with
    // the hotkey's Alt still down, Ctrl+V would arrive as Ctrl+Alt+V and
    // paste nothing. Wait (bounded) until the user has let go.
    int waited = 0;
    while (modifiersHeld() && waited < kModifierWaitMs) {
        co_await delay(std::chrono::milliseconds(10));
        waited += 10;
    }
    if (modifiersHeld())
        Log::line(QStringLiteral("⚠️ [粘贴] 修饰键仍被按住（已等待 %1 ms），仍然发送粘贴").arg(waited));
    sendKey(XK_Control_L, true);
    sendKey(XK_v, true);
    co_await delay(std::chrono::milliseconds(kKeyHoldMs));
    sendKey(XK_v, false);
    sendKey(XK_Control_L, false);
}

std::optional<QRect> X11DesktopBackend::focusedWindowRect() const
{
    if (!m_display)
        return std::nullopt;
    const Window root = DefaultRootWindow(m_display);
    const Atom active = XInternAtom(m_display, "_NET_ACTIVE_WINDOW", True);
    if (active != None) {
        Atom type = None;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char *data = nullptr;
        if (XGetWindowProperty(m_display, root, active, 0, 1, False, XA_WINDOW, &type, &format, &items, &after, &data)
                == Success
            && data) {
            const Window window = items == 1 ? *reinterpret_cast<Window *>(data) : 0;
            XFree(data);
            if (auto rect = rootRectOf(m_display, window))
                return rect;
        }
    }
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(m_display, &focus, &revert);
    if (focus == PointerRoot || focus == None)
        return std::nullopt;
    return rootRectOf(m_display, focus);
}

std::optional<QPoint> X11DesktopBackend::pointerPosition() const
{
    if (!m_display)
        return std::nullopt;
    Window root = 0, child = 0;
    int x = 0, y = 0, winX = 0, winY = 0;
    unsigned int mask = 0;
    if (!XQueryPointer(m_display, DefaultRootWindow(m_display), &root, &child, &x, &y, &winX, &winY, &mask))
        return std::nullopt;
    return QPoint(x, y);
}
