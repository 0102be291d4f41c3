#include "platform/base/BackgroundWork.h"

#include <QCoreApplication>
#include <QThread>
#include <QThreadPool>

#include <algorithm>

namespace zn {
namespace {

QThreadPool *makePool(int threads)
{
    auto *pool = new QThreadPool;
    pool->setMaxThreadCount(threads);
    pool->setThreadPriority(QThread::LowPriority);
    return pool;
}

} // namespace

// Never destroyed, so a late use still finds a pool; drained when the
// application goes, while the store and the analysis data are still there.
QThreadPool &backgroundPool()
{
    static QThreadPool *pool = [] {
        QThreadPool *made = makePool(std::max(1, QThread::idealThreadCount() - 1));
        qAddPostRoutine([] { backgroundPool().waitForDone(); });
        return made;
    }();
    return *pool;
}

QThreadPool &storeWorkPool()
{
    static QThreadPool *pool = [] {
        QThreadPool *made = makePool(1);
        qAddPostRoutine([] { storeWorkPool().waitForDone(); });
        return made;
    }();
    return *pool;
}

} // namespace zn
