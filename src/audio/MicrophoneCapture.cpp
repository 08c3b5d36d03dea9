#include "MicrophoneCapture.h"

#include "AudioInputWatcher.h"
#include "Log.h"
#include "UserText.h"

#include <QAudioSource>
#include <QMediaDevices>

// The capture is the recogniser's audio engine, and its lines keep the
// recogniser's tag: read by tag, the log shows one recording whole, device
// choice included, and those texts are what users' bug reports quote.

namespace {
QString rateText(int rate)
{
    return QString::number(double(rate), 'f', 1);
}

bool usable(const QAudioDevice &device)
{
    const QAudioFormat format = device.preferredFormat();
    return !device.isNull() && format.channelCount() > 0 && format.sampleRate() > 0;
}
} // namespace

MicrophoneCapture::MicrophoneCapture(AudioInputWatcher *watcher, QObject *parent)
    : AudioCapture(parent), m_watcher(watcher), m_devices(new QMediaDevices(this))
{
    Log::line(QStringLiteral("🎵 [RealtimeASR] 音频格式：16kHz, 16bit, Mono, PCM"));
    connect(m_devices, &QMediaDevices::audioInputsChanged, this, &MicrophoneCapture::configurationChanged);
    if (m_watcher)
        connect(m_watcher, &AudioInputWatcher::inputsChanged, this, &MicrophoneCapture::configurationChanged);
}

MicrophoneCapture::~MicrophoneCapture() = default;

void MicrophoneCapture::listAudioDevices()
{
    const QList<QAudioDevice> devices = QMediaDevices::audioInputs();
    Log::line(QStringLiteral("📋 [RealtimeASR] 系统音频设备列表 (%1 个)：").arg(devices.size()));
    for (const QAudioDevice &device : devices)
        Log::line(QStringLiteral("   [%1] %2 — 输入通道:%3")
                      .arg(QString::fromUtf8(device.id()), device.description())
                      .arg(device.preferredFormat().channelCount()));
}

QAudioDevice MicrophoneCapture::currentInputDevice()
{
    // Said at every start, so that a notice of a missing one goes once the
    // user chose another, or it came back.
    const QByteArray mine = m_chosen ? m_chosen() : QByteArray();
    if (!mine.isEmpty()) {
        for (const QAudioDevice &device : QMediaDevices::audioInputs()) {
            if (device.id() == mine && usable(device)) {
                Q_EMIT chosenInputMissing({});
                return device;
            }
        }
        Log::line(QStringLiteral("⚠️ [RealtimeASR] 所选麦克风不可用，改用系统默认：") + QString::fromUtf8(mine));
    }
    Q_EMIT chosenInputMissing(mine);
    const QByteArray chosen = m_watcher ? m_watcher->defaultInputId() : QByteArray();
    if (chosen.isEmpty())
        return QMediaDevices::defaultAudioInput();
    for (const QAudioDevice &device : QMediaDevices::audioInputs()) {
        if (device.id() == chosen)
            return device;
    }
    // The server's default is not a microphone: the monitor of an output,
    // which the server picks when the microphone in use goes away.
    return {};
}

QAudioDevice MicrophoneCapture::findBuiltInMicrophone() const
{
    QAudioDevice fallback;
    for (const QAudioDevice &device : QMediaDevices::audioInputs()) {
        if (!usable(device))
            continue;
        if (fallback.isNull())
            fallback = device;
        if (m_watcher && m_watcher->isBuiltIn(device.id())) {
            Log::line(QStringLiteral("🎤 [RealtimeASR] 找到内置麦克风: %1 (ID:%2)")
                          .arg(device.description(), QString::fromUtf8(device.id())));
            return device;
        }
    }
    return fallback;
}

QAudioDevice MicrophoneCapture::ensureValidInputDevice()
{
    const QAudioDevice current = currentInputDevice();
    const QAudioFormat format = current.preferredFormat();
    if (usable(current)) {
        Log::line(QStringLiteral("🎤 [RealtimeASR] 当前输入设备有效: %1 (%2Hz, %3ch)")
                      .arg(current.description().isEmpty() ? QStringLiteral("系统默认") : current.description(),
                           rateText(format.sampleRate()))
                      .arg(format.channelCount()));
        return current;
    }
    Log::line(QStringLiteral("⚠️ [RealtimeASR] 默认输入设备无效（通道=%1, 采样率=%2），查找替代设备...")
                  .arg(format.channelCount())
                  .arg(rateText(format.sampleRate())));
    if (const QAudioDevice device = findBuiltInMicrophone(); !device.isNull()) {
        const QAudioFormat found = device.preferredFormat();
        Log::line(QStringLiteral("✅ [RealtimeASR] 已切换到: %1 (ID:%2, %3Hz, %4ch)")
                      .arg(device.description(), QString::fromUtf8(device.id()), rateText(found.sampleRate()))
                      .arg(found.channelCount()));
        return device;
    }
    Log::line(QStringLiteral("❌ [RealtimeASR] 未找到任何有效音频输入设备"));
    listAudioDevices();
    return {};
}

