// The journal's three columns: what each screen shows, the set-up on first
// show, and a layout that stays usable at the window's smallest.

#include "WindowTestHarness.h"

#include "views/weather/calendar/CalendarDayButtons.h"
#include "views/weather/calendar/CalendarMonthView.h"
#include "views/weather/calendar/SidebarMiniCalendar.h"
#include "views/weather/emotional/EmotionalWeatherView.h"
#include "views/workspace/timeline/EntryListControls.h"
#include "views/workspace/timeline/EntryListView.h"
#include "views/workspace/timeline/TimelineListModel.h"
#include "views/workspace/window/InsightsTeaserCard.h"
#include "views/workspace/window/PlaceholderPage.h"
#include "views/workspace/window/WorkspaceLayout.h"
#include "views/workspace/window/WorkspaceSidebar.h"

#include <QSplitter>

namespace zn::test {
namespace {

using namespace std::chrono_literals;

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

    // Keys pressed as the window opens: a command before the first frame
    // finds the workspace set up, and the set-up does not undo it after.
    WindowHarness early;
    early.host = std::make_unique<QWidget>();
    early.view = new JournalWorkspaceView(early.services(), &early.dialogs, early.host.get());
    early.host->show();
    ASSERT_FALSE(early.view->hasAppeared());
    early.center.post(notificationName(WorkspaceCommand::GoWeather));
    settle();
    EXPECT_EQ(early.workspace().destination(), WorkspaceDestination::Weather);
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

// The timeline's headings as a list view shows them: read again only when
// the model announces a change.
class ShownHeadings
{
public:
    explicit ShownHeadings(TimelineListModel &model)
        : m_model(model)
    {
        readAll();
        QObject::connect(&model, &QAbstractItemModel::modelReset, &m_receiver, [this] { readAll(); });
        QObject::connect(&model, &QAbstractItemModel::dataChanged, &m_receiver,
                         [this](const QModelIndex &from, const QModelIndex &to) {
                             for (int row = from.row(); row <= to.row(); ++row)
                                 if (m_shown.contains(row))
                                     m_shown[row] = m_model.headerTitle(row);
                         });
    }
    QStringList titles() const { return m_shown.values(); }

private:
    void readAll()
    {
        m_shown.clear();
        for (int row = 0; row < m_model.rowCount(); ++row)
            if (m_model.isHeader(row))
                m_shown.insert(row, m_model.headerTitle(row));
    }
    TimelineListModel &m_model;
    QObject m_receiver;
    QMap<int, QString> m_shown;
};

template <class Calendar>
int markedToday(const Calendar &calendar)
{
    for (int day = 1; day <= 31; ++day)
        if (calendar.dayButton(day) && calendar.dayButton(day)->cell().isToday)
            return day;
    return 0;
}

// Left open for days in Havana, whose clocks skip the midnight of 8 March
// 2026, the card, the timeline's headings, both calendars and the Weather
// page turn to the new day together: at midnight, at the skipped midnight,
// after a sleep across midnight, after the clock is set back and after the
// time zone changes.
TEST(WorkspaceViewTest, EveryScreenTurnsToTheNewDayTogether)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    WindowHarness h;
    h.systemZone = "America/Havana";
    const QTimeZone havana("America/Havana");
    const auto at = [&](int month, int day, int hour, int minute = 0) {
        return QDateTime(QDate(2026, month, day), QTime(hour, minute), havana);
    };
    h.clock.setNow(at(3, 5, 21));
    for (const QDateTime &when : {at(2, 27, 10, 30), at(2, 28, 10, 30), at(3, 2, 10, 30), at(3, 4, 9), at(3, 5, 20, 30)})
        h.saveEntry(when, QStringLiteral("Another day."), 0.0);
    h.make();
    h.workspace().navigate(WorkspaceDestination::Calendar);
    auto *month = h.view->findChild<CalendarMonthView *>();
    auto *mini = qobject_cast<SidebarMiniCalendar *>(h.view->sidebar()->miniCalendar());
    h.workspace().navigate(WorkspaceDestination::Weather);
    auto *weather = qobject_cast<EmotionalWeatherView *>(h.view->detailPage());
    ASSERT_TRUE(month && mini && weather);
    ShownHeadings headings(*h.view->entryList()->timelineModel());

    const auto expectDay = [&](int today, int weekEntries, const QStringList &titles) {
        settle();
        const QDate date(2026, 3, today);
        const TeaserCardContent &card = h.view->sidebar()->teaserCard()->content();
        EXPECT_EQ(card.entryCount, weekEntries);
        EXPECT_EQ(weather->summary().entryCount, weekEntries);
        EXPECT_EQ(weather->summary().label, card.label);
        EXPECT_EQ(weather->summary().interval.end, h.calendar.startOfDate(date.addDays(1)));
        EXPECT_EQ(markedToday(*mini), today);
        EXPECT_EQ(markedToday(*month), today);
        EXPECT_EQ(headings.titles().join(u" | ").toStdString(), titles.join(u" | ").toStdString());
    };
    const QStringList older{QStringLiteral("Mon, Mar 2"), QStringLiteral("Sat, Feb 28"), QStringLiteral("Fri, Feb 27")};
    {
        SCOPED_TRACE("evening of 5 March");
        expectDay(5, 5, QStringList{"Today", "Yesterday"} + older);
    }
    {
        SCOPED_TRACE("midnight");
        h.clock.advance(3h + 5s);
        expectDay(6, 4, QStringList{"Yesterday", "Wed, Mar 4"} + older);
    }
    {
        SCOPED_TRACE("the midnight the clock skips");
        h.clock.advance(47h + 59min + 54s); // 23:59:59 on 7 March
        h.clock.advance(2s);                // 01:00:01 on 8 March
        expectDay(8, 3, QStringList{"Thu, Mar 5", "Wed, Mar 4"} + older);
    }
    {
        SCOPED_TRACE("a sleep across midnight");
        h.clock.advance(21h);
        h.clock.setNow(at(3, 9, 7, 30)); // no timer ran meanwhile
        h.clock.advance(DayWatch::kRecheckInterval);
        expectDay(9, 2, QStringList{"Thu, Mar 5", "Wed, Mar 4"} + older);
    }
    {
        SCOPED_TRACE("the clock set back");
        h.clock.setNow(at(3, 8, 22));
        h.day.recheck(); // as the system's notice of the change does
        expectDay(8, 3, QStringList{"Thu, Mar 5", "Wed, Mar 4"} + older);
    }
    {
        SCOPED_TRACE("the time zone changed to Tokyo");
        h.systemZone = "Asia/Tokyo";
        h.clock.advance(DayWatch::kRecheckInterval); // 11:00 on 9 March there
        expectDay(9, 3, {"Fri, Mar 6", "Wed, Mar 4", "Tue, Mar 3", "Sun, Mar 1", "Sat, Feb 28"});
    }
    QLocale::setDefault(QLocale::c());
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
