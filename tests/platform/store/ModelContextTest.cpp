#include "TestNote.h"

#include "platform/store/ModelContext.h"
#include "support/TestSupport.h"

#include <QSignalSpy>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace zn;
using zn::test::Note;

namespace {

QStringList titles(const QList<Note *> &notes)
{
    QStringList out;
    for (Note *n : notes)
        out.append(n->title());
    return out;
}

FetchDescriptor byCount(SortOrder order = SortOrder::Forward)
{
    FetchDescriptor d;
    d.sortBy = {{Note::Count, order}};
    return d;
}

class ModelContextTest : public ::testing::Test
{
protected:
    zn::test::TempDir dir;
    std::shared_ptr<ModelContainer> container = zn::test::openNotes(dir.path());
    ModelContext context{container.get()};
};

} // namespace

TEST_F(ModelContextTest, FetchSeesOwnPendingInsertsButNotPendingDeletes)
{
    ASSERT_TRUE(container);
    Note *a = context.insert(std::make_unique<Note>(QStringLiteral("a"), 1));
    Note *b = context.insert(std::make_unique<Note>(QStringLiteral("b"), 2));
    EXPECT_TRUE(context.hasChanges());
    EXPECT_EQ(titles(context.fetch<Note>(byCount())), (QStringList{"a", "b"}));
    ASSERT_FALSE(context.save());
    EXPECT_FALSE(context.hasChanges());
    EXPECT_NE(a->rowId(), 0);

    context.remove(a);
    EXPECT_TRUE(a->isDeleted());
    EXPECT_TRUE(context.hasChanges());
    EXPECT_EQ(titles(context.fetch<Note>(byCount())), (QStringList{"b"}));

    // Removing an unsaved insert simply forgets it.
    Note *c = context.insert(std::make_unique<Note>(QStringLiteral("c"), 3));
    context.remove(c);
    EXPECT_TRUE(c->isDeleted());
    ASSERT_FALSE(context.save());
    EXPECT_EQ(titles(context.fetch<Note>(byCount())), (QStringList{"b"}));
    EXPECT_EQ(context.fetch<Note>(byCount()).first(), b);
}

TEST_F(ModelContextTest, IdentityMapGivesOneObjectPerRow)
{
    Note *a = context.insert(std::make_unique<Note>(QStringLiteral("a"), 1));
    ASSERT_FALSE(context.save());
    ModelContext other(container.get());
    Note *first = other.fetch<Note>().value(0);
    Note *again = other.fetch<Note>().value(0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, again);
    EXPECT_NE(first, a);
    EXPECT_EQ(first->persistentModelID(), a->persistentModelID());
    EXPECT_EQ(other.model(a->persistentModelID()), first);
    EXPECT_EQ(context.model(a->persistentModelID()), a);
}

TEST_F(ModelContextTest, PredicatesAndSortAgreeBetweenSavedAndPendingObjects)
{
    // Saved rows and pending ones must filter and order the same way, or a
    // list would reshuffle on save.
    const QStringList names{QStringLiteral("b"), QStringLiteral("é"), QStringLiteral("Z"), QStringLiteral("😀"),
                            QStringLiteral("\uFFFD"), QString()};
    for (int i = 0; i < names.size(); ++i)
        context.insert(std::make_unique<Note>(names[i], i));
    FetchDescriptor byTitle;
    byTitle.sortBy = {{Note::Title, SortOrder::Forward}};
    const QStringList pending = titles(context.fetch<Note>(byTitle));
    ASSERT_FALSE(context.save());
    const QStringList saved = titles(context.fetch<Note>(byTitle));
    EXPECT_EQ(pending, saved);
    // Code point order: the emoji (U+1F600) sorts after U+FFFD.
    EXPECT_EQ(saved, (QStringList{"", "Z", "b", "é", "\uFFFD", "😀"}));

    FetchDescriptor range;
    range.predicate = Predicate::where(Note::Count, CompareOp::GreaterOrEqual, 2).andWhere(Note::Count, CompareOp::Less, 4);
    range.sortBy = {{Note::Count, SortOrder::Reverse}};
    EXPECT_EQ(titles(context.fetch<Note>(range)), (QStringList{"😀", "Z"}));
    Note *extra = context.insert(std::make_unique<Note>(QStringLiteral("x"), 3));
    // Ties keep saved rows ahead of unsaved ones.
    EXPECT_EQ(titles(context.fetch<Note>(range)), (QStringList{"😀", "x", "Z"}));
    Q_UNUSED(extra);

    range.fetchLimit = 1;
    EXPECT_EQ(titles(context.fetch<Note>(range)), (QStringList{"😀"}));
}

