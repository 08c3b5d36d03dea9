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

} // namespace TextReplacements
