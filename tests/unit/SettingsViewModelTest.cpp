#include "AppConfig.h"
#include "FakeKeyEventSource.h"
#include "HotkeyMonitorService.h"
#include "ManualScheduler.h"
#include "MemoryKeyValueStore.h"
#include "SettingsStore.h"
#include "SettingsViewModel.h"
#include "TestSupport.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

// The view model on a manual clock, over settings in memory and a real
// hotkey monitor fed by a fake key source.
class SettingsModel : public ::testing::Test
{
protected:
    SettingsModel()
    {
        auto monitorClock = std::make_unique<ManualScheduler>();
        monitorScheduler = monitorClock.get();
        monitor = std::make_unique<HotkeyMonitorService>(source, local, settings.loadShortcutConfig(),
                                                         std::move(monitorClock));
        monitorScheduler->elapse(HotkeyMonitorService::kFirstSetupDelay);
    }

    std::unique_ptr<SettingsViewModel> open()
    {
        return std::make_unique<SettingsViewModel>(SettingsViewModel::Services{
            settings, *monitor, clock,
            [this]() -> QCoro::Task<std::optional<QString>> { co_return storedKey; },
            [this](QString key) -> QCoro::Task<bool> {
                savedKeys << key;
                if (keySaveWorks)
                    storedKey = key;
                co_return keySaveWorks;
            },
            [this] { return accessibility; }});
    }
    // Opened, with the writes of the opening behind it.
    std::unique_ptr<SettingsViewModel> openSettled()
    {
        auto model = open();
        clock.elapse(1s);
        monitorScheduler->elapse(1s);
        store.writes.clear();
        source.startCalls = source.stopCalls = 0;
        log.clear();
        return model;
    }
    QList<AppConfig> appConfigWrites() const
    {
        QList<AppConfig> configs;
        for (const auto &[key, value] : store.writes) {
            if (key == QLatin1String(SettingsStore::kAppConfigKey))
                configs << AppConfig::fromJson(value).value_or(AppConfig{});
        }
        return configs;
    }
    QList<ShortcutConfig> shortcutWrites() const
    {
        QList<ShortcutConfig> configs;
        for (const auto &[key, value] : store.writes) {
            if (key == QLatin1String(SettingsStore::kShortcutConfigKey))
                configs << ShortcutConfig::fromJson(value).value_or(ShortcutConfig{});
        }
        return configs;
    }
    // Types the text one character every 200 ms, as a user does.
    void type(SettingsViewModel &model, const QString &text)
    {
        for (qsizetype i = 1; i <= text.size(); ++i) {
            model.setLlmModel(text.left(i));
            clock.elapse(200ms);
        }
    }

    MemoryKeyValueStore store;
    SettingsStore settings{store};
    FakeKeyEventSource source;
    FakeKeyEventSource local;
    ManualScheduler *monitorScheduler = nullptr;
    std::unique_ptr<HotkeyMonitorService> monitor;
    ManualScheduler clock;
    std::optional<QString> storedKey;
    bool keySaveWorks = true;
    QStringList savedKeys;
    QString accessibility;
    TestSupport::LogCapture log;
};

TEST_F(SettingsModel, OpeningWritesTheLoadedValuesBackAndRestartsTheMonitorOnce)
{
    AppConfig custom;
    custom.llmModel = QStringLiteral("qwen-plus");
    settings.saveAppConfig(custom);
    store.writes.clear();

    auto model = open();
    EXPECT_EQ(model->llmModel(), QStringLiteral("qwen-plus"));
    EXPECT_EQ(model->shortcutConfig(), ShortcutConfig::defaults());
    clock.elapse(299ms);
    EXPECT_TRUE(store.writes.isEmpty());
    clock.elapse(1ms);
    EXPECT_EQ(appConfigWrites(), QList<AppConfig>{custom}) << "the polish flag's save, 0.3 s after opening";
    clock.elapse(200ms);
    EXPECT_EQ(shortcutWrites(), QList<ShortcutConfig>{ShortcutConfig::defaults()});
    EXPECT_EQ(log.linesStartingWith(QStringLiteral("✅ [Settings] 快捷键配置已保存并应用")).size(), 1);
    monitorScheduler->elapse(1s);
    EXPECT_EQ(source.startCalls, 2) << "the first set-up and one restart";
    clock.elapse(500ms);
    EXPECT_EQ(appConfigWrites().size(), 2) << "and the model names' save, 1 s after opening";
    clock.elapse(10s);
    EXPECT_EQ(store.writes.size(), 3) << "nothing more while nothing changes";
}

