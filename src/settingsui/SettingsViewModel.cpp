#include "SettingsViewModel.h"

#include "HotkeyMonitorService.h"
#include "Log.h"
#include "SettingsStore.h"

#include <QPointer>

SettingsViewModel::SettingsViewModel(Services services, QObject *parent)
    : QObject(parent), m_services(std::move(services)),
      m_modelSave{kModelSaveQuietPeriod, [this] { saveConfig(); }, {}},
      m_polishSave{kPolishSaveQuietPeriod, [this] { saveConfig(); }, {}},
      m_shortcutSave{kShortcutSaveQuietPeriod, [this] { applyShortcutConfig(m_shortcutConfig); }, {}}
{
    m_appConfig = m_services.settings.loadAppConfig();
    m_shortcutConfig = m_services.settings.loadShortcutConfig();
    m_llmModel = m_appConfig.llmModel;
    m_compatibleBaseURL = m_appConfig.compatibleBaseURL;
    m_asrModel = m_appConfig.asrModel;
    m_ttsModel = m_appConfig.ttsModel;
    m_ttsVoice = m_appConfig.ttsVoice;
    m_vlModel = m_appConfig.vlModel;
    m_enableLLMPolish = m_appConfig.enableLLMPolish;
    loadApiKeyState();
    // Each automatic save also runs once for the values as loaded: the
    // stored settings are written back and the monitor restarted once.
    restart(m_modelSave);
    restart(m_polishSave);
    restart(m_shortcutSave);
}

SettingsViewModel::~SettingsViewModel()
{
    savePendingChanges();
}

QCoro::Task<> SettingsViewModel::loadApiKeyState()
{
    QPointer<SettingsViewModel> self(this);
    const std::optional<QString> key = co_await configuredKey(m_services.readApiKey);
    if (self && key)
        setApiKeyConfigured(true);
}

void SettingsViewModel::setApiKeyConfigured(bool configured)
{
    if (std::exchange(m_isApiKeyConfigured, configured) != configured)
        Q_EMIT isApiKeyConfiguredChanged(configured);
}

void SettingsViewModel::setString(QString &field, const QString &value,
                                  void (SettingsViewModel::*changed)(const QString &))
{
    if (field == value)
        return;
    field = value;
    Q_EMIT(this->*changed)(value);
    // Any of the six restarts the one quiet period of all six.
    restart(m_modelSave);
}

void SettingsViewModel::setLlmModel(const QString &value)
{
    setString(m_llmModel, value, &SettingsViewModel::llmModelChanged);
}

void SettingsViewModel::setCompatibleBaseURL(const QString &value)
{
    setString(m_compatibleBaseURL, value, &SettingsViewModel::compatibleBaseURLChanged);
}

void SettingsViewModel::setAsrModel(const QString &value)
{
    setString(m_asrModel, value, &SettingsViewModel::asrModelChanged);
}

void SettingsViewModel::setTtsModel(const QString &value)
{
    setString(m_ttsModel, value, &SettingsViewModel::ttsModelChanged);
}

void SettingsViewModel::setTtsVoice(const QString &value)
{
    setString(m_ttsVoice, value, &SettingsViewModel::ttsVoiceChanged);
}

void SettingsViewModel::setVlModel(const QString &value)
{
    setString(m_vlModel, value, &SettingsViewModel::vlModelChanged);
}

void SettingsViewModel::setEnableLLMPolish(bool value)
{
    if (m_enableLLMPolish == value)
        return;
    m_enableLLMPolish = value;
    Q_EMIT enableLLMPolishChanged(value);
    restart(m_polishSave);
}

void SettingsViewModel::setShortcutConfig(const ShortcutConfig &value)
{
    if (m_shortcutConfig == value)
        return;
    m_shortcutConfig = value;
    Q_EMIT shortcutConfigChanged(value);
    restart(m_shortcutSave);
}

void SettingsViewModel::restart(QuietSave &save)
{
    save.timer = m_services.scheduler.schedule(save.period, [&save] {
        save.timer.reset();
        save.action();
    });
}

void SettingsViewModel::flush(QuietSave &save)
{
    if (!save.timer || !save.timer->isValid())
        return;
    save.timer.reset();
    save.action();
}

void SettingsViewModel::savePendingChanges()
{
    flush(m_modelSave);
    flush(m_polishSave);
    flush(m_shortcutSave);
}

void SettingsViewModel::saveConfig()
{
    // Starts from the record as stored, so that every member this model does
    // not edit stays as another page or the command line left it since the
    // window opened.
    m_appConfig = m_services.settings.loadAppConfig();
    m_appConfig.llmModel = m_llmModel;
    m_appConfig.compatibleBaseURL = m_compatibleBaseURL;
    m_appConfig.asrModel = m_asrModel;
    m_appConfig.ttsModel = m_ttsModel;
    m_appConfig.ttsVoice = m_ttsVoice;
    m_appConfig.vlModel = m_vlModel;
    m_appConfig.enableLLMPolish = m_enableLLMPolish;
    m_services.settings.saveAppConfig(m_appConfig);
}

void SettingsViewModel::applyShortcutConfig(const ShortcutConfig &config)
{
    m_services.settings.saveShortcutConfig(config);
    m_services.monitor.updateShortcutConfig(config);
    Log::line(QStringLiteral("✅ [Settings] 快捷键配置已保存并应用"));
}

void SettingsViewModel::resetToDefaults()
{
    const AppConfig defaults = AppConfig::defaults();
    setLlmModel(defaults.llmModel);
    setCompatibleBaseURL(defaults.compatibleBaseURL);
    setAsrModel(defaults.asrModel);
    setTtsModel(defaults.ttsModel);
    setTtsVoice(defaults.ttsVoice);
    setVlModel(defaults.vlModel);
    setEnableLLMPolish(defaults.enableLLMPolish);
    setShortcutConfig(ShortcutConfig::defaults());
}

QString SettingsViewModel::accessibilityProblem() const
{
    return m_services.accessibilityProblem ? m_services.accessibilityProblem() : QString();
}

void SettingsViewModel::requestAccessibilityPermission()
{
    if (const QString problem = accessibilityProblem(); !problem.isEmpty())
        Log::line(QStringLiteral("⚠️ [Settings] 辅助功能不可用：") + problem);
    m_accessibilityRefresh = m_services.scheduler.schedule(kAccessibilityRefreshDelay, [this] {
        m_accessibilityRefresh.reset();
        Q_EMIT accessibilityStateChanged();
    });
}

QCoro::Task<bool> SettingsViewModel::saveApiKey(QString key)
{
    QPointer<SettingsViewModel> self(this);
    const bool saved = co_await m_services.saveApiKey(std::move(key));
    if (self && saved)
        setApiKeyConfigured(true);
    co_return saved;
}