QCoro::Task<VoidResult> MicrophoneCapture::start()
{
    stop();
    const QAudioDevice device = ensureValidInputDevice();
    m_format = device.preferredFormat();
    if (!usable(device)) {
        co_return ServiceError{QStringLiteral("AudioError"), kNoUsableInputError,
                               UserText::of(QT_TRANSLATE_NOOP("UserText", "无有效音频输入设备（通道=%1, 采样率=%2）"))
                                   .arg(m_format.channelCount())
                                   .arg(rateText(m_format.sampleRate()))};
    }
    if (m_format.sampleFormat() != QAudioFormat::Float)
        m_format.setSampleFormat(QAudioFormat::Int16);
    Log::line(QStringLiteral("🎵 [RealtimeASR] 硬件格式：%1Hz, %2 通道").arg(rateText(m_format.sampleRate())).arg(m_format.channelCount()));
    m_source = std::make_unique<QAudioSource>(device, m_format);
    // A short buffer with the server: the first audio arrives 40-80 ms after
    // the start (with a 200 ms one it took 400-600 ms, and the audio of that
    // wait was lost). readAvailable() gathers the capture buffers.
    m_source->setBufferSize(m_format.sampleRate() / kServerBuffersPerSecond * m_format.bytesPerFrame());
    m_input = m_source->start();
    if (!m_input || m_source->error() != QAudio::NoError) {
        const int code = int(m_source->error());
        stop();
        co_return ServiceError{
            QStringLiteral("AudioError"), code,
            UserText::of(QT_TRANSLATE_NOOP("UserText", "音频引擎启动失败（QAudio 错误 %1）")).arg(code)};
    }
    m_resampler = std::make_unique<StreamingResampler>(m_format.sampleRate());
    m_pending.clear();
    connect(m_input, &QIODevice::readyRead, this, &MicrophoneCapture::readAvailable);
    connect(m_source.get(), &QAudioSource::stateChanged, this, [this](QAudio::State state) {
        // A source that stops by itself (the device went away) asks for a restart.
        if (state == QAudio::StoppedState && m_source && m_source->error() != QAudio::NoError)
            Q_EMIT configurationChanged();
    });
    co_return Ok{};
}

void MicrophoneCapture::stop()
{
    if (m_source) {
        m_source->disconnect(this);
        if (m_input)
            m_input->disconnect(this);
        m_source->stop();
        m_source.reset();
    }
    m_input = nullptr;
}

void MicrophoneCapture::finish()
{
    if (m_input && m_resampler) {
        readAvailable(); // whole buffers first, as usual
        // Whole frames only: a torn one would be noise.
        const qsizetype rest = m_pending.size() - m_pending.size() % m_format.bytesPerFrame();
        auto converted = convert(m_pending.left(rest));
        const QVector<float> tail = m_resampler->flush();
        converted.pcm16k += PcmConversion::floatToInt16(tail);
        m_pending.clear();
        if (!converted.pcm16k.isEmpty()) {
            Q_EMIT levelChanged(converted.level);
            Q_EMIT pcmReady(converted.pcm16k);
        }
    }
    stop();
}

QCoro::Task<bool> MicrophoneCapture::requestPermission()
{
    co_return true; // Linux asks nobody; the audio server decides
}

PcmConversion::ConvertedBuffer MicrophoneCapture::convert(const QByteArray &frames)
{
    return PcmConversion::convertBuffer(frames, m_format.channelCount(), m_format.sampleFormat() == QAudioFormat::Float,
                                        *m_resampler);
}

void MicrophoneCapture::readAvailable()
{
    if (!m_input)
        return;
    m_pending += m_input->readAll();
    const qsizetype bufferBytes = qsizetype(kBufferFrames) * m_format.bytesPerFrame();
    while (m_pending.size() >= bufferBytes) {
        const QByteArray buffer = m_pending.left(bufferBytes);
        m_pending.remove(0, bufferBytes);
        const auto converted = convert(buffer);
        Q_EMIT levelChanged(converted.level);
        Q_EMIT pcmReady(converted.pcm16k);
    }
}
