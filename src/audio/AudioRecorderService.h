#pragma once

#include "RecordingState.h"

#include <QObject>
#include <QString>

#include <optional>

// The state of a file recorder, for the controller that watches it. Speech
// input goes through the realtime recogniser; this object holds the published
// state, turns a recorder's failures into a published error, and cancels.
class AudioRecorderService : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isRecording READ isRecording NOTIFY isRecordingChanged)
    Q_PROPERTY(RecordingState recordingState READ recordingState NOTIFY recordingStateChanged)
    Q_PROPERTY(float audioLevel READ audioLevel NOTIFY audioLevelChanged)

public:
    using QObject::QObject;

    bool isRecording() const { return m_isRecording; }
    RecordingState recordingState() const { return m_recordingState; }
    float audioLevel() const { return m_audioLevel; }
    const std::optional<QString> &recordingPath() const { return m_recordingPath; }
    // The file a recording writes to; cancelRecording() deletes it.
    void setRecordingPath(const QString &path) { m_recordingPath = path; }

    // Stops and discards the recording: the file is deleted, the state reset.
    void cancelRecording();

    // The recorder's reports.
    void recorderDidFinish(bool successfully);
    void recorderEncodeErrorDidOccur(const std::optional<QString> &description);

Q_SIGNALS:
    void isRecordingChanged(bool recording);
    void recordingStateChanged(const RecordingState &state);
    void audioLevelChanged(float level);

private:
    void publish(float level, const RecordingState &state, bool recording);

    bool m_isRecording = false;
    RecordingState m_recordingState;
    float m_audioLevel = 0;
    std::optional<QString> m_recordingPath;
};
