#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

// Checks the client's task frames member by member and type by type against
// the wire format. Each check returns an empty string when the frame is right,
// else a message naming the first wrong member ("payload.parameters.sample_rate
// must be an integer").
//
// As the service reads them by default: optional parameters may be left
// out (their defaults apply) and the documented ones the stand-in does not
// act on are accepted, as the service's own client libraries send them.
// Strict: exactly the members this program's client sends, each required.
namespace RunTaskValidator {

QString recognition(const QJsonObject &frame, const QStringList &models, bool strict = false);
QString synthesis(const QJsonObject &frame, const QStringList &models, bool strict = false);
QString continueTask(const QJsonObject &frame, const QString &taskId, bool strict = false);
QString finishTask(const QJsonObject &frame, const QString &taskId);

} // namespace RunTaskValidator
