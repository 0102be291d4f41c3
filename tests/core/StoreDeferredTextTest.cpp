// A large fetch leaves the entries' long texts in the store until they are
// read. Whatever happens meanwhile (edits here or elsewhere, deletions),
// reading one must give what a full fetch would have given.
#include "core/JournalQueries.h"
#include "core/JournalSchema.h"
#include "core/StoreFactory.h"
#include "platform/store/FieldValues.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <gtest/gtest.h>

using namespace zn;

namespace {

constexpr int kEntries = 400; // past the point where a fetch reads rows in bulk

QString textOf(int i)
{
    return QStringLiteral("Entry number %1, written on a quiet evening. ").arg(i).repeated(1 + i % 5);
}

class StoreDeferredTextTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        auto made = makeStoreContainerIn(dir.path());
        ASSERT_TRUE(made);
        container = made->container;
        ModelContext writer(container.get());
        for (int i = 0; i < kEntries; ++i) {
            auto e = std::make_unique<JournalEntry>(QUuid::createUuid(), QDateTime::fromSecsSinceEpoch(1'700'000'000 + i * 3600),
                                                    textOf(i), std::nullopt, 0.0, KeywordFrequencies{{QStringLiteral("rain"), 1}},
                                                    std::nullopt, QStringList{}, false);
            e->setInsightText(QStringLiteral("Reflection %1").arg(i));
            e->setThemes({QStringLiteral("theme %1").arg(i)});
            writer.insert(std::move(e));
        }
        ASSERT_FALSE(writer.save());
    }

    // Oldest first, so entry i holds textOf(i).
    QList<JournalEntry *> fetchAll(ModelContext &context)
    {
        FetchDescriptor d;
        d.sortBy = {{JournalEntry::Timestamp, SortOrder::Forward}};
        return context.fetch<JournalEntry>(d);
    }

    test::TempDir dir;
    std::shared_ptr<ModelContainer> container;
};

// Runs statements on a store file through a connection of its own.
class RawStore
{
public:
    explicit RawStore(const QString &path)
    {
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        m_db.setDatabaseName(path);
        m_db.open();
    }
    ~RawStore()
    {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
    }
    bool run(const QString &sql)
    {
        QSqlQuery q(m_db);
        const bool ok = q.exec(sql);
        EXPECT_TRUE(ok) << sql.toStdString() << ": " << q.lastError().text().toStdString();
        return ok;
    }
    QStringList columns(const QString &table)
    {
        QSqlQuery q(m_db);
        q.exec(QStringLiteral("PRAGMA table_info(\"%1\")").arg(table));
        QStringList names;
        while (q.next())
            names.append(q.value(1).toString());
        return names;
    }
    qint64 number(const QString &sql)
    {
        QSqlQuery q(m_db);
        return q.exec(sql) && q.next() ? q.value(0).toLongLong() : -1;
    }

private:
    QString m_name = QStringLiteral("raw-%1").arg(quintptr(this));
    QSqlDatabase m_db;
};

// Puts every field of the entries back into one table, as stores were
// written before long fields had a table of their own, with a highest key
// ever given above the last row's.
void writeAsOneTable(const QString &storeFile, qint64 sequence)
{
    const EntityDescriptor &entity = JournalEntry::entityDescriptor();
    QStringList definitions{QStringLiteral("pk INTEGER PRIMARY KEY AUTOINCREMENT")};
    QStringList names{QStringLiteral("pk")};
    QStringList sources{QStringLiteral("r.pk")};
    for (const FieldDescriptor &f : entity.fields) {
        definitions.append(QStringLiteral("\"%1\" %2").arg(f.name, store::columnType(f.type)));
        names.append(QStringLiteral("\"%1\"").arg(f.name));
        sources.append(QStringLiteral("%1.\"%2\"").arg(f.deferred ? QStringLiteral("l") : QStringLiteral("r"), f.name));
    }
    RawStore raw(storeFile);
    raw.run(QStringLiteral("BEGIN"));
    raw.run(QStringLiteral("CREATE TABLE wide (%1)").arg(definitions.join(QStringLiteral(", "))));
    raw.run(QStringLiteral("INSERT INTO wide (%1) SELECT %2 FROM \"JournalEntry\" AS r "
                           "LEFT JOIN zn_long_JournalEntry AS l ON l.pk = r.pk")
                .arg(names.join(QStringLiteral(", ")), sources.join(QStringLiteral(", "))));
    raw.run(QStringLiteral("DROP TABLE \"JournalEntry\""));
    raw.run(QStringLiteral("DROP TABLE zn_long_JournalEntry"));
    raw.run(QStringLiteral("ALTER TABLE wide RENAME TO \"JournalEntry\""));
    raw.run(QStringLiteral("CREATE INDEX \"JournalEntry_id\" ON \"JournalEntry\" (\"id\")"));
    raw.run(QStringLiteral("CREATE INDEX \"JournalEntry_timestamp\" ON \"JournalEntry\" (\"timestamp\")"));
    raw.run(QStringLiteral("UPDATE sqlite_sequence SET seq = %1 WHERE name = 'JournalEntry'").arg(sequence));
    raw.run(QStringLiteral("COMMIT"));
}

