#include "PulseAudioInputWatcher.h"

#include "Log.h"

#include <QMetaObject>
#include <QMutexLocker>

#include <algorithm>

#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/proplist.h>
#include <pulse/subscribe.h>
#include <pulse/thread-mainloop.h>

namespace {
void drop(pa_operation *operation)
{
    if (operation)
        pa_operation_unref(operation);
}
} // namespace

PulseAudioInputWatcher::PulseAudioInputWatcher(QObject *parent) : AudioInputWatcher(parent)
{
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &PulseAudioInputWatcher::connectToServer);
    m_loop = pa_threaded_mainloop_new();
    if (m_loop && pa_threaded_mainloop_start(m_loop) < 0) {
        pa_threaded_mainloop_free(m_loop);
        m_loop = nullptr;
    }
    if (!m_loop) {
        Log::line(QStringLiteral("❌ [Audio] 无法创建音频服务器的事件循环，不监听设备变化"));
        return;
    }
    connectToServer();
}

PulseAudioInputWatcher::~PulseAudioInputWatcher()
{
    if (!m_loop)
        return;
    pa_threaded_mainloop_lock(m_loop);
    dropContext();
    pa_threaded_mainloop_unlock(m_loop);
    pa_threaded_mainloop_stop(m_loop);
    pa_threaded_mainloop_free(m_loop);
}

// With the server library's lock held.
void PulseAudioInputWatcher::dropContext()
{
    if (!m_context)
        return;
    pa_context_set_subscribe_callback(m_context, nullptr, nullptr);
    pa_context_set_state_callback(m_context, nullptr, nullptr);
    pa_context_disconnect(m_context);
    pa_context_unref(m_context);
    m_context = nullptr;
}

void PulseAudioInputWatcher::connectToServer()
{
    pa_threaded_mainloop_lock(m_loop);
    dropContext();
    {
        QMutexLocker lock(&m_mutex);
        m_listed = false;
        m_inputs.clear();
        m_descriptions.clear();
        m_builtIn.clear();
    }
    m_context = pa_context_new(pa_threaded_mainloop_get_api(m_loop), "Quillwren device watcher");
    bool started = false;
    if (m_context) {
        pa_context_set_state_callback(m_context, &PulseAudioInputWatcher::onContextState, this);
        pa_context_set_subscribe_callback(
            m_context,
            [](pa_context *context, pa_subscription_event_type_t event, std::uint32_t index, void *self) {
                onEvent(context, int(event), index, self);
            },
            this);
        // Never start a server of our own: no server means no microphone anyway.
        started = pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0;
    }
    pa_threaded_mainloop_unlock(m_loop);
    if (!started)
        connectionLost();
}

void PulseAudioInputWatcher::connectionLost()
{
    if (m_retry.isActive())
        return; // a failed connect may say so twice: by its result and by its state
    bool wasConnected = false;
    {
        QMutexLocker lock(&m_mutex);
        wasConnected = m_connected;
        m_connected = false;
        m_defaultInput.clear();
    }
    if (wasConnected) {
        Log::line(QStringLiteral("⚠️ [Audio] 与音频服务器的连接已断开，稍后重连"));
        m_retryDelay = kFirstRetryDelay;
    } else if (!m_failureLogged) {
        Log::line(QStringLiteral("ℹ️ [Audio] 无法连接音频服务器，稍后重试"));
    }
    m_failureLogged = true;
    m_retry.start(m_retryDelay);
    m_retryDelay = std::min(m_retryDelay * 2, kLongestRetryDelay);
}

QByteArray PulseAudioInputWatcher::defaultInputId() const
{
    QMutexLocker lock(&m_mutex);
    return m_defaultInput;
}

bool PulseAudioInputWatcher::isBuiltIn(const QByteArray &inputId) const
{
    QMutexLocker lock(&m_mutex);
    return m_builtIn.contains(inputId);
}

QList<AudioInputWatcher::Input> PulseAudioInputWatcher::inputs() const
{
    QList<Input> inputs;
    {
        QMutexLocker lock(&m_mutex);
        if (!m_connected || !m_listed)
            return {};
        for (const QByteArray &name : m_inputs)
            inputs.append({name, m_descriptions.value(name)});
    }
    std::sort(inputs.begin(), inputs.end(), [](const Input &a, const Input &b) {
        return QString::localeAwareCompare(a.description, b.description) < 0;
    });
    return inputs;
}

bool PulseAudioInputWatcher::isConnected() const
{
    QMutexLocker lock(&m_mutex);
    return m_connected && m_listed;
}

// Everything below runs on the server library's thread with its lock held.

