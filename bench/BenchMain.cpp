#include <QCoreApplication>

#include <benchmark/benchmark.h>

// Every benchmark runs with a Qt application, as the program does.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
