#pragma once

#include "SpeechRecognizer.h"

// The recogniser a take uses, as its settings say when the take begins
// (the key going down): the realtime one, or the upload to another server.
// Everything the chosen one publishes is passed on; the other stays idle.
class RecognizerSwitch final : public SpeechRecognizer
{
    Q_OBJECT

public:
    // Both must outlive the switch.
    RecognizerSwitch(SpeechRecognizer &realtime, SpeechRecognizer &upload, QObject *parent = nullptr);

    bool isWarmedUp() const override { return m_active->isWarmedUp(); }
    bool isWarmingUp() const override { return m_active->isWarmingUp(); }
    void warmUp(const AppConfig &config) override;
    void cancelWarmUp() override { m_active->cancelWarmUp(); }
    QCoro::Task<VoidResult> connect(AppConfig config) override;
    QCoro::Task<VoidResult> startRecognition(AppConfig config) override;
    QCoro::Task<> stopRecognition() override;
    void cancelRecognition() override { m_active->cancelRecognition(); }
    void recordWithoutService() override { m_active->recordWithoutService(); }

    SpeechRecognizer &active() const { return *m_active; }

private:
    // Chooses for a new take; a take under way keeps its recogniser.
    void choose(const AppConfig &config);
    void passOn(SpeechRecognizer &source);
    // What the chosen one found out about its take.
    void copyOutcome();

    SpeechRecognizer &m_realtime;
    SpeechRecognizer &m_upload;
    SpeechRecognizer *m_active;
};
