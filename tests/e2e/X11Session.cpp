#include "X11Session.h"

#include "core/JournalEntry.h"
#include "core/JournalQueries.h"
#include "core/StoreFactory.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace zn::test {

namespace {

// Runs an X client on `display`: its standard output, or none when it failed.
std::optional<QString> runOn(const QString &display, const QString &program, const QStringList &arguments)
{
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display);
    tool.setProcessEnvironment(env);
    tool.start(program, arguments);
    if (!tool.waitForFinished(10000) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        return std::nullopt;
    return QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();
}

// Asks a helper program to end, and ends it when it does not in time.
void endProgram(QProcess *process, int graceMs)
{
    if (!process || process->state() == QProcess::NotRunning)
        return;
    process->terminate();
    if (!process->waitForFinished(graceMs)) {
        process->kill();
        process->waitForFinished(2000);
    }
}

} // namespace

XvfbDisplay::~XvfbDisplay()
{
    endProgram(m_server.get(), 3000);
}

QString XvfbDisplay::start()
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (program.isEmpty())
        return QStringLiteral("Xvfb is not installed (Debian package xvfb)");
    // The server picks a free display number itself, taking its lock file
    // atomically, and writes the number to its output once it accepts
    // clients: tests starting together never share a display.
    m_server = std::make_unique<QProcess>();
    m_server->setStandardErrorFile(QProcess::nullDevice());
    // A test process killed on its time-out takes its display with it.
    m_server->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    // -noreset: by default the server resets when its last client leaves,
    // and a program started again at that moment finds no display.
    m_server->start(program, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                              QStringLiteral("0"),
                              QStringLiteral("%1x%2x24").arg(m_screen.width()).arg(m_screen.height()),
                              QStringLiteral("-nolisten"),
                              QStringLiteral("tcp"), QStringLiteral("-noreset")});
    if (!m_server->waitForStarted(5000))
        return QStringLiteral("Xvfb did not start: ") + m_server->errorString();
    QByteArray written;
    QElapsedTimer timer;
    timer.start();
    while (!written.contains('\n') && timer.elapsed() < 20000) {
        if (m_server->state() != QProcess::Running)
            return QStringLiteral("Xvfb ended before it took a display");
        m_server->waitForReadyRead(200);
        written += m_server->readAllStandardOutput();
    }
    bool ok = false;
    const int number = written.trimmed().toInt(&ok);
    if (!ok)
        return QStringLiteral("Xvfb named no display in 20 s");
    m_number = number;
    return {};
}

QString XvfbDisplay::state()
{
    // The end of a process is noticed only while it is waited on.
    if (m_server && m_server->state() != QProcess::NotRunning)
        m_server->waitForFinished(1);
    if (!m_server || m_server->state() != QProcess::NotRunning)
        return QStringLiteral("the display server runs");
    return QStringLiteral("the display server ended (%1, status %2)")
        .arg(m_server->exitStatus() == QProcess::CrashExit ? QStringLiteral("crashed") : QStringLiteral("exited"))
        .arg(m_server->exitCode());
}

