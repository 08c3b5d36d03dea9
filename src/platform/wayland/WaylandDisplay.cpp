#include "WaylandDisplay.h"

#include "Log.h"

#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"

#include <QElapsedTimer>
#include <QSocketNotifier>

#include <wayland-client.h>

#include <cerrno>
#include <cstring>
#include <poll.h>

namespace {
const wl_registry_listener kRegistryListener = {&WaylandDisplay::global, &WaylandDisplay::globalRemove};
} // namespace

WaylandDisplay::WaylandDisplay(QObject *parent) : QObject(parent)
{
    m_display = wl_display_connect(nullptr);
    if (!m_display)
        return;
    m_registry = wl_display_get_registry(m_display);
    wl_registry_add_listener(m_registry, &kRegistryListener, this);
    if (wl_display_roundtrip(m_display) < 0) {
        checkConnection();
        return;
    }
    m_notifier = std::make_unique<QSocketNotifier>(wl_display_get_fd(m_display), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &WaylandDisplay::readEvents);
}

WaylandDisplay::~WaylandDisplay()
{
    m_notifier.reset();
    if (m_display) {
        // The compositor drops every object of the connection with it.
        wl_display_disconnect(m_display);
    }
}

void WaylandDisplay::global(void *data, wl_registry *registry, uint32_t name, const char *interface, uint32_t version)
{
    auto *self = static_cast<WaylandDisplay *>(data);
    // Protocols the user (or a test) asks not to use: what the fallbacks do
    // can be seen on a compositor that has everything.
    static const QList<QByteArray> ignored = qgetenv("QUILLWREN_WAYLAND_IGNORE").split(',');
    if (ignored.contains(QByteArray(interface)))
        return;
    const auto is = [interface](const wl_interface &known) { return std::strcmp(interface, known.name) == 0; };
    const auto bind = [&](const wl_interface &known, uint32_t wanted) {
        return wl_registry_bind(registry, name, &known, std::min(version, wanted));
    };
    if (is(wl_seat_interface) && !self->m_seat)
        self->m_seat = static_cast<wl_seat *>(bind(wl_seat_interface, 1));
    else if (is(wl_shm_interface))
        self->m_shm = static_cast<wl_shm *>(bind(wl_shm_interface, 1));
    else if (is(wl_output_interface))
        self->m_outputs << static_cast<wl_output *>(bind(wl_output_interface, 1));
    else if (is(zwlr_data_control_manager_v1_interface))
        self->m_dataControl = static_cast<zwlr_data_control_manager_v1 *>(bind(zwlr_data_control_manager_v1_interface, 1));
    else if (is(zwp_virtual_keyboard_manager_v1_interface))
        self->m_virtualKeyboard =
            static_cast<zwp_virtual_keyboard_manager_v1 *>(bind(zwp_virtual_keyboard_manager_v1_interface, 1));
    else if (std::strcmp(interface, "zwlr_foreign_toplevel_manager_v1") == 0)
        self->m_foreignToplevelGlobal = name;
    else if (is(zwlr_screencopy_manager_v1_interface))
        self->m_screencopy = static_cast<zwlr_screencopy_manager_v1 *>(bind(zwlr_screencopy_manager_v1_interface, 1));
}

void WaylandDisplay::globalRemove(void *, wl_registry *, uint32_t)
{
    // Outputs unplugged stay in the list; a capture of one fails and says so.
}

void WaylandDisplay::flush()
{
    if (isConnected() && wl_display_flush(m_display) < 0 && errno != EAGAIN)
        checkConnection();
}

bool WaylandDisplay::roundtrip()
{
    if (!isConnected())
        return false;
    if (wl_display_roundtrip(m_display) < 0)
        return checkConnection();
    return true;
}

void WaylandDisplay::readEvents()
{
    if (!isConnected())
        return;
    if (wl_display_dispatch(m_display) < 0)
        checkConnection();
    flush();
}

bool WaylandDisplay::dispatchUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer waited;
    waited.start();
    while (isConnected()) {
        if (wl_display_dispatch_pending(m_display) < 0 || !checkConnection())
            return false;
        if (done())
            return true;
        flush();
        const qint64 left = timeoutMs - waited.elapsed();
        if (left <= 0)
            return false;
        pollfd fd{wl_display_get_fd(m_display), POLLIN, 0};
        if (poll(&fd, 1, int(left)) > 0 && wl_display_dispatch(m_display) < 0)
            checkConnection();
    }
    return false;
}

bool WaylandDisplay::checkConnection()
{
    if (m_broken || !m_display)
        return false;
    if (const int error = wl_display_get_error(m_display)) {
        m_broken = true;
        if (m_notifier)
            m_notifier->setEnabled(false);
        Log::line(QStringLiteral("❌ [Wayland] 与合成器的连接已断开：") + QString::fromLocal8Bit(std::strerror(error)));
        return false;
    }
    return true;
}
