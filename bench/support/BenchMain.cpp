#include <QCoreApplication>

#include <benchmark/benchmark.h>

// Shared main() for the benchmark programs: Qt needs an application object
// for timers, threads and the SQL driver.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
