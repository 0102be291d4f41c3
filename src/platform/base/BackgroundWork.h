#pragma once

#include <QCoreApplication>
#include <QFuture>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <utility>

namespace zn {

// Where long work of the program runs off the UI thread. Never Qt's global
// pool: Qt paints large areas with that pool's threads and waits for them,
// so work that fills it would hold up the window's next frame.

// Computing in bulk (scoring a whole journal, decoding a large file): one
// thread fewer than the machine has, below the UI thread's priority.
QThreadPool &backgroundPool();

// Work on a second connection to the journal store: one task at a time, so
// two background writers never wait on each other's transaction.
QThreadPool &storeWorkPool();

// Runs `work` on `pool`, then hands what it returned to `then` on the main
// thread; `then` is dropped if the application goes first.
template<class Work, class Then>
void runThenOnMainThread(QThreadPool &pool, Work work, Then then)
{
    QtConcurrent::run(&pool, std::move(work)).then(QCoreApplication::instance(), std::move(then));
}

} // namespace zn
