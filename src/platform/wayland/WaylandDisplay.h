#pragma once

#include <QList>
#include <QObject>

#include <functional>
#include <memory>

class QSocketNotifier;
struct wl_display;
struct wl_output;
struct wl_registry;
struct wl_seat;
struct wl_shm;
struct zwlr_data_control_manager_v1;
struct zwlr_screencopy_manager_v1;
struct zwp_virtual_keyboard_manager_v1;

// This process's own connection to the Wayland compositor ($WAYLAND_DISPLAY),
// beside Qt's windows, which go through XWayland: the globals the clipboard,
// the paste keystroke and the screen capture need, with events dispatched on
// the main event loop.
class WaylandDisplay final : public QObject
{
    Q_OBJECT

public:
    // Connects and learns the compositor's globals (one roundtrip).
    explicit WaylandDisplay(QObject *parent = nullptr);
    ~WaylandDisplay() override;

    bool isConnected() const { return m_display != nullptr && !m_broken; }
    wl_display *display() const { return m_display; }
    wl_seat *seat() const { return m_seat; }
    wl_shm *shm() const { return m_shm; }
    const QList<wl_output *> &outputs() const { return m_outputs; }
    zwlr_data_control_manager_v1 *dataControlManager() const { return m_dataControl; }
    zwp_virtual_keyboard_manager_v1 *virtualKeyboardManager() const { return m_virtualKeyboard; }
    zwlr_screencopy_manager_v1 *screencopyManager() const { return m_screencopy; }
    wl_registry *registry() const { return m_registry; }
    // The window list's global (0 when the compositor has none): bound by its
    // user, whose listener must be in place before the first event.
    uint32_t foreignToplevelGlobal() const { return m_foreignToplevelGlobal; }
    // Waits for the compositor to have handled every request so far.
    bool roundtrip();

    // Sends the requests made so far.
    void flush();
    // Dispatches events until done() holds; false when the time ran out or
    // the connection broke first.
    bool dispatchUntil(const std::function<bool()> &done, int timeoutMs);

    // The registry's listener.
    static void global(void *data, wl_registry *registry, uint32_t name, const char *interface, uint32_t version);
    static void globalRemove(void *data, wl_registry *registry, uint32_t name);

private:    void readEvents();
    bool checkConnection();

    wl_display *m_display = nullptr;
    wl_registry *m_registry = nullptr;
    wl_seat *m_seat = nullptr;
    wl_shm *m_shm = nullptr;
    QList<wl_output *> m_outputs;
    zwlr_data_control_manager_v1 *m_dataControl = nullptr;
    zwp_virtual_keyboard_manager_v1 *m_virtualKeyboard = nullptr;
    zwlr_screencopy_manager_v1 *m_screencopy = nullptr;
    uint32_t m_foreignToplevelGlobal = 0;
    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_broken = false;
};
