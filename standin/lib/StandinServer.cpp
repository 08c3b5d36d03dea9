#include "StandinServer.h"

#include "HttpConnection.h"

#include <QTcpServer>
#include <QTcpSocket>

StandinServer::StandinServer(Scenario scenario, QObject *parent)
    : QObject(parent), m_server(new QTcpServer(this)), m_scenario(std::move(scenario))
{
    connect(m_server, &QTcpServer::newConnection, this, &StandinServer::acceptConnections);
}

StandinServer::~StandinServer()
{
    // Connections record as they close: end them while the recorder still exists.
    qDeleteAll(findChildren<HttpConnection *>(Qt::FindDirectChildrenOnly));
}

bool StandinServer::listen(quint16 port)
{
    return m_server->listen(QHostAddress::LocalHost, port);
}

void StandinServer::close()
{
    m_server->close();
}

quint16 StandinServer::port() const
{
    return m_server->serverPort();
}

QString StandinServer::errorString() const
{
    return m_server->errorString();
}

QUrl StandinServer::webSocketUrl() const
{
    return QUrl(QStringLiteral("ws://127.0.0.1:%1/api-ws/v1/inference/").arg(port()));
}

QString StandinServer::compatibleBaseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1/compatible-mode/v1").arg(port());
}

void StandinServer::acceptConnections()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection())
        new HttpConnection(socket, *this);
}
