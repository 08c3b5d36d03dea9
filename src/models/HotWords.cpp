#include "HotWords.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>

namespace {
const QString kWordText = QStringLiteral("text");
const QString kWordWeight = QStringLiteral("weight");
const QString kStateId = QStringLiteral("id");
const QString kStateTarget = QStringLiteral("target");
const QString kStateWords = QStringLiteral("words");
const QString kStateError = QStringLiteral("error");

bool isAscii(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() > 0x7f)
            return false;
    }
    return true;
}
} // namespace

QString HotWord::problem(const HotWord &word)
{
    const QString text = word.text.trimmed();
    if (text.isEmpty())
        return QStringLiteral("a hot word cannot be empty");
    if (text != word.text)
        return QStringLiteral("\"%1\" starts or ends with spaces").arg(word.text);
    if (word.weight < kMinWeight || word.weight > kMaxWeight)
        return QStringLiteral("the weight of \"%1\" is %2: it must be from %3 to %4 (%5 is recommended)")
            .arg(text)
            .arg(word.weight)
            .arg(kMinWeight)
            .arg(kMaxWeight)
            .arg(kDefaultWeight);
    if (!isAscii(text) && text.size() > kMaxCharacters)
        return QStringLiteral("\"%1\" has %2 characters: a hot word with non-ASCII characters has at most %3")
            .arg(text)
            .arg(text.size())
            .arg(kMaxCharacters);
    static const QRegularExpression spaces(QStringLiteral("\\s+"));
    if (const qsizetype words = text.split(spaces).size(); isAscii(text) && words > kMaxAsciiWords)
        return QStringLiteral("\"%1\" has %2 words: a hot word has at most %3").arg(text).arg(words).arg(kMaxAsciiWords);
    return {};
}

void HotWords::put(QList<HotWord> &list, const HotWord &word)
{
    for (HotWord &entry : list) {
        if (entry.text == word.text) {
            entry.weight = word.weight;
            return;
        }
    }
    list.append(word);
}

bool HotWords::remove(QList<HotWord> &list, const QString &text)
{
    return list.removeIf([&](const HotWord &word) { return word.text == text; }) > 0;
}

QJsonValue HotWords::toJson(const QList<HotWord> &list)
{
    QJsonArray array;
    for (const HotWord &word : list)
        array.append(QJsonObject{{kWordText, word.text}, {kWordWeight, word.weight}});
    return array;
}

std::optional<QList<HotWord>> HotWords::fromJson(const QJsonValue &value)
{
    if (!value.isArray())
        return std::nullopt;
    QList<HotWord> list;
    for (const QJsonValue &entry : value.toArray()) {
        const QJsonValue text = entry.toObject().value(kWordText);
        const QJsonValue weight = entry.toObject().value(kWordWeight);
        if (!text.isString() || !weight.isDouble() || weight.toDouble() != double(weight.toInt()))
            return std::nullopt;
        const HotWord word{text.toString(), weight.toInt()};
        if (!HotWord::problem(word).isEmpty())
            return std::nullopt;
        list.append(word);
    }
    return list;
}

QJsonValue HotWords::stateToJson(const VocabularyState &state)
{
    return QJsonObject{{kStateId, state.id}, {kStateTarget, state.target}, {kStateWords, toJson(state.words)}, {kStateError, state.error}};
}

VocabularyState HotWords::stateFromJson(const QJsonValue &value)
{
    const QJsonObject object = value.toObject();
    VocabularyState state;
    state.id = object.value(kStateId).toString();
    state.target = object.value(kStateTarget).toString();
    state.words = fromJson(object.value(kStateWords)).value_or(QList<HotWord>());
    state.error = object.value(kStateError).toString();
    return state;
}
