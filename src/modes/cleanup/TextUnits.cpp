#include "TextUnits.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace {

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

} // namespace

TextUnits TextUnits::of(const QString &text)
{
    const QList<uint> points = text.toUcs4();
    const qsizetype n = points.size();
    TextUnits units;
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

qsizetype TextUnits::fillers() const
{
    static const QSet<QString> single{QStringLiteral("嗯"), QStringLiteral("呃"), QStringLiteral("额"),
                                      QStringLiteral("唔"), QStringLiteral("um"), QStringLiteral("uh"),
                                      QStringLiteral("er"), QStringLiteral("erm"), QStringLiteral("hmm"),
                                      QStringLiteral("uhm"), QStringLiteral("ah"), QStringLiteral("eh")};
    static const QList<QStringList> phrases{{QStringLiteral("就"), QStringLiteral("是"), QStringLiteral("说")},
                                            {QStringLiteral("那"), QStringLiteral("个")},
                                            {QStringLiteral("就"), QStringLiteral("是")}};
    qsizetype count = 0;
    for (qsizetype i = 0; i < size();) {
        const QString &key = keys[i];
        if (single.contains(key) || (i > 0 && key == keys[i - 1] && key != QLatin1String("#"))) {
            ++count;
            ++i;
            continue;
        }
        qsizetype matched = 0;
        for (const QStringList &phrase : phrases) {
            if (keys.mid(i, phrase.size()) == phrase) {
                matched = phrase.size();
                break;
            }
        }
        count += matched;
        i += std::max<qsizetype>(matched, 1);
    }
    return count;
}

qsizetype TextUnits::sharedInOrder(const TextUnits &a, const TextUnits &b)
{
    QHash<QString, int> ids;
    auto idsOf = [&](const TextUnits &units) {
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

double TextUnits::shareOf(int script, qsizetype *letters) const
{
    const qsizetype total = size() - scripts.count(kNumber);
    if (letters)
        *letters = total;
    return total < 3 ? -1 : double(scripts.count(script)) / double(total);
}

int TextUnits::mainScript() const
{
    QHash<int, int> counts;
    for (int script : scripts) {
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
