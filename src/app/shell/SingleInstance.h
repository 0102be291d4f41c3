#pragma once

#include "platform/store/StoreError.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <memory>

class QLocalServer;
class QLocalSocket;

namespace zn {

class StoreLock;

// One copy of the program per journal. The first start takes the journal
// folder's lock and listens on a local socket in the runtime folder
// ($XDG_RUNTIME_DIR), owner-only, named for the data folder; a later start
// finds it there, asks it to come to the front and ends without touching
// the store. A socket left by a copy that was killed is replaced. Main
// thread only.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    enum class Claim {
        First,      // this is the copy: it holds the lock (or the store will say why not)
        HandedOver, // the running copy was asked to the front; end with status 0
        Busy,       // another program holds the journal; the error says so
    };

    // How long a start waits for a copy that is starting at the same moment.
    static constexpr std::chrono::milliseconds kStartingCopyWait{1500};

    SingleInstance(const QString &storeFolder, const QString &runtimeFolder, QObject *parent = nullptr);
    ~SingleInstance() override;

    Claim claim(StoreError *busy = nullptr);
    QString socketPath() const { return m_socketPath; }
    bool isListening() const;

    // "<runtime folder>/zephyrnote-<16 hex digits of the SHA-256 of the data
    // folder's absolute path>": the same for every start on that folder.
    static QString socketPathFor(const QString &storeFolder, const QString &runtimeFolder);

Q_SIGNALS:
    // A later start asked this copy to come to the front.
    void activationRequested();

private:
    bool handOver();
    void listen();
    void answer(QLocalSocket *socket);

    QString m_storeFolder;
    QString m_socketPath;
    std::shared_ptr<StoreLock> m_lock;
    QLocalServer *m_server = nullptr;
};

} // namespace zn
