#pragma once

#include <QPoint>
#include <QRect>
#include <QString>

#include <QCoroTask>

#include <optional>

// What the program needs of the desktop besides key events: posting the paste
// chord into the focused application, and knowing where the focus is.
class DesktopBackend
{
public:
    virtual ~DesktopBackend() = default;

    // Whether synthetic input reaches other applications here.
    virtual bool canPaste() const = 0;
    // Posts the platform's paste chord (Ctrl+V on X11) to the focused window.
    virtual QCoro::Task<> paste() = 0;

    // The focused (active) window's frame in desktop coordinates, if known.
    virtual std::optional<QRect> focusedWindowRect() const = 0;
    // Where the pointer is, if known.
    virtual std::optional<QPoint> pointerPosition() const = 0;
    // Screen capture is allowed (always on X11).
    virtual bool canCapture() const = 0;
};
