// The real program, started twice on a private display: an entry typed and
// saved with the keyboard is still in the journal after a quit and a new
// start; a journal store that cannot be opened ends the program with status
// 1 and says why.

#include "X11Session.h"

#include "core/JournalEntry.h"
#include "core/JournalQueries.h"
#include "core/StoreFactory.h"

#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

namespace zn::test {
namespace {

using namespace std::chrono_literals;

const QString kTyped = QStringLiteral("Walked by the river at dawn and felt calm and grateful");

class JournalWindowEndToEnd : public EndToEndTest
{
protected:
    // The saved (non-draft) entries in the program's store, read with a
    // store connection of this test's own.
    QStringList savedTexts()
    {
        StoreError error;
        auto made = makeStoreContainerIn(home.storeFolder(), false, &error);
        if (!made) {
            ADD_FAILURE() << error.description().toStdString();
            return {};
        }
        ModelContext context(made->container.get());
        QStringList texts;
        for (JournalEntry *entry : fetchAllEntries(context))
            if (!entry->isDraft())
                texts << entry->rawText();
        return texts;
    }
};

TEST_F(JournalWindowEndToEnd, AnEntryTypedAndSavedIsThereAfterAQuitAndANewStart)
{
    home.markOnboardingDone();
    launch();
    const auto window = waitForWindow(display.name(), QStringLiteral("^Timeline"), 30s);
    ASSERT_TRUE(window) << whatHappened().toStdString();

    keys(*window, {QStringLiteral("ctrl+n")});
    QThread::msleep(300);
    type(*window, kTyped);
    keys(*window, {QStringLiteral("ctrl+s")});
    QThread::msleep(500);
    keys(*window, {QStringLiteral("ctrl+q")});
    ASSERT_TRUE(waitForExit(15s)) << "the program did not quit on Ctrl+Q";
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.exitCode(), 0) << whatHappened().toStdString();
    EXPECT_TRUE(savedTexts().contains(kTyped)) << savedTexts().join(" | ").toStdString();

    // Started again, the journal opens with the entry and loses nothing
    // on the way out.
    launch();
    const auto again = waitForWindow(display.name(), QStringLiteral("^Timeline"), 30s);
    ASSERT_TRUE(again) << whatHappened().toStdString();
    keys(*again, {QStringLiteral("ctrl+q")});
    ASSERT_TRUE(waitForExit(15s));
    EXPECT_EQ(app.exitCode(), 0);
    EXPECT_EQ(savedTexts().count(kTyped), 1);
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
