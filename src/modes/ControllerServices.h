#pragma once

#include "ApiKeyProvider.h"
#include "TakeRetry.h"

#include <QString>

#include <functional>

class AudioRecorderService;
class ClipPlayer;
class DesktopBackend;
class HotkeyMonitorService;
class ModelService;
class Scheduler;
class SettingsStore;
class SpeechRecognizer;
class TakeAudioKeeper;

// What the mode controller works with; all must outlive it.
struct ControllerServices
{
    SettingsStore &settings;
    ApiKeyProvider apiKey;
    SpeechRecognizer &recognizer;
    HotkeyMonitorService &monitor;
    AudioRecorderService &recorder;
    ModelService &modelService;
    DesktopBackend &desktop;
    ClipPlayer &player;
    Scheduler &scheduler;
    // Empty when global keys and synthetic paste work here, else what is missing.
    std::function<QString()> accessibilityProblem;
    // Where the takes' audio is kept (none: not kept), and the
    // recognisers a kept take is sent again through.
    TakeAudioKeeper *audioKeeper = nullptr;
    TakeRetry::RecognizerFactory retryRecognizer = {};
    // Shows, and hides again, that the dictation's clean-up runs (the
    // indicator's processing state); none: nothing shows it.
    std::function<void(bool)> cleaningShown = {};
};
