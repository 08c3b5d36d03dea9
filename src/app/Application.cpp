#include "Application.h"

#include "AppViewModel.h"
#include "AudioRecorderService.h"
#include "CuePlayer.h"
#include "DashScopeAPIService.h"
#include "DesktopBackend.h"
#include "FloatingBallWindowManager.h"
#include "GlobalShortcutsRoute.h"
#include "HostKeys.h"
#include "HotkeyMonitorService.h"
#include "KeychainManager.h"
#include "LiveCaption.h"
#include "Log.h"
#include "MicrophoneCapture.h"
#include "Mp3Player.h"
#include "null/NullKeyEventSource.h"
#include "RealtimeASRService.h"
#include "RecognizerSwitch.h"
#include "Scheduler.h"
#include "ServiceCheck.h"
#include "SettingsStore.h"
#include "HistoryRetry.h"
#include "TakeAudioKeeper.h"
#include "TakeHistory.h"
#include "Vocabulary.h"
#include "TakeSurroundings.h"
#include "UploadTranscriber.h"
#include "UserText.h"
#include "wayland/WaylandDesktopBackend.h"


Application::Application()
    : m_endpoints(DashScopeEndpoints::fixedByEnvironment())
    , m_desktopParts([this] { return settings().loadAppConfig().keyRoute.toLatin1(); },
                     [this] { return m_hotkeyMonitor ? m_hotkeyMonitor->shortcutConfig() : settings().loadShortcutConfig(); })
{
    QString problem;
    m_timeouts = NetworkTimeouts::fromEnvironment(&problem);
    if (!problem.isEmpty())
        Log::line(QStringLiteral("⚠️ ") + problem);
}

RealtimeASRTimings Application::recognitionTimings() const
{
    RealtimeASRTimings timings;
    timings.connectTimeout = m_timeouts.recognitionStart;
    timings.finishTimeout = m_timeouts.recognitionFinish;
    return timings;
}

Application::~Application()
{
    // The controller and the indicator go first: they hold references to everything else.
    m_caption.reset();
    m_indicator.reset();
    m_controller.reset();
}

SettingsStore &Application::settings()
{
    return SettingsStore::shared();
}

KeychainManager &Application::keychain()
{
    return KeychainManager::shared();
}

namespace {
QCoro::Task<std::optional<QString>> givenKey(QString key)
{
    co_return key;
}
} // namespace

ApiKeyProvider Application::apiKeyProvider()
{
    // A key given to a script's run wins over the stored one.
    if (const QString given = qEnvironmentVariable("QUILLWREN_API_KEY").trimmed(); !given.isEmpty())
        return [given] { return givenKey(given); };
    // Not a coroutine lambda: its captures would not outlive its first suspension.
    return [&keychain = keychain()] { return keychain.read(); };
}

DashScopeAPIService &Application::modelService()
{
    if (!m_modelService) {
        m_modelService = std::make_unique<DashScopeAPIService>(apiKeyProvider(), m_endpoints, m_timeouts);
        m_modelService->setHostKeys(HostKeys::fromKeyring());
    }
    return *m_modelService;
}

HotkeyMonitorService &Application::hotkeyMonitor()
{
    if (!m_hotkeyMonitor) {
        m_noFallback = std::make_unique<NullKeyEventSource>(QString());
        m_hotkeyMonitor = std::make_unique<HotkeyMonitorService>(modeKeyEvents(), *m_noFallback,
                                                                 settings().loadShortcutConfig());
        m_hotkeyMonitor->setHandsFreeSettings(handsFreeSettings());
    }
    return *m_hotkeyMonitor;
}

HotkeyMonitorService::HandsFreeSettings Application::handsFreeSettings()
{
    // Read at each tap: a switch changed in the settings counts from the next one.
    return [this](AppMode mode) {
        const AppConfig config = settings().loadAppConfig();
        const bool enabled = mode == AppMode::VoiceInput ? config.handsFreeVoiceInput
                                                         : mode == AppMode::ChatAssistant && config.handsFreeChatAssistant;
        return HotkeyMonitorService::HandsFree{enabled, std::chrono::seconds(config.handsFreeLimitSeconds)};
    };
}

