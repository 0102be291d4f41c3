#include "TimelineHarness.h"

#include "support/PaintRecorder.h"

#include "app/theme/ThemeScope.h"
#include "views/workspace/timeline/EmptyStateView.h"
#include "views/workspace/timeline/EntryListControls.h"
#include "views/workspace/timeline/EntryListView.h"
#include "views/workspace/timeline/FilterChip.h"
#include "views/workspace/timeline/TimelineDelegate.h"
#include "views/workspace/timeline/TimelineListView.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <functional>

namespace zn::test {
namespace {

class EntryListViewTest : public ::testing::Test
{
protected:
    void build(EntryListActions actions)
    {
        h.make();
        host = std::make_unique<QWidget>();
        host->resize(340, 640);
        scope = new ThemeScope(host.get(), ZephyrTheme{});
        view = new EntryListView(*h.vm, std::move(actions), host.get());
        view->setGeometry(0, 0, 340, 640);
        tester = std::make_unique<QAbstractItemModelTester>(view->timelineModel(),
                                                            QAbstractItemModelTester::FailureReportingMode::Fatal);
        host->show();
        drainEvents();
    }
    void build() { build(recordingActions()); }

    EntryListActions recordingActions()
    {
        EntryListActions actions;
        actions.onSelect = [this](JournalEntry *e) { calls << QStringLiteral("select:") + e->rawText(); };
        actions.onEdit = [this](JournalEntry *e) { calls << QStringLiteral("edit:") + e->rawText(); };
        actions.onDelete = [this](JournalEntry *e) { calls << QStringLiteral("delete:") + e->rawText(); };
        actions.onClearDayFilter = [this] {
            calls << QStringLiteral("clear-day");
            h.vm->clearDayFilter();
        };
        actions.onNewEntry = [this] { calls << QStringLiteral("write"); };
        actions.onVoice = [this] { calls << QStringLiteral("voice"); };
        return actions;
    }

    TimelineListView &timeline() { return *view->timeline(); }
    QPoint cardCentre(int row)
    {
        const QModelIndex index = timeline().model()->index(row, 0);
        return timeline().timelineDelegate().cardRectFor(timeline().visualRect(index), row).center().toPoint();
    }

