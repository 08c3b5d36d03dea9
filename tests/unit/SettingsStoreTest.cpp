#include "KeyValueStore.h"
#include "MemoryKeyValueStore.h"
#include "SettingsStore.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString kApp = QStringLiteral("appConfig");
const QString kShortcuts = QStringLiteral("shortcutConfigV2");

QByteArray appConfigJson(const QString &asr, const QString &llm, const QString &tts,
                         const QString &voice)
{
    AppConfig config;
    config.asrModel = asr;
    config.llmModel = llm;
    config.ttsModel = tts;
    config.ttsVoice = voice;
    config.vlModel = QStringLiteral("my-vl");
    return config.toJson();
}

TEST(SettingsStore, NothingStoredLoadsDefaultsAndWritesNothing)
{
    MemoryKeyValueStore memory;
    SettingsStore store(memory);
    EXPECT_EQ(store.loadShortcutConfig(), ShortcutConfig::defaults());
    EXPECT_EQ(store.loadAppConfig(), AppConfig::defaults());
    EXPECT_TRUE(memory.writes.isEmpty());
}

TEST(SettingsStore, UndecodableRecordsLoadDefaultsAndStayStored)
{
    MemoryKeyValueStore memory;
    const QByteArray badShortcuts =
        R"({"voiceInput":{"modifier":"option","enabled":true},"chatAssistant":{"modifier":"control","enabled":true},"bffReply":{"modifier":"command"}})";
    // Six members only: the missing flag does not get a default of its own.
    const QByteArray sixMembers =
        R"({"llmModel":"a","compatibleBaseURL":"b","asrModel":"qwen3-asr-flash-realtime","ttsModel":"d","ttsVoice":"e","vlModel":"f"})";
    memory.values.insert(kShortcuts, badShortcuts);
    memory.values.insert(kApp, sixMembers);

    SettingsStore store(memory);
    EXPECT_EQ(store.loadShortcutConfig(), ShortcutConfig::defaults());
    EXPECT_EQ(store.loadAppConfig(), AppConfig::defaults());
    EXPECT_TRUE(memory.writes.isEmpty()) << "bad data is left for the next save";
    EXPECT_EQ(memory.values.value(kShortcuts), badShortcuts);
    EXPECT_EQ(memory.values.value(kApp), sixMembers);
}

TEST(SettingsStore, EachCorrectionIsSavedAtOnceWithTheOnesBeforeIt)
{
    MemoryKeyValueStore memory;
    memory.values.insert(kApp, appConfigJson(QStringLiteral("qwen3-asr-flash-realtime"), QString(),
                                             QStringLiteral("cosyvoice-v3.5-plus"),
                                             QStringLiteral("longanhuan")));
    SettingsStore store(memory);
    const AppConfig loaded = store.loadAppConfig();
    EXPECT_EQ(loaded.asrModel, QStringLiteral("fun-asr-realtime"));
    EXPECT_EQ(loaded.llmModel, QStringLiteral("qwen3.5-flash"));
    EXPECT_EQ(loaded.ttsModel, QStringLiteral("cosyvoice-v3-flash"));
    EXPECT_EQ(loaded.ttsVoice, QStringLiteral("longanyang"));
    EXPECT_EQ(loaded.vlModel, QStringLiteral("my-vl")) << "other fields are kept";

    ASSERT_EQ(memory.writes.size(), 3);
    const auto first = AppConfig::fromJson(memory.writes[0].second);
    const auto second = AppConfig::fromJson(memory.writes[1].second);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->asrModel, QStringLiteral("fun-asr-realtime"));
    EXPECT_TRUE(first->llmModel.isEmpty());
    EXPECT_EQ(second->llmModel, QStringLiteral("qwen3.5-flash"));
    EXPECT_EQ(second->ttsModel, QStringLiteral("cosyvoice-v3.5-plus"));
    EXPECT_EQ(AppConfig::fromJson(memory.values.value(kApp)), loaded) << "stored equals returned";

    memory.writes.clear();
    EXPECT_EQ(store.loadAppConfig(), loaded);
    EXPECT_TRUE(memory.writes.isEmpty()) << "a second load finds nothing to correct";
}

