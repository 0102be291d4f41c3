#pragma once

// Programs a test starts carry a mark of that test's own in their
// environment. Every process that descends from them inherits it, daemons
// that left their parent's process group included, so whatever a test
// leaves behind can be found by its mark, named and ended.

#include <QList>
#include <QProcessEnvironment>
#include <QString>

namespace zn::test {

class MarkedProcesses
{
public:
    // The environment variable that carries a mark.
    static constexpr const char *kVariable = "ZN_TEST_PROCESS_MARK";

    MarkedProcesses();
    MarkedProcesses(const MarkedProcesses &) = delete;
    MarkedProcesses &operator=(const MarkedProcesses &) = delete;

    void mark(QProcessEnvironment &environment) const;
    // Running processes that carry the mark (never this one).
    QList<qint64> running() const;
    // One line per process: its id and command line.
    static QString describe(const QList<qint64> &processes);
    // Kills every marked process and waits up to `waitMs` for them to go;
    // those still there afterwards.
    QList<qint64> killAll(int waitMs = 3000) const;

private:
    QString m_value;
};

} // namespace zn::test
