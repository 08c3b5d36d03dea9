#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

// Checks the client's task frames member by member and type by type against
// the wire format. Each check returns an empty string when the frame is right,
// else a message naming the first wrong member ("payload.parameters.sample_rate
// must be an integer").
namespace RunTaskValidator {

QString recognition(const QJsonObject &frame, const QStringList &models);
QString synthesis(const QJsonObject &frame, const QStringList &models);
QString continueTask(const QJsonObject &frame, const QString &taskId);
QString finishTask(const QJsonObject &frame, const QString &taskId);

} // namespace RunTaskValidator
