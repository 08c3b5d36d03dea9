#pragma once

#include "KeyEventSource.h"

#include <QSet>
#include <QVector>

#include <memory>

class QSocketNotifier;
struct _XDisplay;

// Global key events on an X server: XInput2 raw key presses and releases of
// the master devices, selected on the root window. Raw events reach every
// client that asks, also while another client grabs the keyboard, and need no
// grab of our own: nothing is taken from the focused application. The
// events are read from the connection's socket on the main event loop.
class X11KeyEventSource final : public KeyEventSource
{
    Q_OBJECT

public:
    // Opens its own connection to the display named by $DISPLAY.
    explicit X11KeyEventSource(QObject *parent = nullptr);
    ~X11KeyEventSource() override;

    bool isTrusted() const override;
    QString untrustedReason() const override { return m_untrustedReason; }
    bool start() override;
    void stop() override;
    bool isActive() const override { return m_active; }

    // Whether an X display could be opened at all.
    bool hasDisplay() const { return m_display != nullptr; }

private:
    void readEvents();
    void loadModifierKeycodes();
    void handleKey(int keycode, bool press);

    _XDisplay *m_display = nullptr;
    int m_xiOpcode = 0;
    QString m_untrustedReason;
    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_active = false;
    // The ModifierMask bit of each keycode (0 for other keys).
    QVector<std::uint64_t> m_keycodeMasks;
    int m_escapeKeycode = 0;
    // Modifier keys now held. A set: a release can arrive twice.
    QSet<int> m_heldModifiers;
    std::uint64_t m_flags = 0;
};
