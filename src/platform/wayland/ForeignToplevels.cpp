#include "ForeignToplevels.h"

#include "WaylandDisplay.h"

#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

#include <wayland-client.h>

namespace {

using Toplevel = ForeignToplevels::Toplevel;

void onTitle(void *, zwlr_foreign_toplevel_handle_v1 *, const char *) {}

void onAppId(void *data, zwlr_foreign_toplevel_handle_v1 *, const char *appId)
{
    static_cast<Toplevel *>(data)->pendingAppId = QString::fromUtf8(appId);
}

void onOutputEnter(void *data, zwlr_foreign_toplevel_handle_v1 *, wl_output *output)
{
    auto *toplevel = static_cast<Toplevel *>(data);
    if (!toplevel->outputs.contains(output))
        toplevel->outputs << output;
}

void onOutputLeave(void *data, zwlr_foreign_toplevel_handle_v1 *, wl_output *output)
{
    static_cast<Toplevel *>(data)->outputs.removeAll(output);
}

void onState(void *data, zwlr_foreign_toplevel_handle_v1 *, wl_array *states)
{
    auto *toplevel = static_cast<Toplevel *>(data);
    toplevel->pendingActivated = false;
    const auto *state = static_cast<const uint32_t *>(states->data);
    for (size_t i = 0; i < states->size / sizeof(uint32_t); ++i) {
        if (state[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED)
            toplevel->pendingActivated = true;
    }
}

void onDone(void *data, zwlr_foreign_toplevel_handle_v1 *)
{
    auto *toplevel = static_cast<Toplevel *>(data);
    toplevel->appId = toplevel->pendingAppId;
    toplevel->activated = toplevel->pendingActivated;
}

void onClosed(void *data, zwlr_foreign_toplevel_handle_v1 *handle)
{
    // Marked gone; the list drops it on its next look.
    auto *toplevel = static_cast<Toplevel *>(data);
    toplevel->handle = nullptr;
    toplevel->activated = false;
    zwlr_foreign_toplevel_handle_v1_destroy(handle);
}

const zwlr_foreign_toplevel_handle_v1_listener kHandleListener = {onTitle, onAppId, onOutputEnter, onOutputLeave,
                                                                  onState, onDone,  onClosed};
const zwlr_foreign_toplevel_manager_v1_listener kManagerListener = {&ForeignToplevels::toplevel,
                                                                    &ForeignToplevels::finished};

} // namespace

ForeignToplevels::ForeignToplevels(WaylandDisplay &display) : m_display(display)
{
    if (!display.foreignToplevelGlobal())
        return;
    m_manager = static_cast<zwlr_foreign_toplevel_manager_v1 *>(
        wl_registry_bind(display.registry(), display.foreignToplevelGlobal(), &zwlr_foreign_toplevel_manager_v1_interface, 1));
    zwlr_foreign_toplevel_manager_v1_add_listener(m_manager, &kManagerListener, this);
    // The windows open now arrive at once: known before the first paste.
    display.roundtrip();
}

ForeignToplevels::~ForeignToplevels()
{
    for (const auto &toplevel : std::as_const(m_toplevels)) {
        if (toplevel->handle)
            zwlr_foreign_toplevel_handle_v1_destroy(toplevel->handle);
    }
    if (m_manager)
        zwlr_foreign_toplevel_manager_v1_stop(m_manager);
    m_display.flush();
}

void ForeignToplevels::toplevel(void *data, zwlr_foreign_toplevel_manager_v1 *, zwlr_foreign_toplevel_handle_v1 *handle)
{
    auto *self = static_cast<ForeignToplevels *>(data);
    // Closed windows are dropped here, while no listener is using them.
    self->m_toplevels.removeIf([](const std::shared_ptr<Toplevel> &known) { return !known->handle; });
    auto toplevel = std::make_shared<Toplevel>();
    toplevel->handle = handle;
    zwlr_foreign_toplevel_handle_v1_add_listener(handle, &kHandleListener, toplevel.get());
    self->m_toplevels << toplevel;
}

void ForeignToplevels::finished(void *data, zwlr_foreign_toplevel_manager_v1 *manager)
{
    auto *self = static_cast<ForeignToplevels *>(data);
    zwlr_foreign_toplevel_manager_v1_destroy(manager);
    self->m_manager = nullptr;
}

bool ForeignToplevels::hasActiveWindow() const
{
    for (const auto &toplevel : m_toplevels) {
        if (toplevel->handle && toplevel->activated)
            return true;
    }
    return false;
}

QString ForeignToplevels::activeAppId() const
{
    for (const auto &toplevel : m_toplevels) {
        if (toplevel->handle && toplevel->activated)
            return toplevel->appId;
    }
    return {};
}

wl_output *ForeignToplevels::activeOutput() const
{
    for (const auto &toplevel : m_toplevels) {
        if (toplevel->handle && toplevel->activated && !toplevel->outputs.isEmpty())
            return toplevel->outputs.constFirst();
    }
    return nullptr;
}
