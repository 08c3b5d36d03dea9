#pragma once

#include "AudioInputWatcher.h"

#include <QHash>
#include <QMutex>
#include <QSet>
#include <QTimer>

#include <chrono>
#include <cstdint>

struct pa_context;
struct pa_server_info;
struct pa_source_info;
struct pa_threaded_mainloop;

// Subscribes to the PulseAudio (or PipeWire-Pulse) server's source and server
// events on the server library's own thread and reports, on the owner's
// thread, when a real input (not the monitor of an output) appears or goes
// away or the default input changes. Changes of a source's state or volume,
// which our own recording causes, are not reported. Without a server the
// watcher knows no default and tries again, 1 s after a failure and then
// less and less often (at most every 30 s); a server that comes (back) is
// reported as a change, since its inputs may be others.
class PulseAudioInputWatcher : public AudioInputWatcher
{
    Q_OBJECT

public:
    explicit PulseAudioInputWatcher(QObject *parent = nullptr);
    ~PulseAudioInputWatcher() override;

    QByteArray defaultInputId() const override;
    bool isBuiltIn(const QByteArray &inputId) const override;
    QList<Input> inputs() const override;
    bool isReady() const override { return isConnected(); }
    // Whether the server answered and the subscription is in place.
    bool isConnected() const;

private:
    static void onContextState(pa_context *context, void *self);
    static void onEvent(pa_context *context, int event, std::uint32_t index, void *self);
    static void onServerInfo(pa_context *context, const pa_server_info *info, void *self);
    static void onSourceInfo(pa_context *context, const pa_source_info *info, int eol, void *self);
    void connectToServer();
    void dropContext();
    void connectionLost(); // on the owner's thread
    void notify();

    pa_threaded_mainloop *m_loop = nullptr;
    pa_context *m_context = nullptr;
    mutable QMutex m_mutex; // guards what the server thread writes and the owner reads
    QByteArray m_defaultInput;
    QHash<std::uint32_t, QByteArray> m_inputs; // the real inputs the server listed, by index
    QHash<QByteArray, QString> m_descriptions; // by name
    QSet<QByteArray> m_builtIn;
    bool m_connected = false;
    bool m_listed = false; // the first listing is the starting point, not a change
    bool m_wasConnected = false; // a listing after a reconnection is a change
    // Owner's thread only:
    QTimer m_retry;
    // A lost server is tried again after 1 s, then twice as long each time, at most every 30 s.
    static constexpr std::chrono::milliseconds kFirstRetryDelay{1000};
    static constexpr std::chrono::milliseconds kLongestRetryDelay{30000};
    std::chrono::milliseconds m_retryDelay = kFirstRetryDelay;
    bool m_failureLogged = false;
};
