#include "support/BenchRun.h"

#include <QCoreApplication>

// Shared main() for the benchmark programs: Qt needs an application object
// for timers, threads and the SQL driver.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return zn::bench::runBenchmarks(argc, argv);
}
