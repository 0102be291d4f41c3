// The real program loses nothing typed: writing steadily and then killed it
// keeps all but the last 3 s; a second start hands over to the running
// copy, one that cannot is told who holds the journal; ended by the session
// (SIGTERM) it keeps everything; no lock file left behind keeps it from the
// journal; a quit on a full disk asks, and the session ending there keeps
// the text for the next start.

#include "X11Session.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

namespace zn::test {
namespace {

using namespace std::chrono_literals;

const QStringList kWords = QStringLiteral("morning light on the wet roofs and a calm walk").split(u' ');

class NothingLostEndToEnd : public EndToEndTest
{
protected:
    void newEntry(const QString &window) { keys(window, {QStringLiteral("ctrl+n")}); }

    std::optional<QString> focusedWindow() { return xdotool(display.name(), {QStringLiteral("getwindowfocus")}); }

    // A lock file as a program that is no longer there left it, readable by all.
    QString leaveLockFile(const QByteArray &text)
    {
        QDir().mkpath(home.storeFolder());
        QFile lock(home.storeFolder() + QStringLiteral("/zephyrnote.lock"));
        EXPECT_TRUE(lock.open(QIODevice::WriteOnly) && lock.write(text) == text.size());
        return lock.fileName();
    }

    // Ends the program with `signal`; true when it ended with status 0.
    bool endWith(int signal, qint64 pid = 0)
    {
        ::kill(pid_t(pid ? pid : app.processId()), signal);
        return waitForExit(20s) && app.exitStatus() == QProcess::NormalExit && app.exitCode() == 0;
    }
};

TEST_F(NothingLostEndToEnd, SteadyTypingKilledKeepsAllButTheLastThreeSecondsASecondStartHandsOverAndSigtermKeepsEverything)
{
    home.markOnboardingDone();
    // What a kill between the lock file's making and its writing leaves.
    leaveLockFile({});
    launch();
    const QString window = journalWindow();
    ASSERT_FALSE(window.isEmpty());
    newEntry(window);

    // A word at a time, as fast as a steady writer: never a pause of 0.3 s.
    struct Sent {
        qint64 at;
        QString text;
    };
    QList<Sent> sent;
    QString typed;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; clock.elapsed() < 10'000; ++i) {
        const QString word = kWords.at(i % kWords.size()) + QLatin1Char(' ');
        type(window, word);
        typed += word;
        sent.append({clock.elapsed(), typed});
    }
    ::kill(pid_t(app.processId()), SIGKILL);
    const qint64 killedAt = clock.elapsed();
    ASSERT_TRUE(waitForExit(10s));

    const QStringList drafts = storedTexts(true);
    ASSERT_EQ(drafts.size(), 1) << drafts.join(QStringLiteral(" | ")).toStdString();
    const QString kept = drafts.first();
    QString due;
    for (const Sent &s : std::as_const(sent))
        if (s.at <= killedAt - 3000)
            due = s.text;
    EXPECT_TRUE(typed.startsWith(kept)) << kept.toStdString();
    EXPECT_GE(kept.size(), due.size()) << "kept " << kept.size() << " of " << typed.size() << " characters; "
                                       << due.size() << " were typed 3 s before the kill";

    // The next start opens at once, without waiting out the killed copy,
    // and offers the words as the entry being written; its lock file names
    // a process id now used by a running program of another name.
    leaveLockFile(QByteArray::number(::getpid()) + "\nzephyrnote\n");
    launch();
    const QString again = journalWindow();
    ASSERT_FALSE(again.isEmpty());
    QThread::msleep(500); // the editor takes the keyboard once the draft is back

