#include "TestNote.h"

#include "platform/store/ModelContext.h"
#include "platform/store/StoreQuery.h"
#include "support/TestSupport.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <random>

using namespace zn;
using zn::test::Note;

namespace {

// Replays a query's row signals on a plain list, as a list view would, so a
// test can check the signals describe exactly what happened to results().
class RowMirror
{
public:
    explicit RowMirror(StoreQuery &query)
        : m_rows(query.results())
    {
        QObject::connect(&query, &StoreQuery::rowAboutToBeRemoved, &query, [this, &query](int i) {
            m_ok = m_ok && i >= 0 && i < m_rows.size() && m_rows[i] == query.results().value(i);
        });
        QObject::connect(&query, &StoreQuery::rowRemoved, &query, [this](int i) {
            if (i >= 0 && i < m_rows.size())
                m_rows.removeAt(i);
            else
                m_ok = false;
        });
        QObject::connect(&query, &StoreQuery::rowInserted, &query, [this, &query](int i) {
            if (i >= 0 && i <= m_rows.size())
                m_rows.insert(i, query.results().value(i));
            else
                m_ok = false;
        });
        QObject::connect(&query, &StoreQuery::rowChanged, &query, [this, &query](int i) {
            m_ok = m_ok && m_rows.value(i) == query.results().value(i);
            ++m_changed;
        });
        QObject::connect(&query, &StoreQuery::resultsReset, &query, [this, &query] { m_rows = query.results(); });
    }

    const QList<PersistentModel *> &rows() const { return m_rows; }
    bool consistent() const { return m_ok; }
    int changedCount() const { return m_changed; }

private:
    QList<PersistentModel *> m_rows;
    bool m_ok = true;
    int m_changed = 0;
};

// Not flagged, highest score first: scores repeat a lot, so the order of
// equal scores (by row, unsaved last) is exercised as much as the scores.
FetchDescriptor unflaggedByScore()
{
    FetchDescriptor d;
    d.predicate = Predicate::where(Note::Flag, CompareOp::Equal, false);
    d.sortBy = {{Note::Score, SortOrder::Reverse}};
    return d;
}

QStringList titles(const QList<PersistentModel *> &models)
{
    QStringList out;
    for (PersistentModel *m : models)
        out.append(static_cast<Note *>(m)->title());
    return out;
}

class LiveQueryTest : public ::testing::Test
{
protected:
    Note *add(ModelContext &context, const QString &title, double score, bool flag = false)
    {
        Note *n = context.insert(std::make_unique<Note>(title));
        n->set(Note::Score, score);
        n->set(Note::Flag, flag);
        return n;
    }

    zn::test::TempDir dir;
    std::shared_ptr<ModelContainer> container = zn::test::openNotes(dir.path());
    ModelContext views{container.get()};
    ModelContext writer{container.get()};
};

} // namespace

TEST_F(LiveQueryTest, SavesUpdateInPlaceWithRowSignals)
{
    for (int i = 0; i < 5; ++i)
        add(writer, QStringLiteral("n%1").arg(i), i * 0.1);
    ASSERT_FALSE(writer.save());
    StoreQuery query(&views, Note::entityDescriptor(), unflaggedByScore());
    RowMirror mirror(query);
    QSignalSpy changed(&query, &StoreQuery::resultsChanged);
    ASSERT_EQ(titles(query.results()), (QStringList{"n4", "n3", "n2", "n1", "n0"}));
    const int fullFetches = query.refetchCount();

    // A new row lands in its place.
    add(writer, QStringLiteral("new"), 0.25);
    ASSERT_FALSE(writer.save());
    EXPECT_EQ(titles(query.results()), (QStringList{"n4", "n3", "new", "n2", "n1", "n0"}));

    // A written row that keeps its place is reported changed; one whose
    // score moves it leaves its old index and enters the new one.
    Note *n2 = static_cast<Note *>(writer.fetch<Note>(unflaggedByScore()).at(3));
    ASSERT_EQ(n2->title(), "n2");
    n2->set(Note::Title, QStringLiteral("n2 renamed"));
    ASSERT_FALSE(writer.save());
    EXPECT_EQ(mirror.changedCount(), 1);
    n2->set(Note::Score, 0.9);
    ASSERT_FALSE(writer.save());
    EXPECT_EQ(titles(query.results()), (QStringList{"n2 renamed", "n4", "n3", "new", "n1", "n0"}));

    // Flagging takes a row out; deleting one removes it.
    n2->set(Note::Flag, true);
    writer.remove(writer.fetch<Note>(unflaggedByScore()).last());
    ASSERT_FALSE(writer.save());
    EXPECT_EQ(titles(query.results()), (QStringList{"n4", "n3", "new", "n1"}));

    EXPECT_EQ(query.refetchCount(), fullFetches);
    EXPECT_EQ(changed.count(), 4);
    EXPECT_TRUE(mirror.consistent());
    EXPECT_EQ(mirror.rows(), query.results());
}