QCoro::Task<QString> Application::explainRefusedKey()
{
    const std::optional<QString> key = co_await configuredKey(apiKeyProvider());
    if (!key)
        co_return QString();
    const AppConfig config = settings().loadAppConfig();
    const ServiceCheck::RegionVerdict verdict =
        co_await ServiceCheck::otherRegion(*key, config.serviceRegion, m_timeouts.serviceCheck);
    if (!verdict.belongsElsewhere())
        co_return QString();
    const auto chinese = [](const QString &region) {
        return region == QLatin1String("singapore") ? UserText::of(QT_TRANSLATE_NOOP("UserText", "新加坡"))
                                                    : UserText::of(QT_TRANSLATE_NOOP("UserText", "北京"));
    };
    const QString explanation
        = UserText::of(
              QT_TRANSLATE_NOOP("UserText",
                                "这个 API Key 属于%1地域，而设置的是%2地域：在设置的 API Key 页选择%1，或运行 %3"))
              .arg(chinese(verdict.acceptingRegion), chinese(config.serviceRegion),
                   ServiceCheck::regionCommand(verdict.acceptingRegion));
    Log::line(QStringLiteral("⚠️ [服务] ") + explanation);
    co_return explanation;
}

std::unique_ptr<MicrophoneCapture> Application::newMicrophone()
{
    auto microphone = std::make_unique<MicrophoneCapture>(&audioInputWatcher());
    microphone->setChosenInput([this] { return settings().loadAppConfig().inputDevice.toUtf8(); });
    return microphone;
}

SpeechRecognizer &Application::recognizer()
{
    if (!m_recognizer) {
        std::unique_ptr<MicrophoneCapture> microphone = newMicrophone();
        QObject::connect(microphone.get(), &MicrophoneCapture::chosenInputMissing, microphone.get(),
                         [this](const QByteArray &missing) {
                             if (!m_controller)
                                 return;
                             m_controller->setInputNotice(
                                 missing.isEmpty() ? QString()
                                                   : UserText::of(QT_TRANSLATE_NOOP(
                                                                      "UserText", "所选麦克风「%1」不可用，正在使用系统默认麦克风"))
                                                         .arg(QString::fromUtf8(missing)));
                         });
        m_microphone = std::move(microphone);
        m_recognizer = std::make_unique<RealtimeASRService>(apiKeyProvider(), *m_microphone, m_endpoints.recognition(),
                                                            recognitionTimings());
        m_upload = std::make_unique<UploadTranscriber>(HostKeys::fromKeyring(), *m_microphone,
                                                       recognitionTimings().captureTail, m_timeouts.transcriptionBase);
        m_recognizerSwitch = std::make_unique<RecognizerSwitch>(*m_recognizer, *m_upload);
    }
    return *m_recognizerSwitch;
}

QCoro::Task<> Application::prepareDesktop()
{
    if (GlobalShortcutsRoute *shortcuts = globalShortcuts()) {
        const bool bound = co_await shortcuts->start();
        // The desktop's dialog may not say what the shortcuts are for.
        if (!bound)
            controller().showNotice(UserText::of(QT_TRANSLATE_NOOP(
                "UserText",
                "桌面未绑定全局快捷键：请在桌面设置中为 Quillwren 设置按键，或绑定 `quillwren hold`/`release` 命令")));
    }
    // In GNOME and KDE sessions the keystroke needs the user's permission,
    // asked once, now rather than at the first paste. The desktop's dialog
    // may not say what it is for: the status window does.
    auto *wayland = dynamic_cast<WaylandDesktopBackend *>(&desktop());
    if (!wayland || !wayland->portal())
        co_return;
    const QString asking = UserText::of(
        QT_TRANSLATE_NOOP("UserText", "请在桌面弹出的对话框中允许 Quillwren 控制键盘（只用于粘贴识别的文字）"));
    controller().showNotice(asking);
    const bool granted = co_await wayland->startPortal();
    if (controller().statusMessage() != asking)
        co_return;
    controller().showNotice(
        granted ? UserText::of(QT_TRANSLATE_NOOP("UserText", "已获得按键权限，松开按键后文字会自动粘贴"))
                : UserText::of(QT_TRANSLATE_NOOP("UserText", "未获得按键权限：识别的文字会留在剪贴板，请手动粘贴")));
}

