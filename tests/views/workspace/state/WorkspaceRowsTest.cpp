// The workspace follows its query's row changes one by one instead of
// rebuilding its lists from every entry: after any series of saves its lists
// must still be exactly what a rebuild gives.

#include "WorkspaceTestHarness.h"

#include "core/JournalQueries.h"
#include "views/workspace/state/TimelineFilter.h"

#include <QRandomGenerator>
#include <QSignalSpy>

namespace zn::test {
namespace {

const QStringList kWords = QStringLiteral("rain sunny walk coffee Café tired hopeful river quiet lonely proud "
                                          "garden music friends deadline RAIN calm")
                               .split(u' ');

QString randomText(QRandomGenerator &random)
{
    QStringList words;
    const int count = 1 + int(random.bounded(6));
    for (int i = 0; i < count; ++i)
        words << kWords.at(int(random.bounded(quint32(kWords.size()))));
    return words.join(u' ');
}

class WorkspaceRowsTest : public ::testing::Test
{
protected:
    // The non-draft entries as a fresh fetch gives them, newest first.
    QList<JournalEntry *> rebuiltJournal()
    {
        FetchDescriptor journal = allEntriesNewestFirstDescriptor();
        journal.predicate = Predicate::where(JournalEntry::IsDraft, CompareOp::Equal, false);
        return h.context->fetch<JournalEntry>(journal);
    }

    // What a filter made afresh over that list lets through now.
    QList<JournalEntry *> rebuiltFiltered(const QList<JournalEntry *> &journal)
    {
        TimelineCriteria criteria;
        if (const auto day = h.vm->dayFilter()) {
            criteria.dayStart = *day;
            criteria.dayEnd = h.calendar.startOfDay(h.calendar.addingDays(*day, 1));
        }
        criteria.mood = h.vm->moodFilter();
        criteria.searchText = h.vm->searchText();
        TimelineFilter filter;
        filter.setEntries(journal);
        return filter.apply(criteria);
    }

    QList<JournalEntry *> all() { return h.context->fetch<JournalEntry>(); }

    WorkspaceHarness h;
};

TEST_F(WorkspaceRowsTest, AnySeriesOfSavesLeavesTheListsAsARebuildWould)
{
    QRandomGenerator random(33);
    for (int i = 0; i < 300; ++i)
        h.seed(randomText(random), random.bounded(2.0) - 1.0, random.bounded(24.0 * 40), random.bounded(20) == 0);
    WorkspaceViewModel &vm = h.appear();
    QSignalSpy journalChanged(&vm, &WorkspaceViewModel::journalEntriesChanged);
    QSignalSpy filteredChanged(&vm, &WorkspaceViewModel::filteredEntriesChanged);
    QSignalSpy filteredUpdated(&vm, &WorkspaceViewModel::filteredEntriesUpdated);
    ModelContext other(h.container.get()); // another writer, as the reflections are
    const auto pick = [&](const QList<JournalEntry *> &from) {
        return from.isEmpty() ? nullptr : from.at(int(random.bounded(quint32(from.size()))));
    };

    QList<JournalEntry *> before = vm.journalEntries();
    for (int step = 0; step < 400; ++step) {
        const int signalsBefore = int(journalChanged.count());
        const int filteredBefore = int(filteredChanged.count());
        const int updatedBefore = int(filteredUpdated.count());
        JournalEntry *edited = nullptr;
        const int op = int(random.bounded(12));
        std::string what;
        switch (op) {
        case 0: // new entries, now and then a draft among them
            what = "insert";
            for (int n = 1 + int(random.bounded(3)); n > 0; --n)
                h.context->insert(JournalTestStore::makeEntry(h.hoursBeforeNow(random.bounded(24.0 * 40)),
                                                              randomText(random), random.bounded(2.0) - 1.0, {},
                                                              random.bounded(4) == 0));
            break;
        case 1: // a new text in place
            what = "text";
            if ((edited = pick(all())))
                edited->setRawText(randomText(random) + QStringLiteral(" #%1").arg(step));
            break;
        case 2: // a new score in place
            what = "score";
            if ((edited = pick(all())))
                edited->setSentimentScore(random.bounded(2.0) - 1.0);
            break;
        case 3: // moved to another time
            what = "move";
            if ((edited = pick(all())))
                edited->setTimestamp(h.hoursBeforeNow(random.bounded(24.0 * 40)));
            break;
        case 4:
            what = "delete";
            h.context->remove(pick(all()));
            break;
        case 5: // a draft committed, or an entry turned back into a draft
            what = "draft flip";
            if ((edited = pick(all())))
                edited->setIsDraft(!edited->isDraft());
            break;
        case 6: // one save over more rows than the query follows one by one
            what = "batch";
            for (JournalEntry *entry : all())
                entry->setSentimentScore(random.bounded(2.0) - 1.0);
            break;
        case 7: // changes dropped again
            what = "rollback";
            if (JournalEntry *entry = pick(all())) {
                entry->setRawText(QStringLiteral("never saved"));
                entry->setTimestamp(h.hoursBeforeNow(-5));
            }
            h.context->rollback();
            break;
        case 8: { // another writer's save, merged here
            what = "other context";
            FetchDescriptor any;
            if (JournalEntry *entry = pick(other.fetch<JournalEntry>(any))) {
                entry->setRawText(randomText(random));
                entry->setSentimentScore(random.bounded(2.0) - 1.0);
                ASSERT_FALSE(other.save().has_value());
            }
            break;
        }
        case 9:
            what = "search";
            vm.setSearchText(random.bounded(3) == 0 ? QString() : kWords.at(int(random.bounded(quint32(kWords.size())))));
            break;
        case 10:
            what = "mood";
            vm.setMoodFilter(allMoodFilters().at(int(random.bounded(quint32(allMoodFilters().size())))));
            break;
        case 11:
            what = "day";
            if (random.bounded(2) == 0)
                vm.clearDayFilter();
            else
                vm.showDay(h.hoursBeforeNow(random.bounded(24.0 * 40)));
            break;
        }
        if (op <= 6) {
            ASSERT_FALSE(h.context->save().has_value()) << what;
        }

        const QList<JournalEntry *> journal = rebuiltJournal();
        ASSERT_EQ(vm.journalEntries(), journal) << "step " << step << ": " << what;
        ASSERT_EQ(vm.filteredEntries(), rebuiltFiltered(journal)) << "step " << step << ": " << what;
        for (JournalEntry *entry : journal)
            ASSERT_EQ(vm.journalEntry(entry->id()), entry) << "step " << step << ": " << what;
        // Told whenever the list changed, and only then.
        EXPECT_EQ(journalChanged.count() > signalsBefore, journal != before) << "step " << step << ": " << what;
        // A saved change to an entry that stays in place is told as an update.
        if (edited && !edited->isDraft() && vm.filteredEntries().contains(edited)
            && filteredChanged.count() == filteredBefore) {
            ASSERT_GT(filteredUpdated.count(), updatedBefore) << "step " << step << ": " << what;
            EXPECT_TRUE(filteredUpdated.last().at(0).value<QList<JournalEntry *>>().contains(edited))
                << "step " << step << ": " << what;
        }
        before = journal;
    }
}

} // namespace
} // namespace zn::test
