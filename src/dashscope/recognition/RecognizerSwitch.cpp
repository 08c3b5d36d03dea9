#include "RecognizerSwitch.h"

RecognizerSwitch::RecognizerSwitch(SpeechRecognizer &realtime, SpeechRecognizer &upload, QObject *parent)
    : SpeechRecognizer(parent), m_realtime(realtime), m_upload(upload), m_active(&realtime)
{
    passOn(realtime);
    passOn(upload);
}

void RecognizerSwitch::passOn(SpeechRecognizer &source)
{
    SpeechRecognizer *from = &source;
    QObject::connect(from, &SpeechRecognizer::currentTranscriptChanged, this, [this, from](const QString &text) {
        if (from == m_active)
            setCurrentTranscript(text);
    });
    QObject::connect(from, &SpeechRecognizer::finalTranscriptChanged, this, [this, from](const QString &text) {
        if (from == m_active)
            setFinalTranscript(text);
    });
    QObject::connect(from, &SpeechRecognizer::isRecordingChanged, this, [this, from](bool recording) {
        if (from == m_active)
            setRecording(recording);
    });
    QObject::connect(from, &SpeechRecognizer::audioLevelChanged, this, [this, from](float level) {
        if (from == m_active)
            setAudioLevel(level);
    });
    QObject::connect(from, &SpeechRecognizer::takeAudio, this, [this, from](const QByteArray &pcm) {
        if (from == m_active)
            Q_EMIT takeAudio(pcm);
    });
}

void RecognizerSwitch::choose(const AppConfig &config)
{
    SpeechRecognizer *wanted = config.transcribesByUpload() ? &m_upload : &m_realtime;
    if (wanted == m_active || m_active->isRecording() || m_active->isWarmedUp() || m_active->isWarmingUp())
        return;
    m_active = wanted;
    setCurrentTranscript(m_active->currentTranscript());
    setFinalTranscript(m_active->finalTranscript());
}

void RecognizerSwitch::copyOutcome()
{
    setConnectionTroubled(m_active->connectionTroubled());
    setFailure(m_active->failure());
}

void RecognizerSwitch::warmUp(const AppConfig &config)
{
    choose(config);
    m_active->warmUp(config);
}

QCoro::Task<VoidResult> RecognizerSwitch::connect(AppConfig config)
{
    choose(config);
    const VoidResult connected = co_await m_active->connect(config);
    copyOutcome();
    co_return connected;
}

QCoro::Task<VoidResult> RecognizerSwitch::startRecognition(AppConfig config)
{
    choose(config);
    const VoidResult started = co_await m_active->startRecognition(config);
    copyOutcome();
    co_return started;
}

QCoro::Task<> RecognizerSwitch::stopRecognition()
{
    co_await m_active->stopRecognition();
    copyOutcome();
}
