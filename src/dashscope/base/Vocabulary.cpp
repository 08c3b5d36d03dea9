#include "Vocabulary.h"

#include "DashScopeEndpoints.h"
#include "Json.h"
#include "Log.h"
#include "SettingsStore.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStandardPaths>

#include <QCoroNetworkReply>
#include <QCoroTimer>

#include <memory>

namespace {

QJsonArray entries(const QList<HotWord> &words)
{
    QJsonArray list;
    for (const HotWord &word : words)
        list.append(QJsonObject{{QStringLiteral("text"), word.text}, {QStringLiteral("weight"), word.weight}});
    return list;
}

// The inputs of the actions (built outside the coroutine: g++ 12 cannot keep
// an initializer list alive across a co_await).
QJsonObject deleteInput(const QString &id)
{
    return {{QStringLiteral("action"), QStringLiteral("delete_vocabulary")}, {QStringLiteral("vocabulary_id"), id}};
}

QJsonObject createInput(const QString &model, const QList<HotWord> &words)
{
    return {{QStringLiteral("action"), QStringLiteral("create_vocabulary")},
            {QStringLiteral("target_model"), model},
            {QStringLiteral("prefix"), QLatin1String(Vocabulary::kPrefix)},
            {QStringLiteral("vocabulary"), entries(words)}};
}

QJsonObject updateInput(const QString &id, const QList<HotWord> &words)
{
    return {{QStringLiteral("action"), QStringLiteral("update_vocabulary")},
            {QStringLiteral("vocabulary_id"), id},
            {QStringLiteral("vocabulary"), entries(words)}};
}

QByteArray requestBody(const QJsonObject &input)
{
    return QJsonDocument(QJsonObject{{QStringLiteral("model"), QLatin1String(Vocabulary::kCustomizationModel)},
                                     {QStringLiteral("input"), input}})
        .toJson(QJsonDocument::Compact);
}

ServiceError noId()
{
    return {QStringLiteral("MalformedAnswer"), 200, QStringLiteral("the service's answer has no vocabulary_id")};
}

// One customization request: the answer's "output", or why there is none.
QCoro::Task<Result<QJsonObject>> call(QString key, QString nativeBase, QJsonObject input,
                                      std::chrono::milliseconds bound)
{
    QNetworkAccessManager network;
    QNetworkRequest request(QUrl(nativeBase + QStringLiteral("/services/audio/asr/customization")));
    request.setRawHeader("Authorization", "Bearer " + key.toUtf8());
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    request.setTransferTimeout(int(bound.count()));
    const QByteArray body = requestBody(input);
    std::unique_ptr<QNetworkReply> reply(network.post(request, body));
    co_await qCoro(reply.get()).waitForFinished(bound);
    const QByteArray answer = reply->isFinished() ? reply->readAll() : QByteArray();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const std::optional<QJsonObject> object = Json::parseObject(answer);
    if (status == 0) {
        co_return ServiceError{QStringLiteral("NetworkError"), -1,
                               reply->isFinished() ? reply->errorString() : QStringLiteral("no answer")};
    }
    if (status != 200) {
        const QString message = object ? object->value(QStringLiteral("message")).toString() : QString();
        co_return ServiceError{object ? object->value(QStringLiteral("code")).toString() : QStringLiteral("HttpError"),
                               status,
                               QStringLiteral("HTTP %1%2").arg(status).arg(message.isEmpty() ? QString()
                                                                                             : QStringLiteral(": ") + message)};
    }
    if (!object || !object->value(QStringLiteral("output")).isObject())
        co_return ServiceError{QStringLiteral("MalformedAnswer"), status,
                               QStringLiteral("the service's answer has no \"output\"")};
    co_return object->value(QStringLiteral("output")).toObject();
}

// A new vocabulary's ID, or why there is none.
QCoro::Task<Result<QString>> create(QString key, QString base, QString model, QList<HotWord> words,
                                    std::chrono::milliseconds bound)
{
    const Result<QJsonObject> made = co_await call(key, base, createInput(model, words), bound);
    if (!made)
        co_return made.error();
    const QString id = made.value().value(QStringLiteral("vocabulary_id")).toString();
    if (id.isEmpty())
        co_return noId();
    co_return id;
}

QString baseOf(const QString &target)
{
    return target.section(QLatin1Char(' '), 0, 0);
}

} // namespace

