#include "TextReplacements.h"

namespace TextReplacements {

QString apply(QString text, const QList<TextReplacement> &replacements)
{
    for (const TextReplacement &replacement : replacements) {
        if (!replacement.from.isEmpty())
            text.replace(replacement.from, replacement.to, Qt::CaseSensitive);
    }
    return text;
}

void put(QList<TextReplacement> &replacements, const TextReplacement &replacement)
{
    for (TextReplacement &existing : replacements) {
        if (existing.from == replacement.from) {
            existing.to = replacement.to;
            return;
        }
    }
    replacements.append(replacement);
}

bool remove(QList<TextReplacement> &replacements, const QString &from)
{
    return replacements.removeIf([&](const TextReplacement &r) { return r.from == from; }) > 0;
}

} // namespace TextReplacements
