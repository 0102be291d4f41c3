#pragma once

#include <QString>

namespace zn {

// Where and how one store lives. The store file is "<folder>/<name>.store"
// with SQLite's "-wal" and "-shm" side files next to it.
struct ModelConfiguration
{
    QString name = QStringLiteral("default");
    QString folder;
    bool isStoredInMemoryOnly = false;
    bool allowsSave = true;

    QString storeFilePath() const;
};

} // namespace zn