    // A second start, while the settings window has the keyboard, hands
    // over to this copy and brings the journal to the front.
    keys(again, {QStringLiteral("ctrl+comma")});
    const auto settings = waitForWindow(display.name(), QStringLiteral("^Settings"), 15s);
    ASSERT_TRUE(settings) << whatHappened().toStdString();
    ASSERT_TRUE(waitUntil([&] { return focusedWindow() == settings; }, 5s));
    QProcess second;
    startMarked(second, binary, {}, home.environment(display.name(), QStringLiteral("xcb")));
    ASSERT_TRUE(second.waitForFinished(20'000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
    EXPECT_TRUE(waitUntil([&] { return focusedWindow() == again; }, 5s))
        << "the journal did not come to the front: focus on " << focusedWindow().value_or("?").toStdString();
    EXPECT_EQ(markedProcesses(), QList<qint64>{app.processId()});

    // A start from another session cannot hand over: it is told who holds
    // the journal.
    QProcess other;
    QProcessEnvironment elsewhere = home.environment({}, QStringLiteral("offscreen"));
    elsewhere.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.home() + QStringLiteral("/elsewhere"));
    startMarked(other, binary, {}, elsewhere);
    ASSERT_TRUE(other.waitForFinished(20'000));
    EXPECT_EQ(other.exitCode(), 1);
    const QString busy = QString::fromUtf8(other.readAllStandardError());
    EXPECT_TRUE(busy.contains(QStringLiteral("It is held by “zephyrnote” (process %1).").arg(app.processId())))
        << busy.toStdString();

    // A SIGTERM 0.2 s after the last keystroke keeps every one typed since.
    type(again, QStringLiteral("and the last words"));
    QThread::msleep(200);
    const qint64 ended = app.processId();
    EXPECT_TRUE(endWith(SIGTERM)) << whatHappened().toStdString();
    const QStringList finalDrafts = storedTexts(true);
    EXPECT_EQ(finalDrafts, QStringList{kept + QStringLiteral("and the last words")})
        << finalDrafts.join(QStringLiteral(" | ")).toStdString();

    // A lock file half written, and one naming the copy that has ended: the
    // journal opens, and its lock file is its owner's alone.
    QString lock;
    for (const QByteArray &left : {QByteArray("4194\nzeph"), QByteArray::number(ended) + "\nzephyrnote\n"}) {
        lock = leaveLockFile(left);
        launch();
        EXPECT_FALSE(journalWindow().isEmpty());
        EXPECT_TRUE(endWith(SIGTERM)) << whatHappened().toStdString();
    }
    EXPECT_EQ(QFile::permissions(lock).toInt() & 0x0077, 0); // group and others: nothing
}

TEST_F(NothingLostEndToEnd, AQuitOnAFullDiskAsksAndTheSessionEndingThereKeepsTheText)
{
    // The journal's folder on a small file system of its own, in a mount
    // namespace, as the store's full-disk test does; copied out afterwards.
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a small tmpfs needs root";
    const QString unshare = QStandardPaths::findExecutable(QStringLiteral("unshare"));
    if (unshare.isEmpty())
        GTEST_SKIP() << "unshare is not installed";
    home.markOnboardingDone();
    const QString after = home.home() + QStringLiteral("/after");
    const QString script = QStringLiteral(
        "mount -t tmpfs -o size=4m tmpfs \"$1\" || exit 77; \"$2\" & echo \"pid $!\"; wait $!; status=$?; "
        "mkdir -p \"$3\" && cp -a \"$1/Zephyrnote\" \"$3/\"; exit $status");
    startMarked(app, unshare,
                {QStringLiteral("-m"), QStringLiteral("--propagation"), QStringLiteral("private"), QStringLiteral("sh"),
                 QStringLiteral("-c"), script, QStringLiteral("sh"), home.dataFolder(), binary, after},
                home.environment(display.name(), QStringLiteral("xcb")));
    QElapsedTimer waited;
    waited.start();
    while (!app.canReadLine() && app.state() == QProcess::Running && waited.elapsed() < 10'000)
        app.waitForReadyRead(100);
    const QByteArray line = app.readLine().trimmed();
    if (app.state() == QProcess::NotRunning && app.exitCode() == 77)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    ASSERT_TRUE(line.startsWith("pid ")) << line.toStdString() << whatHappened().toStdString();
    const qint64 pid = line.mid(4).toLongLong();

    const QString window = journalWindow();
    ASSERT_FALSE(window.isEmpty());
    newEntry(window);
    const QString before = QStringLiteral("Typed before the disk filled up. ");
    type(window, before);
    QThread::msleep(1500);

    // The disk fills up behind the program's back.
    QFile filler(QStringLiteral("/proc/%1/root%2/filler").arg(pid).arg(home.dataFolder()));
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly)) << filler.errorString().toStdString();
    const QByteArray block(64 * 1024, 'x');
    while (filler.write(block) == block.size()) {
    }
    filler.close();
    const QString after1 = QStringLiteral("And typed after it.");
    type(window, after1);

    keys(window, {QStringLiteral("ctrl+q")});
    const auto question = waitForDialogOver(window, 15s);
    ASSERT_TRUE(question) << whatHappened().toStdString();
    keys(*question, {QStringLiteral("Escape")});
    // Waited on, so that an end is noticed and not just read as it was.
    EXPECT_FALSE(app.waitForFinished(1000)) << whatHappened().toStdString();
    EXPECT_TRUE(waitForWindow(display.name(), QStringLiteral("^Timeline"), 5s));

    // The session ends the program: it cannot ask, and keeps the text.
    EXPECT_TRUE(endWith(SIGTERM, pid)) << whatHappened().toStdString();
    const QString kept = after + QStringLiteral("/Zephyrnote");
    QFile unsaved(kept + QStringLiteral("/unsaved-text.json"));
    ASSERT_TRUE(unsaved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(unsaved.readAll().contains((before + after1).toUtf8()));

    // The next start, with room again, offers the text as the entry being
    // written, and keeps it.
    QProcessEnvironment env = home.environment(display.name(), QStringLiteral("xcb"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), after);
    startMarked(app, binary, {}, env);
    const QString again = journalWindow();
    ASSERT_FALSE(again.isEmpty());
    keys(again, {QStringLiteral("ctrl+q")});
    ASSERT_TRUE(waitForExit(15s)) << whatHappened().toStdString();
    EXPECT_EQ(app.exitCode(), 0);
    EXPECT_EQ(storedTexts(true, kept), QStringList{before + after1});
}

} // namespace
} // namespace zn::test
