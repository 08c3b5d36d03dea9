#include "UserText.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <algorithm>
#include <vector>

namespace {

const QRegularExpression &placeholder()
{
    static const QRegularExpression pattern(QStringLiteral("%(\\d)"));
    return pattern;
}

// One text with placeholders as a pattern over finished texts: its fixed
// parts literally, each placeholder a capture (a placeholder used twice must
// hold the same text twice).
struct Pattern
{
    QString original;
    QRegularExpression match;
    QList<int> numbers; // the placeholder number of each capture, in order
    qsizetype fixedLength = 0;
};

std::vector<Pattern> compile()
{
    std::vector<Pattern> patterns;
    for (const QString &text : UserText::templates()) {
        Pattern pattern{text, {}, {}, 0};
        QString expression = QStringLiteral("^");
        qsizetype at = 0;
        for (auto it = placeholder().globalMatch(text); it.hasNext();) {
            const QRegularExpressionMatch found = it.next();
            const QString fixed = text.mid(at, found.capturedStart() - at);
            expression += QRegularExpression::escape(fixed);
            pattern.fixedLength += fixed.size();
            const int number = found.captured(1).toInt();
            const qsizetype earlier = pattern.numbers.indexOf(number);
            if (earlier >= 0) {
                expression += QStringLiteral("\\%1").arg(earlier + 1);
            } else {
                pattern.numbers << number;
                expression += QStringLiteral("(.*?)");
            }
            at = found.capturedEnd();
        }
        const QString rest = text.mid(at);
        expression += QRegularExpression::escape(rest) + QStringLiteral("$");
        pattern.fixedLength += rest.size();
        // A bare "%1" would match anything at all: not a text of ours.
        if (pattern.fixedLength == 0 || pattern.numbers.isEmpty())
            continue;
        pattern.match.setPattern(expression);
        pattern.match.setPatternOptions(QRegularExpression::DotMatchesEverythingOption);
        patterns.push_back(std::move(pattern));
    }
    // The most specific first: "回复中断：%1" before a pattern that only
    // starts or ends like it.
    std::stable_sort(patterns.begin(), patterns.end(),
                     [](const Pattern &a, const Pattern &b) { return a.fixedLength > b.fixedLength; });
    return patterns;
}

QString translated(const QString &original)
{
    const QByteArray source = original.toUtf8();
    return QCoreApplication::translate(UserText::kContext, source.constData());
}

QString shownAt(const QString &original, int depth)
{
    if (original.isEmpty())
        return original;
    const QString whole = translated(original);
    if (whole != original)
        return whole;
    // Only our own texts can nest, and not deeply: a status holding an error
    // description holding a region's name.
    if (depth > 3)
        return original;
    static const std::vector<Pattern> patterns = compile();
    for (const Pattern &pattern : patterns) {
        const QRegularExpressionMatch found = pattern.match.match(original);
        if (!found.hasMatch())
            continue;
        QString text = translated(pattern.original);
        if (text == pattern.original)
            return original; // no translation installed: the original as it was built
        // Each argument into %1, %2, … of the translation, whichever order it uses them in.
        QList<std::pair<int, QString>> arguments;
        for (qsizetype i = 0; i < pattern.numbers.size(); ++i)
            arguments.append({pattern.numbers.at(i), shownAt(found.captured(int(i) + 1), depth + 1)});
        std::sort(arguments.begin(), arguments.end());
        QString result;
        qsizetype at = 0;
        for (auto it = placeholder().globalMatch(text); it.hasNext();) {
            const QRegularExpressionMatch slot = it.next();
            result += text.mid(at, slot.capturedStart() - at);
            const int number = slot.captured(1).toInt();
            const auto argument = std::find_if(arguments.cbegin(), arguments.cend(),
                                               [number](const auto &entry) { return entry.first == number; });
            result += argument != arguments.cend() ? argument->second : slot.captured();
            at = slot.capturedEnd();
        }
        return result + text.mid(at);
    }
    return original;
}

} // namespace

QString UserText::shown(const QString &original)
{
    return shownAt(original, 0);
}
