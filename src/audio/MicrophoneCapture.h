#pragma once

#include "AudioCapture.h"
#include "PcmConversion.h"

#include <QAudioDevice>
#include <QAudioFormat>

#include <functional>
#include <memory>

class AudioInputWatcher;
class QAudioSource;
class QIODevice;
class QMediaDevices;

// The microphone through Qt Multimedia (PulseAudio or PipeWire underneath):
// the input device in its own preferred format, read in 3200-frame buffers,
// each turned into one 16 kHz Int16 frame by channel 0 and one streaming
// resampler per session. The input is the audio server's default when the
// watcher knows it (Qt 6.4 answers the first listed input instead); one that
// is not usable is replaced by the built-in microphone, else by the first
// device with input channels. Changes
// of the inputs reach configurationChanged from Qt, from the watcher and from
// a source that stops with an error.
class MicrophoneCapture final : public AudioCapture
{
    Q_OBJECT

public:
    // How often the audio server hands audio over (a 40 ms buffer with it).
    static constexpr int kServerBuffersPerSecond = 25;

    // The watcher, when given, must outlive the capture.
    explicit MicrophoneCapture(AudioInputWatcher *watcher = nullptr, QObject *parent = nullptr);

    // The microphone the user chose (its id; empty: the server's default),
    // asked at each start. One that is not there falls back to the default.
    void setChosenInput(std::function<QByteArray()> chosen) { m_chosen = std::move(chosen); }
    ~MicrophoneCapture() override;

    QCoro::Task<VoidResult> start() override;
    void stop() override;
    void finish() override;
    bool isRunning() const override { return m_source != nullptr; }
    QCoro::Task<bool> requestPermission() override;

    // Logs every input device, for diagnostics.
    static void listAudioDevices();

Q_SIGNALS:
    // At each start: missing names the chosen microphone when it could not
    // be had (the default served instead), else is empty.
    void chosenInputMissing(const QByteArray &missing);

private:
    QAudioDevice currentInputDevice();
    QAudioDevice findBuiltInMicrophone() const;
    QAudioDevice ensureValidInputDevice();
    void readAvailable();
    // Captured frames in the source's format, through the session's resampler.
    PcmConversion::ConvertedBuffer convert(const QByteArray &frames);

    AudioInputWatcher *m_watcher;
    std::function<QByteArray()> m_chosen;
    QMediaDevices *m_devices;
    std::unique_ptr<QAudioSource> m_source;
    QIODevice *m_input = nullptr;
    QAudioFormat m_format;
    std::unique_ptr<StreamingResampler> m_resampler;
    QByteArray m_pending;
};
