#include "Log.h"
#include "ScreenCaptureService.h"
#include "x11/X11DesktopBackend.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

namespace {

// Capture of the focused screen, scaled to 1920, JPEG at 0.7, Base64: what
// the reply mode does before its request. Run on an X display of the size to
// measure (bench/capture-latency starts one).
void BM_CaptureScaleEncode(benchmark::State &state)
{
    Log::setSink([](const QString &) {});
    X11DesktopBackend desktop;
    ScreenCaptureService capture(desktop);
    for (auto _ : state)
        benchmark::DoNotOptimize(capture.captureFocusedScreenAsBase64(1920, 0.7));
    Log::setSink({});
}
BENCHMARK(BM_CaptureScaleEncode)->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv); // screens need a GUI application
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
