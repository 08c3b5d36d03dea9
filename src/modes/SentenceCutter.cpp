#include "SentenceCutter.h"

#include <QTextBoundaryFinder>

namespace SentenceCutter {
namespace {

bool endsSentence(QChar c)
{
    switch (c.unicode()) {
    case u'。':
    case u'！':
    case u'？':
    case u'…':
    case u'!':
    case u'?':
    case u'\n':
        return true;
    default:
        return false;
    }
}

// The UTF-16 length of the first n graphemes, or -1 when the text has fewer.
qsizetype lengthOfGraphemes(const QString &text, qsizetype n)
{
    if (n == 0)
        return 0;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() != -1) {
        if (++count == n)
            return finder.position();
    }
    return -1;
}

} // namespace

qsizetype graphemeCount(const QString &text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

QString leftGraphemes(const QString &text, qsizetype n)
{
    const qsizetype length = lengthOfGraphemes(text, n);
    return length < 0 ? text : text.left(length);
}

QStringList extractSentences(QString &buffer)
{
    QStringList sentences;
    for (;;) {
        if (const qsizetype length = lengthOfGraphemes(buffer, kMaxSentenceLength); length >= 0) {
            const QString piece = buffer.left(length).trimmed();
            buffer.remove(0, length);
            if (!piece.isEmpty())
                sentences << piece;
            continue;
        }
        if (buffer.isEmpty())
            break;
        // A short sentence is not cut off on its own: the search goes on to
        // the next ender, and the sentences up to it are cut as one.
        qsizetype cut = -1;
        for (auto end = std::find_if(buffer.cbegin(), buffer.cend(), endsSentence); end != buffer.cend();
             end = std::find_if(end + 1, buffer.cend(), endsSentence)) {
            const qsizetype length = end - buffer.cbegin() + 1;
            if (graphemeCount(buffer.left(length).trimmed()) >= kMinSentenceLength) {
                cut = length;
                break;
            }
        }
        if (cut < 0)
            break; // waits for more text, or for the end of the stream
        sentences << buffer.left(cut).trimmed();
        buffer.remove(0, cut);
    }
    return sentences;
}

} // namespace SentenceCutter
