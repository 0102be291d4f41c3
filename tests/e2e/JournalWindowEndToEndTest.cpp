// The real program, started twice on a private display: an entry typed and
// saved with the keyboard, its first words sent while the program was busy,
// is still in the journal after a quit and a new start; a journal store
// that cannot be opened ends the program with status 1 and says why; on a
// laptop's screen with a window manager, the window opens with its title
// bar and border inside the screen, fresh and from a frame saved on a
// larger screen.

#include "X11Session.h"

#include <QDataStream>
#include <QElapsedTimer>
#include <QFile>
#include <QRect>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QThread>

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
    ASSERT_TRUE(waitForWindowGone(display.name(), QStringLiteral("^Settings$"), 10s)) << whatHappened().toStdString();

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

class JournalWindowOnALaptopScreen : public EndToEndTest
{
protected:
    JournalWindowOnALaptopScreen() { display.setScreenSize(QSize(1366, 768)); }

    void SetUp() override
    {
        EndToEndTest::SetUp();
        if (IsSkipped())
            return;
        for (const char *tool : {"openbox", "xprop", "xwininfo"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                GTEST_SKIP() << tool << " is not installed (Debian packages openbox and x11-utils)";
        const QString why = windowManager.start(display.name(), home);
        ASSERT_TRUE(why.isEmpty()) << why.toStdString();
    }

    QList<int> numbers(const std::optional<QString> &text)
    {
        QList<int> found;
        const QString values = text.value_or(QString()).section(QLatin1Char('='), 1);
        for (const QString &n : values.split(QLatin1Char(','), Qt::SkipEmptyParts))
            found << n.trimmed().toInt();
        return found;
    }

    // The screen's free area, as the window manager publishes it.
    QRect workArea()
    {
        const QList<int> area = numbers(xprop(display.name(), {QStringLiteral("-root"), QStringLiteral("_NET_WORKAREA")}));
        return area.size() >= 4 ? QRect(area[0], area[1], area[2], area[3]) : QRect();
    }

    // The window's place on the screen, without and with the title bar and
    // border the window manager has put around it; invalid until it has.
    std::pair<QRect, QRect> windowAndFrame(const QString &window)
    {
        const QList<int> extents = numbers(xprop(display.name(), {QStringLiteral("-id"), window,
                                                                  QStringLiteral("_NET_FRAME_EXTENTS")}));
        const QString info = xwininfo(display.name(), {QStringLiteral("-id"), window}).value_or(QString());
        auto field = [&](const char *name) {
            const QRegularExpression pattern(QString::fromLatin1(name) + QStringLiteral(":\\s*(-?\\d+)"));
            return pattern.match(info).captured(1).toInt();
        };
        const QRect inner(field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"),
                          field("Height"));
        if (extents.size() != 4 || inner.isEmpty())
            return {};
        // Left, right, top, bottom.
        return {inner, inner.adjusted(-extents[0], -extents[2], extents[1], extents[3])};
    }

    // Waits until the window's whole frame lies inside the free area; says
    // where it was when it does not.
    ::testing::AssertionResult frameInsideTheScreen(const QString &window)
    {
        std::pair<QRect, QRect> last;
        QRect area;
        const bool inside = waitUntil([&] {
            area = workArea();
            last = windowAndFrame(window);
            if (last.second.isValid() && area.contains(last.second))
                return true;
            QThread::msleep(50);
            return false;
        }, 30s);
        if (inside)
            return ::testing::AssertionSuccess();
        auto text = [](const QRect &r) {
            return QStringLiteral("%1×%2 at %3,%4").arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y()).toStdString();
        };
        return ::testing::AssertionFailure() << "the frame is " << text(last.second) << " around the window "
                                             << text(last.first) << ", the free area " << text(area);
    }

    // The frame as the program keeps it (QWidget::saveGeometry()'s form),
    // written on a screen `screenWidth` pixels wide with the desktop's title
    // bar and border `decoration` around the window.
    static QByteArray savedFrame(const QRect &window, const QMargins &decoration, int screenWidth)
    {
        QByteArray blob;
        QDataStream stream(&blob, QIODevice::WriteOnly);
        stream.setVersion(QDataStream::Qt_4_0);
        stream << quint32(0x1D9D0CB) << quint16(3) << quint16(0) << window.marginsAdded(decoration) << window
               << qint32(0) << quint8(0) << quint8(0) << qint32(screenWidth) << window;
        return blob;
    }

    WindowManager windowManager;
};

TEST_F(JournalWindowOnALaptopScreen, TheWholeFrameOpensInsideTheScreenFreshAndFromAFrameSavedOnALargerOne)
{
    home.markOnboardingDone();
    launch();
    QString window = journalWindow();
    ASSERT_FALSE(window.isEmpty());
    EXPECT_TRUE(frameInsideTheScreen(window)) << "first start";
    // Where there is room the width stays; the height is what the free area
    // leaves, above the minimum.
    QRect inner = windowAndFrame(window).first;
    EXPECT_EQ(inner.width(), 1180);
    EXPECT_GE(inner.height(), 620);
    keys(window, {QStringLiteral("ctrl+q")});
    ASSERT_TRUE(waitForExit(15s)) << whatHappened().toStdString();

    // A frame kept from a 1600 × 1000 screen, taller than this one.
    {
        QSettings ini(home.configFolder() + QStringLiteral("/Zephyrnote/Zephyrnote.ini"), QSettings::IniFormat);
        ini.setValue(QStringLiteral("Zephyrnote.MainWindow.v2"),
                     savedFrame(QRect(150, 90, 1300, 860), QMargins(1, 20, 1, 5), 1600));
    }
    launch();
    window = journalWindow();
    ASSERT_FALSE(window.isEmpty());
    EXPECT_TRUE(frameInsideTheScreen(window)) << "from the saved frame";
    inner = windowAndFrame(window).first;
    EXPECT_GE(inner.width(), 900);
    EXPECT_GE(inner.height(), 620);
    keys(window, {QStringLiteral("ctrl+q")});
    ASSERT_TRUE(waitForExit(15s)) << whatHappened().toStdString();
}

} // namespace
} // namespace zn::test