TEST_F(SettingsModel, TypingAModelNameSavesOnceASecondAfterTheLastKey)
{
    auto model = openSettled();
    type(*model, QStringLiteral("qwen-max"));
    EXPECT_TRUE(appConfigWrites().isEmpty()) << "each key restarts the quiet period";
    clock.elapse(799ms);
    EXPECT_TRUE(appConfigWrites().isEmpty());
    clock.elapse(1ms);
    ASSERT_EQ(appConfigWrites().size(), 1);
    EXPECT_EQ(appConfigWrites().first().llmModel, QStringLiteral("qwen-max"));
    EXPECT_EQ(settings.loadAppConfig().llmModel, QStringLiteral("qwen-max"));
}

TEST_F(SettingsModel, AModelNameSavedLaterKeepsWhatOtherPagesStoredMeanwhile)
{
    auto model = openSettled();
    // The text page and the shortcut screen's key-route list save the record
    // themselves while this model is open.
    AppConfig elsewhere = settings.loadAppConfig();
    elsewhere.replacements = {{QStringLiteral("通义"), QStringLiteral("Tongyi")}};
    elsewhere.keepHistory = false;
    elsewhere.restoreClipboard = true;
    elsewhere.keyRoute = QStringLiteral("bindings");
    settings.saveAppConfig(elsewhere);

    model->setLlmModel(QStringLiteral("qwen-max"));
    clock.elapse(1000ms);
    const AppConfig saved = settings.loadAppConfig();
    EXPECT_EQ(saved.llmModel, QStringLiteral("qwen-max"));
    elsewhere.llmModel = saved.llmModel;
    EXPECT_EQ(saved, elsewhere) << "the model's save put back members it does not edit";
}

TEST_F(SettingsModel, TwoModelNamesHalfASecondApartSaveOnceWithBoth)
{
    auto model = openSettled();
    model->setLlmModel(QStringLiteral("qwen-plus"));
    clock.elapse(500ms);
    model->setVlModel(QStringLiteral("qwen-vl-plus"));
    clock.elapse(999ms);
    EXPECT_TRUE(appConfigWrites().isEmpty()) << "one quiet period for all six names";
    clock.elapse(1ms);
    ASSERT_EQ(appConfigWrites().size(), 1);
    EXPECT_EQ(appConfigWrites().first().llmModel, QStringLiteral("qwen-plus"));
    EXPECT_EQ(appConfigWrites().first().vlModel, QStringLiteral("qwen-vl-plus"));
}

TEST_F(SettingsModel, ThePolishFlagTwiceWithinItsQuietPeriodSavesOnceWithTheLastValue)
{
    auto model = openSettled();
    model->setEnableLLMPolish(true);
    clock.elapse(200ms);
    model->setEnableLLMPolish(false);
    clock.elapse(100ms);
    model->setEnableLLMPolish(true);
    clock.elapse(300ms);
    ASSERT_EQ(appConfigWrites().size(), 1);
    EXPECT_TRUE(appConfigWrites().first().enableLLMPolish);
}

TEST_F(SettingsModel, AConflictingAssignmentIsSavedAndAppliedAllTheSame)
{
    auto model = openSettled();
    ShortcutConfig conflicting;
    conflicting.chatAssistant.modifier = ModifierKey::Option;
    ASSERT_FALSE(conflicting.conflicts().isEmpty());
    model->setShortcutConfig(conflicting);
    clock.elapse(499ms);
    EXPECT_TRUE(shortcutWrites().isEmpty());
    clock.elapse(1ms);
    EXPECT_EQ(shortcutWrites(), QList<ShortcutConfig>{conflicting});
    EXPECT_EQ(monitor->shortcutConfig(), conflicting);
    EXPECT_EQ(log.linesStartingWith(QStringLiteral("✅ [Settings] 快捷键配置已保存并应用")).size(), 1);
}

