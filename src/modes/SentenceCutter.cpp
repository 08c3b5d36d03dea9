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
        const auto end = std::find_if(buffer.cbegin(), buffer.cend(), endsSentence);
        if (end == buffer.cend())
            break; // waits for more text
        const qsizetype cut = end - buffer.cbegin() + 1;
        const QString sentence = buffer.left(cut).trimmed();
        buffer.remove(0, cut);
        if (graphemeCount(sentence) >= kMinSentenceLength)
            sentences << sentence;
    }
    return sentences;
}

} // namespace SentenceCutter