PrivateHome::PrivateHome()
{
    for (const char *sub : {".config", ".local/share", ".cache", "run", "Documents"})
        QDir().mkpath(m_dir.file(QString::fromLatin1(sub)));
    QFile::setPermissions(m_dir.file(QStringLiteral("run")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void PrivateHome::markOnboardingDone() const
{
    QDir().mkpath(configFolder() + QStringLiteral("/Zephyrnote"));
    QFile ini(configFolder() + QStringLiteral("/Zephyrnote/Zephyrnote.ini"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[General]\nsettings.onboardingCompleted=true\n");
}

QList<QDateTime> PrivateHome::saveEntries(const QStringList &texts) const
{
    QList<QDateTime> moments;
    StoreError error;
    auto made = makeStoreContainerIn(storeFolder(), &error);
    if (!made) {
        ADD_FAILURE() << error.description().toStdString();
        return moments;
    }
    ModelContext context(made->container.get());
    const QDateTime now = QDateTime::currentDateTime();
    for (qsizetype i = 0; i < texts.size(); ++i) {
        moments << now.addSecs(-3600 * (1 + 30 * i));
        context.insert(std::make_unique<JournalEntry>(QUuid::createUuid(), moments.last(), texts[i], std::nullopt,
                                                      0.2, KeywordFrequencies{}, std::nullopt, QStringList{},
                                                      false));
    }
    if (const auto failed = context.save()) {
        ADD_FAILURE() << "the entries were not saved";
        return {};
    }
    return moments;
}

QProcessEnvironment PrivateHome::environment(const QString &display, const QString &platform) const
{
    QProcessEnvironment env;
    env.insert(QStringLiteral("PATH"), qEnvironmentVariable("PATH"));
    env.insert(QStringLiteral("HOME"), home());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configFolder());
    env.insert(QStringLiteral("XDG_DATA_HOME"), dataFolder());
    env.insert(QStringLiteral("XDG_CACHE_HOME"), m_dir.file(QStringLiteral(".cache")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.file(QStringLiteral("run")));
    env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    // No model server is asked about anything.
    env.insert(QStringLiteral("ZEPHYRNOTE_MODEL_URL"), QStringLiteral("http://127.0.0.1:9"));
    if (!display.isEmpty())
        env.insert(QStringLiteral("DISPLAY"), display);
    // No session bus: libdbus would otherwise launch one for the display,
    // a daemon that outlives the program (and, forked from a program under
    // AddressSanitizer, can hang before it runs).
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("disabled:"));
    // A sanitizer build checks the program by the same rules as the tests;
    // the test run's own mark lets its script find anything left behind.
    for (const char *name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS", "ZN_TEST_RUN"})
        if (qEnvironmentVariableIsSet(name))
            env.insert(QString::fromLatin1(name), qEnvironmentVariable(name));
    return env;
}

std::optional<QString> xdotool(const QString &display, const QStringList &arguments)
{
    return runOn(display, QStringLiteral("xdotool"), arguments);
}

std::optional<QString> xprop(const QString &display, const QStringList &arguments)
{
    return runOn(display, QStringLiteral("xprop"), arguments);
}

std::optional<QString> xwininfo(const QString &display, const QStringList &arguments)
{
    return runOn(display, QStringLiteral("xwininfo"), arguments);
}

WindowManager::~WindowManager()
{
    endProgram(m_process.get(), 5000);
}

QString WindowManager::start(const QString &display, const PrivateHome &home)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("openbox"));
    if (program.isEmpty())
        return QStringLiteral("openbox is not installed (Debian package openbox)");
    if (QStandardPaths::findExecutable(QStringLiteral("xprop")).isEmpty())
        return QStringLiteral("xprop is not installed (Debian package x11-utils)");
    m_process = std::make_unique<QProcess>();
    // The private home: no one's own openbox settings apply.
    m_process->setProcessEnvironment(home.environment(display, QStringLiteral("xcb")));
    m_process->setStandardOutputFile(QProcess::nullDevice());
    m_process->setStandardErrorFile(QProcess::nullDevice());
    m_process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_process->start(program, {QStringLiteral("--sm-disable")});
    if (!m_process->waitForStarted(5000))
        return QStringLiteral("openbox did not start: ") + m_process->errorString();
    // It names itself on the root window once it manages the screen.
    const bool managing = waitUntil([&] {
        if (m_process->state() != QProcess::Running)
            return false;
        const auto check = xprop(display, {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")});
        if (check && check->contains(QStringLiteral("window id")))
            return true;
        QThread::msleep(50);
        return false;
    }, std::chrono::seconds(20));
    if (!managing)
        return m_process->state() == QProcess::Running ? QStringLiteral("openbox did not take the screen in 20 s")
                                                       : QStringLiteral("openbox ended at its start");
    return {};
}

std::optional<QString> waitForWindow(const QString &display, const QString &pattern,
                                     std::chrono::milliseconds timeout)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeout.count()) {
        if (auto found = xdotool(display, {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                           QStringLiteral("--name"), pattern})) {
            const QStringList ids = found->split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            if (!ids.isEmpty())
                return ids.last();
        }
        QThread::msleep(100);
    }
    return std::nullopt;
}

bool waitForWindowGone(const QString &display, const QString &pattern, std::chrono::milliseconds timeout)
{
    return waitUntil([&] {
        return xdotool(display, {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                                 pattern})
            .value_or(QString())
            .isEmpty();
    }, timeout);
}

QString EndToEndTest::whatHappened()
{
    QStringList names;
    if (auto found = xdotool(display.name(), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                              QStringLiteral("--name"), QStringLiteral(".")})) {
        for (const QString &id : found->split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            names << xdotool(display.name(), {QStringLiteral("getwindowname"), id}).value_or(QStringLiteral("?"));
    }
    // QProcess reads the program's pipes and notices its end only while
    // it is waited on; without this the state and the output are stale.
    if (app.state() != QProcess::NotRunning)
        app.waitForFinished(300);
    QString state = QStringLiteral("the program is running");
    if (app.state() == QProcess::NotRunning)
        state = app.exitStatus() == QProcess::CrashExit
            ? QStringLiteral("the program crashed")
            : QStringLiteral("the program ended with status %1").arg(app.exitCode());
    return QStringLiteral("%1; %2; visible windows: [%3]; its errors: %4")
        .arg(state, display.state(), names.join(QStringLiteral(", ")),
             QString::fromLocal8Bit(app.readAllStandardError()));
}

void EndToEndTest::SetUp()
{
    binary = qEnvironmentVariable("ZN_APP_BINARY");
    if (binary.isEmpty() || !QFile::exists(binary))
        GTEST_SKIP() << "the zephyrnote program is not built";
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        GTEST_SKIP() << "xdotool is not installed (Debian package xdotool)";
    const QString why = display.start();
    if (!why.isEmpty())
        GTEST_SKIP() << "no X display for the end-to-end run: " << why.toStdString();
}

void EndToEndTest::TearDown()
{
    if (app.state() != QProcess::NotRunning) {
        ::kill(-pid_t(app.processId()), SIGKILL);
        app.waitForFinished(3000);
    }
    // The program's whole group has ended; anything still carrying the mark
    // left the group on its own and would outlive the test.
    const QList<qint64> left = markedProcesses();
    QStringList named;
    for (qint64 pid : left) {
        QFile command(QStringLiteral("/proc/%1/cmdline").arg(pid));
        command.open(QIODevice::ReadOnly);
        named << QStringLiteral("%1 %2").arg(pid).arg(QString::fromLocal8Bit(command.readAll().replace('\0', ' ')));
        ::kill(pid_t(pid), SIGKILL);
    }
    EXPECT_TRUE(left.isEmpty()) << "processes started by the program outlived it:\n"
                                << named.join(u'\n').toStdString();
}

QList<qint64> EndToEndTest::markedProcesses() const
{
    const QByteArray wanted = "ZN_TEST_PROCESS_MARK=" + mark.toLatin1();
    QList<qint64> found;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        // A zombie keeps no environment: gone, once its parent reaps it.
        QFile variables(QStringLiteral("/proc/%1/environ").arg(entry));
        if (entry.toLongLong() > 0 && variables.open(QIODevice::ReadOnly) && variables.readAll().split('\0').contains(wanted))
            found << entry.toLongLong();
    }
    return found;
}

void EndToEndTest::launch(const QString &platform, const QProcessEnvironment &extra)
{
    QProcessEnvironment env = home.environment(display.name(), platform);
    env.insert(extra);
    startMarked(app, binary, {}, env);
}

void EndToEndTest::startMarked(QProcess &process, const QString &program, const QStringList &arguments,
                               QProcessEnvironment environment)
{
    environment.insert(QStringLiteral("ZN_TEST_PROCESS_MARK"), mark);
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    // A group of its own, so the program and its children end together; and
    // it ends with this test process, even one killed on its time-out.
    process.setChildProcessModifier([] {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    });
    process.start(program, arguments);
    ASSERT_TRUE(process.waitForStarted(5000)) << process.errorString().toStdString();
}

void EndToEndTest::keys(const QString &window, const QStringList &sequence, int delayMs)
{
    xdotool(display.name(), {QStringLiteral("windowfocus"), QStringLiteral("--sync"), window});
    QStringList arguments{QStringLiteral("key"), QStringLiteral("--clearmodifiers"), QStringLiteral("--delay"),
                          QString::number(delayMs)};
    arguments << sequence;
    ASSERT_TRUE(xdotool(display.name(), arguments)) << sequence.join(' ').toStdString();
}

void EndToEndTest::type(const QString &window, const QString &text)
{
    xdotool(display.name(), {QStringLiteral("windowfocus"), QStringLiteral("--sync"), window});
    ASSERT_TRUE(xdotool(display.name(), {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("15"), text}));
}

bool EndToEndTest::waitForExit(std::chrono::milliseconds timeout)
{
    return app.state() == QProcess::NotRunning || app.waitForFinished(int(timeout.count()));
}

QString EndToEndTest::journalWindow()
{
    const auto window = waitForWindow(display.name(), QStringLiteral("^Timeline"), std::chrono::seconds(30));
    EXPECT_TRUE(window) << whatHappened().toStdString();
    return window.value_or(QString());
}

std::optional<QString> EndToEndTest::waitForDialogOver(const QString &main, std::chrono::milliseconds timeout)
{
    std::optional<QString> found;
    waitUntil([&] {
        const auto ids = xdotool(display.name(), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                  QStringLiteral("--class"), QStringLiteral("zephyrnote")});
        for (const QString &id : ids.value_or(QString()).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            if (id != main)
                found = id;
        return found.has_value();
    }, timeout);
    return found;
}

QStringList EndToEndTest::storedTexts(bool drafts, const QString &folder)
{
    StoreError error;
    auto made = makeStoreContainerIn(folder.isEmpty() ? home.storeFolder() : folder, &error);
    if (!made) {
        ADD_FAILURE() << error.description().toStdString();
        return {};
    }
    QStringList texts;
    for (JournalEntry *entry : fetchAllEntries(*made->container->mainContext()))
        if (entry->isDraft() == drafts)
            texts << entry->rawText();
    return texts;
}

} // namespace zn::test