TEST_F(ModelContextTest, NullSafeEqualityOnOptionals)
{
    Note *with = context.insert(std::make_unique<Note>(QStringLiteral("with")));
    with->set(Note::Subtitle, QString());
    context.insert(std::make_unique<Note>(QStringLiteral("without")));
    for (int pass = 0; pass < 2; ++pass) {
        FetchDescriptor absent;
        absent.predicate = Predicate::where(Note::Subtitle, CompareOp::Equal, QVariant());
        EXPECT_EQ(titles(context.fetch<Note>(absent)), (QStringList{"without"})) << "pass " << pass;
        FetchDescriptor empty;
        empty.predicate = Predicate::where(Note::Subtitle, CompareOp::Equal, QString(""));
        EXPECT_EQ(titles(context.fetch<Note>(empty)), (QStringList{"with"})) << "pass " << pass;
        // Ordering against an absent value matches nothing, as in SQL.
        FetchDescriptor less;
        less.predicate = Predicate::where(Note::Subtitle, CompareOp::Less, QStringLiteral("zzz"));
        EXPECT_EQ(titles(context.fetch<Note>(less)), (QStringList{"with"})) << "pass " << pass;
        ASSERT_FALSE(context.save());
    }
}

TEST_F(ModelContextTest, EditedObjectsAreMatchedOnTheirUnsavedValues)
{
    Note *a = context.insert(std::make_unique<Note>(QStringLiteral("a"), 1));
    Note *b = context.insert(std::make_unique<Note>(QStringLiteral("b"), 5));
    ASSERT_FALSE(context.save());
    FetchDescriptor small;
    small.predicate = Predicate::where(Note::Count, CompareOp::Less, 3);
    small.sortBy = {{Note::Count, SortOrder::Forward}};
    a->set(Note::Count, 10);
    b->set(Note::Count, 0);
    EXPECT_EQ(titles(context.fetch<Note>(small)), (QStringList{"b"}));
    ModelContext other(container.get());
    EXPECT_EQ(titles(other.fetch<Note>(small)), (QStringList{"a"}));
}

TEST_F(ModelContextTest, RollbackRestoresTheSavedState)
{
    Note *a = context.insert(std::make_unique<Note>(QStringLiteral("a"), 1));
    ASSERT_FALSE(context.save());
    a->set(Note::Title, QStringLiteral("changed"));
    Note *b = context.insert(std::make_unique<Note>(QStringLiteral("b"), 2));
    QSignalSpy spy(a, &PersistentModel::changed);
    context.rollback();
    EXPECT_EQ(a->title(), "a");
    EXPECT_EQ(spy.count(), 1);
    EXPECT_TRUE(b->isDeleted());
    EXPECT_FALSE(context.hasChanges());

    context.remove(a);
    context.rollback();
    EXPECT_FALSE(a->isDeleted());
    EXPECT_EQ(titles(context.fetch<Note>()), (QStringList{"a"}));
    EXPECT_FALSE(context.save());
}

TEST_F(ModelContextTest, WritingBackTheStoredValueIsNoChange)
{
    Note *a = context.insert(std::make_unique<Note>(QStringLiteral("a"), 1));
    ASSERT_FALSE(context.save());
    QSignalSpy spy(a, &PersistentModel::changed);
    a->set(Note::Title, QStringLiteral("a"));
    EXPECT_EQ(spy.count(), 1); // models notify on every write
    EXPECT_FALSE(context.hasChanges());
    a->set(Note::Title, QStringLiteral("b"));
    a->set(Note::Title, QStringLiteral("a"));
    EXPECT_FALSE(context.hasChanges());
}

TEST_F(ModelContextTest, FailedSaveWritesNothingAndKeepsEveryChange)
{
    Note *a = context.insert(std::make_unique<Note>(QStringLiteral("a"), 1));
    ASSERT_FALSE(context.save());
    a->set(Note::Title, QStringLiteral("edited"));
    Note *b = context.insert(std::make_unique<Note>(QStringLiteral("b"), 2));
    int calls = 0;
    container->setSaveFailureInjector([&]() -> std::optional<StoreError> {
        ++calls;
        return StoreError(StoreError::Code::SaveFailed, QStringLiteral("database or disk is full"));
    });
    const auto error = context.save();
    ASSERT_TRUE(error);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(error->code, StoreError::Code::SaveFailed);
    EXPECT_EQ(error->description(), "The journal could not be saved: database or disk is full");
    EXPECT_TRUE(context.hasChanges());
    EXPECT_EQ(b->rowId(), 0);
    ModelContext other(container.get());
    EXPECT_EQ(titles(other.fetch<Note>(byCount())), (QStringList{"a"}));

    container->setSaveFailureInjector({});
    ASSERT_FALSE(context.save());
    EXPECT_EQ(titles(other.fetch<Note>(byCount())), (QStringList{"edited", "b"}));
    container.reset();
    auto reopened = zn::test::openNotes(dir.path());
    ModelContext fresh(reopened.get());
    EXPECT_EQ(titles(fresh.fetch<Note>(byCount())), (QStringList{"edited", "b"}));
}

