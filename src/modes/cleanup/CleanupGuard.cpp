#include "CleanupGuard.h"

#include "CleanupPrompt.h"
#include "TextUnits.h"
#include "UserText.h"

#include <QList>
#include <QStringList>

#include <utility>

namespace CleanupGuard {
namespace {

// What models put before the text when they talk instead of editing.
bool startsWithPreamble(const QString &answer, const QString &transcript)
{
    static const QStringList openings{
        QStringLiteral("here is"),   QStringLiteral("here's"),    QStringLiteral("sure"),       QStringLiteral("certainly"),
        QStringLiteral("okay,"),     QStringLiteral("ok,"),       QStringLiteral("cleaned"),    QStringLiteral("the cleaned"),
        QStringLiteral("corrected"), QStringLiteral("the corrected"), QStringLiteral("edited"), QStringLiteral("the edited"),
        QStringLiteral("revised"),   QStringLiteral("the revised"), QStringLiteral("output:"), QStringLiteral("result:"),
        QStringLiteral("transcript:"), QStringLiteral("text:"),   QStringLiteral("以下是"),     QStringLiteral("下面是"),
        QStringLiteral("好的，"),    QStringLiteral("好的,"),     QStringLiteral("当然"),       QStringLiteral("清理后"),
        QStringLiteral("整理后"),    QStringLiteral("修改后"),    QStringLiteral("润色后"),     QStringLiteral("修正后"),
        QStringLiteral("编辑后"),    QStringLiteral("输出："),    QStringLiteral("结果："),     QStringLiteral("文本：")};
    // A transcript that itself begins so ("好的，明天见", "sure thing")
    // may keep its opening: it is looked for among its first words.
    const QString start = transcript.left(20);
    for (const QString &opening : openings) {
        const QString bare = opening.chopped(opening.endsWith(QLatin1Char(',')) || opening.endsWith(QChar(0xFF0C)) ? 1 : 0);
        if (answer.startsWith(opening, Qt::CaseInsensitive) && !start.contains(bare, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

// The answer without quotes or a code fence around it that the transcript did not have.
QString unwrapped(QString text, const QString &transcript)
{
    if (text.startsWith(QLatin1String("```")) && text.endsWith(QLatin1String("```")) && text.size() >= 6
        && !transcript.contains(QLatin1String("```"))) {
        text = text.mid(3, text.size() - 6);
        const qsizetype firstBreak = text.indexOf(QLatin1Char('\n'));
        if (firstBreak >= 0 && !text.left(firstBreak).contains(QLatin1Char(' ')))
            text = text.mid(firstBreak + 1); // the fence's language name
        text = text.trimmed();
    }
    static const QList<std::pair<QChar, QChar>> quotes{{u'"', u'"'}, {QChar(0x201C), QChar(0x201D)},
                                                       {QChar(0x300C), QChar(0x300D)}, {QChar(0x300E), QChar(0x300F)},
                                                       {u'\'', u'\''}, {QChar(0x2018), QChar(0x2019)}};
    for (const auto &[open, close] : quotes) {
        if (text.size() >= 2 && text.front() == open && text.back() == close && !transcript.startsWith(open))
            return text.mid(1, text.size() - 2).trimmed();
    }
    return text;
}

} // namespace

QString withoutReasoning(const QString &content)
{
    static const QString open = QStringLiteral("<think>"), close = QStringLiteral("</think>");
    QString text = content;
    // Some servers send the reasoning's end only (the start is in the template).
    const qsizetype firstClose = text.indexOf(close, 0, Qt::CaseInsensitive);
    const qsizetype firstOpen = text.indexOf(open, 0, Qt::CaseInsensitive);
    if (firstClose >= 0 && (firstOpen < 0 || firstClose < firstOpen))
        text = text.mid(firstClose + close.size());
    for (qsizetype start; (start = text.indexOf(open, 0, Qt::CaseInsensitive)) >= 0;) {
        const qsizetype end = text.indexOf(close, start, Qt::CaseInsensitive);
        text.remove(start, end < 0 ? text.size() - start : end + close.size() - start);
    }
    return text;
}

Check check(const QString &transcript, const QString &answer)
{
    Check result;
    const QString raw = transcript.trimmed();
    result.text = unwrapped(withoutReasoning(answer).trimmed(), raw);
    auto refuse = [&](Verdict verdict, const QString &detail = {}) {
        result.verdict = verdict;
        result.detail = detail;
        return result;
    };
    if (result.text.isEmpty())
        return refuse(Verdict::Empty);
    const QString tag = QLatin1String(CleanupPrompt::kTag);
    if (result.text.contains(QLatin1Char('<') + tag, Qt::CaseInsensitive)
        || result.text.contains(QStringLiteral("</") + tag, Qt::CaseInsensitive))
        return refuse(Verdict::HoldsTag);
    if (startsWithPreamble(result.text, raw))
        return refuse(Verdict::Preamble, result.text.left(30));

    const TextUnits heard = TextUnits::of(raw), edited = TextUnits::of(result.text);
    const double n = double(heard.size()), m = double(edited.size());
    if (m == 0 && n > 0)
        return refuse(Verdict::Empty);
    const int script = heard.mainScript();
    qsizetype heardLetters = 0;
    const double heardShare = heard.shareOf(script, &heardLetters), editedShare = edited.shareOf(script);
    if (script != TextUnits::kNumber && heardShare > 0 && editedShare >= 0 && editedShare < heardShare / 2)
        return refuse(Verdict::OtherScript,
                      QStringLiteral("main script's share %1 → %2").arg(heardShare, 0, 'f', 2).arg(editedShare, 0, 'f', 2));
    const double k = double(TextUnits::sharedInOrder(heard, edited));
    // What is said besides fillers: what must come through.
    const double said = n - double(heard.fillers());
    const QString figures = QStringLiteral("n=%1 said=%2 m=%3 k=%4").arg(n).arg(said).arg(m).arg(k);
    if (m > 1.5 * n + 8)
        return refuse(Verdict::FarLonger, figures);
    if (m + 3 < 0.4 * said)
        return refuse(Verdict::FarShorter, figures);
    if (k < 0.7 * m - 2)
        return refuse(Verdict::OtherWords, figures);
    if (k < 0.5 * said - 1)
        return refuse(Verdict::TooLittleKept, figures);
    result.detail = figures;
    return result;
}

QString reason(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Accepted:
        break;
    case Verdict::Empty:
        return UserText::of(QT_TRANSLATE_NOOP("UserText", "润色结果为空"));
    case Verdict::HoldsTag:
        return UserText::of(QT_TRANSLATE_NOOP("UserText", "润色结果含有提示标签"));
    case Verdict::Preamble:
        return UserText::of(QT_TRANSLATE_NOOP("UserText", "润色结果带有开场白"));
    case Verdict::OtherScript:
        return UserText::of(QT_TRANSLATE_NOOP("UserText", "润色结果换了语言"));
    case Verdict::FarLonger:
        return UserText::of(QT_TRANSLATE_NOOP("UserText", "润色结果比原文长得多"));
    case Verdict::FarShorter:
        return UserText::of(QT_TRANSLATE_NOOP("UserText", "润色结果比原文短得多"));
    case Verdict::TooLittleKept:
        return UserText::of(QT_TRANSLATE_NOOP("UserText", "润色结果丢了太多原文"));
    case Verdict::OtherWords:
        return UserText::of(QT_TRANSLATE_NOOP("UserText", "润色结果不是原文的修改"));
    }
    return {};
}

const char *name(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Accepted:
        return "accepted";
    case Verdict::Empty:
        return "empty";
    case Verdict::HoldsTag:
        return "holds-tag";
    case Verdict::Preamble:
        return "preamble";
    case Verdict::OtherScript:
        return "other-script";
    case Verdict::FarLonger:
        return "far-longer";
    case Verdict::FarShorter:
        return "far-shorter";
    case Verdict::TooLittleKept:
        return "too-little-kept";
    case Verdict::OtherWords:
        return "other-words";
    }
    return "";
}

} // namespace CleanupGuard
