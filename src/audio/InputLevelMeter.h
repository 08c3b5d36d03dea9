#pragma once

#include <QAudioFormat>
#include <QByteArray>
#include <QObject>

#include <memory>

class QAudioSource;
class QIODevice;

// The level of a microphone, for a meter the user watches while choosing
// one: the loudest sample of every 50 ms, as a fraction of full scale on a
// decibel scale (−60 dBFS and below is 0, 0 dBFS is 1). Runs only between
// start and stop, so that nothing wakes up while no meter is shown.
class InputLevelMeter final : public QObject
{
    Q_OBJECT

public:
    static constexpr double kFloorDb = -60;

    explicit InputLevelMeter(QObject *parent = nullptr);
    ~InputLevelMeter() override;

    // Listens to the microphone with this id (empty, or one that is not
    // there: the default); a running meter switches over.
    void start(const QByteArray &inputId);
    void stop();
    bool isRunning() const { return m_source != nullptr; }

    // The meter's reading of a peak sample value (0..1 of full scale).
    static double fromPeak(double peak);

Q_SIGNALS:
    void levelChanged(double level);

private:
    void readAvailable();

    std::unique_ptr<QAudioSource> m_source;
    QIODevice *m_input = nullptr;
    QAudioFormat m_format;
};