TEST_F(LiveQueryTest, RollbackAndLimitsFetchEverythingAgain)
{
    add(views, QStringLiteral("a"), 0.5);
    ASSERT_FALSE(views.save());
    StoreQuery query(&views, Note::entityDescriptor(), unflaggedByScore());
    FetchDescriptor top = unflaggedByScore();
    top.fetchLimit = 1;
    StoreQuery best(&views, Note::entityDescriptor(), top);
    const int before = query.refetchCount();
    const int bestBefore = best.refetchCount();

    views.fetch<Note>().first()->set(Note::Score, -1.0);
    views.rollback();
    EXPECT_EQ(query.refetchCount(), before + 1);

    // With a limit, a removal can bring in a row no change names.
    add(writer, QStringLiteral("b"), 0.9);
    add(writer, QStringLiteral("c"), 0.1);
    ASSERT_FALSE(writer.save());
    EXPECT_EQ(titles(best.results()), (QStringList{"b"}));
    writer.remove(writer.fetch<Note>(top).first());
    ASSERT_FALSE(writer.save());
    EXPECT_EQ(titles(best.results()), (QStringList{"a"}));
    EXPECT_EQ(best.refetchCount(), bestBefore + 3);
}

TEST_F(LiveQueryTest, UnsavedEditsHereAreSeenWhenAnotherContextSaves)
{
    // The views' own unsaved edit moves a row the next time the query
    // updates, as a fresh fetch would place it.
    Note *a = add(views, QStringLiteral("a"), 0.1);
    add(views, QStringLiteral("b"), 0.2);
    ASSERT_FALSE(views.save());
    StoreQuery query(&views, Note::entityDescriptor(), unflaggedByScore());
    a->set(Note::Score, 0.9);
    Note *pending = add(views, QStringLiteral("pending"), 0.5);
    add(writer, QStringLiteral("c"), 0.3);
    ASSERT_FALSE(writer.save());
    EXPECT_EQ(titles(query.results()), (QStringList{"a", "pending", "c", "b"}));
    EXPECT_EQ(query.results(), views.fetch(Note::entityDescriptor(), unflaggedByScore()));

    // Dropping the unsaved insert and saving the edit settles both.
    views.remove(pending);
    ASSERT_FALSE(views.save());
    EXPECT_EQ(titles(query.results()), (QStringList{"a", "c", "b"}));
}

