#include "X11DesktopBackend.h"

#include "ClipboardRestorer.h"
#include "freedesktop/AccessibleFocus.h"

#include "Delay.h"
#include "Log.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
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
// Xlib's default handler ends the process on any error, and a window can
// vanish between asking for the focus and reading its class or geometry:
// such a request fails and the caller answers "unknown".
int ignoreXErrors(Display *, XErrorEvent *)
{
    return 0;
}
} // namespace

X11DesktopBackend::X11DesktopBackend(std::unique_ptr<AccessibleFocus> focus) : m_focus(std::move(focus))
{
    XSetErrorHandler(ignoreXErrors);
    m_display = XOpenDisplay(nullptr);
    int event = 0, error = 0, major = 0, minor = 0;
    m_hasXTest = m_display && XTestQueryExtension(m_display, &event, &error, &major, &minor);
    m_grabber = std::make_unique<X11ScreenGrabber>(m_display);
}

X11DesktopBackend::X11DesktopBackend() : X11DesktopBackend(nullptr) {}

X11DesktopBackend::~X11DesktopBackend()
{
    while (!m_keysDown.isEmpty())
        sendKey(m_keysDown.last(), false);
    m_grabber.reset(); // it lets go of its segment over the connection
    if (m_display)
        XCloseDisplay(m_display);
}

bool X11DesktopBackend::saveClipboard()
{
    if (!m_display)
        return false;
    if (!m_restorer) {
        m_restorer = std::make_unique<ClipboardRestorer>(XInternAtom(m_display, "CLIPBOARD", False),
                                                         XInternAtom(m_display, "TARGETS", False));
    }
    m_restorer->save();
    return true;
}

QCoro::Task<bool> X11DesktopBackend::restoreClipboard(QString pastedText)
{
    if (!m_restorer)
        co_return false;
    co_return co_await m_restorer->restoreAfterPaste(std::move(pastedText));
}

void X11DesktopBackend::setClipboardText(const QString &text)
{
    m_clipboardText = text;
    QGuiApplication::clipboard()->setText(text, QClipboard::Clipboard);
}

QImage X11DesktopBackend::grabScreen(QScreen *screen)
{
    if (!screen)
        return {};
    // Qt places a screen at its native position and scales only its size.
    const QRect native(screen->geometry().topLeft(), screen->size() * screen->devicePixelRatio());
    QImage image = m_grabber->grab(native);
    return image.isNull() ? screen->grabWindow(0).toImage() : image;
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
    if (press)
        m_keysDown.append(keysym);
    else
        m_keysDown.removeAll(keysym);
}

QCoro::Task<DesktopBackend::FocusedApplication> X11DesktopBackend::focusedApplication()
{
    const QStringList names = focusedWindowClass();
    co_return FocusedApplication{names, pasteChordFor(names) != PasteChord::CtrlV};
}

QCoro::Task<std::optional<QRect>> X11DesktopBackend::caretRect()
{
    if (!m_focus)
        co_return std::nullopt;
    co_return co_await m_focus->caretRect();
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
    const QStringList windowClass = focusedWindowClass();
    const PasteChord chord = pasteChordFor(windowClass);
    if (chord != PasteChord::CtrlV) {
        Log::line(QStringLiteral("⌨️ [粘贴] 目标窗口 %1 是终端，使用 %2")
                      .arg(windowClass.join(QLatin1Char('/')), pasteChordName(chord)));
    }
    if (chord == PasteChord::ShiftInsert) // these paste the PRIMARY selection
        QGuiApplication::clipboard()->setText(m_clipboardText, QClipboard::Selection);
    const QList<unsigned int> modifiers = chord == PasteChord::CtrlShiftV ? QList<unsigned int>{XK_Control_L, XK_Shift_L}
                                          : chord == PasteChord::ShiftInsert ? QList<unsigned int>{XK_Shift_L}
                                                                             : QList<unsigned int>{XK_Control_L};
    const unsigned int key = chord == PasteChord::ShiftInsert ? XK_Insert : XK_v;
    for (unsigned int modifier : modifiers)
        sendKey(modifier, true);
    sendKey(key, true);
    co_await delay(std::chrono::milliseconds(kKeyHoldMs));
    sendKey(key, false);
    for (auto it = modifiers.crbegin(); it != modifiers.crend(); ++it)
        sendKey(*it, false);
}

