#pragma once

#include "FakeDesktopBackend.h"
#include "FakeKeyEventSource.h"
#include "FakeSpeechRecognizer.h"
#include "FloatingBallWindowManager.h"
#include "HotkeyMonitorService.h"
#include "ManualScheduler.h"
#include "TestSupport.h"

#include <QWidget>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

// The manager against a real monitor fed by a fake key source, and a fake
// recogniser that publishes what the real one would.
class Indicator : public ::testing::Test
{
protected:
    void SetUp() override
    {
        auto manual = std::make_unique<ManualScheduler>();
        scheduler = manual.get();
        monitor = std::make_unique<HotkeyMonitorService>(source, local, ShortcutConfig::defaults(), std::move(manual));
        scheduler->elapse(HotkeyMonitorService::kFirstSetupDelay);
    }
    void makeManager() { manager = std::make_unique<FloatingBallWindowManager>(*monitor, recognizer, desktop); }

    // Holds the key past the long press.
    void activate(std::uint64_t flags)
    {
        source.press(flags);
        scheduler->runTasks();
        scheduler->elapse(std::chrono::milliseconds(300));
    }
    void release()
    {
        source.press(0);
        scheduler->runTasks();
    }
    bool shown() const { return manager->window() && manager->window()->isVisible(); }

    FakeKeyEventSource source;
    FakeKeyEventSource local;
    ManualScheduler *scheduler = nullptr;
    std::unique_ptr<HotkeyMonitorService> monitor;
    FakeSpeechRecognizer recognizer;
    FakeDesktopBackend desktop;
    std::unique_ptr<FloatingBallWindowManager> manager;
    TestSupport::LogCapture log;
};

