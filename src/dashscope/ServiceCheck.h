#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

#include <QCoroTask>

#include <chrono>

// Whether the model service takes this key at these addresses, asked the
// cheapest way that proves it without spending tokens or sending audio: the
// HTTP interface's model list (which needs the key), then the WebSocket
// interface's handshake (which needs it too), closed at once.
namespace ServiceCheck {

enum class Outcome { Accepted, Refused, Unreachable };

struct Result
{
    Outcome outcome = Outcome::Unreachable;
    // Refused: the service's message; Unreachable: the error.
    QString detail;
    // The HTTP status of the model list (0: none came).
    int status = 0;
    // Accepted: the models the list names.
    QStringList models = {};
};

// Gives up after bound in all, as Unreachable.
QCoro::Task<Result> run(QString key, QString compatibleBaseUrl, QUrl duplex, std::chrono::milliseconds bound);
// Only the model list ({base}/models); an empty key sends no Authorization
// (a server on the user's own machine).
QCoro::Task<Result> modelList(QString key, QString compatibleBaseUrl, std::chrono::milliseconds bound);

// A key refused in the settings' region may belong to the other one: the
// service answers both the same (401), so only asking the other region tells
// a wrong region from a wrong key.
struct RegionVerdict
{
    // The region that accepts the key, when it is not the settings' one.
    QString acceptingRegion;
    // The other region refused it too: the key is wrong (unset when that
    // region could not be asked).
    bool refusedThere = false;
    bool belongsElsewhere() const { return !acceptingRegion.isEmpty(); }
};
// Asks the other region's shared host once, bounded.
QCoro::Task<RegionVerdict> otherRegion(QString key, QString region, std::chrono::milliseconds bound);
// "Beijing", "Singapore": for texts.
QString regionName(const QString &region);
// The command that makes the settings use a region.
QString regionCommand(const QString &region);

} // namespace ServiceCheck