unsigned long X11DesktopBackend::focusedWindow() const
{
    if (!m_display)
        return 0;
    const Atom active = XInternAtom(m_display, "_NET_ACTIVE_WINDOW", True);
    if (active != None) {
        Atom type = None;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char *data = nullptr;
        if (XGetWindowProperty(m_display, DefaultRootWindow(m_display), active, 0, 1, False, XA_WINDOW, &type, &format,
                               &items, &after, &data)
                == Success
            && data) {
            const Window window = items == 1 ? *reinterpret_cast<Window *>(data) : 0;
            XFree(data);
            if (window)
                return window;
        }
    }
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(m_display, &focus, &revert);
    return focus == PointerRoot ? 0 : focus;
}

QStringList X11DesktopBackend::focusedWindowClass() const
{
    // The focus may sit on a child of the application's window: look upwards
    // for the first window that names its class.
    for (Window window = focusedWindow(); window;) {
        XClassHint hint{nullptr, nullptr};
        if (XGetClassHint(m_display, window, &hint)) {
            const QStringList names{QString::fromLocal8Bit(hint.res_name), QString::fromLocal8Bit(hint.res_class)};
            XFree(hint.res_name);
            XFree(hint.res_class);
            return names;
        }
        Window root = 0, parent = 0;
        Window *children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(m_display, window, &root, &parent, &children, &count))
            break;
        if (children)
            XFree(children);
        window = parent == root ? 0 : parent;
    }
    return {};
}

bool X11DesktopBackend::hasFocusedWindow() const
{
    const Window window = focusedWindow();
    return window && window != DefaultRootWindow(m_display);
}

std::optional<QRect> X11DesktopBackend::focusedWindowRect() const
{
    const Window window = focusedWindow();
    if (!window)
        return std::nullopt;
    return rootRectOf(m_display, window);
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

bool X11DesktopBackend::hasCompositor() const
{
    if (!m_display)
        return false;
    // A compositing manager owns the _NET_WM_CM_Sn selection of its screen.
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(DefaultScreen(m_display));
    const Atom selection = XInternAtom(m_display, name.constData(), False);
    return XGetSelectionOwner(m_display, selection) != None;
}

void X11DesktopBackend::sendWindowManagerMessage(unsigned long window, const char *type, const long (&data)[5])
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(m_display, type, False);
    event.xclient.format = 32;
    for (int i = 0; i < 5; ++i)
        event.xclient.data.l[i] = data[i];
    XSendEvent(m_display, DefaultRootWindow(m_display), False, SubstructureRedirectMask | SubstructureNotifyMask,
               &event);
}

void X11DesktopBackend::keepOnAllDesktops(quintptr window)
{
    if (!m_display || !window)
        return;
    // Before the first map the property is what counts; once mapped, the
    // window manager only listens to requests.
    static constexpr long kAllDesktops = 0xFFFFFFFF;
    const Atom desktop = XInternAtom(m_display, "_NET_WM_DESKTOP", False);
    XChangeProperty(m_display, window, desktop, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char *>(&kAllDesktops), 1);
    sendWindowManagerMessage(window, "_NET_WM_DESKTOP", {kAllDesktops, 1, 0, 0, 0});
    static constexpr long kAdd = 1;
    const Atom sticky = XInternAtom(m_display, "_NET_WM_STATE_STICKY", False);
    const Atom skipTaskbar = XInternAtom(m_display, "_NET_WM_STATE_SKIP_TASKBAR", False);
    const Atom skipPager = XInternAtom(m_display, "_NET_WM_STATE_SKIP_PAGER", False);
    const Atom above = XInternAtom(m_display, "_NET_WM_STATE_ABOVE", False);
    sendWindowManagerMessage(window, "_NET_WM_STATE", {kAdd, long(sticky), long(above), 1, 0});
    sendWindowManagerMessage(window, "_NET_WM_STATE", {kAdd, long(skipTaskbar), long(skipPager), 1, 0});
    XFlush(m_display);
}
