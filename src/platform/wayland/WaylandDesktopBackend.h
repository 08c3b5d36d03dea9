#pragma once

#include "DesktopBackend.h"

#include <memory>

class AccessibleFocus;
class DataControlClipboard;
class ForeignToplevels;
class PortalRemoteDesktop;
class PortalScreenshot;
class ScreencopyGrabber;
class VirtualKeyboard;
class WaylandDisplay;

// The desktop of a Wayland session: the windows and what concerns them go
// through XWayland (the X11 backend), while the clipboard, the paste
// keystroke and the screen capture use the compositor's own protocols where
// it offers them (data-control, the virtual keyboard, screencopy), so that
// they reach native Wayland windows too; its window list, where it offers
// one, tells which window is active. What the compositor does not offer
// falls back to XWayland's way for the clipboard, and to "cannot" for the
// keystroke and the capture: a keystroke into XWayland would reach no native
// window, and its screen shows no native window.
class WaylandDesktopBackend final : public DesktopBackend
{
public:
    // portal, screenshots: the RemoteDesktop portal's keyboard and the
    // Screenshot portal, used where the compositor offers no virtual keyboard
    // or no screencopy of its own (GNOME, KDE); focus: the accessibility
    // bus, which tells a terminal from other windows where the compositor
    // keeps its window list to itself. Any may be null.
    WaylandDesktopBackend(std::unique_ptr<DesktopBackend> x11, std::unique_ptr<WaylandDisplay> display,
                          std::unique_ptr<PortalRemoteDesktop> portal = {},
                          std::unique_ptr<PortalScreenshot> screenshots = {},
                          std::unique_ptr<AccessibleFocus> focus = {});
    ~WaylandDesktopBackend() override;

    void setClipboardText(const QString &text) override;
    // Through XWayland's clipboard where that is the one in use (GNOME).
    bool saveClipboard() override;
    QCoro::Task<bool> restoreClipboard(QString pastedText) override;
    bool canPaste() const override;
    QCoro::Task<> paste() override;
    QCoro::Task<FocusedApplication> focusedApplication() override;
    // From the compositor's window list where it offers one; else taken as
    // true (a keystroke with no window focused goes nowhere, harmlessly).
    bool hasFocusedWindow() const override;
    std::optional<QRect> focusedWindowRect() const override;
    std::optional<QPoint> pointerPosition() const override;
    bool canCapture() const override;
    QImage grabScreen(QScreen *screen) override;
    QCoro::Task<QImage> grabScreenAsync(QScreen *screen) override;
    // The compositor composites every XWayland window: translucency works.
    bool hasCompositor() const override { return true; }
    void keepOnAllDesktops(quintptr window) override;
    bool indicatorBypassesWindowManager() const override { return true; }

    bool hasDataControl() const;
    bool hasVirtualKeyboard() const;
    bool hasScreencopy() const;
    // Whether the active window's app_id is known (a terminal gets its chord).
    bool knowsActiveWindow() const;
    // The portal's keyboard where it serves (null with a virtual keyboard).
    PortalRemoteDesktop *portal() const;
    // Whether the screen comes through the Screenshot portal (no screencopy).
    bool capturesThroughPortal() const;
    // Starts the portal's session, asking the user once; the running
    // application calls it at start, not the one-shot commands. True when
    // the keystroke can be sent through it.
    QCoro::Task<bool> startPortal();

private:
    // The active window's app_id: from the compositor where it tells, else
    // from the accessibility bus; empty when unknown.
    QCoro::Task<QString> activeAppId();

    std::unique_ptr<DesktopBackend> m_x11;
    std::unique_ptr<WaylandDisplay> m_display;
    std::unique_ptr<DataControlClipboard> m_clipboard;
    std::unique_ptr<VirtualKeyboard> m_keyboard;
    std::unique_ptr<ScreencopyGrabber> m_grabber;
    std::unique_ptr<ForeignToplevels> m_toplevels;
    std::unique_ptr<PortalRemoteDesktop> m_portal;
    std::unique_ptr<PortalScreenshot> m_screenshots;
    std::unique_ptr<AccessibleFocus> m_focus;
    QString m_text;
};
