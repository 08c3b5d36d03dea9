#pragma once

#include "OneShot.h"
#include "SpeechRecognizer.h"

// A recogniser the test scripts: what connect and start answer, whether the
// start waits for the test, and the transcript the stop publishes. It counts
// every call.
class FakeSpeechRecognizer final : public SpeechRecognizer
{
    Q_OBJECT

public:
    // Control
    VoidResult connectResult = Ok{};
    VoidResult startResult = Ok{};
    bool holdStart = false;
    QString transcript = QStringLiteral("你好世界");

    // Record
    int warmUps = 0;
    int cancelledWarmUps = 0;
    int connects = 0;
    int starts = 0;
    int stops = 0;
    int cancels = 0;
    int offlineRecordings = 0;
    bool warmedUp = false;

    bool isWarmedUp() const override { return warmedUp; }
    bool isWarmingUp() const override { return false; }
    void warmUp(const AppConfig &) override
    {
        ++warmUps;
        warmedUp = true;
    }
    void cancelWarmUp() override
    {
        ++cancelledWarmUps;
        warmedUp = false;
    }
    QCoro::Task<VoidResult> connect(AppConfig) override
    {
        ++connects;
        co_return connectResult;
    }
    QCoro::Task<VoidResult> startRecognition(AppConfig) override
    {
        ++starts;
        if (holdStart) {
            m_startGate = std::make_shared<OneShot<bool>>(this);
            co_await *m_startGate;
        }
        warmedUp = false;
        if (std::exchange(m_cancelledDuringStart, false))
            co_return ServiceError{QStringLiteral("CancelledError"), -999, QStringLiteral("已取消")};
        if (startResult) {
            setFinalTranscript(QString());
            setCurrentTranscript(QString());
        }
        co_return startResult;
    }
    QCoro::Task<> stopRecognition() override
    {
        ++stops;
        setCurrentTranscript(transcript);
        setFinalTranscript(transcript);
        co_return;
    }

    void recordWithoutService() override
    {
        ++offlineRecordings;
        setConnectionTroubled(true);
    }
    // The take's audio as the real recogniser hands it over.
    void hear(const QByteArray &pcm) { Q_EMIT takeAudio(pcm); }
    void troubleConnection() { setConnectionTroubled(true); }

    void cancelRecognition() override
    {
        ++cancels;
        warmedUp = false;
        setRecording(false);
        setCurrentTranscript(QString());
        setFinalTranscript(QString());
        if (startIsWaiting()) {
            m_cancelledDuringStart = true;
            m_startGate->release(false);
        }
    }

    // Lets a held start go on.
    void releaseStart()
    {
        if (m_startGate)
            m_startGate->release(true);
    }
    bool startIsWaiting() const { return m_startGate && !m_startGate->isReleased(); }

    // What the real recogniser publishes while it records.
    using SpeechRecognizer::setAudioLevel;
    using SpeechRecognizer::setCurrentTranscript;
    using SpeechRecognizer::setRecording;

private:
    std::shared_ptr<OneShot<bool>> m_startGate;
    bool m_cancelledDuringStart = false;
};
