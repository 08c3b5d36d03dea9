#pragma once

#include "AppConfig.h"
#include "ServiceError.h"

#include <QString>

#include <QCoroTask>

#include <chrono>

class SettingsStore;

// The user's hot words as a custom vocabulary of the service: one per host
// and recognition model, created with the prefix kPrefix for that model,
// updated (never recreated) when the words change, deleted when there are
// none, and named by its ID in every run-task of that model.
namespace Vocabulary {

constexpr auto kPrefix = "quillwren";
constexpr auto kCustomizationModel = "speech-biasing";

// What a vocabulary is made for: "NATIVE_BASE MODEL".
QString target(const AppConfig &config, const QString &model);
// The vocabulary a run-task of the model may name: the stored one when it
// holds the current words and was made for this host and model; else empty.
QString usableId(const AppConfig &config, const QString &model);

enum class Sync { NoWords, Synced, Pending, Failed };
Sync state(const AppConfig &config, const QString &model);
// For the user: "synced (vocab-…)", "not synced yet", "sync failed: …", "no hot words".
QString describe(const AppConfig &config, const QString &model);

// Brings the service's vocabulary in line with the words: creates, updates
// or deletes it (a vocabulary for another host or model is replaced). The
// state to store; its error says why when the service could not be reached
// or refused.
QCoro::Task<VocabularyState> sync(QString key, AppConfig config, QString model,
                                  std::chrono::milliseconds bound = std::chrono::seconds(15));

// sync() as every caller wants it: under a lock shared by this user's
// processes (the running instance, the command line, a settings window), so
// that two syncs of the same words never make two vocabularies. It waits,
// without blocking and for at most lockWait, for another process's sync to
// end; then reads the settings afresh (that sync may have stored the
// vocabulary this one would otherwise make again), syncs unless they are
// synced already, and stores the state. Answers the settings as they stand.
// The store must outlive the sync.
QCoro::Task<AppConfig> syncStored(QString key, SettingsStore &store, QString model,
                                  std::chrono::milliseconds lockWait = std::chrono::seconds(40));

} // namespace Vocabulary
