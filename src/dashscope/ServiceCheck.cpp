#include "ServiceCheck.h"

#include "CompatibleMode.h"
#include "DashScopeEndpoints.h"

#include <QCoroNetworkReply>
#include <QCoroSignal>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QWebSocket>

#include <memory>

namespace ServiceCheck {

namespace {

using Clock = std::chrono::steady_clock;

// The service's own words for a refusal: the OpenAI-style error's message,
// DashScope's native one, or the body's start.
QString serviceMessage(const QByteArray &body, int status)
{
    const QJsonObject json = QJsonDocument::fromJson(body).object();
    QString message = json.value(QStringLiteral("error")).toObject().value(QStringLiteral("message")).toString();
    if (message.isEmpty())
        message = json.value(QStringLiteral("message")).toString();
    if (message.isEmpty())
        message = QString::fromUtf8(body.left(200)).simplified();
    return message.isEmpty() ? QStringLiteral("HTTP %1").arg(status) : message.trimmed();
}

std::chrono::milliseconds left(Clock::time_point deadline)
{
    return std::max(std::chrono::milliseconds(0),
                    std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()));
}

QString noAnswer(std::chrono::milliseconds bound, const QUrl &url)
{
    return QStringLiteral("no answer from %1 within %2 s")
        .arg(url.toDisplayString(), QString::number(double(bound.count()) / 1000.0, 'g', 3));
}

} // namespace

QCoro::Task<Result> run(QString key, QString compatibleBaseUrl, QUrl duplex, std::chrono::milliseconds bound)
{
    const Clock::time_point deadline = Clock::now() + bound;
    const Result models = co_await modelList(key, compatibleBaseUrl, bound);
    if (models.outcome != Outcome::Accepted)
        co_return models;

    // The WebSocket interface: the handshake needs the key too; no task is
    // started on it.
    QWebSocket socket;
    QNetworkRequest handshake(duplex);
    handshake.setRawHeader("Authorization", "Bearer " + key.toUtf8());
    socket.open(handshake);
    while (socket.state() != QAbstractSocket::ConnectedState) {
        if (socket.state() == QAbstractSocket::UnconnectedState) {
            const QString error = socket.errorString();
            // Qt's handshake error names the status the server answered with.
            if (error.contains(QLatin1String("401")) || error.contains(QLatin1String("403")))
                co_return Result{Outcome::Refused, QStringLiteral("the WebSocket endpoint refused the key (%1)").arg(error)};
            co_return Result{Outcome::Unreachable, duplex.toDisplayString() + QStringLiteral(": ") + error};
        }
        const auto changed = co_await qCoro(&socket, &QWebSocket::stateChanged, left(deadline));
        if (!changed) {
            socket.abort();
            co_return Result{Outcome::Unreachable, noAnswer(bound, duplex)};
        }
    }
    socket.close();
    co_return Result{Outcome::Accepted, {}};
}

QCoro::Task<Result> modelList(QString key, QString compatibleBaseUrl, std::chrono::milliseconds bound)
{
    const Clock::time_point deadline = Clock::now() + bound;
    const std::optional<QUrl> models = CompatibleMode::endpointUrl(compatibleBaseUrl, QStringLiteral("/models"));
    if (!models)
        co_return Result{Outcome::Unreachable, QStringLiteral("not an http(s) address: ") + compatibleBaseUrl};
    const QUrl url = *models;

    // The HTTP interface: a list that needs the key and costs nothing.
    QNetworkAccessManager network;
    QNetworkRequest request(url);
    if (!key.isEmpty())
        request.setRawHeader("Authorization", "Bearer " + key.toUtf8());
    request.setTransferTimeout(int(bound.count()));
    std::unique_ptr<QNetworkReply> reply(network.get(request));
    co_await qCoro(reply.get()).waitForFinished(left(deadline));
    if (!reply->isFinished()) {
        reply->abort();
        co_return Result{Outcome::Unreachable, noAnswer(bound, url)};
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray body = reply->readAll();
    if (status == 401 || status == 403)
        co_return Result{Outcome::Refused, serviceMessage(body, status), status};
    if (status == 0) {
        const bool timedOut = reply->error() == QNetworkReply::OperationCanceledError
                              || reply->error() == QNetworkReply::TimeoutError;
        co_return Result{Outcome::Unreachable, timedOut ? noAnswer(bound, url) : reply->errorString()};
    }
    if (status != 200) {
        const QString answer = QStringLiteral("%1 answered HTTP %2: %3")
                                   .arg(url.toDisplayString(), QString::number(status), serviceMessage(body, status));
        co_return Result{Outcome::Unreachable, answer, status};
    }
    QStringList names;
    for (const QJsonValue &model : QJsonDocument::fromJson(body).object().value(QStringLiteral("data")).toArray())
        names << model.toObject().value(QStringLiteral("id")).toString();
    co_return Result{Outcome::Accepted, {}, status, names};
}

QCoro::Task<RegionVerdict> otherRegion(QString key, QString region, std::chrono::milliseconds bound)
{
    AppConfig config;
    config.serviceRegion = region == QLatin1String("singapore") ? QStringLiteral("beijing") : QStringLiteral("singapore");
    const Result result = co_await modelList(key, DashScopeEndpoints::derive(config, {}).compatibleBase, bound);
    co_return RegionVerdict{result.outcome == Outcome::Accepted ? config.serviceRegion : QString(),
                            result.outcome == Outcome::Refused};
}

QString regionName(const QString &region)
{
    return region == QLatin1String("singapore") ? QStringLiteral("Singapore") : QStringLiteral("Beijing");
}

QString regionCommand(const QString &region)
{
    return QStringLiteral("quillwren config set serviceRegion ") + region;
}

} // namespace ServiceCheck
