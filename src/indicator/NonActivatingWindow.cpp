#include "NonActivatingWindow.h"

NonActivatingWindow::NonActivatingWindow(bool translucent, bool bypassWindowManager)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus
                           | Qt::WindowTransparentForInput | Qt::NoDropShadowWindowHint
                           | (bypassWindowManager ? Qt::X11BypassWindowManagerHint : Qt::WindowFlags())),
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
