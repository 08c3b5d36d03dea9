#pragma once

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

// The service's custom vocabularies as the stand-in keeps them (for its
// life): the five actions of the customization request, with the service's
// limits, answered as {"output": …} or an error.
class VocabularyStore
{
public:
    struct Answer
    {
        int status = 200;
        QJsonObject body;
    };

    // A request's JSON body; models: the recognition models a vocabulary
    // may be made for.
    Answer handle(const QJsonObject &request, const QStringList &models);

    bool contains(const QString &id) const { return m_vocabularies.contains(id); }
    QString targetOf(const QString &id) const { return m_vocabularies.value(id).target; }
    // What the record says of a run-task of the model that names the vocabulary.
    QJsonObject runTaskRecord(const QString &id, const QString &model) const
    {
        return {{QStringLiteral("kind"), QStringLiteral("asr-vocabulary")}, {QStringLiteral("vocabulary_id"), id},
                {QStringLiteral("known"), contains(id)},   {QStringLiteral("target_model"), targetOf(id)},
                {QStringLiteral("model"), model}};
    }

private:
    struct Entry
    {
        QString target;
        QString prefix;
        QJsonArray words;
    };
    // Empty when the list is valid, else why not.
    static QString checkWords(const QJsonValue &words);

    QHash<QString, Entry> m_vocabularies;
    int m_made = 0;
};