void PulseAudioInputWatcher::onContextState(pa_context *context, void *self)
{
    auto *watcher = static_cast<PulseAudioInputWatcher *>(self);
    switch (pa_context_get_state(context)) {
    case PA_CONTEXT_READY:
        drop(pa_context_subscribe(context, pa_subscription_mask_t(PA_SUBSCRIPTION_MASK_SOURCE | PA_SUBSCRIPTION_MASK_SERVER),
                                  nullptr, nullptr));
        drop(pa_context_get_server_info(context, &PulseAudioInputWatcher::onServerInfo, self));
        drop(pa_context_get_source_info_list(context, &PulseAudioInputWatcher::onSourceInfo, self));
        {
            QMutexLocker lock(&watcher->m_mutex);
            watcher->m_connected = true;
        }
        QMetaObject::invokeMethod(watcher, [watcher] {
            if (watcher->m_failureLogged)
                Log::line(QStringLiteral("✅ [Audio] 已连接音频服务器，监听设备变化"));
            watcher->m_failureLogged = false;
            watcher->m_retryDelay = std::chrono::milliseconds(1000);
        }, Qt::QueuedConnection);
        break;
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
        // The context is replaced on the owner's thread, never inside its own callback.
        QMetaObject::invokeMethod(watcher, &PulseAudioInputWatcher::connectionLost, Qt::QueuedConnection);
        break;
    default:
        break;
    }
}

void PulseAudioInputWatcher::onEvent(pa_context *context, int event, std::uint32_t index, void *self)
{
    auto *watcher = static_cast<PulseAudioInputWatcher *>(self);
    const int facility = event & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
    const int type = event & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
    if (facility == PA_SUBSCRIPTION_EVENT_SERVER) {
        drop(pa_context_get_server_info(context, &PulseAudioInputWatcher::onServerInfo, self));
    } else if (facility == PA_SUBSCRIPTION_EVENT_SOURCE && type == PA_SUBSCRIPTION_EVENT_NEW) {
        // Whether it is a real input or a monitor is only known from its info.
        drop(pa_context_get_source_info_by_index(context, index, &PulseAudioInputWatcher::onSourceInfo, self));
    } else if (facility == PA_SUBSCRIPTION_EVENT_SOURCE && type == PA_SUBSCRIPTION_EVENT_REMOVE) {
        bool wasInput = false;
        {
            QMutexLocker lock(&watcher->m_mutex);
            const QByteArray name = watcher->m_inputs.take(index);
            wasInput = !name.isNull();
            watcher->m_builtIn.remove(name);
            watcher->m_descriptions.remove(name);
        }
        if (wasInput)
            watcher->notify();
    }
}

void PulseAudioInputWatcher::onServerInfo(pa_context *, const pa_server_info *info, void *self)
{
    auto *watcher = static_cast<PulseAudioInputWatcher *>(self);
    if (!info)
        return;
    const QByteArray name = info->default_source_name ? QByteArray(info->default_source_name) : QByteArray();
    bool changed = false;
    {
        QMutexLocker lock(&watcher->m_mutex);
        changed = watcher->m_listed && !watcher->m_defaultInput.isEmpty() && watcher->m_defaultInput != name;
        watcher->m_defaultInput = name;
    }
    if (changed)
        watcher->notify();
}

void PulseAudioInputWatcher::onSourceInfo(pa_context *, const pa_source_info *info, int eol, void *self)
{
    auto *watcher = static_cast<PulseAudioInputWatcher *>(self);
    if (eol != 0) {
        bool reconnected = false;
        {
            // The end of the first listing (or of a single query).
            QMutexLocker lock(&watcher->m_mutex);
            reconnected = !watcher->m_listed && watcher->m_wasConnected;
            watcher->m_listed = true;
            watcher->m_wasConnected = true;
        }
        if (reconnected)
            watcher->notify();
        return;
    }
    if (!info || info->monitor_of_sink != PA_INVALID_INDEX)
        return;
    const QByteArray name(info->name ? info->name : "");
    const char *formFactor = pa_proplist_gets(info->proplist, PA_PROP_DEVICE_FORM_FACTOR);
    bool added = false;
    bool listed = false;
    {
        QMutexLocker lock(&watcher->m_mutex);
        added = !watcher->m_inputs.contains(info->index);
        watcher->m_inputs.insert(info->index, name);
        watcher->m_descriptions.insert(name, QString::fromUtf8(info->description ? info->description : info->name));
        if (formFactor && qstrcmp(formFactor, "internal") == 0)
            watcher->m_builtIn.insert(name);
        listed = watcher->m_listed;
    }
    if (added && listed)
        watcher->notify();
}

void PulseAudioInputWatcher::notify()
{
    // Queued to the owner's thread; a watcher deleted meanwhile drops the call.
    QMetaObject::invokeMethod(this, &AudioInputWatcher::inputsChanged, Qt::QueuedConnection);
}
