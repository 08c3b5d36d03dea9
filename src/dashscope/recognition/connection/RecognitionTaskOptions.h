#pragma once

#include "AppConfig.h"

#include <QByteArray>
#include <QString>

// What a take's task asks for beyond the audio: the recognition language
// and the user's words (the synced vocabulary). A take never waits for the
// words to be synced: it runs without them, said once for each state they
// are in.
class RecognitionTaskOptions
{
public:
    explicit RecognitionTaskOptions(QLatin1String model) : m_model(model) {}

    // Reads them from the take's settings.
    void update(const AppConfig &config);
    // The run-task frame of a task with them (said in the log).
    QByteArray runTaskFrame(const QString &taskId) const;

private:
    QLatin1String m_model;
    QString m_language;
    QString m_vocabularyId;     // the user's words, when synced for this model
    QString m_vocabularyNotice; // why they are not, as last logged
};
