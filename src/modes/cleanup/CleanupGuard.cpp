#include "CleanupGuard.h"

#include "CleanupPrompt.h"
#include "UserText.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QStringList>

#include <algorithm>

namespace CleanupGuard {
namespace {

// The script of a unit: a number, or a letter's script (the two kana as one).
constexpr int kNumber = -1;

struct Units
{
    QStringList keys;
    QList<int> scripts;

    qsizetype size() const { return keys.size(); }
    void add(const QString &key, int script)
    {
        keys << key;
        scripts << script;
    }
};

bool isNumeral(char32_t c)
{
    static const QString numerals = QStringLiteral("零〇一二两三四五六七八九十百千万亿");
    return QChar::isDigit(c) || (c <= 0xFFFF && numerals.contains(QChar(char16_t(c))));
}

bool isCharacterScript(QChar::Script script)
{
    return script == QChar::Script_Han || script == QChar::Script_Hiragana || script == QChar::Script_Katakana
           || script == QChar::Script_Hangul;
}

bool isNumberWord(const QString &word)
{
    static const QSet<QString> words{
        QStringLiteral("zero"),     QStringLiteral("one"),      QStringLiteral("two"),       QStringLiteral("three"),
        QStringLiteral("four"),     QStringLiteral("five"),     QStringLiteral("six"),       QStringLiteral("seven"),
        QStringLiteral("eight"),    QStringLiteral("nine"),     QStringLiteral("ten"),       QStringLiteral("eleven"),
        QStringLiteral("twelve"),   QStringLiteral("thirteen"), QStringLiteral("fourteen"),  QStringLiteral("fifteen"),
        QStringLiteral("sixteen"),  QStringLiteral("seventeen"), QStringLiteral("eighteen"), QStringLiteral("nineteen"),
        QStringLiteral("twenty"),   QStringLiteral("thirty"),   QStringLiteral("forty"),     QStringLiteral("fifty"),
        QStringLiteral("sixty"),    QStringLiteral("seventy"),  QStringLiteral("eighty"),    QStringLiteral("ninety"),
        QStringLiteral("hundred"),  QStringLiteral("thousand"), QStringLiteral("million"),   QStringLiteral("billion")};
    return words.contains(word);
}

Units unitsOf(const QString &text)
{
    const QList<uint> points = text.toUcs4();
    const qsizetype n = points.size();
    Units units;
    bool inNumber = false; // a number goes on across blanks: "twenty five", "3 000"
    auto addNumber = [&] {
        if (!inNumber)
            units.add(QStringLiteral("#"), kNumber);
        inNumber = true;
    };
    for (qsizetype i = 0; i < n;) {
        const char32_t c = points[i];
        if (isNumeral(c)) {
            qsizetype j = i + 1;
            while (j < n
                   && (isNumeral(points[j])
                       || ((points[j] == '.' || points[j] == ',' || points[j] == ':') && j + 1 < n && isNumeral(points[j + 1]))))
                ++j;
            addNumber();
            i = j;
            continue;
        }
        const QChar::Script script = QChar::script(c);
        if (isCharacterScript(script)) {
            const int merged = script == QChar::Script_Katakana ? int(QChar::Script_Hiragana) : int(script);
            units.add(QString::fromUcs4(&c, 1), merged);
            inNumber = false;
            ++i;
            continue;
        }
        if (QChar::isLetter(c)) {
            qsizetype j = i + 1;
            while (j < n
                   && (QChar::isLetterOrNumber(points[j]) || QChar::isMark(points[j])
                       || ((points[j] == '\'' || points[j] == 0x2019) && j + 1 < n && QChar::isLetter(points[j + 1])))
                   && !isCharacterScript(QChar::script(points[j])))
                ++j;
            const QString word = QString::fromUcs4(reinterpret_cast<const char32_t *>(points.constData()) + i, j - i).toLower();
            if (isNumberWord(word)) {
                addNumber();
            } else {
                units.add(word, int(script));
                inNumber = false;
            }
            i = j;
            continue;
        }
        if (!QChar::isSpace(c))
            inNumber = false;
        ++i;
    }
    return units;
}

// How many of the units are what a clean-up is there to remove: fillers,
// and a unit said again right after itself (a stutter). Only a guess, to
// keep a transcript thick with them from counting as content dropped.
qsizetype fillersIn(const Units &units)
{
    static const QSet<QString> single{QStringLiteral("嗯"), QStringLiteral("呃"), QStringLiteral("额"),
                                      QStringLiteral("唔"), QStringLiteral("um"), QStringLiteral("uh"),
                                      QStringLiteral("er"), QStringLiteral("erm"), QStringLiteral("hmm"),
                                      QStringLiteral("uhm"), QStringLiteral("ah"), QStringLiteral("eh")};
    static const QList<QStringList> phrases{{QStringLiteral("就"), QStringLiteral("是"), QStringLiteral("说")},
                                            {QStringLiteral("那"), QStringLiteral("个")},
                                            {QStringLiteral("就"), QStringLiteral("是")}};
    qsizetype count = 0;
    for (qsizetype i = 0; i < units.size();) {
        const QString &key = units.keys[i];
        if (single.contains(key) || (i > 0 && key == units.keys[i - 1] && key != QLatin1String("#"))) {
            ++count;
            ++i;
            continue;
        }
        qsizetype matched = 0;
        for (const QStringList &phrase : phrases) {
            if (units.keys.mid(i, phrase.size()) == phrase) {
                matched = phrase.size();
                break;
            }
        }
        count += matched;
        i += std::max<qsizetype>(matched, 1);
    }
    return count;
}

// The length of the longest sequence of units both share in order.
qsizetype sharedInOrder(const Units &a, const Units &b)
{
    QHash<QString, int> ids;
    auto idsOf = [&](const Units &units) {
        QList<int> list;
        list.reserve(units.size());
        for (const QString &key : units.keys)
            list << int(ids.insert(key, ids.value(key, int(ids.size()))).value());
        return list;
    };
    const QList<int> x = idsOf(a), y = idsOf(b);
    QList<int> previous(y.size() + 1, 0), current(y.size() + 1, 0);
    for (qsizetype i = 1; i <= x.size(); ++i) {
        for (qsizetype j = 1; j <= y.size(); ++j)
            current[j] = x[i - 1] == y[j - 1] ? previous[j - 1] + 1 : std::max(previous[j], current[j - 1]);
        std::swap(previous, current);
    }
    return previous[y.size()];
}

// The share of the units written in the script, numbers aside; -1 when
// fewer than three units are letters.
double shareOf(const Units &units, int script, qsizetype *letters = nullptr)
{
    const qsizetype total = units.size() - units.scripts.count(kNumber);
    if (letters)
        *letters = total;
    return total < 3 ? -1 : double(units.scripts.count(script)) / double(total);
}

int mainScript(const Units &units)
{
    QHash<int, int> counts;
    for (int script : units.scripts) {
        if (script != kNumber)
            ++counts[script];
    }
    int best = kNumber, most = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > most) {
            best = it.key();
            most = it.value();
        }
    }
    return best;
}

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

    const Units heard = unitsOf(raw), edited = unitsOf(result.text);
    const double n = double(heard.size()), m = double(edited.size());
    if (m == 0 && n > 0)
        return refuse(Verdict::Empty);
    const int script = mainScript(heard);
    qsizetype heardLetters = 0;
    const double heardShare = shareOf(heard, script, &heardLetters), editedShare = shareOf(edited, script);
    if (script != kNumber && heardShare > 0 && editedShare >= 0 && editedShare < heardShare / 2)
        return refuse(Verdict::OtherScript,
                      QStringLiteral("main script's share %1 → %2").arg(heardShare, 0, 'f', 2).arg(editedShare, 0, 'f', 2));
    const double k = double(sharedInOrder(heard, edited));
    // What is said besides fillers: what must come through.
    const double said = n - double(fillersIn(heard));
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
