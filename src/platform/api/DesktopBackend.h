#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>

#include <QCoroTask>

#include <optional>

class QScreen;

// What the program needs of the desktop besides key events: the clipboard,
// posting the paste chord into the focused application, knowing where the
// focus is, a picture of a screen, and what the indicator's window needs.
class DesktopBackend
{
public:
    virtual ~DesktopBackend() = default;

    // Puts the text on the clipboard; this process keeps serving it to the
    // application that pastes, until replaced or the process ends.
    virtual void setClipboardText(const QString &text) = 0;
    // Copies what the clipboard holds now, to give back after a paste;
    // false where this desktop cannot read it back whole.
    virtual bool saveClipboard() { return false; }
    // After the paste's keystroke: once the target has taken the text (or
    // after a bounded wait), puts the saved content back if the clipboard
    // still holds pastedText; true when it did.
    virtual QCoro::Task<bool> restoreClipboard(QString pastedText)
    {
        Q_UNUSED(pastedText);
        co_return false;
    }
    // Whether synthetic input reaches other applications here.
    virtual bool canPaste() const = 0;
    // Posts the platform's paste chord (Ctrl+V on X11) to the focused window.
    virtual QCoro::Task<> paste() = 0;

    // The application that has the keyboard focus: its window's class names
    // or app ID (empty when unknown), and whether it is a terminal (which
    // gets a paste chord of its own, and wants its commands exactly as said).
    struct FocusedApplication
    {
        QStringList names;
        bool terminal = false;
    };
    virtual QCoro::Task<FocusedApplication> focusedApplication() { co_return FocusedApplication{}; }

    // Where the text caret of the focused field is on the desktop (or the
    // field itself, where the caret is not told), if the desktop says so.
    virtual QCoro::Task<std::optional<QRect>> caretRect() { co_return std::nullopt; }

    // Whether some window has the keyboard focus, so that a paste has somewhere
    // to go.
    virtual bool hasFocusedWindow() const = 0;
    // The focused (active) window's frame in desktop coordinates, if known.
    virtual std::optional<QRect> focusedWindowRect() const = 0;
    // Where the pointer is, if known.
    virtual std::optional<QPoint> pointerPosition() const = 0;
    // Screen capture is allowed (always on X11).
    virtual bool canCapture() const = 0;
    // The whole screen at its full pixel size; a null image when it cannot be read.
    virtual QImage grabScreen(QScreen *screen) = 0;
    // The same where it may take a while (a portal asking the user): the
    // reply mode waits for it without blocking the event loop.
    virtual QCoro::Task<QImage> grabScreenAsync(QScreen *screen) { co_return grabScreen(screen); }

    // Whether a compositing manager runs, so that translucent windows show
    // what is below them (else their transparent parts show black).
    virtual bool hasCompositor() const { return false; }
    // Asks the window manager to show the window on every virtual desktop and
    // above full-screen windows. Nothing to do where there are none.
    virtual void keepOnAllDesktops(quintptr window) { Q_UNUSED(window); }
    // Whether the indicator places and stacks its window itself, outside the
    // window manager: under XWayland the compositor would tile, centre or
    // focus a managed window, but leaves an override-redirect one where it is.
    virtual bool indicatorBypassesWindowManager() const { return false; }
};
