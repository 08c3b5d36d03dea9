#pragma once

#include <QList>
#include <QString>

// A word the recogniser gets wrong every time, and what it should be.
struct TextReplacement
{
    QString from;
    QString to;

    friend bool operator==(const TextReplacement &, const TextReplacement &) = default;
};

namespace TextReplacements {

// Each replacement in turn, in list order, replaces every occurrence of its
// "from" (exactly as written: case and width count) in the text as the
// replacements before it left it; one with an empty "from" does nothing.
// A replacement's result is never matched again by the same replacement.
QString apply(QString text, const QList<TextReplacement> &replacements);

// Adds the replacement at the end; one for the same words already there
// takes the new "to" in its place instead (their order stays).
void put(QList<TextReplacement> &replacements, const TextReplacement &replacement);
// Removes the replacement of these words; whether there was one.
bool remove(QList<TextReplacement> &replacements, const QString &from);

} // namespace TextReplacements