TEST_F(LiveQueryTest, RandomHistoryMatchesAFreshFetchAfterEveryStep)
{
    // Inserts, edits of the sort and filter fields, deletes, flag flips
    // and rollbacks, saved from either context or left unsaved, in a long
    // seeded sequence: after every save or rollback the incremental results
    // equal a full fetch, and the row signals replay to the same list.
    std::mt19937 rng(20261207);
    const auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    StoreQuery query(&views, Note::entityDescriptor(), unflaggedByScore());
    FetchDescriptor byTitle;
    byTitle.sortBy = {{Note::Title, SortOrder::Forward}};
    StoreQuery all(&writer, Note::entityDescriptor(), byTitle);
    RowMirror mirror(query);
    RowMirror allMirror(all);
    int saves = 0;
    int rollbacks = 0;
    const int fullFetches = query.refetchCount();
    for (int step = 0; step < 600; ++step) {
        ModelContext &context = pick(3) == 0 ? views : writer;
        const QList<Note *> rows = context.fetch<Note>();
        const int action = rows.isEmpty() ? 0 : pick(10);
        // A save with nothing to write announces nothing.
        const bool wrote = action == 8 && context.hasChanges();
        if (action <= 2) {
            add(context, QStringLiteral("t%1").arg(pick(50)), pick(5) * 0.25, pick(4) == 0);
        } else if (action <= 4) {
            rows[pick(int(rows.size()))]->set(Note::Score, pick(5) * 0.25);
        } else if (action == 5) {
            Note *n = rows[pick(int(rows.size()))];
            n->set(Note::Flag, !n->value(Note::Flag).toBool());
        } else if (action == 6) {
            rows[pick(int(rows.size()))]->set(Note::Title, QStringLiteral("t%1").arg(pick(50)));
        } else if (action == 7) {
            context.remove(rows[pick(int(rows.size()))]);
        } else if (action == 8) {
            ASSERT_FALSE(context.save()) << "step " << step;
            ++saves;
        } else {
            context.rollback();
            ++rollbacks;
        }
        ASSERT_EQ(titles(query.results()), titles(mirror.rows())) << "step " << step;
        // A save reaches every query; a rollback only those of its context.
        if (wrote || (action == 9 && &context == &views)) {
            ASSERT_EQ(titles(query.results()), titles(views.fetch(Note::entityDescriptor(), unflaggedByScore())))
                << "step " << step;
            ASSERT_EQ(query.results(), views.fetch(Note::entityDescriptor(), unflaggedByScore())) << "step " << step;
        }
        if (wrote || (action == 9 && &context == &writer)) {
            ASSERT_EQ(all.results(), writer.fetch(Note::entityDescriptor(), byTitle)) << "step " << step;
        }
    }
    EXPECT_TRUE(mirror.consistent());
    EXPECT_TRUE(allMirror.consistent());
    EXPECT_EQ(mirror.rows(), query.results());
    EXPECT_GT(saves, 30);
    // Only the rollbacks of the views' context made the query fetch again.
    EXPECT_LE(query.refetchCount() - fullFetches, rollbacks);
}

TEST_F(LiveQueryTest, ManyRowsAtOnceFetchOnce)
{
    StoreQuery query(&views, Note::entityDescriptor(), unflaggedByScore());
    const int before = query.refetchCount();
    for (int i = 0; i < 1000; ++i)
        add(writer, QStringLiteral("bulk"), (i % 7) * 0.1);
    ASSERT_FALSE(writer.save());
    EXPECT_EQ(query.refetchCount(), before + 1);
    EXPECT_EQ(query.results().size(), 1000);
}

// A query started with its first rows only: those are the first rows of the
// whole answer, the rest comes with complete() or with the first save, and
// a query without an order ignores the request.
TEST_F(LiveQueryTest, FirstRowsFirstThenEverything)
{
    for (int i = 0; i < 40; ++i)
        add(writer, QStringLiteral("n%1").arg(i, 2, 10, QLatin1Char('0')), (i * 7) % 10 / 10.0, i % 5 == 0);
    ASSERT_FALSE(writer.save());
    ModelContext reference(container.get());
    const QStringList whole = titles(reference.fetch(Note::entityDescriptor(), unflaggedByScore()));
    ASSERT_EQ(whole.size(), 32);

    StoreQuery query(&views, Note::entityDescriptor(), unflaggedByScore(), 5);
    EXPECT_FALSE(query.isComplete());
    EXPECT_EQ(titles(query.results()), whole.mid(0, 5));
    RowMirror mirror(query);
    query.complete();
    EXPECT_TRUE(query.isComplete());
    EXPECT_EQ(titles(query.results()), whole);
    EXPECT_EQ(mirror.rows(), query.results());

    // Completed by a save, which it then shows.
    ModelContext other(container.get());
    StoreQuery saved(&other, Note::entityDescriptor(), unflaggedByScore(), 5);
    ASSERT_FALSE(saved.isComplete());
    add(writer, QStringLiteral("late"), 0.95);
    ASSERT_FALSE(writer.save());
    EXPECT_TRUE(saved.isComplete());
    EXPECT_EQ(titles(saved.results()), QStringList{QStringLiteral("late")} + whole);

    FetchDescriptor unordered;
    unordered.predicate = Predicate::where(Note::Flag, CompareOp::Equal, false);
    StoreQuery plain(&views, Note::entityDescriptor(), unordered, 5);
    EXPECT_TRUE(plain.isComplete());
    EXPECT_EQ(plain.results().size(), 33);
}
