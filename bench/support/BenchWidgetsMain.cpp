#include "support/BenchRun.h"

#include <QApplication>

// main() for benchmarks of widgets: a QApplication on the offscreen
// platform unless the caller chose another.
int main(int argc, char **argv)
{
    zn::bench::preferOffscreenPlatform();
    QApplication app(argc, argv);
    return zn::bench::runBenchmarks(argc, argv);
}
