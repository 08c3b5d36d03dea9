#include "FakeKeyEventSource.h"
#include "HotkeyMonitorService.h"
#include "Log.h"
#include "ManualScheduler.h"


#include <benchmark/benchmark.h>

namespace {

struct Rig
{
    Rig()
    {
        Log::setSink([](const QString &) {});
        auto manual = std::make_unique<ManualScheduler>();
        scheduler = manual.get();
        monitor = std::make_unique<HotkeyMonitorService>(source, local, ShortcutConfig::defaults(),
                                                         std::move(manual));
        // A listener on each, as the application has.
        QObject::connect(monitor.get(), &HotkeyMonitorService::keyDown, [](AppMode) {});
        QObject::connect(monitor.get(), &HotkeyMonitorService::keyDownCancelled, [](AppMode) {});
        scheduler->elapse(HotkeyMonitorService::kFirstSetupDelay);
    }
    ~Rig() { Log::setSink({}); }

    FakeKeyEventSource source;
    FakeKeyEventSource local;
    ManualScheduler *scheduler = nullptr;
    std::unique_ptr<HotkeyMonitorService> monitor;
};

// A short press and its release: two flag events, each logging, arming or
// disarming the timer and posting a task; the posted tasks run as well.
void BM_ModifierPressAndRelease(benchmark::State &state)
{
    Rig rig;
    for (auto _ : state) {
        rig.monitor->handleFlagsChanged(ModifierMask::Option);
        rig.monitor->handleFlagsChanged(0);
        rig.scheduler->runTasks();
    }
    state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_ModifierPressAndRelease);

// A flag word that touches no configured modifier: the common case while typing.
void BM_UnrelatedFlagChange(benchmark::State &state)
{
    Rig rig;
    std::uint64_t flags = 0;
    for (auto _ : state) {
        flags ^= 0x10000; // Caps Lock's bit on the other platform
        rig.monitor->handleFlagsChanged(flags);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_UnrelatedFlagChange);

void BM_KeyDownWithoutPendingPress(benchmark::State &state)
{
    Rig rig;
    for (auto _ : state)
        rig.monitor->handleKeyDown(54);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_KeyDownWithoutPendingPress);

} // namespace
