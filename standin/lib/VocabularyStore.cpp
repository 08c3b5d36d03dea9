#include "VocabularyStore.h"

#include "HttpRequest.h"

#include <QRegularExpression>

namespace {
VocabularyStore::Answer error(int status, const QString &code, const QString &message)
{
    return {status, {{QStringLiteral("code"), code}, {QStringLiteral("message"), message},
                     {QStringLiteral("request_id"), newRequestId()}}};
}

VocabularyStore::Answer output(const QJsonObject &output)
{
    return {200, {{QStringLiteral("output"), output}, {QStringLiteral("request_id"), QStringLiteral("standin")}}};
}

bool isAscii(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() > 0x7f)
            return false;
    }
    return true;
}
} // namespace

QString VocabularyStore::checkWords(const QJsonValue &words)
{
    if (!words.isArray() || words.toArray().isEmpty())
        return QStringLiteral("input.vocabulary must be a non-empty list");
    static const QRegularExpression spaces(QStringLiteral("\\s+"));
    for (const QJsonValue &entry : words.toArray()) {
        const QString text = entry[QStringLiteral("text")].toString();
        const QJsonValue weight = entry[QStringLiteral("weight")];
        if (text.isEmpty())
            return QStringLiteral("every vocabulary entry needs a text");
        if (!isAscii(text) && text.size() > 15)
            return QStringLiteral("\"%1\" is longer than 15 characters").arg(text);
        if (isAscii(text) && text.trimmed().split(spaces).size() > 7)
            return QStringLiteral("\"%1\" has more than 7 words").arg(text);
        if (!weight.isDouble() || weight.toInt() < 1 || weight.toInt() > 5 || weight.toDouble() != weight.toInt())
            return QStringLiteral("the weight of \"%1\" must be a whole number from 1 to 5").arg(text);
    }
    return {};
}

VocabularyStore::Answer VocabularyStore::handle(const QJsonObject &request, const QStringList &models)
{
    if (request[QStringLiteral("model")].toString() != QLatin1String("speech-biasing"))
        return error(400, QStringLiteral("InvalidParameter"), QStringLiteral("model must be \"speech-biasing\""));
    const QJsonObject input = request[QStringLiteral("input")].toObject();
    const QString action = input[QStringLiteral("action")].toString();
    const QString id = input[QStringLiteral("vocabulary_id")].toString();
    if (action == QLatin1String("create_vocabulary")) {
        const QString target = input[QStringLiteral("target_model")].toString();
        const QString prefix = input[QStringLiteral("prefix")].toString();
        static const QRegularExpression prefixRule(QStringLiteral("^[a-z0-9]{1,10}$"));
        if (!models.contains(target))
            return error(400, QStringLiteral("InvalidParameter"), QStringLiteral("unknown target_model \"%1\"").arg(target));
        if (!prefixRule.match(prefix).hasMatch())
            return error(400, QStringLiteral("InvalidParameter"),
                         QStringLiteral("prefix must be 1 to 10 lower-case letters and digits"));
        if (const QString problem = checkWords(input[QStringLiteral("vocabulary")]); !problem.isEmpty())
            return error(400, QStringLiteral("InvalidParameter"), problem);
        const QString made = QStringLiteral("vocab-%1-%2").arg(prefix).arg(++m_made, 4, 10, QLatin1Char('0'));
        m_vocabularies.insert(made, {target, prefix, input[QStringLiteral("vocabulary")].toArray()});
        return output({{QStringLiteral("vocabulary_id"), made}});
    }
    if (action == QLatin1String("list_vocabulary")) {
        const QString prefix = input[QStringLiteral("prefix")].toString();
        QJsonArray list;
        for (auto it = m_vocabularies.cbegin(); it != m_vocabularies.cend(); ++it) {
            if (prefix.isEmpty() || it->prefix == prefix)
                list.append(QJsonObject{{QStringLiteral("vocabulary_id"), it.key()}, {QStringLiteral("status"), QStringLiteral("OK")}});
        }
        return output({{QStringLiteral("vocabulary_list"), list}});
    }
    if (action != QLatin1String("query_vocabulary") && action != QLatin1String("update_vocabulary")
        && action != QLatin1String("delete_vocabulary"))
        return error(400, QStringLiteral("InvalidParameter"), QStringLiteral("unknown action \"%1\"").arg(action));
    if (!m_vocabularies.contains(id))
        return error(404, QStringLiteral("NotFound"), QStringLiteral("no vocabulary \"%1\"").arg(id));
    if (action == QLatin1String("query_vocabulary")) {
        const Entry &entry = m_vocabularies[id];
        return output({{QStringLiteral("vocabulary"), entry.words},
                       {QStringLiteral("target_model"), entry.target},
                       {QStringLiteral("status"), QStringLiteral("OK")}});
    }
    if (action == QLatin1String("update_vocabulary")) {
        if (const QString problem = checkWords(input[QStringLiteral("vocabulary")]); !problem.isEmpty())
            return error(400, QStringLiteral("InvalidParameter"), problem);
        m_vocabularies[id].words = input[QStringLiteral("vocabulary")].toArray();
        return output({});
    }
    m_vocabularies.remove(id);
    return output({});
}
