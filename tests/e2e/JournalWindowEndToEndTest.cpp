// The real program, started twice on a private display: an entry typed and
// saved with the keyboard, its first words sent while the program was busy,
// is still in the journal after a quit and a new start; a journal store
// that cannot be opened ends the program with status 1 and says why.

#include "X11Session.h"

#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <csignal>

namespace zn::test {
namespace {

using namespace std::chrono_literals;

const QString kTyped = QStringLiteral("Walked by the river at dawn and felt calm and grateful");

using JournalWindowEndToEnd = EndToEndTest;

TEST_F(JournalWindowEndToEnd, AnEntryTypedAndSavedIsThereAfterAQuitAndANewStart)
{
    home.markOnboardingDone();
    launch();
    const QString window = journalWindow();
    ASSERT_FALSE(window.isEmpty());

    // The settings window opened and closed with keys: the program has set
    // itself up and takes keys.
    keys(window, {QStringLiteral("ctrl+comma")});
    const auto settings = waitForWindow(display.name(), QStringLiteral("^Settings$"), 15s);
    ASSERT_TRUE(settings) << whatHappened().toStdString();
    keys(*settings, {QStringLiteral("Escape")});
    ASSERT_TRUE(waitUntil([&] {
        return xdotool(display.name(), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                        QStringLiteral("--name"), QStringLiteral("^Settings$")})
            .value_or(QString())
            .isEmpty();
    }, 10s)) << whatHappened().toStdString();

    // Ctrl+N and the words reach a program busy for the moment (stopped
    // here, as a loaded machine stalls it), so it takes them in together:
    // the words still land in the new entry.
    ::kill(pid_t(app.processId()), SIGSTOP);
    keys(window, {QStringLiteral("ctrl+n")});
    type(window, kTyped);
    ::kill(pid_t(app.processId()), SIGCONT);
    keys(window, {QStringLiteral("ctrl+s"), QStringLiteral("ctrl+q")});
    ASSERT_TRUE(waitForExit(15s)) << "the program did not quit on Ctrl+Q";
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.exitCode(), 0) << whatHappened().toStdString();
    EXPECT_TRUE(storedTexts(false).contains(kTyped)) << storedTexts(false).join(" | ").toStdString();

    // Started again, the journal opens with the entry and loses nothing
    // on the way out.
    launch();
    const QString again = journalWindow();
    ASSERT_FALSE(again.isEmpty());
    keys(again, {QStringLiteral("ctrl+q")});
    ASSERT_TRUE(waitForExit(15s));
    EXPECT_EQ(app.exitCode(), 0);
    EXPECT_EQ(storedTexts(false).count(kTyped), 1);
}

TEST_F(JournalWindowEndToEnd, AStoreThatCannotBeOpenedEndsWithStatusOneAndSaysWhy)
{
    home.markOnboardingDone();
    // The journal's folder is a plain file: no store can be made in it.
    QFile blocker(home.storeFolder());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.write("not a folder");
    blocker.close();

    launch();
    // The message shows in a box on the display; Return closes it.
    const auto box = waitForWindow(display.name(), QStringLiteral("^Zephyrnote$"), 20s);
    ASSERT_TRUE(box) << whatHappened().toStdString();
    keys(*box, {QStringLiteral("Return")});
    ASSERT_TRUE(waitForExit(10s)) << "the message box did not close";
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.exitCode(), 1);
    const QString errors = QString::fromLocal8Bit(app.readAllStandardError());
    EXPECT_TRUE(errors.contains(QStringLiteral("Could not create ModelContainer even after store recovery: ")))
        << errors.toStdString();
    EXPECT_EQ(QFile(home.storeFolder()).size(), 12); // left as it was

    // Without a display there is no box: the message and the status only.
    launch(QStringLiteral("offscreen"));
    ASSERT_TRUE(waitForExit(15s));
    EXPECT_EQ(app.exitCode(), 1);
    EXPECT_TRUE(QString::fromLocal8Bit(app.readAllStandardError())
                    .contains(QStringLiteral("Could not create ModelContainer even after store recovery: ")));
}

} // namespace
} // namespace zn::test
