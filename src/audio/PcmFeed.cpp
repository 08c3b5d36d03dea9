#include "PcmFeed.h"

#include <cstring>

void PcmFeed::append(const QByteArray &pcm)
{
    if (m_finished || pcm.isEmpty())
        return;
    m_pending += pcm;
    m_total += pcm.size();
    Q_EMIT readyRead();
}

void PcmFeed::finish()
{
    m_finished = true;
}

void PcmFeed::clear()
{
    m_pending.clear();
    m_total = 0;
    m_finished = false;
}

qint64 PcmFeed::bytesAvailable() const
{
    return m_pending.size() + QIODevice::bytesAvailable();
}

bool PcmFeed::atEnd() const
{
    return m_finished && bytesAvailable() == 0;
}

qint64 PcmFeed::readData(char *data, qint64 maxSize)
{
    const qint64 count = std::min<qint64>(maxSize, m_pending.size());
    std::memcpy(data, m_pending.constData(), size_t(count));
    m_pending.remove(0, count);
    return count;
}

qint64 PcmFeed::writeData(const char *, qint64)
{
    return -1;
}
