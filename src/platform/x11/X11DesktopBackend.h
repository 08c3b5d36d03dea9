#pragma once

#include "DesktopBackend.h"
#include "PasteChord.h"
#include "X11ScreenGrabber.h"

#include <QList>

#include <memory>

struct _XDisplay;
class AccessibleFocus;

// The X11 desktop: the paste chord through XTest (the one the focused
// window's class takes), the focus from the window manager's
// _NET_ACTIVE_WINDOW (else the X input focus), the pointer from the server.
// Its own connection to $DISPLAY.
class ClipboardRestorer;

class X11DesktopBackend final : public DesktopBackend
{
public:
    // How long a paste waits for the user to let go of held modifiers, and
    // how long the V key stays down.
    static constexpr int kModifierWaitMs = 1000;
    static constexpr int kKeyHoldMs = 50;

    // focus: where the focused field's caret is asked (none: not known).
    explicit X11DesktopBackend(std::unique_ptr<AccessibleFocus> focus);
    X11DesktopBackend();
    ~X11DesktopBackend() override;

    void setClipboardText(const QString &text) override;
    bool saveClipboard() override;
    QCoro::Task<bool> restoreClipboard(QString pastedText) override;
    bool canPaste() const override;
    QCoro::Task<> paste() override;
    QCoro::Task<FocusedApplication> focusedApplication() override;
    QCoro::Task<std::optional<QRect>> caretRect() override;
    bool hasFocusedWindow() const override;
    std::optional<QRect> focusedWindowRect() const override;
    std::optional<QPoint> pointerPosition() const override;
    bool canCapture() const override { return m_display != nullptr; }
    QImage grabScreen(QScreen *screen) override;
    bool hasCompositor() const override;
    void keepOnAllDesktops(quintptr window) override;

    // The focused window's WM_CLASS names (instance, class), when known.
    QStringList focusedWindowClass() const;

private:
    unsigned long focusedWindow() const;
    void sendWindowManagerMessage(unsigned long window, const char *type, const long (&data)[5]);
    bool modifiersHeld() const;
    void sendKey(unsigned int keysym, bool press);

    _XDisplay *m_display = nullptr;
    bool m_hasXTest = false;
    std::unique_ptr<X11ScreenGrabber> m_grabber;
    QString m_clipboardText;
    std::unique_ptr<ClipboardRestorer> m_restorer;
    std::unique_ptr<AccessibleFocus> m_focus;
    // Synthetic keys still down; the destructor lets go of them, so that a
    // quit in the middle of a paste leaves no key stuck on the desktop.
    QList<unsigned int> m_keysDown;
};
