#include "views/workspace/state/TimelineFilter.h"

#include "WorkspaceTestHarness.h"

#include <QSignalSpy>

#include <cmath>
#include <limits>

namespace zn::test {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

bool folds(const QString &text, const QString &search)
{
    const auto key = TimelineFilter::searchKey(search);
    return key && TimelineFilter::containsFolded(TimelineFilter::fold(text), *key);
}

TEST(TimelineSearchTest, MatchesCaseInsensitivelyAndTrimsTheSearch)
{
    EXPECT_TRUE(folds(QStringLiteral("Rain all day"), QStringLiteral("  rain \n")));
    EXPECT_TRUE(folds(QStringLiteral("RAINY"), QStringLiteral("rain")));
    EXPECT_TRUE(folds(QStringLiteral("Ärger im Büro"), QStringLiteral("äRGER")));
    EXPECT_TRUE(folds(QStringLiteral("ΣΟΦΊΑ"), QStringLiteral("σοφία")));
    EXPECT_FALSE(folds(QStringLiteral("sunny"), QStringLiteral("rain")));
    // Blanks of every kind leave no search at all.
    EXPECT_FALSE(TimelineFilter::searchKey(QStringLiteral(" \t\n\u00A0\u2003")).has_value());
    EXPECT_FALSE(TimelineFilter::searchKey(QString()).has_value());
}

TEST(TimelineSearchTest, PrecomposedAndDecomposedSpellingsMatchEachOther)
{
    const QString precomposed = QStringLiteral("Caf\u00E9 au lait");
    const QString decomposed = QStringLiteral("Cafe\u0301 au lait");
    EXPECT_TRUE(folds(precomposed, QStringLiteral("cafe\u0301")));
    EXPECT_TRUE(folds(decomposed, QStringLiteral("caf\u00E9")));
    EXPECT_TRUE(folds(decomposed, QStringLiteral("CAF\u00C9")));
    EXPECT_TRUE(folds(QStringLiteral("\uAC00\uB098"), QStringLiteral("\u1100\u1161"))); // Hangul jamo compose
}

TEST(TimelineSearchTest, DiacriticsCountAndAMatchNeverEndsInsideACharacter)
{
    EXPECT_FALSE(folds(QStringLiteral("Caf\u00E9"), QStringLiteral("cafe")));
    EXPECT_FALSE(folds(QStringLiteral("Cafe\u0301"), QStringLiteral("cafe")));
    // A base letter that has no composed form keeps its mark apart.
    EXPECT_FALSE(folds(QStringLiteral("q\u0301"), QStringLiteral("q")));
    EXPECT_TRUE(folds(QStringLiteral("q\u0301 and q"), QStringLiteral("q")));
    EXPECT_TRUE(folds(QStringLiteral("q\u0301"), QStringLiteral("q\u0301")));
}

TEST(TimelineSearchTest, OddAndLongSearchesNeverCrash)
{
    const QString emoji = QStringLiteral("Walked with 🐕‍🦺 and 👩🏽‍💻 friends");
    EXPECT_TRUE(folds(emoji, QStringLiteral("👩🏽‍💻")));
    EXPECT_TRUE(folds(emoji, QStringLiteral("🐕")) == false); // the joiner holds the dog to its vest
    EXPECT_FALSE(folds(emoji, QString(QChar(0xD83D)))); // a lone surrogate half
    EXPECT_FALSE(folds(QStringLiteral("short"), QString(20000, QChar(u'x'))));
    const QString longText = QString(50000, QChar(u'a')) + QStringLiteral("needle");
    EXPECT_TRUE(folds(longText, QStringLiteral("NEEDLE")));
    EXPECT_FALSE(folds(QString(), QStringLiteral("x")));
}

TEST(MoodBucketTest, EdgesAndNonFiniteScoresLandInTheirChips)
{
    EXPECT_EQ(moodBucket(0.2), MoodFilter::Positive);
    EXPECT_EQ(moodBucket(0.19999), MoodFilter::Neutral);
    EXPECT_EQ(moodBucket(-0.2), MoodFilter::Neutral);
    EXPECT_EQ(moodBucket(-0.20001), MoodFilter::Negative);
    EXPECT_EQ(moodBucket(kNaN), MoodFilter::Negative);
    EXPECT_EQ(moodBucket(kInf), MoodFilter::Positive);
    EXPECT_EQ(moodBucket(-kInf), MoodFilter::Negative);
    EXPECT_TRUE(moodFilterAccepts(MoodFilter::All, kNaN));
    EXPECT_FALSE(moodFilterAccepts(MoodFilter::Neutral, kNaN));
}

TEST(WorkspaceEnumsTest, RawValuesRoundTripAndStrangersGiveNothing)
{
    for (WorkspaceDestination d : allWorkspaceDestinations())
        EXPECT_EQ(workspaceDestinationFromRaw(rawValue(d)), d);
    for (MoodFilter f : allMoodFilters())
        EXPECT_EQ(moodFilterFromRaw(rawValue(f)), f);
    EXPECT_EQ(rawValue(WorkspaceDestination::Weather), QStringLiteral("weather"));
    EXPECT_EQ(rawValue(MoodFilter::Negative), QStringLiteral("negative"));
    EXPECT_FALSE(workspaceDestinationFromRaw(QStringLiteral("Timeline")).has_value());
    EXPECT_FALSE(moodFilterFromRaw(QString()).has_value());
    EXPECT_EQ(windowTitle(WorkspaceDestination::Weather), QStringLiteral("Emotional Weather"));
    EXPECT_EQ(allWorkspaceCommands().size(), 14);
    for (WorkspaceCommand c : allWorkspaceCommands())
        EXPECT_EQ(workspaceCommandFromNotification(notificationName(c)), c);
    EXPECT_FALSE(workspaceCommandFromNotification(QStringLiteral("zep.command.")).has_value());
    EXPECT_FALSE(workspaceCommandFromNotification(QStringLiteral("zep.data.didReset")).has_value());
}

class FilteredEntriesTest : public ::testing::Test
{
protected:
    WorkspaceHarness h;
};

TEST_F(FilteredEntriesTest, DraftsStayOutAndTheListIsNewestFirst)
{
    JournalEntry *older = h.seed(QStringLiteral("Older rain"), 0.0, 30);
    JournalEntry *newer = h.seed(QStringLiteral("Newer sun"), 0.0, 2);
    h.seed(QStringLiteral("A draft about rain"), 0.0, 1, true);
    WorkspaceViewModel &vm = h.make();
    EXPECT_EQ(h.ids(vm.journalEntries()), (QList<QUuid>{newer->id(), older->id()}));
    EXPECT_EQ(vm.filteredEntries(), vm.journalEntries());
}

TEST_F(FilteredEntriesTest, DayMoodAndSearchCombineAndKeepTheOrder)
{
    // The clock stands at midnight UTC: 1 to 23 hours ago is yesterday.
    // Scores are the analysis's own, so opening an entry leaves them alone.
    JournalEntry *a = h.seedScored(QStringLiteral("Rain again, but a wonderful happy talk with lovely friends."), 2);
    JournalEntry *b = h.seedScored(QStringLiteral("RAINY, and I feel miserable, lonely and exhausted."), 3);
    JournalEntry *c = h.seedScored(QStringLiteral("Rain on the roof on a lovely, peaceful and happy evening."), 4);
    JournalEntry *d = h.seedScored(QStringLiteral("Rain two days back, a wonderful happy walk."), 30);
    JournalEntry *e = h.seedScored(QStringLiteral("Sunny, happy and wonderful day with lovely people."), 5);
    for (JournalEntry *positive : {a, c, d, e})
        ASSERT_EQ(moodBucket(positive->sentimentScore()), MoodFilter::Positive) << positive->rawText().toStdString();
    ASSERT_EQ(moodBucket(b->sentimentScore()), MoodFilter::Negative);
    WorkspaceViewModel &vm = h.appear();

    vm.setSearchText(QStringLiteral("  rain\n"));
    EXPECT_EQ(h.ids(vm.filteredEntries()), (QList<QUuid>{a->id(), b->id(), c->id(), d->id()}));
    vm.setMoodFilter(MoodFilter::Positive);
    EXPECT_EQ(h.ids(vm.filteredEntries()), (QList<QUuid>{a->id(), c->id(), d->id()}));
    vm.showDay(h.clock.now().addSecs(-3600));
    EXPECT_EQ(h.ids(vm.filteredEntries()), (QList<QUuid>{a->id(), c->id()}));
    vm.setSearchText(QStringLiteral("   \n "));
    EXPECT_EQ(h.ids(vm.filteredEntries()), (QList<QUuid>{a->id(), c->id(), e->id()})); // blanks narrow nothing
}

TEST_F(FilteredEntriesTest, NonFiniteScoresAreListedUnderTheirChipsOnly)
{
    JournalEntry *nan = h.seed(QStringLiteral("nan"), std::numeric_limits<double>::quiet_NaN(), 1);
    JournalEntry *up = h.seed(QStringLiteral("up"), kInf, 2);
    JournalEntry *down = h.seed(QStringLiteral("down"), -kInf, 3);
    JournalEntry *edge = h.seed(QStringLiteral("edge"), -0.2, 4);
    WorkspaceViewModel &vm = h.make();
    vm.setMoodFilter(MoodFilter::Negative);
    EXPECT_EQ(h.ids(vm.filteredEntries()), (QList<QUuid>{nan->id(), down->id()}));
    vm.setMoodFilter(MoodFilter::Positive);
    EXPECT_EQ(h.ids(vm.filteredEntries()), (QList<QUuid>{up->id()}));
    vm.setMoodFilter(MoodFilter::Neutral);
    EXPECT_EQ(h.ids(vm.filteredEntries()), (QList<QUuid>{edge->id()}));
}

TEST_F(FilteredEntriesTest, TypingAndErasingGiveTheSameAnswerAsAFreshSearch)
{
    const QStringList texts{QStringLiteral("rain"), QStringLiteral("Rainbow"), QStringLiteral("brain fog"),
                            QStringLiteral("train"), QStringLiteral("ra in"), QStringLiteral("RAIN\u0301")};
    for (int i = 0; i < texts.size(); ++i)
        h.seed(texts[i], 0.0, i + 1);
    WorkspaceViewModel &vm = h.make();
    const QStringList steps{QStringLiteral("r"), QStringLiteral("ra"), QStringLiteral("rai"), QStringLiteral("rain"),
                            QStringLiteral("rainb"), QStringLiteral("rain"), QStringLiteral("ai"),
                            QStringLiteral("rain\u0301"), QStringLiteral("rain")};
    for (const QString &step : steps) {
        vm.setSearchText(step);
        QList<JournalEntry *> expected;
        for (JournalEntry *e : vm.journalEntries())
            if (folds(e->rawText(), step))
                expected.append(e);
        EXPECT_EQ(vm.filteredEntries(), expected) << step.toStdString();
    }
}

TEST_F(FilteredEntriesTest, AnEditedTextIsFoundByItsNewWordsAtOnce)
{
    JournalEntry *entry = h.seed(QStringLiteral("A quiet walk"), 0.0, 1);
    WorkspaceViewModel &vm = h.make();
    vm.setSearchText(QStringLiteral("quiet"));
    ASSERT_EQ(vm.filteredEntries().size(), 1);
    entry->setRawText(QStringLiteral("A loud party"));
    ASSERT_FALSE(h.context->save().has_value());
    EXPECT_TRUE(vm.filteredEntries().isEmpty());
    vm.setSearchText(QStringLiteral("party"));
    EXPECT_EQ(vm.filteredEntries().size(), 1);
}

TEST_F(FilteredEntriesTest, ARowChangeInPlaceIsReportedApartFromAReFilter)
{
    JournalEntry *first = h.seed(QStringLiteral("first"), 0.5, 1);
    h.seed(QStringLiteral("second"), 0.5, 2);
    WorkspaceViewModel &vm = h.appear();
    vm.setMoodFilter(MoodFilter::All);
    QSignalSpy refiltered(&vm, &WorkspaceViewModel::filteredEntriesChanged);
    QSignalSpy updated(&vm, &WorkspaceViewModel::filteredEntriesUpdated);

    first->setInsightText(QStringLiteral("A reflection"));
    ASSERT_FALSE(h.context->save().has_value());
    EXPECT_EQ(refiltered.count(), 0);
    ASSERT_EQ(updated.count(), 1);
    EXPECT_EQ(updated.at(0).at(0).value<QList<JournalEntry *>>(), QList<JournalEntry *>{first});

    // A draft being autosaved is nobody's row.
    h.compose(QStringLiteral("typing"));
    h.clock.advance(EditorSession::kAutosaveDelay);
    EXPECT_EQ(refiltered.count(), 0);
    EXPECT_EQ(updated.count(), 1);

    vm.setSearchText(QStringLiteral("sec"));
    EXPECT_EQ(refiltered.count(), 1);
    EXPECT_EQ(vm.filteredEntries().size(), 1);
}

} // namespace
} // namespace zn::test
