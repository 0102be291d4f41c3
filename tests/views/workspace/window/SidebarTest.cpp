// The sidebar's destination list: its sections, and a highlight that always
// shows the screen on display, whatever the guard decides.

#include "WindowTestHarness.h"

#include "views/workspace/window/WorkspaceLayout.h"
#include "views/workspace/window/WorkspaceSidebar.h"

#include <QTest>

namespace zn::test {
namespace {

void choose(SidebarList *list, WorkspaceDestination destination)
{
    const QRect row = list->visualRect(list->model()->index(list->rowOf(destination), 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
}

TEST(SidebarTest, TwoSectionsHoldTheFourScreensInOrder)
{
    ASSERT_EQ(sidebarSections().size(), 2);
    EXPECT_EQ(sidebarSections()[0].title, QStringLiteral("Journal"));
    EXPECT_EQ(sidebarSections()[1].title, QStringLiteral("Reflect"));
    QStringList titles, symbols;
    for (const auto &section : sidebarSections())
        for (const auto &row : section.rows) {
            titles << row.title;
            symbols << row.symbol;
        }
    EXPECT_EQ(titles, QStringList({"Timeline", "Calendar", "Weather", "Voice"}));
    EXPECT_EQ(symbols, QStringList({"list.bullet.rectangle", "calendar", "cloud.sun.fill", "mic.circle.fill"}));

    WindowHarness h;
    h.make();
    SidebarList *list = h.view->sidebar()->list();
    EXPECT_EQ(list->count(), 6);
    EXPECT_FALSE(list->destinationAt(0)); // "Journal" heading
    EXPECT_FALSE(list->item(0)->flags() & Qt::ItemIsSelectable);
    EXPECT_EQ(list->highlighted(), WorkspaceDestination::Timeline);
}

TEST(SidebarTest, ChoosingARowShowsItsScreenAndTheTitleFollows)
{
    WindowHarness h;
    h.make();
    QStringList titles;
    QObject::connect(h.view, &JournalWorkspaceView::titleChanged, [&](const QString &t) { titles << t; });
    choose(h.view->sidebar()->list(), WorkspaceDestination::Weather);
    EXPECT_EQ(h.workspace().destination(), WorkspaceDestination::Weather);
    EXPECT_EQ(titles.value(titles.size() - 1), QStringLiteral("Emotional Weather"));
    choose(h.view->sidebar()->list(), WorkspaceDestination::Calendar);
    EXPECT_EQ(titles.last(), QStringLiteral("Calendar"));
    EXPECT_EQ(h.view->sidebar()->list()->highlighted(), WorkspaceDestination::Calendar);
}

TEST(SidebarTest, AChoiceParkedByTheGuardLeavesTheHighlightOnTheShownScreen)
{
    WindowHarness h;
    h.make();
    h.workspace().startNewEntry();
    h.workspace().editor().setDraftText(QStringLiteral("Words I have not saved"));
    SidebarList *list = h.view->sidebar()->list();

    choose(list, WorkspaceDestination::Calendar);
    ASSERT_TRUE(h.dialogs.pendingConfirmation());
    EXPECT_EQ(list->highlighted(), WorkspaceDestination::Timeline);

    // "Keep Writing": nothing moves, the text stays.
    ASSERT_TRUE(h.dialogs.answer(QStringLiteral("Keep Writing")));
    EXPECT_EQ(h.workspace().destination(), WorkspaceDestination::Timeline);
    EXPECT_EQ(list->highlighted(), WorkspaceDestination::Timeline);
    EXPECT_EQ(h.workspace().editor().draftText(), QStringLiteral("Words I have not saved"));

    // Asked again and answered "Discard": the move happens and the highlight follows.
    choose(list, WorkspaceDestination::Calendar);
    ASSERT_TRUE(h.dialogs.answer(QStringLiteral("Discard")));
    EXPECT_EQ(h.workspace().destination(), WorkspaceDestination::Calendar);
    EXPECT_EQ(list->highlighted(), WorkspaceDestination::Calendar);
}

TEST(SidebarTest, ChoosingTheShownScreenAsksNothing)
{
    WindowHarness h;
    h.make();
    h.workspace().startNewEntry();
    h.workspace().editor().setDraftText(QStringLiteral("Still typing"));
    choose(h.view->sidebar()->list(), WorkspaceDestination::Timeline);
    EXPECT_FALSE(h.dialogs.pendingConfirmation());
    EXPECT_TRUE(h.dialogs.confirmations().isEmpty());
}

TEST(SidebarTest, ArrowKeysWalkTheScreensAndSkipTheHeadings)
{
    WindowHarness h;
    h.make();
    SidebarList *list = h.view->sidebar()->list();
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down); // Calendar
    EXPECT_EQ(h.workspace().destination(), WorkspaceDestination::Calendar);
    QTest::keyClick(list, Qt::Key_Down); // past "Reflect" to Weather
    EXPECT_EQ(h.workspace().destination(), WorkspaceDestination::Weather);
    EXPECT_EQ(list->highlighted(), WorkspaceDestination::Weather);
}

} // namespace
} // namespace zn::test
