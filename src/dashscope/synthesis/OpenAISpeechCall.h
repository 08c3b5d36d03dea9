#pragma once

#include "AppConfig.h"
#include "AudioStream.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <memory>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

// One text spoken by a server of the OpenAI-style speech interface: POST
// {speechBaseURL}/audio/speech with the settings' model and voice, asking for
// MP3; the body goes into the stream as it arrives, so playback starts with
// the first bytes. The key is the one stored for the server's host; with none
// no Authorization is sent (a server on the user's own machine). An error
// answer's message is what the stream ends with. Bounded: timeout for the
// whole call, inactivity for a silence. Deletes itself when done.
class OpenAISpeechCall final : public QObject
{
    Q_OBJECT

public:
    static void start(QNetworkAccessManager &network, std::shared_ptr<AudioStream> stream, const QString &text,
                      const AppConfig &config, const std::optional<QString> &key, std::chrono::milliseconds timeout,
                      std::chrono::milliseconds inactivity);

    // The message of an OpenAI-style error body ({"error": {"message"}}),
    // else the body itself, cut short.
    static QString errorMessage(const QByteArray &body);

private:
    OpenAISpeechCall(QNetworkReply *reply, std::shared_ptr<AudioStream> stream, std::chrono::milliseconds timeout);
    void onData();
    void onFinished();

    QNetworkReply *m_reply;
    std::shared_ptr<AudioStream> m_stream;
    int m_status = 0;
    QByteArray m_errorBody;
    bool m_timedOut = false;
};
