// Times the indicator on a real X server (run by bench/indicator-latency):
// the activation -> window mapped and exposed; the CPU it takes while shown
// with a recording's level arriving ten times a second; and the process's
// wake-ups while it is hidden; and the live caption: a result published ->
// the caption repainted with it.
#include "CaptionView.h"
#include "FakeDesktopBackend.h"
#include "FakeKeyEventSource.h"
#include "FakeSpeechRecognizer.h"
#include "FloatingBallWindowManager.h"
#include "HotkeyMonitorService.h"
#include "LiveCaption.h"
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

    // The caption: each result as the recogniser publishes it (a growing
    // sentence, four results a second) until its repaint is done.
    LiveCaption caption(manager, recognizer, desktop, [] { return true; });
    source.press(ModifierMask::Option);
    scheduler.runTasks();
    scheduler.elapse(300ms);
    QList<double> paintMs;
    const QString sentence = QStringLiteral("今天天气很好，我们下午一起去公园散步吧。然后去吃晚饭，再看一场电影。");
    for (int run = 0; run < runs * 5; ++run) {
        const QString text = sentence.left(1 + run % sentence.size()) + QString::number(run);
        bool painted = false;
        QElapsedTimer clock;
        clock.start();
        recognizer.setCurrentTranscript(text);
        CaptionView *view = caption.view();
        if (!view)
            break;
        const auto connection = QObject::connect(view, &CaptionView::painted, [&] { painted = true; });
        while (!painted && clock.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QObject::disconnect(connection);
        paintMs << clock.nsecsElapsed() / 1e6;
        spin(250);
    }
    std::sort(paintMs.begin(), paintMs.end());
    if (!paintMs.isEmpty())
        std::printf("caption: result published -> repainted: median %.2f ms, max %.2f ms (%lld results)\n",
                    paintMs[paintMs.size() / 2], paintMs.last(), static_cast<long long>(paintMs.size()));
    source.press(0);
    scheduler.runTasks();
    return 0;
}
