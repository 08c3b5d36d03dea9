#pragma once

#include "HttpRequest.h"
#include "Scenario.h"

#include <QJsonObject>
#include <QObject>

class QTcpSocket;
class StandinServer;

// One chat-completions request: the bearer key, the body checked against the
// chat or vision request format, then the answer the scenario says, streamed
// as server-sent events for a streaming chat and whole for a vision request.
class ChatExchange : public QObject
{
    Q_OBJECT

public:
    ChatExchange(QTcpSocket *socket, StandinServer &server, int connectionId, HttpRequest request,
                 bool authorized);

    void start();

Q_SIGNALS:
    // The response is complete and the connection can carry the next request.
    void done();

private:
    void respond(int status, const QByteArray &body, const QByteArray &contentType = "application/json");
    void respondError(int status, const QString &message, const QString &type, const QString &param,
                      const QString &code);
    // What a streamed answer sends: its text (and reasoning before it), in
    // pieces of chunkChars every chunkDelayMs after startDelayMs.
    struct Streamed
    {
        QString content;
        QString reasoning;
        int chunkChars = 4;
        int chunkDelayMs = 0;
        int startDelayMs = 0;
        bool crlf = false;
        Fault fault;
    };
    void streamAnswer(const QJsonObject &body);
    void answerCleanup(const QJsonObject &body, const QString &transcript, bool streaming);
    void streamText(const Streamed &streamed);
    void answerVision(const QJsonObject &body, bool streaming);
    void answerWhole(const QString &model, const QString &content, int promptChars);
    bool playFault(const Fault &fault);
    void writeChunk(const QByteArray &data);
    void writeEvent(const QByteArray &eventText, const Fault &fault);
    QJsonObject chunk(const QJsonObject &delta, const QJsonValue &finishReason) const;

    QTcpSocket *m_socket;
    StandinServer &m_server;
    int m_id;
    HttpRequest m_request;
    bool m_authorized;
    QString m_model;
    QString m_completionId;
    qint64 m_created = 0;
    int m_eventsSent = 0;
    int m_pendingWrites = 0;
};
