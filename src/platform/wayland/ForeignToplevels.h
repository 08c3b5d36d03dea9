#pragma once

#include <QList>
#include <QString>

#include <memory>

class WaylandDisplay;
struct wl_output;
struct zwlr_foreign_toplevel_handle_v1;
struct zwlr_foreign_toplevel_manager_v1;

// The compositor's list of windows (wlr-foreign-toplevel-management, wlroots
// compositors), kept up to date from its events: which one is active, its
// app_id (a terminal wants its own paste chord) and the outputs it is on
// (the reply mode captures the one the user looks at).
class ForeignToplevels final
{
public:
    explicit ForeignToplevels(WaylandDisplay &display);
    ~ForeignToplevels();
    ForeignToplevels(const ForeignToplevels &) = delete;
    ForeignToplevels &operator=(const ForeignToplevels &) = delete;

    bool isAvailable() const { return m_manager != nullptr; }
    // Whether some window is active (has the keyboard focus).
    bool hasActiveWindow() const;
    // The active window's app_id; empty when none is active or unknown.
    QString activeAppId() const;
    // An output the active window is on; null when unknown.
    wl_output *activeOutput() const;

    struct Toplevel
    {
        zwlr_foreign_toplevel_handle_v1 *handle = nullptr;
        QString appId;
        QList<wl_output *> outputs;
        bool activated = false;
        // Values since the last done event, applied together.
        QString pendingAppId;
        bool pendingActivated = false;
    };

    // The protocol's listeners.
    static void toplevel(void *data, zwlr_foreign_toplevel_manager_v1 *manager, zwlr_foreign_toplevel_handle_v1 *handle);
    static void finished(void *data, zwlr_foreign_toplevel_manager_v1 *manager);

private:
    WaylandDisplay &m_display;
    zwlr_foreign_toplevel_manager_v1 *m_manager = nullptr;
    QList<std::shared_ptr<Toplevel>> m_toplevels;
};
