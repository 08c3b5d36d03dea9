#pragma once

#include "AppViewModel.h"
#include "AudioRecorderService.h"
#include "FakeClipPlayer.h"
#include "FakeDesktopBackend.h"
#include "FakeKeyEventSource.h"
#include "FakeModelService.h"
#include "FakeSpeechRecognizer.h"
#include "HotkeyMonitorService.h"
#include "ManualScheduler.h"
#include "MemoryKeyValueStore.h"
#include "SettingsStore.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

// The mode controller with the real hotkey monitor fed by a fake key source on
// a manual clock, and fakes for recognition, the model service, the desktop
// and the speaker. Its own pauses run on the event loop.
class ControllerFixture : public ::testing::Test
{
protected:
    ControllerFixture()
    {
        auto clock = std::make_unique<ManualScheduler>();
        keys = clock.get();
        monitor = std::make_unique<HotkeyMonitorService>(source, local, ShortcutConfig::defaults(), std::move(clock));
        keys->elapse(HotkeyMonitorService::kFirstSetupDelay);
    }

    // A controller over these parts, with the stored key and the
    // accessibility problem as they are now (replacing any earlier one).
    void makeController()
    {
        controller.reset();
        controller = std::make_unique<AppViewModel>(AppViewModel::Services{
            settings, [this] { return keyOf(storedKey); }, recognizer, *monitor, recorder, service, desktop, player,
            scheduler, [this] { return accessibilityProblem; }, audioKeeper});
        TestSupport::settle(10);
    }

    // A press of the mode key held past the long-press delay.
    void activate(std::uint64_t key)
    {
        source.press(key);
        keys->elapse(HotkeyMonitorService::kLongPressDelay);
        TestSupport::settle(10);
    }

    void release()
    {
        source.press(0);
        keys->runTasks();
    }

    bool idle() const { return !controller->isProcessing() && !controller->currentMode(); }

    static QCoro::Task<std::optional<QString>> keyOf(std::optional<QString> key) { co_return key; }

    TestSupport::LogCapture log;
    FakeKeyEventSource source;
    FakeKeyEventSource local;
    ManualScheduler *keys = nullptr;
    std::unique_ptr<HotkeyMonitorService> monitor;
    MemoryKeyValueStore store;
    SettingsStore settings{store};
    std::optional<QString> storedKey = QStringLiteral("sk-test-0123456789");
    QString accessibilityProblem;
    TakeAudioKeeper *audioKeeper = nullptr; // set before makeController()
    FakeSpeechRecognizer recognizer;
    AudioRecorderService recorder;
    FakeModelService service;
    FakeDesktopBackend desktop;
    FakeClipPlayer player;
    QObject context;
    QtScheduler scheduler{&context};
    std::unique_ptr<AppViewModel> controller;
};
