// The journal's three columns: what each screen shows, the set-up on first
// show, and a layout that stays usable at the window's smallest.

#include "WindowTestHarness.h"

#include "views/workspace/timeline/EntryListControls.h"
#include "views/workspace/timeline/EntryListView.h"
#include "views/workspace/window/InsightsTeaserCard.h"
#include "views/workspace/window/PlaceholderPage.h"
#include "views/workspace/window/WorkspaceLayout.h"
#include "views/workspace/window/WorkspaceSidebar.h"

#include <QSplitter>

namespace zn::test {
namespace {

TEST(WorkspaceViewTest, TheEntryListShowsOnlyOnTheTimeline)
{
    WindowHarness h;
    h.make();
    EXPECT_TRUE(h.view->entryList()->isVisible());
    for (WorkspaceDestination d :
         {WorkspaceDestination::Calendar, WorkspaceDestination::Weather, WorkspaceDestination::Voice}) {
        h.workspace().navigate(d);
        settle();
        EXPECT_FALSE(h.view->entryList()->isVisible()) << rawValue(d).toStdString();
    }
    h.workspace().navigate(WorkspaceDestination::Timeline);
    settle();
    EXPECT_TRUE(h.view->entryList()->isVisible());
}

TEST(WorkspaceViewTest, TheWeatherPageStartsAfreshEachTimeItIsShown)
{
    WindowHarness h;
    h.make();
    h.workspace().navigate(WorkspaceDestination::Weather);
    QPointer<QWidget> first = h.view->detailPage();
    h.workspace().navigate(WorkspaceDestination::Calendar);
    QWidget *calendar = h.view->detailPage();
    h.workspace().navigate(WorkspaceDestination::Weather);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_NE(h.view->detailPage(), first.data());
    EXPECT_TRUE(first.isNull());
    // The calendar keeps its page (and whatever month it shows).
    h.workspace().navigate(WorkspaceDestination::Calendar);
    EXPECT_EQ(h.view->detailPage(), calendar);
}

TEST(WorkspaceViewTest, SetsItselfUpOnceNotWhenAMinimisedWindowReturns)
{
    WindowHarness h;
    h.make();
    ASSERT_TRUE(h.view->hasAppeared());
    h.workspace().navigate(WorkspaceDestination::Calendar);
    // A window minimised and brought back.
    h.host->showMinimized();
    settle();
    h.host->showNormal();
    settle();
    EXPECT_EQ(h.workspace().destination(), WorkspaceDestination::Calendar);
    // Hiding and showing the content again (as the root view does) is also
    // the same workspace.
    h.view->hide();
    h.view->show();
    EXPECT_EQ(h.workspace().destination(), WorkspaceDestination::Calendar);
}

TEST(WorkspaceViewTest, AtTheSmallestWindowEveryColumnKeepsItsMinimum)
{
    WindowHarness h;
    h.make(QSize(900, 620));
    const QList<int> sizes = h.view->splitter()->sizes();
    ASSERT_EQ(sizes.size(), 3);
    EXPECT_GE(sizes[0], kSidebarColumnWidths.minimum);
    EXPECT_LE(sizes[0], kSidebarColumnWidths.maximum);
    EXPECT_GE(sizes[1], kListColumnWidths.minimum);
    EXPECT_LE(sizes[1], kListColumnWidths.maximum);
    EXPECT_GE(sizes[2], 200);
    EXPECT_LE(sizes[0] + sizes[1] + sizes[2], 900);
}

TEST(WorkspaceViewTest, ColumnsOpenAtTheirIdealWidths)
{
    WindowHarness h;
    h.make();
    const QList<int> sizes = h.view->splitter()->sizes();
    EXPECT_EQ(sizes[0], kSidebarColumnWidths.ideal);
    EXPECT_EQ(sizes[1], kListColumnWidths.ideal);
}

// Keyboard alone: Tab walks from the forecast card to the sidebar list and
// on to the timeline's search field.
TEST(WorkspaceViewTest, TabGoesFromSidebarToSearch)
{
    WindowHarness h;
    h.make();
    QWidget *teaser = h.view->sidebar()->teaserCard();
    QWidget *search = h.view->entryList()->searchField();
    int listStop = -1, searchStop = -1;
    QStringList stops;
    QWidget *w = teaser;
    for (int i = 0; i < 120 && w; ++i) {
        stops << QString::fromLatin1(w->metaObject()->className());
        if (w == h.view->sidebar()->list() && listStop < 0)
            listStop = i;
        if ((w == search || search->isAncestorOf(w)) && searchStop < 0)
            searchStop = i;
        do {
            w = w->nextInFocusChain();
        } while (w && w != teaser && !(w->focusPolicy() & Qt::TabFocus));
    }
    EXPECT_GT(listStop, 0);
    EXPECT_GT(searchStop, listStop) << stops.join(QLatin1Char(' ')).toStdString();
    EXPECT_TRUE(teaser->focusPolicy() & Qt::TabFocus);
}

} // namespace
} // namespace zn::test
