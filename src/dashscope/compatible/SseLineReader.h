#pragma once

#include <QByteArray>
#include <QList>

#include <optional>

// Cuts a server-sent-events body into lines as its bytes arrive, in any
// packet sizes: a line ends at LF, CR or CR LF; an unfinished line waits for
// the rest.
class SseLineReader
{
public:
    // The lines the new bytes completed.
    QList<QByteArray> feed(const QByteArray &bytes);
    // At the end of the body: the unfinished rest as a last line, if any.
    QList<QByteArray> finish();

    // The data of a "data: " line (blanks around the line ignored), or nothing.
    static std::optional<QByteArray> dataOf(const QByteArray &line);

private:
    QByteArray m_pending;
};
