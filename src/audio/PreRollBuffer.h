#pragma once

#include <QByteArray>
#include <QList>

// The audio heard between a key going down and the recording it starts:
// whole capture buffers in order, at most `capacityBytes` of them, the oldest
// dropped first. Held in memory only; taken once, or cleared, never kept.
class PreRollBuffer
{
public:
    explicit PreRollBuffer(qsizetype capacityBytes) : m_capacity(capacityBytes) {}

    // True when older audio had to go to make room.
    bool append(const QByteArray &pcm)
    {
        m_buffers.append(pcm);
        m_bytes += pcm.size();
        bool dropped = false;
        while (m_bytes > m_capacity && !m_buffers.isEmpty()) {
            m_bytes -= m_buffers.takeFirst().size();
            dropped = true;
        }
        return dropped;
    }
    // Everything held, in the order it was heard; the buffer is empty after.
    QList<QByteArray> take()
    {
        m_bytes = 0;
        return std::exchange(m_buffers, {});
    }
    void clear() { take(); }
    qsizetype bytes() const { return m_bytes; }

private:
    qsizetype m_capacity;
    qsizetype m_bytes = 0;
    QList<QByteArray> m_buffers;
};
