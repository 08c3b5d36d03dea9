#include "NonActivatingWindow.h"

namespace {
// A tool window for the window manager to keep on top and out of the
// taskbar. One that bypasses it is a plain window: Qt names the transient
// parent of every tool window, and without a parent it names its own hidden
// leader window, which the compositor cannot find (mutter warns each time
// the ball is shown); a window no manager manages needs no tool type.
Qt::WindowFlags indicatorFlags(bool bypassWindowManager)
{
    const Qt::WindowFlags common = Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus
                                   | Qt::WindowTransparentForInput | Qt::NoDropShadowWindowHint;
    return bypassWindowManager ? common | Qt::Window | Qt::X11BypassWindowManagerHint : common | Qt::Tool;
}
} // namespace

NonActivatingWindow::NonActivatingWindow(bool translucent, bool bypassWindowManager)
    : QWidget(nullptr, indicatorFlags(bypassWindowManager)),
      m_translucent(translucent)
{
    setWindowTitle(QStringLiteral("Quillwren indicator"));
    setObjectName(QStringLiteral("quillwrenIndicator"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    if (translucent) {
        setAttribute(Qt::WA_TranslucentBackground);
        setAttribute(Qt::WA_NoSystemBackground);
    }
}

void NonActivatingWindow::setShape(const QRegion &shape)
{
    // An empty mask would show the whole window; the ball is always there.
    if (m_translucent || shape.isEmpty() || shape == m_shape)
        return;
    m_shape = shape;
    setMask(shape);
}
