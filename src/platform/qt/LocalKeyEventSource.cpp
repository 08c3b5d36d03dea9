#include "LocalKeyEventSource.h"

#include "ModifierKey.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>

namespace {
// The flag bit a modifier key itself stands for; 0 for any other key.
std::uint64_t maskOfKey(int key)
{
    switch (key) {
    case Qt::Key_Alt:
        return ModifierMask::Option;
    case Qt::Key_Control:
        return ModifierMask::Control;
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
        return ModifierMask::Command;
    case Qt::Key_Shift:
        return ModifierMask::Shift;
    default:
        return 0;
    }
}

std::uint64_t maskOfModifiers(Qt::KeyboardModifiers modifiers)
{
    std::uint64_t flags = 0;
    if (modifiers & Qt::AltModifier)
        flags |= ModifierMask::Option;
    if (modifiers & Qt::ControlModifier)
        flags |= ModifierMask::Control;
    if (modifiers & Qt::MetaModifier)
        flags |= ModifierMask::Command;
    if (modifiers & Qt::ShiftModifier)
        flags |= ModifierMask::Shift;
    return flags;
}

bool isOtherModifierKey(int key)
{
    return key == Qt::Key_CapsLock || key == Qt::Key_AltGr || key == Qt::Key_NumLock
           || key == Qt::Key_Hyper_L || key == Qt::Key_Hyper_R;
}
} // namespace

LocalKeyEventSource::LocalKeyEventSource(QObject *parent) : KeyEventSource(parent) {}

bool LocalKeyEventSource::start()
{
    if (!m_active && QCoreApplication::instance()) {
        QCoreApplication::instance()->installEventFilter(this);
        m_active = true;
    }
    return m_active;
}

void LocalKeyEventSource::stop()
{
    if (m_active && QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
    m_active = false;
    m_flags = 0;
}

bool LocalKeyEventSource::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        // Offered to each widget on its way, like keys: counted once.
        if (event != m_lastEvent || mouse->timestamp() != m_lastTimestamp) {
            m_lastEvent = event;
            m_lastTimestamp = mouse->timestamp();
            Q_EMIT buttonDown(int(mouse->button()));
        }
        return false;
    }
    const bool press = event->type() == QEvent::KeyPress;
    if (!press && event->type() != QEvent::KeyRelease)
        return KeyEventSource::eventFilter(watched, event);

    const auto *key = static_cast<QKeyEvent *>(event);
    // An application filter sees a key event again at every widget it is
    // propagated to: handle each event once.
    if (event == m_lastEvent && key->timestamp() == m_lastTimestamp)
        return false;
    m_lastEvent = event;
    m_lastTimestamp = key->timestamp();

    const std::uint64_t keyMask = maskOfKey(key->key());
    if (keyMask) {
        // A modifier's own event may or may not carry its bit yet: set it by the key.
        std::uint64_t flags = maskOfModifiers(key->modifiers());
        flags = press ? (flags | keyMask) : (flags & ~keyMask);
        if (flags != m_flags) {
            m_flags = flags;
            Q_EMIT flagsChanged(flags);
        }
    } else if (press && !isOtherModifierKey(key->key())) {
        Q_EMIT keyDown(std::int32_t(key->nativeScanCode()));
        if (key->key() == Qt::Key_Escape)
            Q_EMIT escapeDown();
    }
    return false; // observed, never consumed
}
