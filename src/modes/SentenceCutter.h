#pragma once

#include <QString>
#include <QStringList>

// Cuts a growing answer into the sentences that are spoken one by one.
// Lengths count user-perceived characters (grapheme clusters), not bytes or
// UTF-16 units.
namespace SentenceCutter {

// Text without a sentence end is spoken in pieces of at most this many characters.
constexpr int kMaxSentenceLength = 80;
// A finished sentence shorter than this (an interjection such as 你好！) is
// not spoken as a clip of its own: it is carried and spoken together with
// the next one, so that a short answer ("今天晴。") is still heard.
constexpr int kMinSentenceLength = 5;

// Takes the complete sentences off the front of the buffer, in order; what
// is left waits for more text. A buffer of 80 characters or more is cut at
// 80 first, whatever it holds. Otherwise the buffer is cut after the first
// "。", "！", "？", "…", "!", "?" or newline that ends at least 5 characters
// (trimmed); shorter sentences before it are part of that cut. Shorter text
// stays in the buffer, so the caller speaks it with the rest of the answer
// when the stream ends.
QStringList extractSentences(QString &buffer);

qsizetype graphemeCount(const QString &text);
// The first n user-perceived characters of the text.
QString leftGraphemes(const QString &text, qsizetype n);

} // namespace SentenceCutter