TEST_F(SettingsModel, ResetRestoresTheModelsAndTheShortcuts)
{
    auto model = openSettled();
    ShortcutConfig custom;
    custom.voiceInput = {ModifierKey::Shift, false};
    model->setShortcutConfig(custom);
    model->setLlmModel(QStringLiteral("qwen-plus"));
    model->setTtsVoice(QStringLiteral("longxiaochun"));
    clock.elapse(2s);
    store.writes.clear();

    model->resetToDefaults();
    EXPECT_EQ(model->llmModel(), QLatin1String(AppConfig::kDefaultLlmModel));
    EXPECT_EQ(model->ttsVoice(), QLatin1String(AppConfig::kDefaultTtsVoice));
    EXPECT_EQ(model->shortcutConfig(), ShortcutConfig::defaults());
    EXPECT_TRUE(store.writes.isEmpty()) << "the automatic saves store it";
    clock.elapse(1s);
    EXPECT_EQ(appConfigWrites(), QList<AppConfig>{AppConfig::defaults()});
    EXPECT_EQ(shortcutWrites(), QList<ShortcutConfig>{ShortcutConfig::defaults()});
    EXPECT_EQ(monitor->shortcutConfig(), ShortcutConfig::defaults());
}

TEST_F(SettingsModel, ClosingSavesWhatIsStillWaitingAtOnce)
{
    auto model = openSettled();
    model->setLlmModel(QStringLiteral("qwen-turbo"));
    model->setEnableLLMPolish(true);
    ShortcutConfig custom;
    custom.bffReply.modifier = ModifierKey::Shift;
    model->setShortcutConfig(custom);
    clock.elapse(100ms);
    model.reset(); // the window closes a tenth of a second after the last edit

    EXPECT_EQ(settings.loadAppConfig().llmModel, QStringLiteral("qwen-turbo"));
    EXPECT_TRUE(settings.loadAppConfig().enableLLMPolish);
    EXPECT_EQ(settings.loadShortcutConfig(), custom);
    EXPECT_EQ(monitor->shortcutConfig(), custom) << "and applied";
    const qsizetype writes = store.writes.size();
    clock.elapse(5s);
    EXPECT_EQ(store.writes.size(), writes) << "the cancelled quiet periods never fire";

    // Closing with nothing waiting writes nothing.
    auto again = openSettled();
    again.reset();
    EXPECT_TRUE(store.writes.isEmpty());
}

TEST_F(SettingsModel, TheKeyCountsAsConfiguredWhenStoredOrSaved)
{
    auto without = open();
    EXPECT_FALSE(without->isApiKeyConfigured());

    storedKey = QStringLiteral("sk-stored");
    auto with = open();
    EXPECT_TRUE(with->isApiKeyConfigured());
    storedKey = QString();
    EXPECT_FALSE(open()->isApiKeyConfigured()) << "an empty key is no key";

    keySaveWorks = false;
    EXPECT_FALSE(QCoro::waitFor(without->saveApiKey(QStringLiteral("sk-new"))));
    EXPECT_FALSE(without->isApiKeyConfigured());
    keySaveWorks = true;
    QSignalSpy changed(without.get(), &SettingsViewModel::isApiKeyConfiguredChanged);
    EXPECT_TRUE(QCoro::waitFor(without->saveApiKey(QStringLiteral(" sk-new "))));
    EXPECT_TRUE(without->isApiKeyConfigured());
    EXPECT_EQ(changed.size(), 1);
    EXPECT_EQ(savedKeys.last(), QStringLiteral(" sk-new ")) << "passed on as typed";
}

TEST_F(SettingsModel, TheAccessibilityRequestSaysWhatIsMissingAndRefreshesASecondLater)
{
    auto model = openSettled();
    accessibility = QStringLiteral("没有 XInput2");
    QSignalSpy refreshed(model.get(), &SettingsViewModel::accessibilityStateChanged);
    model->requestAccessibilityPermission();
    EXPECT_EQ(log.linesStartingWith(QStringLiteral("⚠️ [Settings] 辅助功能不可用：没有 XInput2")).size(), 1);
    clock.elapse(999ms);
    EXPECT_EQ(refreshed.size(), 0);
    clock.elapse(1ms);
    EXPECT_EQ(refreshed.size(), 1);
    model->requestAccessibilityPermission();
    model.reset();
    clock.elapse(2s); // a refresh after the view model is gone does nothing
}

} // namespace