struct EntryRecord
{
    QUuid id;
    QDateTime timestamp;
    QString text;
    std::optional<QString> insight;
    QStringList themes;
    double score = 0;
    KeywordFrequencies keywords;
    bool operator==(const EntryRecord &) const = default;
};

QList<EntryRecord> recordsOf(const QList<JournalEntry *> &entries)
{
    QList<EntryRecord> out;
    for (JournalEntry *e : entries)
        out.append({e->id(), e->timestamp(), e->rawText(), e->insightText(), e->themes(), e->sentimentScore(),
                    e->keywordFrequencies()});
    return out;
}

} // namespace

TEST_F(StoreDeferredTextTest, TextsReadLateAreTheStoredOnes)
{
    ModelContext views(container.get());
    const QList<JournalEntry *> entries = fetchAll(views);
    ASSERT_EQ(entries.size(), kEntries);
    EXPECT_TRUE(entries[0]->hasUnreadFields());
    EXPECT_EQ(entries[0]->sentimentScore(), 0.0); // short fields are there at once
    EXPECT_TRUE(entries[0]->hasUnreadFields());
    // From the middle first, then everything, in no helpful order.
    EXPECT_EQ(entries[200]->rawText(), textOf(200));
    EXPECT_FALSE(entries[201]->hasUnreadFields()); // read along with it
    EXPECT_TRUE(entries[199]->hasUnreadFields());
    for (int i = kEntries - 1; i >= 0; i -= 7)
        EXPECT_EQ(entries[i]->rawText(), textOf(i)) << i;
    for (int i = 0; i < kEntries; ++i) {
        EXPECT_EQ(entries[i]->rawText(), textOf(i)) << i;
        EXPECT_EQ(entries[i]->insightText(), QStringLiteral("Reflection %1").arg(i)) << i;
        EXPECT_EQ(entries[i]->themes(), QStringList{QStringLiteral("theme %1").arg(i)}) << i;
        EXPECT_EQ(entries[i]->moodLabel(), std::nullopt);
    }
    // A predicate on a long text, matched in the store and in memory alike.
    FetchDescriptor byText;
    byText.predicate = Predicate::where(JournalEntry::RawText, CompareOp::Equal, textOf(17));
    EXPECT_EQ(views.fetch<JournalEntry>(byText), QList<JournalEntry *>{entries[17]});
}

TEST_F(StoreDeferredTextTest, WritesBeforeAndAfterReadingAreSavedAndMergedRightly)
{
    ModelContext views(container.get());
    ModelContext worker(container.get());
    const QList<JournalEntry *> shown = fetchAll(views);
    const QList<JournalEntry *> working = fetchAll(worker);

    // A short field written first, then a long one cleared: the clearing is
    // a change from the stored text, not from the blank held before reading.
    shown[7]->setSentimentScore(0.25);
    shown[7]->setInsightText(std::nullopt);
    EXPECT_TRUE(shown[7]->hasChanges());
    // Written here before ever being read: saved, and the other long texts
    // of the row stay as stored.
    shown[3]->setRawText(QStringLiteral("rewritten"));
    // Setting the stored value back is no change at all.
    shown[4]->setRawText(textOf(4));
    EXPECT_FALSE(shown[4]->hasChanges());
    // Written elsewhere while not read here: the fresh text is what shows.
    working[5]->setRawText(QStringLiteral("changed elsewhere"));
    working[6]->setSentimentScore(0.5);
    // An unsaved edit here survives another context's save of the same row.
    shown[6]->setInsightText(QStringLiteral("mine"));
    ASSERT_FALSE(worker.save());
    ASSERT_FALSE(views.save());

    EXPECT_EQ(shown[5]->rawText(), QStringLiteral("changed elsewhere"));
    EXPECT_EQ(shown[6]->sentimentScore(), 0.5);
    EXPECT_EQ(working[6]->insightText(), QStringLiteral("mine"));
    EXPECT_EQ(working[3]->rawText(), QStringLiteral("rewritten"));

    ModelContext fresh(container.get());
    const QList<JournalEntry *> stored = fetchAll(fresh);
    EXPECT_EQ(stored[3]->rawText(), QStringLiteral("rewritten"));
    EXPECT_EQ(stored[3]->insightText(), QStringLiteral("Reflection 3"));
    EXPECT_EQ(stored[4]->rawText(), textOf(4));
    EXPECT_EQ(stored[5]->rawText(), QStringLiteral("changed elsewhere"));
    EXPECT_EQ(stored[6]->rawText(), textOf(6));
    EXPECT_EQ(stored[6]->insightText(), QStringLiteral("mine"));
    EXPECT_EQ(stored[7]->insightText(), std::nullopt);
    EXPECT_EQ(stored[7]->sentimentScore(), 0.25);
}

