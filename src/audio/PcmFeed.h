#pragma once

#include <QByteArray>
#include <QIODevice>

// The PCM of a sound still arriving, as an audio sink pulls it: what has
// come is read at once; when the sink has read everything before the end,
// it waits (the device says readyRead when more comes); at the end the
// device is at its end.
class PcmFeed final : public QIODevice
{
    Q_OBJECT

public:
    using QIODevice::QIODevice;

    void append(const QByteArray &pcm);
    // No more will come.
    void finish();
    bool isFinishing() const { return m_finished; }
    // Everything appended so far.
    qint64 totalBytes() const { return m_total; }
    // Empties it for the next sound.
    void clear();

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;
    bool atEnd() const override;

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 maxSize) override;

private:
    QByteArray m_pending;
    qint64 m_total = 0;
    bool m_finished = false;
};
