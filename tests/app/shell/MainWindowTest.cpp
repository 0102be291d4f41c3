// The main window's size, minimum and remembered frame.

#include "AppTestHarness.h"

#include "app/shell/MainWindowFrame.h"
#include "core/EditorSession.h"
#include "views/workspace/window/JournalWorkspaceView.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMenuBar>
#include <QTest>
#include <QGuiApplication>
#include <QScreen>

namespace zn::test {
namespace {

const QString kKey = QString::fromLatin1(MainWindowFrame::kAutosaveKey);

TEST(MainWindowTest, OpensAtTheDefaultSizeWithTheMinimumSet)
{
    AppHarness h;
    MainWindow *window = h.start().mainWindow();
    EXPECT_EQ(window->size(), QSize(1180, 780));
    const QSize screen = QGuiApplication::primaryScreen()->availableGeometry().size();
    EXPECT_EQ(window->minimumSize(), QSize(900, 620).boundedTo(screen));
    EXPECT_FALSE(h.defaults.contains(kKey)); // nothing to repair, nothing saved yet
}

TEST(MainWindowTest, TheFrameIsSavedOnCloseAndComesBackNextTime)
{
    AppHarness h;
    h.completeOnboarding();
    {
        ZephyrnoteApp &app = h.start();
        MainWindow *window = app.mainWindow();
        window->show();
        window->resize(1000, 700);
        settleEvents();
        window->close();
        EXPECT_TRUE(h.defaults.contains(kKey));
        h.app.reset();
    }
    MainWindow *again = h.start().mainWindow();
    EXPECT_EQ(again->size(), QSize(1000, 700));
}

TEST(MainWindowTest, ATooSmallSavedFrameIsRepairedAndSavedAgain)
{
    AppHarness h;
    {
        QWidget probe;
        probe.setGeometry(40, 40, 700, 500);
        h.defaults.setValue(kKey, probe.saveGeometry());
    }
    MainWindow *window = h.start().mainWindow();
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(window->width(), std::min(1180, int(area.width() * 0.95)));
    EXPECT_EQ(window->height(), std::min(780, int(area.height() * 0.9)));
    EXPECT_NE(h.defaults.value(kKey).toByteArray(), QByteArray());
    QWidget check;
    ASSERT_TRUE(check.restoreGeometry(h.defaults.value(kKey).toByteArray()));
    EXPECT_EQ(check.size(), window->size());
}

TEST(MainWindowTest, AGarbledSavedFrameMeansTheDefaultSize)
{
    AppHarness h;
    h.defaults.setValue(kKey, QByteArray("not a frame at all"));
    EXPECT_EQ(h.start().mainWindow()->size(), QSize(1180, 780));
}

// Closing while a new entry is being written keeps the words: they come
// back the next time the journal opens.
TEST(MainWindowTest, ClosingWhileWritingLosesNothing)
{
    AppHarness h;
    h.completeOnboarding();
    ZephyrnoteApp &app = h.start();
    MainWindow *window = app.mainWindow();
    window->show();
    settleEvents();
    WorkspaceViewModel &workspace = window->rootView()->workspace()->workspace();
    workspace.startNewEntry();
    workspace.editor().setDraftText(QStringLiteral("A thought I did not save"));
    window->close();
    h.app.reset();

    MainWindow *again = h.start().mainWindow();
    again->show();
    settleEvents();
    EditorSession &editor = again->rootView()->workspace()->workspace().editor();
    EXPECT_EQ(editor.draftText(), QStringLiteral("A thought I did not save"));
}

} // namespace
} // namespace zn::test

namespace zn::test {
namespace {

TEST(MainWindowTest, FTenOpensTheMenusFromTheKeyboard)
{
    AppHarness h;
    MainWindow *window = h.start().mainWindow();
    window->show();
    window->activateWindow();
    settleEvents();
    QTest::keyClick(window, Qt::Key_F10);
    settleEvents();
    ASSERT_TRUE(window->menuBar()->activeAction());
    EXPECT_EQ(window->menuBar()->activeAction()->text(), QStringLiteral("&Zephyrnote"));
    QTest::keyClick(QApplication::activePopupWidget() ? QApplication::activePopupWidget() : window, Qt::Key_Escape);
}

} // namespace
} // namespace zn::test
