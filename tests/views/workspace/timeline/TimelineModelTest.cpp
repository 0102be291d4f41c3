#include "TimelineHarness.h"

#include "views/workspace/timeline/EntryListView.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

namespace zn::test {
namespace {

class TimelineModelTest : public ::testing::Test
{
protected:
    // The clock stands at midnight UTC on Friday 7 March 2025.
    void SetUp() override
    {
        m_today = h.seed(QStringLiteral("Today's entry"), 0.7, -2); // 02:00 today
        m_yesterdayLate = h.seed(QStringLiteral("Yesterday late"), 0.0, 1);
        m_yesterdayEarly = h.seed(QStringLiteral("Yesterday early"), -0.7, 20);
        m_older = h.seed(QStringLiteral("Older"), 0.3, 60);
        h.make(); // no appearance: scores stay as seeded
        model = std::make_unique<TimelineListModel>(h.day);
        tester = std::make_unique<QAbstractItemModelTester>(model.get(),
                                                            QAbstractItemModelTester::FailureReportingMode::Fatal);
        connect();
        model->setEntries(vm().filteredEntries());
    }

    void connect()
    {
        QObject::connect(&vm(), &WorkspaceViewModel::filteredEntriesChanged, model.get(),
                         [this] { model->setEntries(vm().filteredEntries()); });
        QObject::connect(&vm(), &WorkspaceViewModel::filteredEntriesUpdated, model.get(),
                         &TimelineListModel::entriesUpdated);
        QObject::connect(&vm(), &WorkspaceViewModel::selectionChanged, model.get(),
                         [this] { model->setSelection(vm().selection()); });
    }

    WorkspaceViewModel &vm() { return *h.vm; }

