#include "support/BenchRun.h"

#include <QGuiApplication>

// main() for benchmarks that lay out text or paint without widgets; no
// window is shown.
int main(int argc, char **argv)
{
    zn::bench::preferOffscreenPlatform();
    QGuiApplication app(argc, argv);
    return zn::bench::runBenchmarks(argc, argv);
}
