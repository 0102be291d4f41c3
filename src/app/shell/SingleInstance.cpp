#include "app/shell/SingleInstance.h"

#include "platform/base/SystemLog.h"
#include "platform/store/StoreLock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>

namespace zn {
namespace {

constexpr char kActivate[] = "activate\n";
constexpr char kDone[] = "ok\n";
constexpr int kConnectMs = 1000;
constexpr int kAnswerMs = 3000;
// A copy that has not heard its request by then is dropped.
constexpr int kRequestMs = 3000;

} // namespace

SingleInstance::SingleInstance(const QString &storeFolder, const QString &runtimeFolder, QObject *parent)
    : QObject(parent)
    , m_storeFolder(storeFolder)
    , m_socketPath(socketPathFor(storeFolder, runtimeFolder))
{
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::socketPathFor(const QString &storeFolder, const QString &runtimeFolder)
{
    if (runtimeFolder.isEmpty() || storeFolder.isEmpty())
        return {};
    // A stable hash: every start on this folder, in any process, agrees.
    const QByteArray digest =
        QCryptographicHash::hash(storeFolderKey(storeFolder).toUtf8(), QCryptographicHash::Sha256).toHex();
    return QDir(runtimeFolder).filePath(QStringLiteral("zephyrnote-") + QString::fromLatin1(digest.left(16)));
}

bool SingleInstance::isListening() const
{
    return m_server && m_server->isListening();
}

SingleInstance::Claim SingleInstance::claim(StoreError *busy)
{
    const QString storePath = QDir(m_storeFolder).filePath(QStringLiteral("default.store"));
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        if (handOver())
            return Claim::HandedOver;
        StoreError error;
        m_lock = StoreLock::acquire(m_storeFolder, storePath, &error);
        // Without a lock file the store's own open says what is wrong.
        if (m_lock || error.code != StoreError::Code::Busy) {
            listen();
            return Claim::First;
        }
        // A copy starting at this very moment holds the lock before it
        // listens: asked again shortly, it answers.
        if (waited.elapsed() >= kStartingCopyWait.count()) {
            if (busy)
                *busy = error;
            return Claim::Busy;
        }
        QThread::msleep(100);
    }
}

bool SingleInstance::handOver()
{
    if (m_socketPath.isEmpty())
        return false;
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    if (!socket.waitForConnected(kConnectMs))
        return false; // none there, or one left by a copy that was killed
    socket.write(kActivate);
    if (!socket.waitForBytesWritten(kConnectMs))
        return false;
    QByteArray reply;
    while (!reply.contains('\n')) {
        if (!socket.waitForReadyRead(kAnswerMs))
            return false;
        reply += socket.readAll();
    }
    return reply == kDone;
}

void SingleInstance::listen()
{
    if (m_socketPath.isEmpty())
        return;
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // Whoever holds the lock owns the name: a socket there now was left by
    // a copy that was killed.
    QLocalServer::removeServer(m_socketPath);
    if (!m_server->listen(m_socketPath)) {
        systemLog(QStringLiteral("Zephyrnote: Later starts cannot reach this one (%1: %2).")
                      .arg(m_socketPath, m_server->errorString()));
        delete m_server;
        m_server = nullptr;
        return;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection())
            answer(socket);
    });
}

void SingleInstance::answer(QLocalSocket *socket)
{
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    QTimer::singleShot(kRequestMs, socket, [socket] { socket->abort(); socket->deleteLater(); });
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
        if (!socket->canReadLine())
            return;
        const bool activate = socket->readLine() == kActivate;
        if (activate)
            socket->write(kDone);
        socket->disconnectFromServer();
        if (activate)
            Q_EMIT activationRequested();
    });
}

} // namespace zn
