#pragma once

#include "StandinServer.h"

#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QWebSocket>

#include <gtest/gtest.h>

#include <memory>

// A stand-in on a free port in this process, and real Qt clients to talk to
// it. Strict: any request of this program that strays from what it is meant
// to send fails the test, named.
class StandinFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        server.setStrict(true);
        ASSERT_TRUE(server.listen());
    }

    // Applies scenario JSON on top of the defaults.
    void useScenario(const QByteArray &json)
    {
        QString error;
        const auto scenario = Scenario::fromJson(json, &error);
        ASSERT_TRUE(scenario) << error.toStdString();
        server.setScenario(*scenario);
    }

    QString key() const { return server.scenario().apiKey; }

    StandinServer server;
};

// A WebSocket client of the inference endpoint that keeps every frame it gets.
class WsClient
{
public:
    // scheme: how the Authorization header names it (some clients write "bearer").
    explicit WsClient(StandinServer &server, const QString &key = {}, const QString &path = {},
                      const QByteArray &scheme = "Bearer");

    bool isConnected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    void sendJson(const QJsonObject &frame);
    void sendText(const QByteArray &text);
    void sendBinary(const QByteArray &data);

    // The next text frame whose header event is the given one (or any event
    // when empty); an empty object when none comes in time.
    QJsonObject waitForEvent(const QString &event, int timeoutMs = 3000);
    // Waits until the server has closed the connection.
    bool waitForDisconnect(int timeoutMs = 3000);

    QList<QJsonObject> events;    // every JSON frame received, in order
    QStringList nonJsonTexts;     // text frames that were not JSON objects
    QByteArray binary;            // all binary frames, joined
    int binaryFrames = 0;

private:
    QWebSocket m_socket;
    qsizetype m_consumed = 0;
};

// Frames of the recognition and synthesis tasks, as the wire format says.
namespace Frames {
QJsonObject recognitionRunTask(const QString &taskId);
QJsonObject synthesisRunTask(const QString &taskId, const QString &voice = QStringLiteral("longanyang"));
QJsonObject continueTask(const QString &taskId, const QString &text);
QJsonObject finishTask(const QString &taskId);
// A sine tone as 16-bit little-endian mono PCM at the given rate.
QByteArray tone(double hz, int ms, int rate = 16000, double amplitude = 0.5);
} // namespace Frames

// POSTs a JSON body to the stand-in's chat completions and waits for the end.
struct HttpResult
{
    int status = 0;
    QByteArray body;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    bool finished = false;
};
HttpResult postChat(StandinServer &server, const QByteArray &body, const QString &key, int timeoutMs = 5000);
// The "data: " payloads of a server-sent-event body, in order.
QStringList dataLines(const QByteArray &body);

// One request written on a plain socket exactly as given (its body whole,
// or in chunks), and the response read back: status, headers (names in lower
// case) and body, a chunked one joined.
struct RawResponse
{
    int status = 0;
    QHash<QByteArray, QByteArray> headers;
    QByteArray body;
};
RawResponse rawHttp(StandinServer &server, const QByteArray &method, const QString &path,
                    const QList<std::pair<QByteArray, QByteArray>> &headers, const QByteArray &body, bool chunked = false);
