#include "platform/language/LanguageTagging.h"
#include "support/BenchRun.h"

#include <QApplication>

// main() for benchmarks of the whole program's window: a QApplication on
// the offscreen platform unless the caller chose another, named apart from
// the program's own, with the language data loaded as the program loads it
// before its window shows.
int main(int argc, char **argv)
{
    zn::bench::preferOffscreenPlatform();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ZephyrnoteBench"));
    zn::language::preloadLanguageData().waitForFinished();
    return zn::bench::runBenchmarks(argc, argv);
}
