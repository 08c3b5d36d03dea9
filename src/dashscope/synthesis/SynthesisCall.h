#pragma once

#include "AppConfig.h"
#include "AudioStream.h"
#include "OneShot.h"
#include "ServiceError.h"

#include <QObject>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <memory>

class QWebSocket;

// One synthesis task on a WebSocket connection of its own: the text goes out,
// each binary frame's audio is appended to the stream as it arrives, and the
// stream ends with the task (complete), or with the error that cut it short
// (what came before the error stays in the stream).
class SynthesisCall final : public QObject
{
    Q_OBJECT

public:
    // A socket opened ahead of time (connecting or connected) is used as it
    // is; without one, the call opens its own. timeout bounds the whole call.
    SynthesisCall(std::unique_ptr<QWebSocket> socket, const QUrl &endpoint, const QString &key, QString text,
                  const AppConfig &config, std::chrono::milliseconds timeout, std::shared_ptr<AudioStream> stream);
    ~SynthesisCall() override;

    // Opens a connection to the endpoint with the key.
    static std::unique_ptr<QWebSocket> openSocket(const QUrl &endpoint, const QString &key);

    // Released once the stream has ended.
    OneShot<bool> &done() { return m_done; }

private:
    void sendRunTask();
    void onText(const QString &text);
    void onClosed();
    void complete(std::optional<ServiceError> error);

    std::unique_ptr<QWebSocket> m_socket;
    QString m_text;
    QString m_taskId;
    QByteArray m_runTask;
    QTimer m_timeout;
    std::optional<ServiceError> m_error;
    std::shared_ptr<AudioStream> m_stream;
    OneShot<bool> m_done;
};
