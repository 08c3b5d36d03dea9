#pragma once

#include <QWidget>

// The indicator's top-level window: frameless, above other windows, never
// focused or activated, transparent to the pointer, and absent from the
// taskbar. With a compositing manager it is translucent around what it
// shows; without one (where a translucent window shows black) it is shaped to
// what is drawn instead. Where the window manager would not leave such a
// window alone (XWayland's), it bypasses the window manager altogether.
class NonActivatingWindow : public QWidget
{
    Q_OBJECT

public:
    explicit NonActivatingWindow(bool translucent, bool bypassWindowManager = false);

    bool isTranslucent() const { return m_translucent; }
    // Without translucency: what of the window shows. Ignored when translucent.
    void setShape(const QRegion &shape);

private:
    bool m_translucent;
    QRegion m_shape;
};
