#pragma once

#include "HttpRequest.h"

#include <QObject>
#include <QPointer>

class QTcpSocket;
class StandinServer;
class ChatExchange;
class WsSession;

// One client connection: reads HTTP requests one after another (keep-alive),
// answers control and chat requests, and hands a WebSocket upgrade over to a
// WsSession. Deletes itself when the socket closes.
class HttpConnection : public QObject
{
    Q_OBJECT

public:
    HttpConnection(QTcpSocket *socket, StandinServer &server);

private:
    void readRequests();
    void handle(const HttpRequest &request);
    void handleControl(const HttpRequest &request);
    void upgrade(const HttpRequest &request);
    void listModels(const HttpRequest &request);
    // The custom vocabularies' request (the five actions).
    void customize(const HttpRequest &request);
    bool authorized(const HttpRequest &request) const;

    QTcpSocket *m_socket;
    StandinServer &m_server;
    int m_id;
    HttpRequestReader m_reader;
    QPointer<ChatExchange> m_exchange; // a response still being written
    bool m_upgraded = false;
};