TEST_F(ModelContextTest, OperationsAfterTheContainerIsGoneFailCleanly)
{
    Note *a = context.insert(std::make_unique<Note>(QStringLiteral("a"), 1));
    container.reset();
    StoreError error;
    EXPECT_TRUE(context.fetch<Note>({}, &error).isEmpty());
    EXPECT_EQ(error.code, StoreError::Code::Closed);
    const auto saveError = context.save();
    ASSERT_TRUE(saveError);
    EXPECT_EQ(saveError->code, StoreError::Code::Closed);
    EXPECT_EQ(a->title(), "a");
}

TEST(ModelContextInMemory, WorksWithoutFiles)
{
    auto container = zn::test::openNotesInMemory();
    ASSERT_TRUE(container);
    ModelContext *context = container->mainContext();
    context->insert(std::make_unique<Note>(QStringLiteral("a")));
    EXPECT_FALSE(context->save());
    EXPECT_EQ(context->fetch<Note>().size(), 1);
    EXPECT_EQ(container->mainContext(), context);
}

// A fetch orders its rows after reading them; with a fetch limit SQLite
// orders them. Both must agree for every kind of key, ties, absent values,
// NaN and dates before 1970 included.
TEST_F(ModelContextTest, FetchOrderIsTheDatabasesOrderForEveryKindOfKey)
{
    std::mt19937 random(20261207);
    const auto pick = [&](int n) { return int(random() % unsigned(n)); };
    const QStringList words{QStringLiteral("apple"), QStringLiteral("Apple"), QStringLiteral("äpfel"),
                            QStringLiteral("\U0001F600 grin"), QStringLiteral("\uFFFD"), QString()};
    const QDateTime base(QDate(1969, 12, 31), QTime(23, 59, 59, 500), Qt::UTC);
    for (int i = 0; i < 240; ++i) {
        auto *note = context.insert(std::make_unique<Note>(words[pick(words.size())], qlonglong(pick(7) - 3)));
        note->set(Note::Flag, pick(2) == 1);
        const double scores[] = {0.5, -0.25, 0.0, std::nan(""), 1e300, -1e-300};
        note->set(Note::Score, scores[pick(6)]);
        if (pick(3) > 0)
            note->set(Note::Weight, double(pick(5)) / 4);
        note->set(Note::When, base.addMSecs(qint64(pick(9) - 4) * 250));
        if (pick(3) > 0)
            note->set(Note::Maybe, base.addDays(pick(4)));
    }
    ASSERT_FALSE(context.save().has_value());

    const QList<QList<SortDescriptor>> orders{
        {{Note::Count, SortOrder::Forward}},
        {{Note::When, SortOrder::Reverse}},
        {{Note::Maybe, SortOrder::Forward}},
        {{Note::Maybe, SortOrder::Reverse}, {Note::Count, SortOrder::Forward}},
        {{Note::Flag, SortOrder::Reverse}, {Note::When, SortOrder::Forward}},
        {{Note::Score, SortOrder::Forward}},
        {{Note::Weight, SortOrder::Reverse}, {Note::Title, SortOrder::Forward}},
        {{Note::Title, SortOrder::Reverse}},
    };
    for (const bool filtered : {false, true}) {
        for (const QList<SortDescriptor> &order : orders) {
            FetchDescriptor all;
            all.sortBy = order;
            if (filtered)
                all.predicate = Predicate::where(Note::Flag, CompareOp::Equal, true);
            // A fresh context each time, so no object is reused.
            ModelContext inMemory(container.get());
            const QList<Note *> ours = inMemory.fetch<Note>(all);
            FetchDescriptor limited = all;
            limited.fetchLimit = 1000;
            ModelContext bySql(container.get());
            const QList<Note *> theirs = bySql.fetch<Note>(limited);
            ASSERT_EQ(ours.size(), theirs.size());
            ASSERT_GT(ours.size(), 50);
            for (qsizetype i = 0; i < ours.size(); ++i)
                ASSERT_EQ(ours[i]->rowId(), theirs[i]->rowId()) << "key " << order.first().field << " row " << i;
        }
    }
}
