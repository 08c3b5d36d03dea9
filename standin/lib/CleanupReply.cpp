#include "CleanupReply.h"

#include "ChatRequestValidator.h"

#include <QRegularExpression>

namespace CleanupReply {

std::optional<QString> transcriptOf(const QJsonObject &body)
{
    static const QRegularExpression tagged(QStringLiteral("^\\s*<transcript>\\n?(.*?)\\n?</transcript>\\s*$"),
                                           QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = tagged.match(ChatRequestValidator::lastUserText(body));
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1);
}

QString ownEdit(const QString &transcript)
{
    static const QRegularExpression fillers(
        QStringLiteral("(?:嗯+|呃+|那个|就是说|\\b(?:um+|uh+|er+|erm)\\b)[，,、\\s]*"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    static const QRegularExpression stutter(QStringLiteral("\\b(\\w+)(?:\\s+\\1\\b)+"),
                                            QRegularExpression::CaseInsensitiveOption
                                                | QRegularExpression::UseUnicodePropertiesOption);
    QString text = transcript;
    text.remove(fillers);
    text.replace(stutter, QStringLiteral("\\1"));
    text = text.trimmed();
    if (!text.isEmpty() && text.front().isLower())
        text.front() = text.front().toUpper();
    return text;
}

Reply replyFor(const CleanupScript &script, const QString &transcript)
{
    const auto mapped = script.edits.constFind(transcript.trimmed());
    const QString edit = mapped != script.edits.cend() ? *mapped : ownEdit(transcript);
    const QString &behaviour = script.behaviour;
    if (behaviour == QLatin1String("answer"))
        return {QStringLiteral("明天晴，最高气温二十度，适合出门散步。"), {}};
    if (behaviour == QLatin1String("preamble"))
        return {QStringLiteral("Here is the cleaned text: ") + edit, {}};
    if (behaviour == QLatin1String("empty"))
        return {};
    if (behaviour == QLatin1String("translate"))
        return {QStringLiteral("This is what was said, in another language, for the stand-in's test."), {}};
    if (behaviour == QLatin1String("tag"))
        return {QStringLiteral("<transcript>\n%1\n</transcript>").arg(edit), {}};
    if (behaviour == QLatin1String("think"))
        return {QStringLiteral("<think>The transcript has fillers to remove.</think>\n") + edit, {}};
    if (behaviour == QLatin1String("reasoning"))
        return {edit, QStringLiteral("The transcript has fillers to remove.")};
    return {edit, {}};
}

} // namespace CleanupReply
