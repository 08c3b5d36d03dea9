#include "StandinServer.h"

#include "HttpConnection.h"

#include <QFile>
#include <QSslKey>
#include <QSslServer>
#include <QTcpServer>
#include <QTcpSocket>

StandinServer::StandinServer(Scenario scenario, QObject *parent)
    : QObject(parent), m_server(new QTcpServer(this)), m_scenario(std::move(scenario))
{
    connect(m_server, &QTcpServer::pendingConnectionAvailable, this, &StandinServer::acceptConnections);
}

bool StandinServer::useTls(const QString &certificateFile, const QString &keyFile, QString *error)
{
    const QList<QSslCertificate> chain = QSslCertificate::fromPath(certificateFile, QSsl::Pem);
    QFile keyData(keyFile);
    if (chain.isEmpty()) {
        *error = QStringLiteral("no PEM certificate in ") + certificateFile;
        return false;
    }
    if (!keyData.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read ") + keyFile;
        return false;
    }
    const QSslKey key(&keyData, QSsl::Rsa, QSsl::Pem);
    if (key.isNull()) {
        *error = QStringLiteral("no PEM RSA key in ") + keyFile;
        return false;
    }
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificateChain(chain);
    configuration.setPrivateKey(key);
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    auto *server = new QSslServer(this);
    server->setSslConfiguration(configuration);
    // A handshake that fails is the client's problem: recorded, not fatal.
    connect(server, &QSslServer::errorOccurred, this, [this](QSslSocket *, QAbstractSocket::SocketError) {
        m_recorder.record({{QStringLiteral("kind"), QStringLiteral("tls-error")}});
    });
    connect(server, &QSslServer::pendingConnectionAvailable, this, &StandinServer::acceptConnections);
    delete m_server;
    m_server = server;
    m_tls = true;
    return true;
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
    return QUrl(QStringLiteral("%1://127.0.0.1:%2/api-ws/v1/inference/").arg(m_tls ? "wss" : "ws").arg(port()));
}

QString StandinServer::compatibleBaseUrl() const
{
    return QStringLiteral("%1://127.0.0.1:%2/compatible-mode/v1").arg(m_tls ? "https" : "http").arg(port());
}

QString StandinServer::nativeBaseUrl() const
{
    return QStringLiteral("%1://127.0.0.1:%2/api/v1").arg(m_tls ? "https" : "http").arg(port());
}

void StandinServer::acceptConnections()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection())
        new HttpConnection(socket, *this);
}
