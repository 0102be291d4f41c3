#include "TestNote.h"

#include "platform/store/ModelContext.h"
#include "platform/store/StoreQuery.h"
#include "support/TestSupport.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace zn;
using zn::test::Note;

namespace {

class MultiContextTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(container);
        Note *n = editor.insert(std::make_unique<Note>(QStringLiteral("first"), 1));
        n->set(Note::Score, 0.25);
        ASSERT_FALSE(editor.save());
    }

    Note *only(ModelContext &context)
    {
        const auto all = context.fetch<Note>();
        return all.size() == 1 ? all.first() : nullptr;
    }

    zn::test::TempDir dir;
    std::shared_ptr<ModelContainer> container = zn::test::openNotes(dir.path());
    ModelContext editor{container.get()};
    ModelContext worker{container.get()};
};

} // namespace

TEST_F(MultiContextTest, UnsavedChangesStayInTheirContext)
{
    Note *mine = only(editor);
    Note *theirs = only(worker);
    ASSERT_TRUE(mine && theirs);
    mine->set(Note::Title, QStringLiteral("draft"));
    editor.insert(std::make_unique<Note>(QStringLiteral("pending"), 2));
    editor.remove(mine);
    EXPECT_EQ(theirs->title(), "first");
    EXPECT_EQ(worker.fetch<Note>().size(), 1);
    EXPECT_FALSE(theirs->isDeleted());
}

TEST_F(MultiContextTest, SaveRefreshesCleanObjectsElsewhere)
{
    Note *mine = only(editor);
    Note *theirs = only(worker);
    QSignalSpy changed(theirs, &PersistentModel::changed);
    mine->set(Note::Title, QStringLiteral("renamed"));
    ASSERT_FALSE(editor.save());
    EXPECT_EQ(theirs->title(), "renamed");
    EXPECT_EQ(changed.count(), 1);
    EXPECT_FALSE(worker.hasChanges());
}

TEST_F(MultiContextTest, DifferentFieldsOfOneRowBothSurvive)
{
    // The editor rewrites the text while the worker writes its score; neither
    // save may put back the other's old value.
    Note *mine = only(editor);
    Note *theirs = only(worker);
    mine->set(Note::Title, QStringLiteral("new text"));
    theirs->set(Note::Score, 0.75);
    ASSERT_FALSE(worker.save());
    EXPECT_EQ(mine->value(Note::Score).toDouble(), 0.75); // clean field refreshed
    EXPECT_EQ(mine->title(), "new text");                 // own edit kept
    EXPECT_TRUE(editor.hasChanges());
    ASSERT_FALSE(editor.save());
    EXPECT_EQ(theirs->title(), "new text");

    container.reset();
    auto reopened = zn::test::openNotes(dir.path());
    ModelContext fresh(reopened.get());
    Note *stored = only(fresh);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->title(), "new text");
    EXPECT_EQ(stored->value(Note::Score).toDouble(), 0.75);
}

TEST_F(MultiContextTest, SameFieldLastSaveWins)
{
    Note *mine = only(editor);
    Note *theirs = only(worker);
    mine->set(Note::Title, QStringLiteral("editor"));
    theirs->set(Note::Title, QStringLiteral("worker"));
    ASSERT_FALSE(worker.save());
    EXPECT_EQ(mine->title(), "editor"); // unsaved edit not overwritten
    ASSERT_FALSE(editor.save());
    EXPECT_EQ(theirs->title(), "editor");
}

TEST_F(MultiContextTest, DeletedRowsLeaveValidMarkedObjects)
{
    Note *mine = only(editor);
    Note *theirs = only(worker);
    theirs->set(Note::Count, 42); // unsaved edit of a row about to vanish
    QSignalSpy deleted(theirs, &PersistentModel::deleted);
    editor.remove(mine);
    ASSERT_FALSE(editor.save());
    EXPECT_TRUE(mine->isDeleted());
    EXPECT_TRUE(theirs->isDeleted());
    EXPECT_EQ(deleted.count(), 1);
    EXPECT_EQ(theirs->title(), "first"); // still readable
    EXPECT_TRUE(worker.fetch<Note>().isEmpty());
    EXPECT_EQ(worker.model(theirs->persistentModelID()), nullptr);
    // Writing to it and saving neither crashes nor resurrects the row.
    theirs->set(Note::Title, QStringLiteral("ghost"));
    EXPECT_FALSE(worker.save());
    EXPECT_TRUE(editor.fetch<Note>().isEmpty());
}

TEST_F(MultiContextTest, UpdateOfARowDeletedMeanwhileIsDropped)
{
    // The worker holds the row, the editor deletes it in a context the
    // worker never hears from (a second container on the same file).
    Note *theirs = only(worker);
    auto second = zn::test::openNotes(dir.path());
    ASSERT_TRUE(second);
    ModelContext outside(second.get());
    outside.remove(only(outside));
    ASSERT_FALSE(outside.save());
    theirs->set(Note::Title, QStringLiteral("late"));
    EXPECT_FALSE(worker.save());
    EXPECT_TRUE(theirs->isDeleted());
    EXPECT_TRUE(outside.fetch<Note>().isEmpty());
}

