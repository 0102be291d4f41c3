#include "X11Session.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

namespace zn::test {

XvfbDisplay::~XvfbDisplay()
{
    if (m_server && m_server->state() != QProcess::NotRunning) {
        m_server->terminate();
        if (!m_server->waitForFinished(3000)) {
            m_server->kill();
            m_server->waitForFinished(1000);
        }
    }
}

QString XvfbDisplay::start()
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (program.isEmpty())
        return QStringLiteral("Xvfb is not installed (Debian package xvfb)");
    // A display number nobody holds: no socket and no lock file.
    for (int n = 120 + int(QCoreApplication::applicationPid() % 200); n < 1000; ++n) {
        if (QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n))
            || QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
            continue;
        m_server = std::make_unique<QProcess>();
        m_server->setProcessChannelMode(QProcess::MergedChannels);
        m_server->start(program, {QStringLiteral(":%1").arg(n), QStringLiteral("-screen"), QStringLiteral("0"),
                                  QStringLiteral("1600x1000x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        if (!m_server->waitForStarted(3000))
            return QStringLiteral("Xvfb did not start: ") + m_server->errorString();
        const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(n);
        for (int i = 0; i < 100 && m_server->state() == QProcess::Running; ++i) {
            if (QFileInfo::exists(socket)) {
                m_number = n;
                return {};
            }
            QThread::msleep(50);
        }
        // Lost a race for this number, or it failed: try the next one.
        m_server->kill();
        m_server->waitForFinished(1000);
    }
    return QStringLiteral("no free X display number");
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
    return env;
}

std::optional<QString> xdotool(const QString &display, const QStringList &arguments)
{
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display);
    tool.setProcessEnvironment(env);
    tool.start(QStringLiteral("xdotool"), arguments);
    if (!tool.waitForFinished(10000) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        return std::nullopt;
    return QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();
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
        app.kill();
        app.waitForFinished(3000);
    }
}

} // namespace zn::test
