#pragma once

#include <QJsonValue>
#include <QList>
#include <QString>

#include <optional>

// A word the user teaches the recogniser (a name, a product, jargon), with
// how strongly it is favoured.
struct HotWord
{
    static constexpr int kDefaultWeight = 4;
    static constexpr int kMinWeight = 1;
    static constexpr int kMaxWeight = 5;
    // The service's limits on an entry: 15 characters with any non-ASCII one
    // in it, else 7 words.
    static constexpr int kMaxCharacters = 15;
    static constexpr int kMaxAsciiWords = 7;

    QString text;
    int weight = kDefaultWeight;

    friend bool operator==(const HotWord &, const HotWord &) = default;

    // Why the entry cannot be stored; empty when it can.
    static QString problem(const HotWord &word);
};

// Where the user's words stand on the service: the vocabulary they were
// last synced to (its ID, and the host and model it was made for) and the
// words it holds; or why the last sync failed.
struct VocabularyState
{
    QString id;
    QString target; // "NATIVE_BASE MODEL"
    QList<HotWord> words;
    QString error;

    friend bool operator==(const VocabularyState &, const VocabularyState &) = default;
};

namespace HotWords {
// Adds or re-weights the word (one entry per text, in the order added).
void put(QList<HotWord> &list, const HotWord &word);
bool remove(QList<HotWord> &list, const QString &text);

QJsonValue toJson(const QList<HotWord> &list);
// Nothing when any entry is malformed or breaks a limit.
std::optional<QList<HotWord>> fromJson(const QJsonValue &value);
QJsonValue stateToJson(const VocabularyState &state);
VocabularyState stateFromJson(const QJsonValue &value);
} // namespace HotWords