AppViewModel &Application::controller()
{
    if (!m_controller) {
        m_recorder = std::make_unique<AudioRecorderService>();
        m_player = std::make_unique<Mp3Player>();
        m_controllerContext = std::make_unique<QObject>();
        m_controllerScheduler = std::make_unique<QtScheduler>(m_controllerContext.get());
        m_audioKeeper = std::make_unique<TakeAudioKeeper>(TakeHistory(TakeHistory::defaultPath()).audioFolder());
        const auto retryRecognizer = [this](AudioCapture &audio, const AppConfig &config) -> std::unique_ptr<SpeechRecognizer> {
            if (config.transcribesByUpload())
                return std::make_unique<UploadTranscriber>(HostKeys::fromKeyring(), audio, std::chrono::milliseconds(0),
                                                           m_timeouts.transcriptionBase);
            return std::make_unique<RealtimeASRService>(apiKeyProvider(), audio, m_endpoints.recognition(),
                                                        recognitionTimings());
        };
        m_controller = std::make_unique<AppViewModel>(AppViewModel::Services{
            settings(), apiKeyProvider(), recognizer(), hotkeyMonitor(), *m_recorder, modelService(), desktop(),
            *m_player, *m_controllerScheduler, [this] { return accessibilityProblem(); }, m_audioKeeper.get(),
            retryRecognizer, [this](bool shown) {
                if (shown && m_indicator)
                    m_indicator->setProcessing(AppMode::VoiceInput);
                else if (m_caption)
                    m_caption->cleanupEnded(); // the caption may keep the ball for the typed words
            }});
        // Each take's words go to the history, unless the user turned it off.
        QObject::connect(m_controller.get(), &AppViewModel::takeRecorded, m_controller.get(),
                         [this](const TakeRecord &record) {
                             if (!settings().loadAppConfig().keepHistory)
                                 return;
                             QString error;
                             if (!TakeHistory(TakeHistory::defaultPath()).append(record, &error))
                                 Log::line(QStringLiteral("⚠️ [历史] 无法保存这次的记录：") + error);
                         });
        // Words changed by the command line or a region changed meanwhile are
        // synced once the take that ran without them has ended.
        QObject::connect(m_controller.get(), &AppViewModel::runEnded, m_controller.get(),
                         [this] { syncHotWords(false); });
        m_cuePlayer = std::make_unique<CuePlayer>();
        m_surroundings = std::make_unique<TakeSurroundings>(*m_controller, recognizer(), mediaPlayers(), *m_cuePlayer,
                                                            [this] { return settings().loadAppConfig(); });
    }
    return *m_controller;
}

QCoro::Task<> Application::syncHotWords(bool retryFailed)
{
    const QString model = QString::fromLatin1(RealtimeASRConnection::kModel);
    const AppConfig config = settings().loadAppConfig();
    const Vocabulary::Sync state = Vocabulary::state(config, model);
    if (m_syncingHotWords || state == Vocabulary::Sync::Synced || state == Vocabulary::Sync::NoWords
        || (state == Vocabulary::Sync::Failed && !retryFailed))
        co_return;
    m_syncingHotWords = true;
    const std::optional<QString> key = co_await configuredKey(apiKeyProvider());
    if (key) {
        co_await Vocabulary::syncStored(*key, settings(), model);
    }
    m_syncingHotWords = false;
}

HistoryRetry &Application::historyRetry()
{
    if (!m_historyRetry)
        m_historyRetry = std::make_unique<HistoryRetry>(controller(), TakeHistory::defaultPath());
    return *m_historyRetry;
}

FloatingBallWindowManager &Application::indicator()
{
    if (!m_indicator) {
        m_indicator = std::make_unique<FloatingBallWindowManager>(hotkeyMonitor(), recognizer(), desktop());
        m_caption = std::make_unique<LiveCaption>(*m_indicator, recognizer(), desktop(),
                                                  [this] { return settings().loadAppConfig().liveCaption; });
        // After a clean-up the caption shows what was typed (or left on the clipboard).
        QObject::connect(&controller(), &AppViewModel::takeRecorded, m_caption.get(), [this](const TakeRecord &take) {
            const bool typed = take.ending == QLatin1String(TakeRecord::kPasted)
                               || take.ending == QLatin1String(TakeRecord::kClipboard);
            if (take.mode == AppMode::VoiceInput && typed)
                m_caption->typedText(take.text);
        });
        QObject::connect(&controller(), &AppViewModel::runEnded, m_caption.get(), [this] { m_caption->runEnded(); });
    }
    return *m_indicator;
}

SettingsViewModel::Services Application::settingsServices()
{
    if (!m_settingsScheduler) {
        m_settingsContext = std::make_unique<QObject>();
        m_settingsScheduler = std::make_unique<QtScheduler>(m_settingsContext.get());
    }
    return {settings(), hotkeyMonitor(), *m_settingsScheduler, apiKeyProvider(),
            [&keychain = keychain()](QString key) { return keychain.save(std::move(key)); },
            [this] { return accessibilityProblem(); }, m_desktopParts.keyRouteChoices(), &audioInputWatcher()};
}
