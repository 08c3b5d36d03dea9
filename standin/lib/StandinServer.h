#pragma once

#include "Recorder.h"
#include "Scenario.h"
#include "VocabularyStore.h"

#include <QObject>
#include <QUrl>

class QTcpServer;

// A local stand-in of the model service on 127.0.0.1: the duplex WebSocket
// endpoint (recognition and synthesis tasks) and the compatible-mode chat
// completions (streamed chat, vision), answering as the scenario says, and
// recording everything it receives. By default it takes what the service
// takes (the service's own client libraries' requests included); strict, it
// takes only the requests this program's clients send, member by member, so
// that tests see any deviation named.
//
// Control requests (no key needed): GET /standin/records (JSON lines),
// DELETE /standin/records, GET and PUT /standin/scenario.
class StandinServer : public QObject
{
    Q_OBJECT

public:
    explicit StandinServer(Scenario scenario = {}, QObject *parent = nullptr);
    ~StandinServer() override;

    // Serves over TLS with this certificate chain and key (PEM), before
    // listen(): for clients that use the service's real host names and trust
    // the certificate's authority. False, with the reason, when they do not
    // load.
    bool useTls(const QString &certificateFile, const QString &keyFile, QString *error);
    // Listens on 127.0.0.1; port 0 picks a free one.
    bool listen(quint16 port = 0);
    // Stops accepting connections: the service is down.
    void close();
    quint16 port() const;
    QString errorString() const;

    // ws://127.0.0.1:PORT/api-ws/v1/inference/ (wss:// over TLS)
    QUrl webSocketUrl() const;
    // http://127.0.0.1:PORT/compatible-mode/v1 (https:// over TLS)
    QString compatibleBaseUrl() const;
    // The native interface's base (the custom vocabularies), on this server.
    QString nativeBaseUrl() const;

    // Only this program's requests, exactly (the test suite's stand-in).
    void setStrict(bool strict) { m_strict = strict; }
    bool isStrict() const { return m_strict; }

    const Scenario &scenario() const { return m_scenario; }
    void setScenario(const Scenario &scenario) { m_scenario = scenario; }
    Recorder &recorder() { return m_recorder; }
    VocabularyStore &vocabularies() { return m_vocabularies; }
    const Recorder &recorder() const { return m_recorder; }

    int nextConnectionId() { return ++m_connections; }

private:
    void acceptConnections();

    QTcpServer *m_server;
    Scenario m_scenario;
    Recorder m_recorder;
    VocabularyStore m_vocabularies;
    int m_connections = 0;
    bool m_tls = false;
    bool m_strict = false;
};
