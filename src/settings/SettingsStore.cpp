#include "SettingsStore.h"

#include "KeyValueStore.h"

SettingsStore::SettingsStore(KeyValueStore &store) : m_store(store) {}

SettingsStore &SettingsStore::shared()
{
    static SettingsKeyValueStore userSettings;
    static SettingsStore instance(userSettings);
    return instance;
}

ShortcutConfig SettingsStore::loadShortcutConfig() const
{
    const auto bytes = m_store.data(QString::fromLatin1(kShortcutConfigKey));
    const auto config = bytes ? ShortcutConfig::fromJson(*bytes) : std::nullopt;
    return config.value_or(ShortcutConfig::defaults());
}

void SettingsStore::saveShortcutConfig(const ShortcutConfig &config)
{
    m_store.setData(QString::fromLatin1(kShortcutConfigKey), config.toJson());
}

AppConfig SettingsStore::loadAppConfig()
{
    const auto bytes = m_store.data(QString::fromLatin1(kAppConfigKey));
    const auto decoded = bytes ? AppConfig::fromJson(*bytes) : std::nullopt;
    if (!decoded)
        return AppConfig::defaults();

    AppConfig config = *decoded;
    // Names the service no longer offers (or that earlier versions stored by
    // mistake) are replaced once; each fix is saved at once.
    if (config.asrModel == QLatin1String("qwen3-asr-flash-realtime")) {
        config.asrModel = QString::fromLatin1(AppConfig::kDefaultAsrModel);
        saveAppConfig(config);
    }
    if (config.llmModel.isEmpty()) {
        config.llmModel = QString::fromLatin1(AppConfig::kDefaultLlmModel);
        saveAppConfig(config);
    }
    if (config.ttsModel == QLatin1String("cosyvoice-v3.5-flash")
        || config.ttsModel == QLatin1String("cosyvoice-v3.5-plus")) {
        // The voices of those models do not exist for the default model.
        config.ttsModel = QString::fromLatin1(AppConfig::kDefaultTtsModel);
        config.ttsVoice = QString::fromLatin1(AppConfig::kDefaultTtsVoice);
        saveAppConfig(config);
    }
    return config;
}

void SettingsStore::saveAppConfig(const AppConfig &config)
{
    m_store.setData(QString::fromLatin1(kAppConfigKey), config.toJson());
}