TEST(SettingsStore, CorrectionsMatchExactlyAndLeaveOtherValuesAlone)
{
    MemoryKeyValueStore memory;
    SettingsStore store(memory);

    memory.values.insert(kApp, appConfigJson(QStringLiteral("fun-asr-realtime"), QStringLiteral("x"),
                                             QStringLiteral("cosyvoice-v3.5-flash"),
                                             QStringLiteral("longyingtao_v3")));
    EXPECT_EQ(store.loadAppConfig().ttsVoice, QStringLiteral("longanyang"));
    EXPECT_EQ(memory.writes.size(), 1);

    memory.writes.clear();
    const QByteArray untouched =
        appConfigJson(QStringLiteral("Qwen3-asr-flash-realtime"), QStringLiteral(" "),
                      QStringLiteral("cosyvoice-v3.5-flash "), QStringLiteral("custom-voice"));
    memory.values.insert(kApp, untouched);
    const AppConfig loaded = store.loadAppConfig();
    EXPECT_EQ(loaded.asrModel, QStringLiteral("Qwen3-asr-flash-realtime"));
    EXPECT_EQ(loaded.llmModel, QStringLiteral(" "));
    EXPECT_EQ(loaded.ttsModel, QStringLiteral("cosyvoice-v3.5-flash "));
    EXPECT_EQ(loaded.ttsVoice, QStringLiteral("custom-voice"));
    EXPECT_TRUE(memory.writes.isEmpty());

    AppConfig emptyModels;
    emptyModels.vlModel.clear();
    emptyModels.ttsModel.clear();
    memory.values.insert(kApp, emptyModels.toJson());
    EXPECT_EQ(store.loadAppConfig(), emptyModels) << "only an empty chat model is corrected";
}

TEST(SettingsStore, SaveReplacesTheStoredRecord)
{
    MemoryKeyValueStore memory;
    SettingsStore store(memory);
    ShortcutConfig shortcuts;
    shortcuts.bffReply = {ModifierKey::Shift, false};
    store.saveShortcutConfig(shortcuts);
    store.saveShortcutConfig(ShortcutConfig::defaults());
    EXPECT_EQ(memory.values.value(kShortcuts), ShortcutConfig::defaults().toJson());
    EXPECT_EQ(memory.values.size(), 1);
}

class SettingsFile : public ::testing::Test
{
protected:
    QString path() const { return dir.filePath(QStringLiteral("Quillwren.conf")); }
    QTemporaryDir dir;
};

TEST_F(SettingsFile, RecordsSurviveANewStoreOnTheSameFile)
{
    ShortcutConfig shortcuts;
    shortcuts.voiceInput = {ModifierKey::Shift, true};
    AppConfig app;
    app.llmModel = QStringLiteral("qwen-plus");
    app.enableLLMPolish = true;
    {
        SettingsKeyValueStore file(path());
        SettingsStore store(file);
        store.saveShortcutConfig(shortcuts);
        store.saveAppConfig(app);
    }
    SettingsKeyValueStore file(path());
    SettingsStore store(file);
    EXPECT_EQ(store.loadShortcutConfig(), shortcuts);
    EXPECT_EQ(store.loadAppConfig(), app);
}

TEST_F(SettingsFile, AReaderSeesWhatAnotherWriterStoredLater)
{
    // Two stores stand for the tray application and a `config set` run.
    SettingsKeyValueStore readerFile(path());
    SettingsStore reader(readerFile);
    EXPECT_EQ(reader.loadAppConfig(), AppConfig::defaults());

    SettingsKeyValueStore writerFile(path());
    AppConfig changed;
    changed.vlModel = QStringLiteral("qwen-vl-plus");
    SettingsStore(writerFile).saveAppConfig(changed);

    EXPECT_EQ(reader.loadAppConfig(), changed);
}

TEST_F(SettingsFile, HandEditedValuesLoadDefaultsAndAreKept)
{
    {
        QSettings raw(path(), QSettings::IniFormat);
        raw.setValue(kShortcuts, QStringList{QStringLiteral("a"), QStringLiteral("b")});
        raw.setValue(kApp, 42);
    }
    SettingsKeyValueStore file(path());
    SettingsStore store(file);
    EXPECT_EQ(store.loadShortcutConfig(), ShortcutConfig::defaults());
    EXPECT_EQ(store.loadAppConfig(), AppConfig::defaults());
    QSettings raw(path(), QSettings::IniFormat);
    EXPECT_EQ(raw.value(kApp).toInt(), 42);
    EXPECT_EQ(raw.value(kShortcuts).toStringList().size(), 2);
}

TEST_F(SettingsFile, APlainStringHoldingTheJsonIsAccepted)
{
    AppConfig app;
    app.ttsVoice = QStringLiteral("longanhuan");
    {
        QSettings raw(path(), QSettings::IniFormat);
        raw.setValue(kApp, QString::fromUtf8(app.toJson()));
    }
    SettingsKeyValueStore file(path());
    EXPECT_EQ(SettingsStore(file).loadAppConfig(), app);
}

} // namespace
