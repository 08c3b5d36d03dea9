#include "InputLevelMeter.h"

#include <QAudioDevice>
#include <QAudioSource>
#include <QMediaDevices>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
constexpr int kReadingsPerSecond = 20;
} // namespace

InputLevelMeter::InputLevelMeter(QObject *parent) : QObject(parent) {}

InputLevelMeter::~InputLevelMeter()
{
    stop();
}

double InputLevelMeter::fromPeak(double peak)
{
    if (peak <= 0)
        return 0;
    const double db = 20 * std::log10(peak);
    return std::clamp((db - kFloorDb) / -kFloorDb, 0.0, 1.0);
}

void InputLevelMeter::start(const QByteArray &inputId)
{
    stop();
    QAudioDevice device = QMediaDevices::defaultAudioInput();
    for (const QAudioDevice &input : QMediaDevices::audioInputs()) {
        if (!inputId.isEmpty() && input.id() == inputId)
            device = input;
    }
    if (device.isNull())
        return;
    m_format = device.preferredFormat();
    if (m_format.sampleFormat() != QAudioFormat::Float)
        m_format.setSampleFormat(QAudioFormat::Int16);
    m_source = std::make_unique<QAudioSource>(device, m_format);
    m_source->setBufferSize(m_format.bytesForDuration(1000000 / kReadingsPerSecond));
    m_input = m_source->start();
    if (!m_input) {
        m_source.reset();
        return;
    }
    connect(m_input, &QIODevice::readyRead, this, &InputLevelMeter::readAvailable);
}

void InputLevelMeter::stop()
{
    if (!m_source)
        return;
    m_source->stop();
    m_source.reset();
    m_input = nullptr;
    Q_EMIT levelChanged(0);
}

void InputLevelMeter::readAvailable()
{
    const QByteArray data = m_input->readAll();
    double peak = 0;
    if (m_format.sampleFormat() == QAudioFormat::Float) {
        for (qsizetype i = 0; i + 4 <= data.size(); i += 4) {
            float value;
            std::memcpy(&value, data.constData() + i, 4);
            peak = std::max(peak, double(std::fabs(value)));
        }
    } else {
        for (qsizetype i = 0; i + 2 <= data.size(); i += 2) {
            qint16 value;
            std::memcpy(&value, data.constData() + i, 2);
            peak = std::max(peak, std::abs(int(value)) / 32768.0);
        }
    }
    if (!data.isEmpty())
        Q_EMIT levelChanged(fromPeak(peak));
}
