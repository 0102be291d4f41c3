// The real program on a fresh profile: the first-run steps walked through
// with the keyboard (Return continuing even after the menu bar had the
// focus) and the mouse, the palette chosen on the way, and the journal
// opened directly at the next start.

#include "X11Session.h"

#include <QFile>
#include <QSettings>
#include <QSize>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>

namespace zn::test {
namespace {

using namespace std::chrono_literals;

class OnboardingEndToEnd : public EndToEndTest
{
protected:
    void keys(const QString &window, const QStringList &sequence)
    {
        EndToEndTest::keys(window, sequence, 120);
        QThread::msleep(250);
    }

    // A left click at a point of the window, as a person moves the mouse.
    void click(const QString &window, int x, int y)
    {
        ASSERT_TRUE(xdotool(display.name(), {QStringLiteral("mousemove"), QStringLiteral("--window"), window,
                                             QString::number(x), QString::number(y)}));
        QThread::msleep(150);
        ASSERT_TRUE(xdotool(display.name(), {QStringLiteral("click"), QStringLiteral("1")}));
        QThread::msleep(300);
    }

    QSize windowSize(const QString &window)
    {
        const auto shell = xdotool(display.name(), {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window});
        QSize size;
        for (const QString &line : shell.value_or(QString()).split(QLatin1Char('\n'))) {
            if (line.startsWith(QStringLiteral("WIDTH=")))
                size.setWidth(line.mid(6).toInt());
            else if (line.startsWith(QStringLiteral("HEIGHT=")))
                size.setHeight(line.mid(7).toInt());
        }
        return size;
    }

    QVariant stored(const char *key)
    {
        QSettings ini(home.configFolder() + QStringLiteral("/Zephyrnote/Zephyrnote.ini"), QSettings::IniFormat);
        return ini.value(QString::fromLatin1(key));
    }
};

TEST_F(OnboardingEndToEnd, AFreshProfileWalksThroughTheStepsIntoTheJournalAndStartsThereNextTime)
{
    launch();
    const auto window = waitForWindow(display.name(), QStringLiteral("^Zephyrnote$"), 20s);
    ASSERT_TRUE(window) << whatHappened().toStdString();

    // Privacy step: Return continues.
    keys(*window, {QStringLiteral("Return")});
    // Climate step: the second card by the keyboard, chosen with Space.
    keys(*window, {QStringLiteral("Tab"), QStringLiteral("Tab"), QStringLiteral("space")});
    // The keys are sent, not yet taken in: a busy machine may be a moment behind.
    EXPECT_TRUE(waitUntil([&] { return stored("settings.palette").toString() == QStringLiteral("cool"); }, 5s))
        << stored("settings.palette").toString().toStdString();
    EXPECT_FALSE(stored("settings.onboardingCompleted").toBool());
    // Return continues even after F10 gave the menu bar the focus and Escape
    // took it back.
    keys(*window, {QStringLiteral("F10"), QStringLiteral("Escape"), QStringLiteral("Escape"), QStringLiteral("Return")});

    // Ready step: "Open your journal" with the mouse, at the right end of
    // the button row under the centred column.
    const QSize size = windowSize(*window);
    ASSERT_TRUE(size.isValid());
    const int columnRight = size.width() / 2 + std::min(size.width(), 560) / 2;
    click(*window, columnRight - 32 - 40 - 50, size.height() - 32 - 36 - 16);
    const auto journal = waitForWindow(display.name(), QStringLiteral("^Timeline"), 10s);
    ASSERT_TRUE(journal) << "the journal did not open after the last step: " << whatHappened().toStdString();
    EXPECT_TRUE(stored("settings.onboardingCompleted").toBool());

    keys(*journal, {QStringLiteral("ctrl+q")});
    ASSERT_TRUE(waitForExit(15s));

    // The next start goes straight to the journal.
    launch();
    ASSERT_TRUE(waitForWindow(display.name(), QStringLiteral("^Timeline"), 20s)) << whatHappened().toStdString();
    EXPECT_EQ(stored("settings.palette").toString(), QStringLiteral("cool"));
}

} // namespace
} // namespace zn::test