    TimelineHarness h;
    std::unique_ptr<QWidget> host;
    ThemeScope *scope = nullptr;
    EntryListView *view = nullptr;
    std::unique_ptr<QAbstractItemModelTester> tester;
    QStringList calls;
};

TEST_F(EntryListViewTest, AnEmptyJournalInvitesWritingOrSpeaking)
{
    build();
    ASSERT_TRUE(view->showsEmptyState());
    EXPECT_EQ(view->emptyState()->title(), QStringLiteral("Your timeline is a clear sky"));
    EXPECT_EQ(view->emptyState()->actionTitles(), (QStringList{"Write", "Voice"}));
    // The message wraps within 240 points and shows every line.
    EXPECT_GE(view->emptyState()->messageHeight(),
              2 * QFontMetrics(textStyleFont(TextStyle::Subheadline)).lineSpacing());
    EXPECT_TRUE(view->grab().toImage().save(screenshotPath("timeline-empty-journal.png")));
    view->emptyState()->button(EmptyStateAction::Write)->click();
    view->emptyState()->button(EmptyStateAction::Voice)->click();
    EXPECT_EQ(calls, (QStringList{"write", "voice"}));

    // A mood chip with nothing to show offers only to clear the filters.
    view->moodChips()[1]->click();
    EXPECT_EQ(h.vm->moodFilter(), MoodFilter::Positive);
    EXPECT_EQ(view->emptyState()->title(), QStringLiteral("No matching entries"));
    EXPECT_EQ(view->emptyState()->actionTitles(), QStringList{"Clear filters"});
    EXPECT_FALSE(view->emptyState()->button(EmptyStateAction::Write));
    QTest::qWait(1);
    QImage shot = view->grab().toImage();
    shot.save(screenshotPath("timeline-empty-filtered.png"));
}

TEST_F(EntryListViewTest, EmptyStateWithoutActionsShowsNoButtons)
{
    EntryListActions actions;
    actions.onSelect = [](JournalEntry *) {};
    actions.onDelete = [](JournalEntry *) {};
    build(actions);
    EXPECT_TRUE(view->emptyState()->actionTitles().isEmpty());
    // No way to clear a day: no banner even with a day filter.
    h.vm->showDay(h.clock.now());
    EXPECT_TRUE(view->dayBanner()->isHidden());
}

TEST_F(EntryListViewTest, DayBannerAndClearFiltersResetEverythingInOrder)
{
    h.seed(QStringLiteral("Two days ago"), 0.0, 30);
    build();
    EXPECT_TRUE(view->dayBanner()->isHidden());
    h.vm->showDay(h.clock.now()); // today: nothing
    ASSERT_FALSE(view->dayBanner()->isHidden());
    EXPECT_EQ(view->dayBanner()->dayText(), QStringLiteral("Mar 7, 2025"));
    EXPECT_EQ(view->dayBanner()->clearButton()->accessibleName(), QStringLiteral("Clear day filter"));
    ASSERT_TRUE(view->showsEmptyState());
    EXPECT_EQ(view->emptyState()->title(), QStringLiteral("No matching entries"));

    h.vm->setSearchText(QStringLiteral("zzz"));
    h.vm->setMoodFilter(MoodFilter::Negative);
    QSignalSpy mood(h.vm.get(), &WorkspaceViewModel::moodFilterChanged);
    QSignalSpy search(h.vm.get(), &WorkspaceViewModel::searchTextChanged);
    view->emptyState()->button(EmptyStateAction::ClearFilters)->click();
    EXPECT_EQ(h.vm->moodFilter(), MoodFilter::All);
    EXPECT_EQ(h.vm->searchText(), QString());
    EXPECT_EQ(h.vm->dayFilter(), std::nullopt);
    EXPECT_EQ(calls, QStringList{"clear-day"});
    EXPECT_EQ(mood.size(), 1);
    EXPECT_EQ(search.size(), 1);
    EXPECT_FALSE(view->showsEmptyState());
    EXPECT_TRUE(view->dayBanner()->isHidden());

    h.vm->showDay(h.clock.now().addSecs(-30 * 3600));
    view->dayBanner()->clearButton()->click();
    EXPECT_EQ(h.vm->dayFilter(), std::nullopt);
}

TEST_F(EntryListViewTest, SearchFieldAndChipsBindBothWays)
{
    h.seed(QStringLiteral("Walk by the river"), 0.5, 1);
    h.seed(QStringLiteral("Rain all day"), -0.5, 2);
    build();
    QLineEdit *field = view->searchField()->lineEdit();
    EXPECT_EQ(field->placeholderText(), QStringLiteral("Search your journal"));
    EXPECT_EQ(field->accessibleName(), QStringLiteral("Search your journal"));

    QTest::keyClicks(field, QStringLiteral("river"));
    EXPECT_EQ(h.vm->searchText(), QStringLiteral("river"));
    EXPECT_EQ(view->timelineModel()->rowCount(), 2);
    h.vm->setSearchText(QStringLiteral("   ")); // blanks filter nothing
    EXPECT_EQ(field->text(), QStringLiteral("   "));
    EXPECT_EQ(view->timelineModel()->rowCount(), 3);

    // The focus command reaches the field; its focus reaches the workspace.
    host->activateWindow();
    h.vm->focusSearch();
    drainEvents();
    EXPECT_TRUE(field->hasFocus());
    EXPECT_TRUE(h.vm->searchFocused());
    timeline().setFocus();
    drainEvents();
    EXPECT_FALSE(h.vm->searchFocused());

    // Chips: pressing the chosen one keeps it; "All" clears.
    QStringList titles;
    for (FilterChip *chip : view->moodChips())
        titles << chip->text();
    EXPECT_EQ(titles, (QStringList{"All", "Brighter", "Steady", "Heavier"}));
    EXPECT_EQ(view->moodScroller()->accessibleName(), QStringLiteral("Mood filters"));
    EXPECT_TRUE(view->moodChips()[0]->isSelected());
    view->moodChips()[3]->click();
    view->moodChips()[3]->click();
    EXPECT_EQ(h.vm->moodFilter(), MoodFilter::Negative);
    EXPECT_TRUE(view->moodChips()[3]->isSelected());
    EXPECT_FALSE(view->moodChips()[0]->isSelected());
    view->moodChips()[0]->click();
    EXPECT_EQ(h.vm->moodFilter(), MoodFilter::All);
}

TEST_F(EntryListViewTest, AClickAsksTheWorkspaceAndNeverSelectsByItself)
{
    h.seed(QStringLiteral("First"), 0.5, 1);
    h.seed(QStringLiteral("Second"), -0.5, 2);
    build();
    ASSERT_EQ(view->timelineModel()->rowCount(), 3);
    QTest::mouseClick(timeline().viewport(), Qt::LeftButton, {}, cardCentre(2));
    EXPECT_EQ(calls, QStringList{"select:Second"});
    EXPECT_FALSE(view->timelineModel()->data(view->timelineModel()->index(2, 0), TimelineListModel::SelectedRole).toBool());
    EXPECT_EQ(h.vm->selection(), std::nullopt);

    // A click on the heading or in the gap between cards does nothing.
    calls.clear();
    QTest::mouseClick(timeline().viewport(), Qt::LeftButton, {}, QPoint(20, 10));
    const QRect second = timeline().visualRect(view->timelineModel()->index(2, 0));
    QTest::mouseClick(timeline().viewport(), Qt::LeftButton, {}, QPoint(second.center().x(), second.top() + 3));
    QTest::mouseClick(timeline().viewport(), Qt::LeftButton, {}, QPoint(3, second.center().y()));
    EXPECT_TRUE(calls.isEmpty());

    // Return opens the card the keyboard is on; on a heading it does nothing.
    timeline().setFocus();
    timeline().setCurrentIndex(view->timelineModel()->index(1, 0));
    QTest::keyClick(&timeline(), Qt::Key_Return);
    timeline().setCurrentIndex(view->timelineModel()->index(0, 0));
    QTest::keyClick(&timeline(), Qt::Key_Return);
    EXPECT_EQ(calls, QStringList{"select:First"});
}

TEST_F(EntryListViewTest, TheWorkspacesActionsSelectThroughItsGuard)
{
    JournalEntry *entry = h.seed(QStringLiteral("Guarded"), 0.5, 1);
    h.make();
    host = std::make_unique<QWidget>();
    view = new EntryListView(*h.vm, host.get());
    view->resize(340, 600);
    host->resize(340, 600);
    host->show();
    drainEvents();
    QTest::mouseClick(timeline().viewport(), Qt::LeftButton, {}, cardCentre(1));
    EXPECT_EQ(h.vm->selection(), entry->id());
    EXPECT_TRUE(view->timelineModel()->data(view->timelineModel()->index(1, 0), TimelineListModel::SelectedRole).toBool());
    // Assistive tools read the selection from the view's own model.
    EXPECT_TRUE(timeline().selectionModel()->isRowSelected(1));
    h.vm->handleDataReset();
    EXPECT_FALSE(timeline().selectionModel()->hasSelection());
}

TEST_F(EntryListViewTest, AHugeOneLineEntryGetsAShortTwoLineCardWithoutStalling)
{
    QString huge;
    while (huge.size() < 100'000)
        huge += QStringLiteral("endless words without any stop ");
    h.seed(huge, 0.1, 1);
    h.seed(QStringLiteral("\u05D1\u05D5\u05E7\u05E8 \u05D8\u05D5\u05D1 \u05DC\u05DB\u05D5\u05DC\u05DD"), 0.1, 2);
    QElapsedTimer timer;
    timer.start();
    build();
    (void)view->grab();
    EXPECT_LT(timer.elapsed(), 1500);
    const QString title = view->timelineModel()->data(view->timelineModel()->index(1, 0)).toString();
    EXPECT_TRUE(title.endsWith(QChar(0x2026)));
    EXPECT_LE(title.size(), 49);
    const QRect huge1 = timeline().visualRect(view->timelineModel()->index(1, 0));
    const QRect rtl = timeline().visualRect(view->timelineModel()->index(2, 0));
    EXPECT_GT(huge1.height(), rtl.height() - TimelineLayout::kListBottom); // two lines against one
}

TEST_F(EntryListViewTest, CardsShownAgainAtAnotherWidthAreSpacedForThatWidth)
{
    // Titles from 34 to 48 characters: around the wrap width of both columns
    // below, so some take one line in one and two in the other.
    const QString sentence = QStringLiteral("Walked along the quiet river before work and then sat down");
    for (int n = 34; n <= 48; ++n)
        h.seed(sentence.left(n).trimmed(), 0.1 * (n % 4), n);
    build();
    // Where each row begins: the room the rows before it were given.
    auto tops = [](TimelineListView &list) {
        QList<int> out;
        const int first = list.visualRect(list.model()->index(0, 0)).top();
        for (int row = 0; row < list.model()->rowCount(); ++row)
            out << list.visualRect(list.model()->index(row, 0)).top() - first;
        return out;
    };
    auto freshTops = [&](int width) {
        QWidget freshHost;
        freshHost.resize(width, 640);
        new ThemeScope(&freshHost, ZephyrTheme{});
        auto *fresh = new EntryListView(*h.vm, recordingActions(), &freshHost);
        fresh->setGeometry(0, 0, width, 640);
        freshHost.show();
        drainEvents();
        QTest::qWait(150);
        return tops(*fresh->timeline());
    };
    // As the window's splitter brings the column back from another screen:
    // shown at its smallest width first (and drawn, or asked about, at
    // once), then widened to its place with the height unchanged.
    auto hideThenShowThrough = [&](int first, int last) {
        view->hide();
        drainEvents();
        view->setGeometry(0, 0, first, 640);
        view->show();
        (void)tops(timeline()); // anything asking for a card's place lays the list out
        view->setGeometry(0, 0, last, 640);
        drainEvents();
        QTest::qWait(150);
        drainEvents();
    };

    const QList<int> wide = freshTops(440);
    const QList<int> narrow = freshTops(280);
    ASSERT_EQ(wide.size(), narrow.size());
    ASSERT_NE(wide, narrow) << "some title must wrap only in the narrow column";
    hideThenShowThrough(280, 440);
    EXPECT_EQ(tops(timeline()), wide);
    hideThenShowThrough(440, 280);
    EXPECT_EQ(tops(timeline()), narrow);
    // The scroll bar going or coming changes only the width as well: without
    // it the cards have the room of a column 10 wider.
    view->setGeometry(0, 0, 340, 640);
    drainEvents();
    for (const auto &[policy, width] : {std::pair{Qt::ScrollBarAlwaysOff, 350}, {Qt::ScrollBarAsNeeded, 340}}) {
        timeline().setVerticalScrollBarPolicy(policy);
        QTest::qWait(150);
        drainEvents();
        EXPECT_EQ(tops(timeline()), freshTops(width)) << "scroll bar policy " << policy;
    }
}

TEST_F(EntryListViewTest, ContextMenuOffersOpenEditAndDelete)
{
    h.seed(QStringLiteral("Menu me"), 0.5, 1);
    build();
    std::unique_ptr<QMenu> menu(timeline().makeContextMenu(cardCentre(1)));
    ASSERT_TRUE(menu);
    QStringList titles;
    for (QAction *action : menu->actions())
        titles << (action->isSeparator() ? QStringLiteral("-") : action->text());
    EXPECT_EQ(titles, (QStringList{"Open", "Edit", "-", "Delete\u2026"}));
    for (QAction *action : menu->actions())
        if (!action->isSeparator())
            action->trigger();
    EXPECT_EQ(calls, (QStringList{"select:Menu me", "edit:Menu me", "delete:Menu me"}));
    EXPECT_EQ(timeline().makeContextMenu(QPoint(20, 10)), nullptr); // the heading
}

TEST_F(EntryListViewTest, ASavedEntryRepaintsOnlyItsOwnCard)
{
    JournalEntry *first = h.seed(QStringLiteral("First"), 0.5, 1);
    h.seed(QStringLiteral("Second"), -0.5, 2);
    h.seed(QStringLiteral("Third"), 0.0, 3);
    build();
    QTest::qWait(20);
    PaintRecorder recorder(timeline().viewport());
    first->setSentimentScore(-0.9);
    ASSERT_FALSE(h.context->save().has_value());
    QTest::qWait(20);
    drainEvents();
    const QRect row = timeline().visualRect(view->timelineModel()->index(1, 0));
    ASSERT_GT(recorder.count, 0);
    EXPECT_TRUE(QRegion(row).contains(recorder.painted.boundingRect())) << "painted beyond the changed card";
}

TEST_F(EntryListViewTest, TheKeyboardWalksTheCardsOverTheHeadingsAndOpensOne)
{
    // Two days: today A, B, C; three days ago D, E.
    for (const char text : {'A', 'B', 'C', 'D', 'E'})
        h.seed(QString(QLatin1Char(text)), text < 'D' ? 0.1 : -0.3, text < 'D' ? 1 + (text - 'A') : 72 + (text - 'D'));
    build();
    host->activateWindow();
    QApplication::setActiveWindow(host.get());
    const auto ringed = [this] {
        JournalEntry *entry = timeline().currentEntry();
        return entry ? entry->rawText() : QStringLiteral("-");
    };
    const auto press = [this](Qt::Key key) {
        QTest::keyClick(&timeline(), key);
        drainEvents();
    };

    // Tabbed to, the list rings its first card.
    timeline().setFocus(Qt::TabFocusReason);
    drainEvents();
    EXPECT_EQ(ringed(), QStringLiteral("A"));
    EXPECT_TRUE(timeline().timelineDelegate().focusRingVisible());

    // Down past C goes over the older day's heading; the ends stay the ends;
    // Page Down lands on a card.
    const std::pair<Qt::Key, const char *> walk[] = {
        {Qt::Key_Down, "B"}, {Qt::Key_Down, "C"},     {Qt::Key_Down, "D"},     {Qt::Key_Up, "C"},
        {Qt::Key_End, "E"},  {Qt::Key_Down, "E"},     {Qt::Key_Home, "A"},     {Qt::Key_Up, "A"},
        {Qt::Key_PageDown, nullptr}, {Qt::Key_PageUp, "A"}};
    for (const auto &[key, expected] : walk) {
        press(key);
        if (expected)
            EXPECT_EQ(ringed(), QString::fromLatin1(expected)) << "after key " << std::hex << key;
        else
            EXPECT_NE(ringed(), QStringLiteral("-"));
    }
    EXPECT_TRUE(calls.isEmpty()) << calls.join(' ').toStdString(); // moving opens nothing

    // Coming back by the keyboard rings the selected card.
    h.vm->requestSelectEntry(h.vm->filteredEntries().at(3), false);
    drainEvents();
    view->searchField()->lineEdit()->setFocus(Qt::TabFocusReason);
    timeline().setFocus(Qt::TabFocusReason);
    drainEvents();
    EXPECT_EQ(ringed(), QStringLiteral("D"));

    // Ctrl+] and Ctrl+[ take the ring along, wherever the arrows left it:
    // Return opens the card now selected.
    press(Qt::Key_Home);
    h.vm->perform(WorkspaceCommand::NextEntry);
    drainEvents();
    EXPECT_EQ(ringed(), QStringLiteral("E"));
    h.vm->perform(WorkspaceCommand::PreviousEntry);
    h.vm->perform(WorkspaceCommand::PreviousEntry);
    drainEvents();
    press(Qt::Key_Return);
    EXPECT_EQ(calls, QStringList{QStringLiteral("select:C")});
}

TEST_F(EntryListViewTest, AChangedSearchOrFilterShowsTheListFromItsTop)
{
    for (int i = 0; i < 30; ++i)
        h.seed(QStringLiteral("Walk %1 along the river").arg(i), i % 2 ? 0.5 : -0.5, 1 + i * 7);
    build();
    QScrollBar *bar = timeline().verticalScrollBar();
    const auto scrollDown = [&] {
        bar->setValue(bar->maximum() / 2);
        drainEvents();
        ASSERT_GT(bar->value(), 0);
    };

    const std::pair<const char *, std::function<void()>> changes[] = {
        {"typing a search", [&] { QTest::keyClicks(view->searchField()->lineEdit(), QStringLiteral("walk")); }},
        {"a mood chip", [&] { view->moodChips()[1]->click(); }},
        {"a search that keeps every entry", [&] { h.vm->setSearchText(QStringLiteral("river")); }}};
    for (const auto &[what, change] : changes) {
        scrollDown();
        change();
        drainEvents();
        EXPECT_EQ(bar->value(), 0) << "after " << what;
    }

    // A list that changes by itself keeps its place.
    scrollDown();
    const int kept = bar->value();
    h.seed(QStringLiteral("Walk once more by the river"), 0.6, 2000);
    drainEvents(10);
    EXPECT_EQ(bar->value(), kept);
}

TEST_F(EntryListViewTest, TheTopDaysHeadingStaysPinnedWhileItsCardsScroll)
{
    for (int i = 0; i < 12; ++i)
        h.seed(QStringLiteral("Entry %1").arg(i), 0.1 * (i % 5), 1 + i * 0.5);
    for (int i = 0; i < 12; ++i)
        h.seed(QStringLiteral("Earlier %1").arg(i), -0.2, 30 + i);
    build();
    EXPECT_EQ(timeline().pinnedHeaderRow(), -1); // the heading shows itself
    timeline().verticalScrollBar()->setValue(150);
    drainEvents();
    EXPECT_EQ(timeline().pinnedHeaderRow(), 0);
    EXPECT_EQ(timeline().pinnedHeaderBand().top(), 0);
    EXPECT_EQ(timeline().cardAt(QPoint(170, 5)), nullptr); // under the pinned heading

    // Further down the next day's heading takes over.
    const int secondHeader = 13;
    ASSERT_TRUE(view->timelineModel()->isHeader(secondHeader));
    timeline().scrollTo(view->timelineModel()->index(secondHeader + 2, 0), QAbstractItemView::PositionAtTop);
    drainEvents();
    EXPECT_EQ(timeline().pinnedHeaderRow(), secondHeader);
}

} // namespace
} // namespace zn::test
