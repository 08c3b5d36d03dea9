#pragma once

#include "ApiKeyProvider.h"
#include "CapabilityStatus.h"
#include "DashScopeEndpoints.h"
#include "DesktopParts.h"
#include "HotkeyMonitorService.h"
#include "NetworkTimeouts.h"
#include "PlatformFactory.h"
#include "RealtimeASRConnection.h"
#include "SettingsViewModel.h"

#include <QCoroTask>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class AppViewModel;
class AudioCapture;
class AudioInputWatcher;
class AudioRecorderService;
class ClipPlayer;
class CuePlayer;
class DashScopeAPIService;
class FloatingBallWindowManager;
class LiveCaption;
class GlobalShortcutsRoute;
class HistoryRetry;
class HotkeyMonitorService;
class QtScheduler;
class RealtimeASRService;
class RecognizerSwitch;
class SpeechRecognizer;
class UploadTranscriber;
class DesktopBackend;
class DesktopNotifier;
class KeyEventSource;
class KeychainManager;
class MediaPlayers;
class MergedKeyEventSource;
class MicrophoneCapture;
class ModeKeyBindings;
class SettingsStore;
class TakeAudioKeeper;
class TakeSurroundings;

// The composition root: the one place that builds the production objects —
// the user's settings and keyring, the platform backends, the service
// endpoints and the API key provider — and hands them to whatever needs them.
// The commands and the tray application share it. Everything is made on
// first use, so a command pays only for what it touches. The session's
// platform backends are DesktopParts' to make.
class Application
{
public:
    Application();
    ~Application();
    Application(const Application &) = delete;
    Application &operator=(const Application &) = delete;

    SettingsStore &settings();
    KeychainManager &keychain();
    // Reads the key from the keyring afresh at every call.
    ApiKeyProvider apiKeyProvider();
    // After the service refused the key: the sentence that says the key
    // belongs to the other region and how to switch, when the other region
    // accepts it; otherwise empty. Asks once, bounded.
    QCoro::Task<QString> explainRefusedKey();
    // The WebSocket $QUILLWREN_WS_URL fixes, or none: then every connection
    // goes where the settings of its take say.
    const DashScopeEndpoints &endpoints() const { return m_endpoints; }
    // The service's waits, from the environment; the recogniser's share of them.
    const NetworkTimeouts &timeouts() const { return m_timeouts; }
    RealtimeASRTimings recognitionTimings() const;

    DesktopParts &desktopParts() { return m_desktopParts; }
    PlatformFactory::Backend backend() const { return m_desktopParts.backend(); }
    const SessionInfo &session() const { return m_desktopParts.session(); }
    KeyEventSource &keyEventSource() { return m_desktopParts.keyEventSource(); }
    PlatformFactory::KeyRoute keyRoute() { return m_desktopParts.keyRoute(); }
    KeyEventSource &localKeyEventSource() { return m_desktopParts.localKeyEventSource(); }
    ModeKeyBindings &keyBindings() { return m_desktopParts.keyBindings(); }
    KeyEventSource &modeKeyEvents() { return m_desktopParts.modeKeyEvents(); }
    DesktopBackend &desktop() { return m_desktopParts.desktop(); }
    AudioInputWatcher &audioInputWatcher() { return m_desktopParts.audioInputWatcher(); }
    DesktopNotifier &notifier() { return m_desktopParts.notifier(); }
    MediaPlayers &mediaPlayers() { return m_desktopParts.mediaPlayers(); }

    DashScopeAPIService &modelService();

    // The running application's parts.
    HotkeyMonitorService &hotkeyMonitor();
    // Whether a double tap locks a mode, from the stored settings.
    HotkeyMonitorService::HandsFreeSettings handsFreeSettings();
    // The take's recogniser: the realtime one or the upload, as each take's settings say.
    SpeechRecognizer &recognizer();
    // A microphone capture as the takes have it: the server's changes
    // watched, the microphone chosen in the settings used.
    std::unique_ptr<MicrophoneCapture> newMicrophone();
    AppViewModel &controller();
    // Sends the history's takes again through the controller.
    HistoryRetry &historyRetry();
    // Syncs the hot words to the service's vocabulary when they are not (a
    // change made while no instance ran, a changed region; with
    // retryFailed, a sync that failed too). One at a time.
    QCoro::Task<> syncHotWords(bool retryFailed = true);
    FloatingBallWindowManager &indicator();
    // What a settings window's view model works with.
    SettingsViewModel::Services settingsServices();
    QString accessibilityProblem() { return m_desktopParts.accessibilityProblem(); }
    CapabilityReport capabilities() { return m_desktopParts.capabilities(); }
    void logCapabilities() { m_desktopParts.logCapabilities(); }
    // What the running application does once at start: the RemoteDesktop
    // portal's permission where the keystroke needs it, and the global
    // shortcuts on the portal route.
    QCoro::Task<> prepareDesktop();
    // The running application's global shortcuts, made on the portal route
    // (null on every other route, and in the commands, which only report
    // what the route would do).
    void useGlobalShortcuts() { m_desktopParts.useGlobalShortcuts(); }
    GlobalShortcutsRoute *globalShortcuts() const { return m_desktopParts.globalShortcuts(); }

private:
    DashScopeEndpoints m_endpoints;
    NetworkTimeouts m_timeouts;
    DesktopParts m_desktopParts;
    // The monitor's own fallback, never started: the merged source falls back itself.
    std::unique_ptr<KeyEventSource> m_noFallback;
    std::unique_ptr<DashScopeAPIService> m_modelService;
    std::unique_ptr<HotkeyMonitorService> m_hotkeyMonitor;
    std::unique_ptr<AudioCapture> m_microphone;
    std::unique_ptr<RealtimeASRService> m_recognizer;
    std::unique_ptr<UploadTranscriber> m_upload;
    std::unique_ptr<RecognizerSwitch> m_recognizerSwitch;
    std::unique_ptr<AudioRecorderService> m_recorder;
    std::unique_ptr<ClipPlayer> m_player;
    std::unique_ptr<CuePlayer> m_cuePlayer;
    std::unique_ptr<QObject> m_controllerContext;
    std::unique_ptr<QtScheduler> m_controllerScheduler;
    std::unique_ptr<QObject> m_settingsContext;
    std::unique_ptr<QtScheduler> m_settingsScheduler;
    std::unique_ptr<TakeAudioKeeper> m_audioKeeper;
    std::unique_ptr<AppViewModel> m_controller;
    std::unique_ptr<HistoryRetry> m_historyRetry;
    bool m_syncingHotWords = false;
    std::unique_ptr<TakeSurroundings> m_surroundings;
    std::unique_ptr<FloatingBallWindowManager> m_indicator;
    std::unique_ptr<LiveCaption> m_caption;
};
