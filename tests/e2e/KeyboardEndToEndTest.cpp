// The real program driven by the keyboard alone, as a person who never
// touches the mouse would: the timeline reached with Tab and an entry
// opened with the arrows and Return, then the settings window and the
// privacy sheet closed by Escape and Ctrl+W, in one run; over a recording
// voice screen the settings window's keys act on it alone; the
// stop-recording question read as written. What the program shows is read
// through its accessibility tree, which it publishes on a private bus of
// this test.

#include "AccessibilityBus.h"
#include "X11Session.h"

#include "../voice/CapturePulseServer.h"

#include <QLocale>
#include <QThread>

#include <gtest/gtest.h>

namespace zn::test {
namespace {

using namespace std::chrono_literals;

class KeyboardEndToEnd : public BusEndToEndTest
{
protected:
    // Keys at a person's pace, then a moment for the program to answer.
    void press(const QString &window, const QStringList &sequence)
    {
        keys(window, sequence, 120);
        QThread::msleep(300);
    }

    // Whether no window titled `title` shows, once the program has had
    // the time a busy machine may need to take the keys in.
    bool closed(const QString &title) { return waitForWindowGone(display.name(), title, 10s); }
};

TEST_F(KeyboardEndToEnd, TabAndTheArrowsOpenAnEntryAndEscapeAndCtrlWCloseTheSettingsAndThePrivacySheet)
{
    home.markOnboardingDone();
    // Three entries on three days, newest first.
    QList<QDate> days;
    for (const QDateTime &at : home.saveEntries({QStringLiteral("Walk 0"), QStringLiteral("Walk 1"), QStringLiteral("Walk 2")}))
        days << at.date();
    ASSERT_EQ(days.size(), 3);
    launchOnBus();
    const QString window = journalWindow();
    ASSERT_FALSE(window.isEmpty());
    ASSERT_TRUE(bus.shows(QStringLiteral("Your desk is clear"), 15s)) << "the journal did not come up";

    // Find, then Tab over the four mood chips to the cards; the first is
    // ringed, two Downs go over the day headings to the oldest.
    press(window, {QStringLiteral("ctrl+f")});
    press(window, QStringList(5, QStringLiteral("Tab")));
    press(window, {QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Return")});
    // The reading page heads the entry with its date.
    const auto opened = [&](int index) {
        const QString heading =
            QLocale(QLocale::English, QLocale::UnitedStates).toString(days.at(index), QStringLiteral("dddd, MMMM d, yyyy"));
        return bus.waitFor([&](const AccessibilityBus::Node &n) { return n.name.startsWith(heading); }).has_value();
    };
    EXPECT_TRUE(opened(2)) << "the oldest entry did not open: " << bus.shownNames();

    // Home, then Space opens the newest.
    press(window, {QStringLiteral("Home"), QStringLiteral("space")});
    EXPECT_TRUE(opened(0)) << bus.shownNames();

    // The settings window closes by Escape and by Ctrl+W.
    for (const QString &close : {QStringLiteral("Escape"), QStringLiteral("ctrl+w")}) {
        press(window, {QStringLiteral("ctrl+comma")});
        const auto settings = waitForWindow(display.name(), QStringLiteral("^Settings$"), 10s);
        ASSERT_TRUE(settings) << whatHappened().toStdString();
        press(*settings, {close});
        EXPECT_TRUE(closed(QStringLiteral("^Settings$"))) << close.toStdString() << " left it open";
    }

    // Help ▸ Privacy Promise by its access keys, closed by Escape.
    press(window, {QStringLiteral("alt+h"), QStringLiteral("p")});
    const auto sheet = waitForWindow(display.name(), QStringLiteral("^Privacy Promise$"), 10s);
    ASSERT_TRUE(sheet) << "Alt+H, P opened no privacy sheet: " << whatHappened().toStdString();
    press(*sheet, {QStringLiteral("Escape")});
    EXPECT_TRUE(closed(QStringLiteral("^Privacy Promise$")));
}

TEST_F(KeyboardEndToEnd, KeysInTheSettingsWindowOverARecordingAreItsOwnAndTheStopQuestionReadsAsWritten)
{
    CapturePulseServer pulse;
    if (!pulse.start())
        GTEST_SKIP() << "no audio server for the recording: " << pulse.error().toStdString();
    ASSERT_TRUE(pulse.loadVirtualMicrophone(QStringLiteral("zn_e2e_mic")));
    home.markOnboardingDone();
    QProcessEnvironment audio;
    audio.insert(QStringLiteral("PULSE_SERVER"), pulse.address());
    launchOnBus(audio);
    const QString window = journalWindow();
    ASSERT_FALSE(window.isEmpty());

    // Ctrl+R goes to Voice; in the settings window over it the screen's
    // keys are the settings window's: Ctrl+R there starts no recording and
    // Escape closes it.
    press(window, {QStringLiteral("ctrl+r")});
    ASSERT_TRUE(waitForWindow(display.name(), QStringLiteral("^Voice$"), 10s)) << whatHappened().toStdString();
    const auto settings = [&] {
        press(window, {QStringLiteral("ctrl+comma")});
        return waitForWindow(display.name(), QStringLiteral("^Settings$"), 10s).value_or(QString());
    };
    QString over = settings();
    ASSERT_FALSE(over.isEmpty()) << whatHappened().toStdString();
    press(over, {QStringLiteral("ctrl+r"), QStringLiteral("Escape")});
    EXPECT_TRUE(closed(QStringLiteral("^Settings$"))) << "Escape left the settings window open over Voice";
    EXPECT_FALSE(bus.shows(QStringLiteral("I’m listening"), 1s)) << "Ctrl+R in the settings window recorded";

    // Recording: Escape on each settings tab closes the window and leaves
    // the recording running.
    press(window, {QStringLiteral("ctrl+r")});
    ASSERT_TRUE(bus.shows(QStringLiteral("Stop"), 20s)) << "no recording: " << bus.shownNames();
    for (int tab = 0; tab < 4; ++tab) {
        over = settings();
        ASSERT_FALSE(over.isEmpty()) << whatHappened().toStdString();
        if (tab > 0)
            press(over, {QStringLiteral("Right")}); // the tab bar has the keyboard
        press(over, {QStringLiteral("ctrl+s"), QStringLiteral("Escape")});
        EXPECT_TRUE(closed(QStringLiteral("^Settings$"))) << "tab " << tab << ": Escape left it open";
        EXPECT_TRUE(bus.shows(QStringLiteral("I’m listening"), 2s)) << "tab " << tab << ": " << bus.shownNames();
    }

    // Leaving asks first; the question's buttons read as written.
    press(window, {QStringLiteral("ctrl+n")});
    ASSERT_TRUE(bus.shows(QStringLiteral("Stop recording?"))) << bus.shownNames();
    QStringList buttons;
    for (const AccessibilityBus::Node &node : bus.shown())
        if (node.role == QLatin1String("push button"))
            buttons << node.name;
    EXPECT_TRUE(buttons.contains(QStringLiteral("Stop & Keep Transcript"))) << buttons.join(" | ").toStdString();
    EXPECT_TRUE(buttons.contains(QStringLiteral("Stay")));

    // Return is "Stop & Keep Transcript": the recording stops, the new
    // entry opens.
    const auto question = waitForDialogOver(window, 10s);
    ASSERT_TRUE(question) << whatHappened().toStdString();
    press(*question, {QStringLiteral("Return")});
    EXPECT_TRUE(bus.shows(QStringLiteral("New entry"), 15s)) << bus.shownNames();
}

} // namespace
} // namespace zn::test