TEST_F(StoreDeferredTextTest, EntryDeletedElsewhereStillReadsItsText)
{
    ModelContext views(container.get());
    ModelContext worker(container.get());
    const QList<JournalEntry *> shown = fetchAll(views);
    worker.remove(fetchAll(worker)[250]);
    ASSERT_FALSE(worker.save());
    EXPECT_TRUE(shown[250]->isDeleted());
    EXPECT_EQ(shown[250]->rawText(), textOf(250));
    EXPECT_EQ(shown[251]->rawText(), textOf(251));
}

TEST_F(StoreDeferredTextTest, ShortFieldsOfAnUnreadEntryAreTheStoredOnes)
{
    ModelContext views(container.get());
    const QList<JournalEntry *> entries = fetchAll(views);
    ASSERT_EQ(entries.size(), kEntries);
    const EntityDescriptor &entity = JournalEntry::entityDescriptor();
    // Every short field read while the long ones wait in the store, then
    // again once they are in: each sits where it belongs either way.
    for (int i : {kEntries - 1, 150, 1, 0}) { // reading one reads those after it
        JournalEntry *e = entries[i];
        ASSERT_TRUE(e->hasUnreadFields()) << i;
        EXPECT_EQ(e->timestamp(), QDateTime::fromSecsSinceEpoch(1'700'000'000 + i * 3600)) << i;
        EXPECT_EQ(e->keywordFrequencies(), (KeywordFrequencies{{QStringLiteral("rain"), 1}})) << i;
        EXPECT_FALSE(e->isDraft());
        EXPECT_EQ(e->duration(), std::nullopt);
        QList<QVariant> before;
        for (int f = 0; f < entity.fields.size(); ++f) {
            if (!entity.fields[f].deferred)
                before.append(e->value(f));
        }
        ASSERT_TRUE(e->hasUnreadFields()) << i;
        EXPECT_EQ(e->rawText(), textOf(i));
        QList<QVariant> after;
        for (int f = 0; f < entity.fields.size(); ++f) {
            if (!entity.fields[f].deferred)
                after.append(e->value(f));
        }
        EXPECT_EQ(before, after) << i;
    }
    // A short field written before the long ones are read keeps its place
    // among them.
    entries[300]->setIsDraft(true);
    EXPECT_EQ(entries[300]->timestamp(), QDateTime::fromSecsSinceEpoch(1'700'000'000 + 300 * 3600));
    EXPECT_EQ(entries[300]->rawText(), textOf(300));
    ASSERT_FALSE(views.save());
    ModelContext fresh(container.get());
    const QList<JournalEntry *> again = fetchAll(fresh);
    EXPECT_TRUE(again[300]->isDraft());
    EXPECT_EQ(recordsOf(again), recordsOf(entries));
    // Ordered by a short field that comes after long ones.
    FetchDescriptor draftsFirst;
    draftsFirst.sortBy = {{JournalEntry::IsDraft, SortOrder::Reverse}, {JournalEntry::Timestamp, SortOrder::Forward}};
    ModelContext sorted(container.get());
    const QList<JournalEntry *> byDraft = sorted.fetch<JournalEntry>(draftsFirst);
    ASSERT_EQ(byDraft.size(), kEntries);
    EXPECT_EQ(byDraft[0]->rawText(), textOf(300));
    EXPECT_EQ(byDraft[1]->rawText(), textOf(0));
    EXPECT_EQ(byDraft[kEntries - 1]->rawText(), textOf(kEntries - 1));
}

// A store written when every field lived in one table: it opens with every
// entry whole, once and for all split, keeping the keys it had given.
TEST_F(StoreDeferredTextTest, StoreWrittenInOneTableOpensWithEverythingAndIsSplitOnce)
{
    QList<EntryRecord> written;
    {
        ModelContext reader(container.get());
        written = recordsOf(fetchAll(reader));
    }
    const QString storeFile = dir.file(QStringLiteral("default.store"));
    container.reset();
    writeAsOneTable(storeFile, 5000);
    const QString asItWas = dir.file(QStringLiteral("as-it-was.sqlite"));
    ASSERT_TRUE(QFile::copy(storeFile, asItWas));

    // While another program holds the store, it is left exactly as it was.
    {
        RawStore other(storeFile);
        other.run(QStringLiteral("BEGIN IMMEDIATE"));
        StoreError error;
        EXPECT_FALSE(makeStoreContainerIn(dir.path(), &error));
        EXPECT_EQ(error.code, StoreError::Code::Busy) << error.message.toStdString();
        other.run(QStringLiteral("ROLLBACK"));
        EXPECT_TRUE(other.columns(QStringLiteral("JournalEntry")).contains(QStringLiteral("rawText")));
    }

    for (int open = 0; open < 2; ++open) {
        auto made = makeStoreContainerIn(dir.path());
        ASSERT_TRUE(made) << open;
        ModelContext context(made->container.get());
        const QList<JournalEntry *> entries = fetchAll(context);
        EXPECT_EQ(recordsOf(entries), written) << open;
        // A predicate on a long text still finds its row.
        FetchDescriptor byText;
        byText.predicate = Predicate::where(JournalEntry::RawText, CompareOp::Equal, textOf(17));
        EXPECT_EQ(context.fetch<JournalEntry>(byText), QList<JournalEntry *>{entries[17]});
        if (open == 0) {
            context.insert(std::make_unique<JournalEntry>(QUuid::createUuid(), QDateTime::currentDateTimeUtc(),
                                                          QStringLiteral("after the move"), std::nullopt, 0.1,
                                                          KeywordFrequencies{}, std::nullopt, QStringList{}, false));
            ASSERT_FALSE(context.save());
            written = recordsOf(fetchAll(context));
        }
    }
    RawStore raw(storeFile);
    EXPECT_FALSE(raw.columns(QStringLiteral("JournalEntry")).contains(QStringLiteral("rawText")));
    EXPECT_TRUE(raw.columns(QStringLiteral("zn_long_JournalEntry")).contains(QStringLiteral("rawText")));
    EXPECT_EQ(raw.number(QStringLiteral("SELECT max(pk) FROM \"JournalEntry\"")), 5001); // no key given twice
    EXPECT_EQ(raw.number(QStringLiteral("SELECT count(*) FROM zn_long_JournalEntry")), kEntries + 1);
    EXPECT_EQ(raw.number(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name LIKE 'JournalEntry_%' AND type = 'index'")), 2);

    // A damaged store of the old kind gives up its rows whole as well.
    test::TempDir other;
    auto salvaged = makeStoreContainerIn(other.path());
    ASSERT_TRUE(salvaged);
    EXPECT_EQ(salvaged->container->salvageRowsFrom(asItWas).value(QStringLiteral("JournalEntry")), kEntries);
    ModelContext context(salvaged->container.get());
    const QList<JournalEntry *> rescued = fetchAll(context);
    ASSERT_EQ(rescued.size(), kEntries);
    EXPECT_EQ(rescued[42]->rawText(), textOf(42));
    EXPECT_EQ(rescued[42]->insightText(), QStringLiteral("Reflection 42"));
}

TEST_F(StoreDeferredTextTest, DeletedAndRewrittenEntriesLeaveNoLongFieldsBehind)
{
    {
        ModelContext context(container.get());
        const QList<JournalEntry *> entries = fetchAll(context);
        for (int i = 0; i < 10; ++i)
            context.remove(entries[i]);
        entries[20]->setRawText(QStringLiteral("only the text"));   // long field alone
        entries[21]->setSentimentScore(0.75);                       // short field alone
        entries[22]->setInsightText(std::nullopt);
        entries[22]->setSentimentScore(-0.5);                       // both
        ASSERT_FALSE(context.save());
    }
    RawStore raw(dir.file(QStringLiteral("default.store")));
    EXPECT_EQ(raw.number(QStringLiteral("SELECT count(*) FROM zn_long_JournalEntry")), kEntries - 10);
    EXPECT_EQ(raw.number(QStringLiteral("SELECT count(*) FROM zn_long_JournalEntry WHERE pk NOT IN (SELECT pk FROM \"JournalEntry\")")), 0);
    ModelContext fresh(container.get());
    const QList<JournalEntry *> entries = fetchAll(fresh);
    ASSERT_EQ(entries.size(), kEntries - 10);
    EXPECT_EQ(entries[10]->rawText(), QStringLiteral("only the text"));
    EXPECT_EQ(entries[11]->sentimentScore(), 0.75);
    EXPECT_EQ(entries[11]->rawText(), textOf(21));
    EXPECT_EQ(entries[12]->insightText(), std::nullopt);
    EXPECT_EQ(entries[12]->sentimentScore(), -0.5);
    EXPECT_EQ(entries[12]->themes(), QStringList{QStringLiteral("theme 22")});
}
