// The real program driven by the keyboard alone, as a person who never
// touches the mouse would: the timeline reached with Tab and an entry
// opened with the arrows and Return; the first-run step advanced by Return
// after the menu bar had the focus; the settings window and the privacy
// sheet closed by Escape and Ctrl+W; the stop-recording question read as
// written. What the program shows is read through its accessibility tree,
// which it publishes on a private bus of this test.

#include "AccessibilityBus.h"
#include "X11Session.h"

#include "../voice/CapturePulseServer.h"

#include <QElapsedTimer>
#include <QLocale>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>

namespace zn::test {
namespace {

using namespace std::chrono_literals;

using A11yNode = AccessibilityBus::Node;

class KeyboardEndToEnd : public EndToEndTest
{
protected:
    void SetUp() override
    {
        EndToEndTest::SetUp();
        if (IsSkipped())
            return;
        const QString why = bus.start();
        if (!why.isEmpty())
            GTEST_SKIP() << why.toStdString();
    }

    // The program on the display, on the private bus, with `extra` added.
    void launchOnBus(const QProcessEnvironment &extra = {})
    {
        QProcessEnvironment env = extra;
        bus.addTo(env);
        launch(QStringLiteral("xcb"), env);
    }

    // Keys at a person's pace, then a moment for the program to answer.
    void press(const QString &window, const QStringList &sequence)
    {
        keys(window, sequence, 120);
        QThread::msleep(300);
    }

    bool visible(const QString &pattern)
    {
        const auto found = xdotool(display.name(), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                   QStringLiteral("--name"), pattern});
        return found && !found->trimmed().isEmpty();
    }

    // Every node of the program's tree, read now.
    QList<A11yNode> tree() { return bus.objects(QStringLiteral("Zephyrnote")); }

    QStringList namesWithRole(const QList<A11yNode> &nodes, const QString &role)
    {
        QStringList out;
        for (const A11yNode &node : nodes)
            if (role.isEmpty() || node.role == role)
                out << node.name;
        return out;
    }

    // Waits until `test` holds for the program's tree.
    bool waitForTree(const std::function<bool(const QList<A11yNode> &)> &test, std::chrono::milliseconds timeout)
    {
        QElapsedTimer timer;
        timer.start();
        do {
            if (test(tree()))
                return true;
            QThread::msleep(200);
        } while (timer.elapsed() < timeout.count());
        return false;
    }

    bool showsName(const QString &name, std::chrono::milliseconds timeout = 8s)
    {
        return waitForTree([&](const QList<A11yNode> &nodes) { return namesWithRole(nodes, {}).contains(name); },
                           timeout);
    }

    // The entries' moments, newest first.
    QList<QDateTime> seeded;

