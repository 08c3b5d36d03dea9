#pragma once

#include "KeyRouteBox.h"

#include "ApiKeyProvider.h"
#include "AppConfig.h"
#include "Scheduler.h"
#include "ShortcutConfig.h"

#include <QObject>
#include <QString>

#include <QCoroTask>

#include <chrono>
#include <functional>
#include <memory>

class AudioInputWatcher;
class HotkeyMonitorService;
class SettingsStore;

// The state behind the settings window: an edit copy of every setting,
// loaded when it is made and saved by itself a quiet moment after the user
// stops editing (the six model names together after 1 s, the polish flag
// after 0.3 s, the shortcuts after 0.5 s, which are then applied to the
// running hotkey monitor). It is the only writer of the stored settings; the
// rest of the program reads them when it needs them. When it goes (the window
// closes, the application quits) it saves at once whatever is still waiting,
// so no edit is lost to a quiet period that had not ended.
class SettingsViewModel : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isApiKeyConfigured READ isApiKeyConfigured NOTIFY isApiKeyConfiguredChanged)
    Q_PROPERTY(QString llmModel READ llmModel WRITE setLlmModel NOTIFY llmModelChanged)
    Q_PROPERTY(QString compatibleBaseURL READ compatibleBaseURL WRITE setCompatibleBaseURL NOTIFY compatibleBaseURLChanged)
    Q_PROPERTY(QString asrModel READ asrModel WRITE setAsrModel NOTIFY asrModelChanged)
    Q_PROPERTY(QString ttsModel READ ttsModel WRITE setTtsModel NOTIFY ttsModelChanged)
    Q_PROPERTY(QString ttsVoice READ ttsVoice WRITE setTtsVoice NOTIFY ttsVoiceChanged)
    Q_PROPERTY(QString vlModel READ vlModel WRITE setVlModel NOTIFY vlModelChanged)
    Q_PROPERTY(bool enableLLMPolish READ enableLLMPolish WRITE setEnableLLMPolish NOTIFY enableLLMPolishChanged)

public:
    static constexpr std::chrono::milliseconds kModelSaveQuietPeriod{1000};
    static constexpr std::chrono::milliseconds kPolishSaveQuietPeriod{300};
    static constexpr std::chrono::milliseconds kShortcutSaveQuietPeriod{500};
    static constexpr std::chrono::milliseconds kAccessibilityRefreshDelay{1000};

    struct Services
    {
        SettingsStore &settings;
        HotkeyMonitorService &monitor;
        Scheduler &scheduler;
        // The stored API key, read afresh; and its save, true when stored.
        ApiKeyProvider readApiKey;
        std::function<QCoro::Task<bool>(QString)> saveApiKey;
        // Empty when global keys and synthetic paste work here, else what is missing.
        std::function<QString()> accessibilityProblem;
        // How the mode keys are read here, and the ways to choose from.
        KeyRouteChoices keyRoutes = {};
        // The audio server's microphones; none where there is no server to ask.
        AudioInputWatcher *audioInputs = nullptr;
    };

    explicit SettingsViewModel(Services services, QObject *parent = nullptr);
    ~SettingsViewModel() override;

    bool isApiKeyConfigured() const { return m_isApiKeyConfigured; }
    void setApiKeyConfigured(bool configured);

    QString llmModel() const { return m_llmModel; }
    QString compatibleBaseURL() const { return m_compatibleBaseURL; }
    QString asrModel() const { return m_asrModel; }
    QString ttsModel() const { return m_ttsModel; }
    QString ttsVoice() const { return m_ttsVoice; }
    QString vlModel() const { return m_vlModel; }
    bool enableLLMPolish() const { return m_enableLLMPolish; }
    const ShortcutConfig &shortcutConfig() const { return m_shortcutConfig; }
    // The record last loaded or saved.
    const AppConfig &appConfig() const { return m_appConfig; }
    // The stored records, for pages that save each change at once.
    SettingsStore &settingsStore() const { return m_services.settings; }
    const ApiKeyProvider &apiKeyReader() const { return m_services.readApiKey; }
    AudioInputWatcher *audioInputs() const { return m_services.audioInputs; }
    const KeyRouteChoices &keyRoutes() const { return m_services.keyRoutes; }

    void setLlmModel(const QString &value);
    void setCompatibleBaseURL(const QString &value);
    void setAsrModel(const QString &value);
    void setTtsModel(const QString &value);
    void setTtsVoice(const QString &value);
    void setVlModel(const QString &value);
    void setEnableLLMPolish(bool value);
    void setShortcutConfig(const ShortcutConfig &value);

    // Copies the edit copies into the record and stores it.
    void saveConfig();
    // Stores the assignment and gives it to the running hotkey monitor.
    void applyShortcutConfig(const ShortcutConfig &config);
    // Every model setting and the shortcuts back to their defaults; the
    // automatic saves then store them.
    void resetToDefaults();
    // There is no permission prompt on this desktop: says what is missing and
    // asks the screens to read the state again a second later.
    void requestAccessibilityPermission();
    QString accessibilityProblem() const;
    // Saves the key as typed; on success the key counts as configured.
    QCoro::Task<bool> saveApiKey(QString key);

    // Runs at once the saves still waiting for their quiet period.
    void savePendingChanges();

Q_SIGNALS:
    void isApiKeyConfiguredChanged(bool configured);
    void llmModelChanged(const QString &value);
    void compatibleBaseURLChanged(const QString &value);
    void asrModelChanged(const QString &value);
    void ttsModelChanged(const QString &value);
    void ttsVoiceChanged(const QString &value);
    void vlModelChanged(const QString &value);
    void enableLLMPolishChanged(bool value);
    void shortcutConfigChanged(const ShortcutConfig &value);
    // Nothing changed here, but the accessibility state may have.
    void accessibilityStateChanged();

private:
    // One automatic save: runs its action once, the quiet period after the
    // last change of its group.
    struct QuietSave
    {
        std::chrono::milliseconds period;
        std::function<void()> action;
        std::unique_ptr<ScheduledTimer> timer;
    };
    void restart(QuietSave &save);
    void flush(QuietSave &save);
    void setString(QString &field, const QString &value, void (SettingsViewModel::*changed)(const QString &));
    QCoro::Task<> loadApiKeyState();

    Services m_services;
    AppConfig m_appConfig;
    bool m_isApiKeyConfigured = false;
    QString m_llmModel;
    QString m_compatibleBaseURL;
    QString m_asrModel;
    QString m_ttsModel;
    QString m_ttsVoice;
    QString m_vlModel;
    bool m_enableLLMPolish = false;
    ShortcutConfig m_shortcutConfig;

    QuietSave m_modelSave;
    QuietSave m_polishSave;
    QuietSave m_shortcutSave;
    std::unique_ptr<ScheduledTimer> m_accessibilityRefresh;
};
