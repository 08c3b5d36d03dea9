#include "WordsCommand.h"

#include "Console.h"
#include "RealtimeASRConnection.h"
#include "SettingsStore.h"
#include "Vocabulary.h"

namespace {
const QString kRecognitionModel = QString::fromLatin1(RealtimeASRConnection::kModel);

int wordsUsage()
{
    Console::err(QStringLiteral("usage: quillwren words add WORD [--weight N] | words list | words remove WORD"));
    return Console::UsageError;
}
} // namespace

WordsCommand::WordsCommand(SettingsStore &store, ApiKeyProvider apiKey) : m_store(store), m_apiKey(std::move(apiKey)) {}

QCoro::Task<int> WordsCommand::run(QStringList args)
{
    AppConfig config = m_store.loadAppConfig();
    const QString command = args.value(0);
    if (command == QLatin1String("list") && args.size() == 1) {
        for (const HotWord &word : config.hotWords)
            Console::out(QStringLiteral("%1  weight %2").arg(word.text).arg(word.weight));
        Console::out(QStringLiteral("vocabulary: ") + Vocabulary::describe(config, kRecognitionModel));
        co_return Console::Success;
    }
    if (command == QLatin1String("add") && (args.size() == 2 || args.size() == 4)) {
        HotWord word{args[1], HotWord::kDefaultWeight};
        if (args.size() == 4) {
            bool whole = false;
            word.weight = args[3].toInt(&whole);
            if (args[2] != QLatin1String("--weight") || !whole) {
                Console::err(QStringLiteral("--weight takes a whole number from %1 to %2; nothing was stored.")
                                 .arg(HotWord::kMinWeight)
                                 .arg(HotWord::kMaxWeight));
                co_return Console::UsageError;
            }
        }
        if (const QString problem = HotWord::problem(word); !problem.isEmpty()) {
            Console::err(QStringLiteral("Invalid hot word: %1; nothing was stored.").arg(problem));
            co_return Console::UsageError;
        }
        HotWords::put(config.hotWords, word);
        m_store.saveAppConfigMember(&AppConfig::hotWords, config.hotWords);
        Console::out(QStringLiteral("%1  weight %2").arg(word.text).arg(word.weight));
        co_return co_await syncAndSay();
    }
    if (command == QLatin1String("remove") && args.size() == 2) {
        if (!HotWords::remove(config.hotWords, args[1])) {
            Console::err(QStringLiteral("No hot word \"%1\"; nothing was changed.").arg(args[1]));
            co_return Console::Failure;
        }
        m_store.saveAppConfigMember(&AppConfig::hotWords, config.hotWords);
        Console::out(QStringLiteral("removed: ") + args[1]);
        co_return co_await syncAndSay();
    }
    co_return wordsUsage();
}

QCoro::Task<int> WordsCommand::syncAndSay()
{
    const std::optional<QString> key = co_await configuredKey(m_apiKey);
    AppConfig config = m_store.loadAppConfig();
    if (!key) {
        Console::err(QStringLiteral("Stored; no API key is set, so the service's vocabulary is synced once one is "
                                    "(`quillwren key set`)."));
        co_return Console::Success;
    }
    config = co_await Vocabulary::syncStored(*key, m_store, kRecognitionModel);
    const VocabularyState &state = config.vocabulary;
    if (!state.error.isEmpty()) {
        Console::err(QStringLiteral("Stored, but the service's vocabulary could not be updated: %1 (tried again at "
                                    "the next change or start; takes run without the hot words meanwhile)")
                         .arg(state.error));
        co_return Console::Success;
    }
    Console::out(QStringLiteral("vocabulary: ") + Vocabulary::describe(config, kRecognitionModel));
    co_return Console::Success;
}