namespace Vocabulary {

QString target(const AppConfig &config, const QString &model)
{
    return DashScopeEndpoints::forConfig(config).nativeBase + QLatin1Char(' ') + model;
}

Sync state(const AppConfig &config, const QString &model)
{
    const VocabularyState &stored = config.vocabulary;
    if (config.hotWords.isEmpty())
        return stored.id.isEmpty() ? Sync::NoWords : (stored.error.isEmpty() ? Sync::Pending : Sync::Failed);
    if (!stored.id.isEmpty() && stored.target == target(config, model) && stored.words == config.hotWords)
        return Sync::Synced;
    return stored.error.isEmpty() ? Sync::Pending : Sync::Failed;
}

QString usableId(const AppConfig &config, const QString &model)
{
    return state(config, model) == Sync::Synced ? config.vocabulary.id : QString();
}

QString describe(const AppConfig &config, const QString &model)
{
    switch (state(config, model)) {
    case Sync::NoWords:
        return QStringLiteral("no hot words");
    case Sync::Synced:
        return QStringLiteral("synced (%1)").arg(config.vocabulary.id);
    case Sync::Pending:
        return QStringLiteral("not synced yet");
    case Sync::Failed:
        break;
    }
    return QStringLiteral("sync failed: ") + config.vocabulary.error;
}

QCoro::Task<VocabularyState> sync(QString key, AppConfig config, QString model, std::chrono::milliseconds bound)
{
    VocabularyState state = config.vocabulary;
    const QString wanted = target(config, model);
    const QString base = DashScopeEndpoints::forConfig(config).nativeBase;
    // A vocabulary made for another host or model is of no use here: it goes
    // (where its host is this one; another region's key is not ours to use).
    if (!state.id.isEmpty() && state.target != wanted) {
        if (baseOf(state.target) == base) {
            const Result<QJsonObject> deleted = co_await call(key, base, deleteInput(state.id), bound);
            if (!deleted)
                Log::line(QStringLiteral("⚠️ [热词] 旧词表删除失败（不影响使用）：") + deleted.error().description);
        }
        state = {};
    }
    Result<QJsonObject> done = QJsonObject();
    if (config.hotWords.isEmpty()) {
        if (!state.id.isEmpty()) {
            done = co_await call(key, base, deleteInput(state.id), bound);
        }
        if (done)
            state = {};
    } else {
        if (!state.id.isEmpty()) {
            done = co_await call(key, base, updateInput(state.id, config.hotWords), bound);
            // Deleted on the service meanwhile (in its console): made anew.
            if (!done && done.error().code == 404) {
                Log::line(QStringLiteral("⚠️ [热词] 词表已不存在，重新创建：") + state.id);
                state = {};
            }
        }
        if (state.id.isEmpty()) {
            const Result<QString> made = co_await create(key, base, model, config.hotWords, bound);
            if (made) {
                state.id = made.value();
                state.target = wanted;
                done = QJsonObject();
            } else {
                done = made.error();
            }
        }
    }
    if (!done) {
        state.error = done.error().description;
        Log::line(QStringLiteral("⚠️ [热词] 词表同步失败：") + state.error);
        co_return state;
    }
    state.words = config.hotWords;
    state.error.clear();
    Log::line(config.hotWords.isEmpty() ? QStringLiteral("✅ [热词] 没有热词，词表已删除")
                                        : QStringLiteral("✅ [热词] 词表已同步：%1（%2 个词）").arg(state.id).arg(config.hotWords.size()));
    co_return state;
}

namespace {
// Where the sync lock lives: the user's runtime folder.
QString lockPath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return QDir(folder).filePath(QStringLiteral("quillwren-vocabulary.lock"));
}
} // namespace

QCoro::Task<AppConfig> syncStored(QString key, SettingsStore &store, QString model, std::chrono::milliseconds lockWait)
{
    QLockFile lock(lockPath());
    // Longer than any sync takes: a lock that old was left by a process
    // that hung (one that died is noticed by its PID at once).
    lock.setStaleLockTime(int(std::chrono::milliseconds(std::chrono::minutes(2)).count()));
    QElapsedTimer waited;
    waited.start();
    bool said = false;
    while (!lock.tryLock(0)) {
        if (waited.elapsed() >= lockWait.count()) {
            Log::line(QStringLiteral("⚠️ [热词] 另一个进程的词表同步未结束，不再等待"));
            break;
        }
        if (!std::exchange(said, true))
            Log::line(QStringLiteral("⏳ [热词] 等待另一个进程的词表同步结束..."));
        co_await QCoro::sleepFor(std::chrono::milliseconds(100));
    }
    AppConfig config = store.loadAppConfig();
    if (state(config, model) == Sync::Synced)
        co_return config;
    config.vocabulary = co_await sync(key, config, model);
    store.saveAppConfigMember(&AppConfig::vocabulary, config.vocabulary);
    co_return config;
}

} // namespace Vocabulary
