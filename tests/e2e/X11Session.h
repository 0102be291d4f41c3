#pragma once

// A private X display (Xvfb) and a private home for one run of the real
// program, both removed afterwards.

#include "support/TestSupport.h"

#include <QDateTime>
#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSize>
#include <QString>
#include <QUuid>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>

namespace zn::test {

class XvfbDisplay
{
public:
    XvfbDisplay() = default;
    ~XvfbDisplay();
    XvfbDisplay(const XvfbDisplay &) = delete;
    XvfbDisplay &operator=(const XvfbDisplay &) = delete;

    // The screen's size in pixels, when set before start(); 1600 × 1000
    // unless set.
    void setScreenSize(const QSize &size) { m_screen = size; }
    // Why no display could be started (empty when it runs).
    QString start();
    QString name() const { return QStringLiteral(":%1").arg(m_number); }
    // Whether the server still runs, and if not how it ended.
    QString state();

private:
    std::unique_ptr<QProcess> m_server;
    int m_number = -1;
    QSize m_screen{1600, 1000};
};

// A home, config, data, cache and runtime folder of its own, and the
// environment that points the program at them.
class PrivateHome
{
public:
    PrivateHome();
    QString home() const { return m_dir.path(); }
    QString configFolder() const { return m_dir.file(QStringLiteral(".config")); }
    QString dataFolder() const { return m_dir.file(QStringLiteral(".local/share")); }
    // The journal's store folder.
    QString storeFolder() const { return dataFolder() + QStringLiteral("/Zephyrnote"); }
    void markOnboardingDone() const;
    // Saves entries with these texts in the journal's store before the
    // program starts, newest first: an hour ago, then 30 hours apart. Their
    // moments; none when they could not be saved.
    QList<QDateTime> saveEntries(const QStringList &texts) const;
    QProcessEnvironment environment(const QString &display, const QString &platform) const;

private:
    TempDir m_dir;
};

// Runs xdotool with `arguments` on `display`; its standard output, or none
// when it failed.
std::optional<QString> xdotool(const QString &display, const QStringList &arguments);
// The same for xprop and xwininfo (Debian package x11-utils).
std::optional<QString> xprop(const QString &display, const QStringList &arguments);
std::optional<QString> xwininfo(const QString &display, const QStringList &arguments);

// A window manager (openbox) on a display, with the settings of a fresh
// profile: it frames each window with its title bar and border, places it
// and keeps the work area, as a desktop does. Ended with this object.
class WindowManager
{
public:
    WindowManager() = default;
    ~WindowManager();
    WindowManager(const WindowManager &) = delete;
    WindowManager &operator=(const WindowManager &) = delete;

    // Why none manages the display's screen (empty once one does).
    QString start(const QString &display, const PrivateHome &home);

private:
    std::unique_ptr<QProcess> m_process;
};
// Waits for a visible window whose title matches `pattern`; its id.
std::optional<QString> waitForWindow(const QString &display, const QString &pattern,
                                     std::chrono::milliseconds timeout);
// Waits until no visible window's title matches `pattern`; false when one
// still shows after `timeout`.
bool waitForWindowGone(const QString &display, const QString &pattern, std::chrono::milliseconds timeout);

// A run of the built program on its own display and home: skipped where the
// program, xdotool or Xvfb is missing. The program runs in a process group
// of its own and carries the test's mark in its environment, which every
// process it starts inherits; when the test ends the group is killed if
// still running, and any marked process that outlived it (one that left
// the group, a daemon) fails the test, named, and is killed.
class EndToEndTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;
    // Starts the program on the display ("xcb") or without one ("offscreen"),
    // with `extra` added to its environment.
    void launch(const QString &platform = QStringLiteral("xcb"), const QProcessEnvironment &extra = {});
    // Starts `program` as launch() starts the program: marked, in a group of
    // its own, ending with this test process. For a second copy, or the
    // program inside a wrapper.
    void startMarked(QProcess &process, const QString &program, const QStringList &arguments,
                     QProcessEnvironment environment);
    // Keys to `window` as a person presses them (xdotool key names), and
    // text typed into it.
    void keys(const QString &window, const QStringList &sequence, int delayMs = 60);
    void type(const QString &window, const QString &text);
    bool waitForExit(std::chrono::milliseconds timeout);
    // The journal's window once it shows; empty, and the test failed, when
    // it does not within 30 s.
    QString journalWindow();
    // A visible window of the program other than `main`: a dialog over it.
    std::optional<QString> waitForDialogOver(const QString &main, std::chrono::milliseconds timeout);
    // The drafts' or the saved entries' texts in the journal at `folder`
    // (the program's own when empty), read while no program holds it.
    QStringList storedTexts(bool drafts, const QString &folder = {});
    // Running processes that carry this test's mark.
    QList<qint64> markedProcesses() const;
    // For a failure message: whether the program still runs, the windows
    // on the display and what the program wrote to its error output.
    QString whatHappened();

    QString binary;
    XvfbDisplay display;
    PrivateHome home;
    const QString mark = QUuid::createUuid().toString(QUuid::WithoutBraces);
    QProcess app;
};

} // namespace zn::test
