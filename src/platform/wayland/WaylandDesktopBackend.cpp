#include "WaylandDesktopBackend.h"

#include "DataControlClipboard.h"
#include "freedesktop/AccessibleFocus.h"
#include "ForeignToplevels.h"
#include "Log.h"
#include "portal/PortalRemoteDesktop.h"
#include "portal/PortalScreenshot.h"
#include "ScreencopyGrabber.h"
#include "VirtualKeyboard.h"
#include "WaylandDisplay.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QScreen>

namespace {
// As long as on X11: long enough for every toolkit to see the key down.
constexpr int kKeyHoldMs = 50;
} // namespace

WaylandDesktopBackend::WaylandDesktopBackend(std::unique_ptr<DesktopBackend> x11, std::unique_ptr<WaylandDisplay> display,
                                             std::unique_ptr<PortalRemoteDesktop> portal,
                                             std::unique_ptr<PortalScreenshot> screenshots,
                                             std::unique_ptr<AccessibleFocus> focus)
    : m_x11(std::move(x11))
    , m_display(std::move(display))
    , m_clipboard(std::make_unique<DataControlClipboard>(*m_display))
    , m_keyboard(std::make_unique<VirtualKeyboard>(*m_display))
    , m_grabber(std::make_unique<ScreencopyGrabber>(*m_display))
    , m_toplevels(std::make_unique<ForeignToplevels>(*m_display))
    , m_focus(std::move(focus))
{
    if (!m_keyboard->isAvailable())
        m_portal = std::move(portal);
    if (!m_grabber->isAvailable())
        m_screenshots = std::move(screenshots);
}

bool WaylandDesktopBackend::capturesThroughPortal() const
{
    return m_screenshots && m_screenshots->version() > 0;
}

WaylandDesktopBackend::~WaylandDesktopBackend() = default;

bool WaylandDesktopBackend::hasDataControl() const
{
    return m_clipboard->isAvailable();
}

bool WaylandDesktopBackend::hasVirtualKeyboard() const
{
    return m_keyboard->isAvailable();
}

bool WaylandDesktopBackend::hasScreencopy() const
{
    return m_grabber->isAvailable();
}

bool WaylandDesktopBackend::knowsActiveWindow() const
{
    return m_toplevels->isAvailable();
}

void WaylandDesktopBackend::setClipboardText(const QString &text)
{
    m_text = text;
    // The compositor hands data-control's clipboard to XWayland's windows as
    // well; without it, XWayland's clipboard is what there is.
    if (m_clipboard->isAvailable())
        m_clipboard->setText(text);
    else
        m_x11->setClipboardText(text);
}

bool WaylandDesktopBackend::saveClipboard()
{
    return !m_clipboard->isAvailable() && m_x11->saveClipboard();
}

QCoro::Task<bool> WaylandDesktopBackend::restoreClipboard(QString pastedText)
{
    if (m_clipboard->isAvailable())
        co_return false;
    co_return co_await m_x11->restoreClipboard(std::move(pastedText));
}

PortalRemoteDesktop *WaylandDesktopBackend::portal() const
{
    return m_portal.get();
}

QCoro::Task<bool> WaylandDesktopBackend::startPortal()
{
    co_return m_portal && co_await m_portal->start();
}

bool WaylandDesktopBackend::canPaste() const
{
    if (m_keyboard->isAvailable())
        return m_display->isConnected();
    return m_portal && m_portal->state() == PortalRemoteDesktop::State::Started;
}

QCoro::Task<QString> WaylandDesktopBackend::activeAppId()
{
    if (!m_toplevels->isAvailable() && m_focus)
        co_return co_await m_focus->activeApplicationName();
    co_return m_toplevels->activeAppId();
}

QCoro::Task<DesktopBackend::FocusedApplication> WaylandDesktopBackend::focusedApplication()
{
    const QString appId = co_await activeAppId();
    if (appId.isEmpty())
        co_return FocusedApplication{};
    co_return FocusedApplication{{appId}, pasteChordFor({appId}) != PasteChord::CtrlV};
}

QCoro::Task<> WaylandDesktopBackend::paste()
{
    // The virtual keyboard's modifiers are its own: the user's Alt, still
    // held, does not turn Ctrl+V into Ctrl+Alt+V as it does on X11.
    const QString appId = co_await activeAppId();
    const PasteChord chord = pasteChordFor({appId});
    if (chord != PasteChord::CtrlV)
        Log::line(QStringLiteral("⌨️ [粘贴] 目标窗口 %1 是终端，使用 %2").arg(appId, pasteChordName(chord)));
    // xterm and rxvt (through XWayland) paste the primary selection.
    if (chord == PasteChord::ShiftInsert)
        QGuiApplication::clipboard()->setText(m_text, QClipboard::Selection);
    if (m_keyboard->isAvailable())
        co_await m_keyboard->press(chord, kKeyHoldMs);
    else if (m_portal)
        co_await m_portal->press(chord, kKeyHoldMs);
}

bool WaylandDesktopBackend::hasFocusedWindow() const
{
    return !m_toplevels->isAvailable() || m_toplevels->hasActiveWindow();
}

std::optional<QRect> WaylandDesktopBackend::focusedWindowRect() const
{
    return m_x11->focusedWindowRect();
}

std::optional<QPoint> WaylandDesktopBackend::pointerPosition() const
{
    return m_x11->pointerPosition();
}

bool WaylandDesktopBackend::canCapture() const
{
    return m_grabber->isAvailable() || capturesThroughPortal();
}

QCoro::Task<QImage> WaylandDesktopBackend::grabScreenAsync(QScreen *screen)
{
    if (m_grabber->isAvailable() || !capturesThroughPortal())
        co_return grabScreen(screen);
    QString error;
    const QImage desktop = co_await m_screenshots->grab(&error);
    if (desktop.isNull()) {
        Log::line(QStringLiteral("❌ [截屏] 截图门户失败：") + error);
        co_return QImage();
    }
    // The portal pictures the whole desktop: cut out the screen asked for,
    // in the picture's pixels (the desktop's logical size may differ).
    const QRect all = screen ? screen->virtualGeometry() : QRect();
    if (!screen || all.isEmpty() || QGuiApplication::screens().size() < 2)
        co_return desktop;
    const double scale = double(desktop.width()) / all.width();
    const QRect area = screen->geometry().translated(-all.topLeft());
    co_return desktop.copy(QRectF(area.x() * scale, area.y() * scale, area.width() * scale, area.height() * scale)
                               .toAlignedRect());
}

QImage WaylandDesktopBackend::grabScreen(QScreen *screen)
{
    // The portal's answer can take a dialog: only grabScreenAsync waits for it.
    if (!m_grabber->isAvailable())
        return {};
    const QList<wl_output *> &outputs = m_display->outputs();
    if (outputs.isEmpty())
        return {};
    // The output of the active window where the compositor says; else the
    // screen asked for (XWayland lists the outputs in the compositor's order).
    wl_output *output = m_toplevels->activeOutput();
    if (!output) {
        const qsizetype index = std::clamp<qsizetype>(QGuiApplication::screens().indexOf(screen), 0, outputs.size() - 1);
        output = outputs[index];
    }
    QString error;
    QImage image = m_grabber->grab(output, &error);
    if (image.isNull())
        Log::line(QStringLiteral("❌ [截屏] screencopy 失败：") + error);
    return image;
}

void WaylandDesktopBackend::keepOnAllDesktops(quintptr window)
{
    m_x11->keepOnAllDesktops(window);
}
