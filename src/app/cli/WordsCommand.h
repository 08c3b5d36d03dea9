#pragma once

#include "ApiKeyProvider.h"

#include <QStringList>

#include <QCoroTask>

class SettingsStore;

// `quillwren words add WORD [--weight N]`, `words list`, `words remove WORD`:
// the hot words taught to the recogniser. A change is stored, then synced to
// the service's vocabulary at once (a failed sync is said, and tried again at
// the next change or start); `list` says where the sync stands.
class WordsCommand
{
public:
    WordsCommand(SettingsStore &store, ApiKeyProvider apiKey);

    QCoro::Task<int> run(QStringList args);

private:
    QCoro::Task<int> syncAndSay();

    SettingsStore &m_store;
    ApiKeyProvider m_apiKey;
};
