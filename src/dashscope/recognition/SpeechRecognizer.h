#pragma once

#include "AppConfig.h"
#include "ServiceError.h"

#include <QObject>
#include <QString>

#include <QCoroTask>

// What the mode controller needs of speech recognition across one key press:
// a warm-up while the key is held, the start at activation, the stop at the
// release, and the transcript as it grows and once it is final; and what the
// indicator shows of it: whether it records, and how loud. The realtime
// recogniser implements it; tests give the controller a fake.
class SpeechRecognizer : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString currentTranscript READ currentTranscript NOTIFY currentTranscriptChanged)
    Q_PROPERTY(QString finalTranscript READ finalTranscript NOTIFY finalTranscriptChanged)
    Q_PROPERTY(bool isRecording READ isRecording NOTIFY isRecordingChanged)
    Q_PROPERTY(float audioLevel READ audioLevel NOTIFY audioLevelChanged)

public:
    using QObject::QObject;

    QString currentTranscript() const { return m_currentTranscript; }
    QString finalTranscript() const { return m_finalTranscript; }
    bool isRecording() const { return m_isRecording; }
    // The input level of what is being recorded, 0…1.
    float audioLevel() const { return m_audioLevel; }

    virtual bool isWarmedUp() const = 0;
    virtual bool isWarmingUp() const = 0;
    // Connects in the background; returns at once.
    virtual void warmUp(const AppConfig &config) = 0;
    // Drops a running or ready warm-up; does nothing without one.
    virtual void cancelWarmUp() = 0;
    // Returns once the service has started a task.
    virtual QCoro::Task<VoidResult> connect(AppConfig config) = 0;
    // Returns once audio streams into the task (a warm-up in flight is taken over).
    virtual QCoro::Task<VoidResult> startRecognition(AppConfig config) = 0;
    // Returns once the final transcript is published (bounded).
    virtual QCoro::Task<> stopRecognition() = 0;
    // Discards the take at once, whatever stage it is in: the microphone
    // closes, nothing more is sent, the task is ended and its text is never
    // published; a start still under way fails with a cancellation.
    virtual void cancelRecognition() = 0;
    // The take could not start on the service: the microphone records it
    // all the same, for its kept audio (takeAudio), until the stop or a
    // cancellation. Does nothing while a recording runs.
    virtual void recordWithoutService() = 0;

    // Whether the take now under way (or the last one) lost or never had
    // its connection, or the service failed it: its transcript may miss
    // what was said then, even when a reconnection saved the rest.
    bool connectionTroubled() const { return m_connectionTroubled; }
    // Why the take now under way (or the last one) has no words, in the
    // service's own terms, when it says (an upload refused); empty otherwise.
    QString failure() const { return m_failure; }

Q_SIGNALS:
    void currentTranscriptChanged(const QString &text);
    void finalTranscriptChanged(const QString &text);
    void isRecordingChanged(bool recording);
    void audioLevelChanged(float level);
    // Each piece of the take's audio, from what was heard before the
    // recording started to the tail, whether or not it reached the service.
    void takeAudio(const QByteArray &pcm16k);

protected:
    void setCurrentTranscript(const QString &text)
    {
        if (std::exchange(m_currentTranscript, text) != text)
            Q_EMIT currentTranscriptChanged(text);
    }
    void setFinalTranscript(const QString &text)
    {
        if (std::exchange(m_finalTranscript, text) != text)
            Q_EMIT finalTranscriptChanged(text);
    }

    void setRecording(bool recording)
    {
        if (std::exchange(m_isRecording, recording) != recording)
            Q_EMIT isRecordingChanged(recording);
    }
    void setAudioLevel(float level)
    {
        if (std::exchange(m_audioLevel, level) != level)
            Q_EMIT audioLevelChanged(level);
    }

    void setConnectionTroubled(bool troubled) { m_connectionTroubled = troubled; }
    void setFailure(const QString &failure) { m_failure = failure; }

private:
    bool m_connectionTroubled = false;
    QString m_failure;
    QString m_currentTranscript;
    QString m_finalTranscript;
    bool m_isRecording = false;
    float m_audioLevel = 0;
};