TEST_F(MultiContextTest, LiveQueryFollowsEverySave)
{
    FetchDescriptor d;
    d.sortBy = {{Note::Count, SortOrder::Forward}};
    StoreQuery *query = StoreQuery::create<Note>(&worker, d, &worker);
    ASSERT_EQ(query->results().size(), 1);
    QSignalSpy spy(query, &StoreQuery::resultsChanged);

    editor.insert(std::make_unique<Note>(QStringLiteral("second"), 2));
    EXPECT_EQ(spy.count(), 0); // unsaved: nothing to see
    ASSERT_FALSE(editor.save());
    EXPECT_EQ(spy.count(), 1);
    ASSERT_EQ(query->resultsAs<Note>().size(), 2);
    EXPECT_EQ(query->resultsAs<Note>().at(1)->title(), "second");

    Note *second = editor.fetch<Note>(d).at(1);
    second->set(Note::Count, 0);
    ASSERT_FALSE(editor.save());
    EXPECT_EQ(query->resultsAs<Note>().first()->title(), "second");

    editor.remove(second);
    ASSERT_FALSE(editor.save());
    EXPECT_EQ(query->results().size(), 1);
    EXPECT_FALSE(query->lastError());

    // A query on the saving context itself follows its own saves too.
    StoreQuery own(&editor, Note::entityDescriptor(), d);
    editor.insert(std::make_unique<Note>(QStringLiteral("third"), 3));
    ASSERT_FALSE(editor.save());
    EXPECT_EQ(own.results().size(), 2);
    EXPECT_EQ(query->results().size(), 2);
}

TEST_F(MultiContextTest, QueryOutlivingItsContainerReportsClosed)
{
    auto *query = new StoreQuery(&worker, Note::entityDescriptor(), {});
    container.reset();
    query->refetch();
    EXPECT_TRUE(query->results().isEmpty());
    ASSERT_TRUE(query->lastError());
    EXPECT_EQ(query->lastError()->code, StoreError::Code::Closed);
    delete query;
}

TEST_F(MultiContextTest, QueryDropsItsResultsWithItsContext)
{
    auto *context = new ModelContext(container.get());
    StoreQuery query(context, Note::entityDescriptor(), {});
    ASSERT_EQ(query.results().size(), 1);
    QSignalSpy spy(&query, &StoreQuery::resultsChanged);
    delete context;
    EXPECT_EQ(spy.count(), 1);
    EXPECT_TRUE(query.results().isEmpty());
    ASSERT_TRUE(query.lastError());
    EXPECT_EQ(query.lastError()->code, StoreError::Code::Closed);
}

TEST_F(MultiContextTest, RollbackRefreshesQueriesAndInsertsOfOthersAppear)
{
    FetchDescriptor d;
    d.sortBy = {{Note::Count, SortOrder::Forward}};
    StoreQuery query(&editor, Note::entityDescriptor(), d);
    QSignalSpy spy(&query, &StoreQuery::resultsChanged);
    only(editor)->set(Note::Count, 99);
    editor.rollback();
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(query.resultsAs<Note>().first()->count(), 1);

    // Rows another context inserted are found by a later fetch here, as one
    // object each.
    worker.insert(std::make_unique<Note>(QStringLiteral("from worker"), 0));
    ASSERT_FALSE(worker.save());
    EXPECT_EQ(spy.count(), 2);
    const auto notes = query.resultsAs<Note>();
    ASSERT_EQ(notes.size(), 2);
    EXPECT_EQ(notes.first()->title(), "from worker");
    EXPECT_EQ(editor.fetch<Note>(d).first(), notes.first());
}

TEST_F(MultiContextTest, ObserverFetchingDuringARefreshMissesNoUpdate)
{
    // A view that reacts to a refreshed object by fetching on the same
    // connection must not cut short the refresh of the other held objects.
    for (int i = 2; i <= 4; ++i)
        editor.insert(std::make_unique<Note>(QStringLiteral("n%1").arg(i), i));
    ASSERT_FALSE(editor.save());
    FetchDescriptor firstTwo;
    firstTwo.predicate = Predicate::where(Note::Count, CompareOp::LessOrEqual, 2);
    const auto held = worker.fetch<Note>(firstTwo);
    ASSERT_EQ(held.size(), 2);
    bool fetched = false;
    for (Note *n : held) {
        QObject::connect(n, &PersistentModel::changed, &worker, [&] {
            if (!std::exchange(fetched, true))
                worker.fetch<Note>(); // loads the two rows it has not seen
        });
    }
    for (Note *n : editor.fetch<Note>(firstTwo))
        n->set(Note::Title, n->title() + QStringLiteral(" edited"));
    ASSERT_FALSE(editor.save());
    EXPECT_TRUE(fetched);
    for (Note *n : held)
        EXPECT_TRUE(n->title().endsWith(QStringLiteral(" edited"))) << n->title().toStdString();
}