    TimelineHarness h;
    std::unique_ptr<TimelineListModel> model;
    std::unique_ptr<QAbstractItemModelTester> tester;
    JournalEntry *m_today = nullptr;
    JournalEntry *m_yesterdayLate = nullptr;
    JournalEntry *m_yesterdayEarly = nullptr;
    JournalEntry *m_older = nullptr;
};

TEST_F(TimelineModelTest, GroupsTheFilteredEntriesUnderTheirDayHeadings)
{
    EXPECT_EQ(TimelineHarness::rows(*model),
              (QStringList{"#Today", "Today's entry", "#Yesterday", "Yesterday late", "Yesterday early",
                           "#Tue, Mar 4", "Older"}));
    EXPECT_TRUE(model->data(model->index(0), TimelineListModel::IsHeaderRole).toBool());
    EXPECT_EQ(model->flags(model->index(0)) & Qt::ItemIsSelectable, Qt::NoItemFlags);
    EXPECT_EQ(model->headerRowFor(4), 2);
    EXPECT_EQ(model->rowOf(m_older), 6);
    EXPECT_TRUE(model->data(model->index(1), Qt::AccessibleTextRole).toString().contains(QStringLiteral("Sunny.")));

    // After midnight the same rows read one day later.
    h.clock.advance(std::chrono::hours(24));
    EXPECT_EQ(model->headerTitle(0), QStringLiteral("Yesterday"));
    EXPECT_EQ(model->headerTitle(2), QStringLiteral("Thu, Mar 6"));
}

TEST_F(TimelineModelTest, ANewEntryInsertsOneRowAndADeletionRemovesItsRows)
{
    QSignalSpy inserted(model.get(), &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(model.get(), &QAbstractItemModel::rowsRemoved);
    QSignalSpy reset(model.get(), &QAbstractItemModel::modelReset);

    h.seed(QStringLiteral("Newest"), 0.1, -3);
    ASSERT_EQ(inserted.size(), 1);
    EXPECT_EQ(inserted[0][1].toInt(), 1); // under "Today"
    EXPECT_EQ(inserted[0][2].toInt(), 1);
    EXPECT_EQ(model->entryAt(1)->rawText(), QStringLiteral("Newest"));

    // The day's last entry leaves with its heading, in one removal.
    h.context->remove(m_older);
    ASSERT_FALSE(h.context->save().has_value());
    ASSERT_EQ(removed.size(), 1);
    EXPECT_EQ(removed[0][1].toInt(), 6);
    EXPECT_EQ(removed[0][2].toInt(), 7);
    EXPECT_EQ(reset.size(), 0);
    EXPECT_EQ(model->rowCount(), 6);
}

TEST_F(TimelineModelTest, ASavedEditUpdatesOnlyItsOwnRow)
{
    (void)model->face(m_yesterdayEarly); // as painted
    QSignalSpy changed(model.get(), &QAbstractItemModel::dataChanged);
    QSignalSpy heights(model.get(), &TimelineListModel::rowHeightChanged);
    QSignalSpy structure(model.get(), &QAbstractItemModel::layoutChanged);

    m_yesterdayEarly->setSentimentScore(0.9);
    ASSERT_FALSE(h.context->save().has_value());
    ASSERT_EQ(changed.size(), 1);
    EXPECT_EQ(changed[0][0].toModelIndex().row(), 4);
    EXPECT_EQ(changed[0][1].toModelIndex().row(), 4);
    EXPECT_EQ(heights.size(), 0); // same title, same chips: same height
    EXPECT_EQ(model->face(m_yesterdayEarly).weather, WeatherLabel::Sunny);

    // A new title may change the card's height.
    m_yesterdayEarly->setRawText(QStringLiteral("A much longer first line that will surely need two lines"));
    ASSERT_FALSE(h.context->save().has_value());
    EXPECT_EQ(changed.size(), 2);
    EXPECT_EQ(heights.size(), 1);
    EXPECT_EQ(structure.size(), 0);
    EXPECT_EQ(model->data(model->index(4)).toString(),
              QStringLiteral("A much longer first line that will surely need\u2026"));
}

TEST_F(TimelineModelTest, AFaceMadeWhileFilteredOutIsFreshWhenTheEntryReturns)
{
    (void)model->face(m_older);
    vm().setSearchText(QStringLiteral("yesterday"));
    EXPECT_EQ(model->rowOf(m_older), -1);
    m_older->setRawText(QStringLiteral("Rewritten while hidden"));
    ASSERT_FALSE(h.context->save().has_value());
    vm().setSearchText(QString());
    EXPECT_EQ(model->face(m_older).title, QStringLiteral("Rewritten while hidden"));
}

TEST_F(TimelineModelTest, SearchKeystrokesMoveOnlyTheRowsThatComeAndGo)
{
    QSignalSpy reset(model.get(), &QAbstractItemModel::modelReset);
    QSignalSpy removed(model.get(), &QAbstractItemModel::rowsRemoved);
    vm().setSearchText(QStringLiteral("y"));
    vm().setSearchText(QStringLiteral("ye"));
    vm().setSearchText(QStringLiteral("yesterday e"));
    EXPECT_EQ(TimelineHarness::rows(*model), (QStringList{"#Yesterday", "Yesterday early"}));
    vm().setMoodFilter(MoodFilter::Positive);
    EXPECT_TRUE(TimelineHarness::rows(*model).isEmpty());
    vm().setMoodFilter(MoodFilter::All);
    vm().setSearchText(QString());
    EXPECT_EQ(model->rowCount(), 7);
    EXPECT_EQ(reset.size(), 0);
    EXPECT_GE(removed.size(), 2);
}

TEST_F(TimelineModelTest, SelectionFollowsTheWorkspaceAndRepaintsTwoCards)
{
    QSignalSpy changed(model.get(), &QAbstractItemModel::dataChanged);
    vm().selectEntry(m_yesterdayLate, false);
    EXPECT_TRUE(model->data(model->index(3), TimelineListModel::SelectedRole).toBool());
    vm().selectEntry(m_older, false);
    // Only the card that lost the highlight and the one that gained it.
    QSet<int> rows;
    for (const QList<QVariant> &signal : changed) {
        EXPECT_EQ(signal[0].toModelIndex(), signal[1].toModelIndex());
        rows.insert(signal[0].toModelIndex().row());
    }
    EXPECT_EQ(rows, (QSet<int>{3, 6}));
    EXPECT_FALSE(model->data(model->index(3), TimelineListModel::SelectedRole).toBool());
    EXPECT_TRUE(model->data(model->index(6), TimelineListModel::SelectedRole).toBool());
    EXPECT_FALSE(model->data(model->index(5), TimelineListModel::SelectedRole).toBool()); // a heading
}

TEST_F(TimelineModelTest, ReorderingAnEntryStillEndsInTheRightRows)
{
    // A timestamp moved into another day regroups; the rows must match.
    m_today->setTimestamp(h.clock.now().addDays(-3).addSecs(3600));
    ASSERT_FALSE(h.context->save().has_value());
    EXPECT_EQ(TimelineHarness::rows(*model),
              (QStringList{"#Yesterday", "Yesterday late", "Yesterday early", "#Tue, Mar 4", "Older", "Today's entry"}));
}

} // namespace
} // namespace zn::test