    AccessibilityBus bus;
};

TEST_F(KeyboardEndToEnd, TabReachesTheTimelineAndTheArrowsAndReturnOpenAnEntry)
{
    home.markOnboardingDone();
    const QStringList texts{QStringLiteral("Newest: coffee on the balcony"),
                            QStringLiteral("Middle: a long walk by the canal"),
                            QStringLiteral("Oldest: rain on the roof all night")};
    seeded = home.saveEntries(texts);
    ASSERT_EQ(seeded.size(), texts.size());
    launchOnBus();
    const auto window = waitForWindow(display.name(), QStringLiteral("^Timeline"), 30s);
    ASSERT_TRUE(window) << whatHappened().toStdString();
    ASSERT_TRUE(showsName(QStringLiteral("Your desk is clear"), 15s)) << "the journal did not come up";

    // Find, then Tab over the four mood chips to the cards; the first is
    // ringed, two Downs go over the day headings to the oldest.
    press(*window, {QStringLiteral("ctrl+f")});
    press(*window, {QStringLiteral("Tab"), QStringLiteral("Tab"), QStringLiteral("Tab"), QStringLiteral("Tab"),
                   QStringLiteral("Tab")});
    press(*window, {QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Return")});
    // The reading page heads the entry with its date.
    const auto opened = [&](int index) {
        const QString heading = QLocale(QLocale::English, QLocale::UnitedStates)
                                    .toString(seeded.at(index).date(), QStringLiteral("dddd, MMMM d, yyyy"));
        return waitForTree(
            [&](const QList<A11yNode> &nodes) {
                return !namesWithRole(nodes, {}).filter(QRegularExpression(QLatin1Char('^') + heading)).isEmpty();
            },
            10s);
    };
    EXPECT_TRUE(opened(2)) << "the oldest entry did not open: " << namesWithRole(tree(), {}).join(" | ").toStdString();

    // Home, then Space opens the newest.
    press(*window, {QStringLiteral("Home"), QStringLiteral("space")});
    EXPECT_TRUE(opened(0)) << namesWithRole(tree(), {}).join(" | ").toStdString();
}

TEST_F(KeyboardEndToEnd, OnTheFirstRunReturnContinuesAfterTheMenuBarHadTheFocus)
{
    launchOnBus();
    const auto window = waitForWindow(display.name(), QStringLiteral("^Zephyrnote$"), 30s);
    ASSERT_TRUE(window) << whatHappened().toStdString();
    ASSERT_TRUE(showsName(QStringLiteral("Private by design"), 15s));
    press(*window, {QStringLiteral("F10"), QStringLiteral("Escape"), QStringLiteral("Escape"),
                   QStringLiteral("Return")});
    EXPECT_TRUE(showsName(QStringLiteral("Choose your climate")))
        << namesWithRole(tree(), {}).join(" | ").toStdString();
}

TEST_F(KeyboardEndToEnd, EscapeAndCtrlWCloseTheSettingsWindowAndEscapeThePrivacySheet)
{
    home.markOnboardingDone();
    launchOnBus();
    const auto window = waitForWindow(display.name(), QStringLiteral("^Timeline"), 30s);
    ASSERT_TRUE(window) << whatHappened().toStdString();

    for (const QString &close : {QStringLiteral("Escape"), QStringLiteral("ctrl+w")}) {
        press(*window, {QStringLiteral("ctrl+comma")});
        const auto settings = waitForWindow(display.name(), QStringLiteral("^Settings$"), 10s);
        ASSERT_TRUE(settings) << whatHappened().toStdString();
        press(*settings, {close});
        QThread::msleep(300);
        EXPECT_FALSE(visible(QStringLiteral("^Settings$"))) << close.toStdString() << " left it open";
    }

    // Help ▸ Privacy Promise by its access keys, closed by Escape.
    press(*window, {QStringLiteral("alt+h"), QStringLiteral("p")});
    const auto sheet = waitForWindow(display.name(), QStringLiteral("^Privacy Promise$"), 10s);
    ASSERT_TRUE(sheet) << "Alt+H, P opened no privacy sheet: " << whatHappened().toStdString();
    press(*sheet, {QStringLiteral("Escape")});
    QThread::msleep(300);
    EXPECT_FALSE(visible(QStringLiteral("^Privacy Promise$")));
}

TEST_F(KeyboardEndToEnd, TheStopRecordingQuestionReadsAsWrittenAndReturnKeepsTheTranscript)
{
    CapturePulseServer pulse;
    if (!pulse.start())
        GTEST_SKIP() << "no audio server for the recording: " << pulse.error().toStdString();
    ASSERT_TRUE(pulse.loadVirtualMicrophone(QStringLiteral("zn_e2e_mic")));
    home.markOnboardingDone();
    QProcessEnvironment audio;
    audio.insert(QStringLiteral("PULSE_SERVER"), pulse.address());
    launchOnBus(audio);
    const auto window = waitForWindow(display.name(), QStringLiteral("^Timeline"), 30s);
    ASSERT_TRUE(window) << whatHappened().toStdString();

    // Ctrl+R goes to Voice, and there starts a recording.
    press(*window, {QStringLiteral("ctrl+r")});
    ASSERT_TRUE(waitForWindow(display.name(), QStringLiteral("^Voice$"), 10s)) << whatHappened().toStdString();
    press(*window, {QStringLiteral("ctrl+r")});
    ASSERT_TRUE(showsName(QStringLiteral("Stop"), 20s))
        << "no recording: " << namesWithRole(tree(), {}).join(" | ").toStdString();

    // Leaving asks first; the question's buttons read as written.
    press(*window, {QStringLiteral("ctrl+n")});
    ASSERT_TRUE(waitForTree(
        [](const QList<A11yNode> &nodes) {
            for (const A11yNode &node : nodes)
                if (node.name == u"Stop recording?")
                    return true;
            return false;
        },
        10s))
        << namesWithRole(tree(), {}).join(" | ").toStdString();
    const QStringList buttons = namesWithRole(tree(), QStringLiteral("push button"));
    EXPECT_TRUE(buttons.contains(QStringLiteral("Stop & Keep Transcript"))) << buttons.join(" | ").toStdString();
    EXPECT_TRUE(buttons.filter(QStringLiteral("Stop  Keep")).isEmpty());
    EXPECT_TRUE(buttons.contains(QStringLiteral("Stay")));

    // Return is "Stop & Keep Transcript": the recording stops, the new
    // entry opens.
    // The question's window carries the program's name; dialogs are found
    // by their class, as xdotool does not match their title.
    const auto windows = xdotool(display.name(), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                  QStringLiteral("--classname"), QStringLiteral("zephyrnote")});
    std::optional<QString> question;
    for (const QString &id : windows.value_or(QString()).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        if (xdotool(display.name(), {QStringLiteral("getwindowname"), id}) == QStringLiteral("Zephyrnote"))
            question = id;
    ASSERT_TRUE(question) << whatHappened().toStdString();
    press(*question, {QStringLiteral("Return")});
    EXPECT_TRUE(showsName(QStringLiteral("New entry"), 15s)) << namesWithRole(tree(), {}).join(" | ").toStdString();
    EXPECT_TRUE(waitForWindow(display.name(), QStringLiteral("^Timeline"), 10s));
}

} // namespace
} // namespace zn::test

#include "KeyboardEndToEndTest.moc"
