// Writes a file as the exports do, for the tests that need it done by
// another process (on a file system of its own, or as another account):
//   json <path> <bytes>   the journal export's writer
//   pdf <path> <bytes>    the weather report's writer
// Prints "ok" or the message the person at the screen would read.
#include "exchange/JournalExport.h"
#include "exchange/report/WeatherReportExport.h"

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char **argv)
{
    if (argc != 4 || (std::strcmp(argv[1], "json") != 0 && std::strcmp(argv[1], "pdf") != 0)) {
        std::fprintf(stderr, "usage: %s json|pdf <path> <bytes>\n", argv[0]);
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[2]);
    const QByteArray bytes(std::atoi(argv[3]), 'x');
    QString outcome = QStringLiteral("ok");
    if (std::strcmp(argv[1], "json") == 0) {
        if (const auto error = zn::writeJournalExportFile(path, bytes))
            outcome = error->message();
    } else if (const auto error = zn::writeWeatherReport(bytes, path)) {
        outcome = error->message();
    }
    std::printf("%s\n", outcome.toUtf8().constData());
    return 0;
}
