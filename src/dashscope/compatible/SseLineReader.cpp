#include "SseLineReader.h"

QList<QByteArray> SseLineReader::feed(const QByteArray &bytes)
{
    // Only the new bytes are searched: a long line in many small packets
    // would otherwise be scanned again for every packet.
    qsizetype i = m_pending.size();
    m_pending += bytes;
    QList<QByteArray> lines;
    qsizetype start = 0;
    for (; i < m_pending.size(); ++i) {
        if (m_pending[i] == '\n' || m_pending[i] == '\r') {
            lines.append(m_pending.mid(start, i - start));
            start = i + 1;
        }
    }
    m_pending.remove(0, start);
    return lines;
}

QList<QByteArray> SseLineReader::finish()
{
    if (m_pending.isEmpty())
        return {};
    return {std::exchange(m_pending, {})};
}

std::optional<QByteArray> SseLineReader::dataOf(const QByteArray &line)
{
    const QByteArray trimmed = line.trimmed();
    if (!trimmed.startsWith("data: "))
        return std::nullopt;
    return trimmed.mid(6);
}
