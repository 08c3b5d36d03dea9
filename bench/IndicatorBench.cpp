// Times the indicator on a real X server (run by bench/indicator-latency):
// the activation -> window mapped and exposed; the CPU it takes while shown
// with a recording's level arriving ten times a second; and the process's
// wake-ups while it is hidden.
#include "FakeDesktopBackend.h"
#include "FakeKeyEventSource.h"
#include "FakeSpeechRecognizer.h"
#include "FloatingBallWindowManager.h"
#include "HotkeyMonitorService.h"
#include "ManualScheduler.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>

using namespace std::chrono_literals;

namespace {
double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
long contextSwitches()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_nvcsw + usage.ru_nivcsw;
}
// Runs the event loop, idle unless something wakes it, for the given time.
void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 20;
    const int seconds = argc > 2 ? std::max(1, atoi(argv[2])) : 10;

    FakeKeyEventSource source, local;
    auto owned = std::make_unique<ManualScheduler>();
    ManualScheduler &scheduler = *owned;
    HotkeyMonitorService monitor(source, local, ShortcutConfig::defaults(), std::move(owned));
    scheduler.elapse(HotkeyMonitorService::kFirstSetupDelay);
    FakeSpeechRecognizer recognizer;
    FakeDesktopBackend desktop;
    // As with a compositing manager (translucent) or without one (shaped).
    desktop.compositor = argc > 3 && QByteArray(argv[3]) == "translucent";
    FloatingBallWindowManager manager(monitor, recognizer, desktop);

    QList<double> showMs;
    for (int run = 0; run < runs; ++run) {
        source.press(ModifierMask::Option);
        scheduler.runTasks();
        QElapsedTimer clock;
        scheduler.elapse(299ms);
        clock.start();
        scheduler.elapse(1ms); // the long press is recognised: the mode is published
        QWindow *window = manager.window()->windowHandle();
        while (!window || !window->isExposed()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            window = manager.window()->windowHandle();
        }
        showMs << clock.nsecsElapsed() / 1e6;
        source.press(0);
        scheduler.runTasks();
        spin(100);
    }
    std::sort(showMs.begin(), showMs.end());
    std::printf("activation -> window mapped and exposed: median %.2f ms, max %.2f ms (%d runs)\n",
                showMs[showMs.size() / 2], showMs.last(), runs);

    // Shown and recording: a new level every 100 ms, as a microphone gives them.
    source.press(ModifierMask::Option);
    scheduler.runTasks();
    scheduler.elapse(300ms);
    recognizer.setRecording(true);
    int tick = 0;
    QTimer levels;
    levels.setInterval(100);
    QObject::connect(&levels, &QTimer::timeout, [&] { recognizer.setAudioLevel(float((tick++ % 10) / 10.0)); });
    levels.start();
    spin(500);
    const double shownCpu = cpuSeconds();
    spin(seconds * 1000);
    const double shownUsed = cpuSeconds() - shownCpu;
    levels.stop();
    std::printf("%s, ", desktop.compositor ? "translucent" : "shaped");
    std::printf("shown and recording for %d s: %.3f s CPU = %.2f %% of one core\n", seconds, shownUsed,
                shownUsed / seconds * 100);

    source.press(0);
    scheduler.runTasks();
    spin(500);
    const double hiddenCpu = cpuSeconds();
    const long hiddenSwitches = contextSwitches();
    spin(seconds * 1000);
    std::printf("hidden for %d s: %.3f s CPU, %ld wake-ups (context switches)\n", seconds, cpuSeconds() - hiddenCpu,
                contextSwitches() - hiddenSwitches);
    return 0;
}
