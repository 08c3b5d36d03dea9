#include "AudioRecorderService.h"

#include "UserText.h"

#include <QFile>
#include <QMetaObject>

void AudioRecorderService::cancelRecording()
{
    if (m_recordingPath) {
        QFile::remove(*m_recordingPath); // a file that cannot be removed is left, silently
        m_recordingPath.reset();
    }
    publish(0, RecordingState::idle(), false);
}

void AudioRecorderService::recorderDidFinish(bool successfully)
{
    if (successfully)
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            publish(m_audioLevel, RecordingState::error(UserText::of(QT_TRANSLATE_NOOP("UserText", "录音未能完成"))),
                    false);
        },
        Qt::QueuedConnection);
}

void AudioRecorderService::recorderEncodeErrorDidOccur(const std::optional<QString> &description)
{
    const QString message = description ? UserText::of(QT_TRANSLATE_NOOP("UserText", "编码错误：%1")).arg(*description)
                                        : UserText::of(QT_TRANSLATE_NOOP("UserText", "编码错误"));
    QMetaObject::invokeMethod(this, [this, message] {
        publish(m_audioLevel, RecordingState::error(message), false);
    }, Qt::QueuedConnection);
}

void AudioRecorderService::publish(float level, const RecordingState &state, bool recording)
{
    if (std::exchange(m_audioLevel, level) != level)
        Q_EMIT audioLevelChanged(level);
    if (std::exchange(m_recordingState, state) != state)
        Q_EMIT recordingStateChanged(state);
    if (std::exchange(m_isRecording, recording) != recording)
        Q_EMIT isRecordingChanged(recording);
}
