#include "JournalExchangeSupport.h"

#include "core/JournalQueries.h"
#include "platform/base/SystemLog.h"
#include "platform/model/ScriptedLanguageModel.h"
#include "reflections/CapabilityDetector.h"

#include <QJsonArray>

#include <ctime>
#include <functional>
#include <limits>

using namespace zn;
using namespace zn::test;

namespace {

JournalEntryExportDTO record(const QUuid &id, const QString &text)
{
    JournalEntryExportDTO r;
    r.id = id;
    r.timestamp = QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9), Qt::UTC);
    r.text = text;
    return r;
}

JournalExportDocument documentOf(const QList<JournalEntryExportDTO> &records)
{
    JournalExportDocument d;
    d.exportedAt = QDateTime::currentDateTimeUtc();
    d.entries = records;
    d.entryCount = int(records.size());
    return d;
}

class JournalMergeTest : public JournalStoreTest
{
protected:
    ImportResult merge(const QList<JournalEntryExportDTO> &records)
    {
        auto outcome = mergeJournalImport(documentOf(records), *m_context);
        if (auto *error = std::get_if<JournalImportError>(&outcome)) {
            ADD_FAILURE() << error->message().toStdString();
            return {};
        }
        return std::get<ImportResult>(outcome);
    }

    JournalEntry *stored(const QUuid &id)
    {
        m_readers.push_back(std::make_unique<ModelContext>(m_container.get()));
        return fetchEntry(*m_readers.back(), id);
    }
};

TEST_F(JournalMergeTest, NewRecordBecomesAFinishedEntryWithItsFields)
{
    JournalEntryExportDTO r = record(QUuid::createUuid(), QStringLiteral("  \n Morning pages.\t "));
    r.sentiment = 5.0; // kept as given
    r.duration = 31.5;
    r.keywords = QMap<QString, int>{{QStringLiteral("pages"), 2}};
    r.themes = QStringList{QStringLiteral("writing")};
    r.insight = QStringLiteral("You began gently.");
    r.insightEmotionalTone = QStringLiteral("calm");
    r.insightKeyPoints = QStringList{QStringLiteral("routine")};
    r.insightOverallSentiment = QStringLiteral("positive");
    r.insightClosingFocus = QStringLiteral("keep going");
    r.insightGeneratedAt = QDateTime(QDate(2024, 5, 6), QTime(8, 0), Qt::UTC);
    r.weatherLabel = QStringLiteral("Stormy"); // never read

    const ImportResult result = merge({r});
    EXPECT_EQ(result.added, 1);
    EXPECT_EQ(result.updated, 0);
    EXPECT_EQ(result.inFile, 1);
    EXPECT_TRUE(result.pending.isEmpty());

    JournalEntry *e = stored(r.id);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->rawText(), QStringLiteral("Morning pages."));
    EXPECT_EQ(e->timestamp(), r.timestamp);
    EXPECT_EQ(e->sentimentScore(), 5.0);
    EXPECT_EQ(e->duration(), 31.5);
    EXPECT_EQ(e->keywordFrequencies(), *r.keywords);
    EXPECT_FALSE(e->isDraft());
    EXPECT_FALSE(e->moodLabel().has_value());
    EXPECT_TRUE(e->tags().isEmpty());
    EXPECT_EQ(e->themes(), *r.themes);
    EXPECT_EQ(e->insightText(), r.insight);
    EXPECT_EQ(e->insightEmotionalTone(), r.insightEmotionalTone);
    EXPECT_EQ(e->insightKeyPoints(), *r.insightKeyPoints);
    EXPECT_EQ(e->insightOverallSentiment(), r.insightOverallSentiment);
    EXPECT_EQ(e->insightClosingFocus(), r.insightClosingFocus);
    EXPECT_EQ(e->insightGeneratedAt(), r.insightGeneratedAt);
    EXPECT_EQ(e->insightStatus(), InsightStatus::Ready);
    EXPECT_EQ(e->insightSchemaVersion(), 6);
}

TEST_F(JournalMergeTest, UnpairedSurrogatesFromTheFileAreStoredAsReplacementCharacters)
{
    // JSON escapes can spell half a surrogate pair; the file still parses.
    QByteArray file = toBytes(validDocument(1));
    file.replace("Record 0", "half \\ud83c pair");
    const JournalExportDocument doc = decodeOrFail(file);
    ASSERT_EQ(doc.entries.size(), 1);
    auto outcome = mergeJournalImport(doc, *m_context);
    ASSERT_TRUE(std::holds_alternative<ImportResult>(outcome));
    EXPECT_EQ(stored(doc.entries.first().id)->rawText(), QStringLiteral("half \uFFFD pair"));
}

TEST_F(JournalMergeTest, MatchOverwritesButKeepsMoodLabelTagsAndScore)
{
    JournalEntry *existing = seed(QStringLiteral("old text"));
    existing->setDuration(40.0);
    existing->setInsightStatus(InsightStatus::Failed);
    existing->setInsightFailureMessage(QStringLiteral("timed out"));
    ASSERT_FALSE(m_context->save());

    JournalEntryExportDTO r = record(existing->id(), QStringLiteral("new text"));
    r.insight = QStringLiteral("Now ready.");
    const ImportResult result = merge({r});
    EXPECT_EQ(result.updated, 1);
    EXPECT_EQ(result.added, 0);
    EXPECT_TRUE(result.pending.isEmpty()); // ready without a tone: schema 0, not queued

    JournalEntry *e = stored(existing->id());
    EXPECT_EQ(e->rawText(), QStringLiteral("new text"));
    EXPECT_FALSE(e->duration().has_value()); // absent clears it
    EXPECT_EQ(e->sentimentScore(), 0.0);      // absent reads 0
    EXPECT_TRUE(e->keywordFrequencies().isEmpty());
    EXPECT_EQ(e->moodLabel(), QStringLiteral("calm"));
    EXPECT_EQ(e->tags(), QStringList{QStringLiteral("home")});
    EXPECT_EQ(e->insightStatus(), InsightStatus::Ready);
    EXPECT_FALSE(e->insightFailureMessage().has_value());
    EXPECT_EQ(e->insightSchemaVersion(), 0);
    EXPECT_EQ(e->insightOverallScore(), 0.4); // left as it was
}

TEST_F(JournalMergeTest, BlankInsightResetsTheReflectionAndQueuesTheEntry)
{
    for (const QString &insight : {QString(), QStringLiteral(""), QStringLiteral(" \n\t")}) {
        JournalEntry *existing = seed(QStringLiteral("text"));
        existing->setInsightKeyPoints({QStringLiteral("k")});
        existing->setInsightGeneratedAt(QDateTime::currentDateTimeUtc());
        ASSERT_FALSE(m_context->save());
        JournalEntryExportDTO r = record(existing->id(), QStringLiteral("text"));
        if (!insight.isNull())
            r.insight = insight;
        r.insightEmotionalTone = QStringLiteral("tone");
        r.themes = QStringList{QStringLiteral("kept")};
        const ImportResult result = merge({r});
        EXPECT_EQ(result.pending, QList<QUuid>{existing->id()});

        JournalEntry *e = stored(existing->id());
        EXPECT_EQ(e->insightStatus(), InsightStatus::Pending);
        EXPECT_FALSE(e->insightText() || e->insightEmotionalTone() || e->insightOverallSentiment()
                     || e->insightClosingFocus() || e->insightOverallScore() || e->insightGeneratedAt());
        EXPECT_TRUE(e->insightKeyPoints().isEmpty());
        EXPECT_EQ(e->insightSchemaVersion(), 0);
        EXPECT_EQ(e->themes(), QStringList{QStringLiteral("kept")});
    }
}

TEST_F(JournalMergeTest, BlankTextsAreSkippedButCounted)
{
    JournalEntry *existing = seed(QStringLiteral("stays"));
    const QByteArray before = storeDump();
    const ImportResult result = merge({record(existing->id(), QStringLiteral(" \n ")),
                                       record(QUuid::createUuid(), QString()),
                                       record(QUuid::createUuid(), QStringLiteral("\u2003\u00a0\r\n"))});
    EXPECT_EQ(result.added + result.updated, 0);
    EXPECT_EQ(result.inFile, 3);
    EXPECT_EQ(storeDump(), before);
    EXPECT_EQ(importSummaryMessage(result), QStringLiteral("No changes — all 3 entries were already up to date."));
}

TEST_F(JournalMergeTest, SameIdTwiceInOneFileCountsTheEntryOnce)
{
    const QUuid id = QUuid::createUuid();
    JournalEntryExportDTO first = record(id, QStringLiteral("first"));
    JournalEntryExportDTO second = record(id, QStringLiteral("second"));
    ImportResult result = merge({first, second});
    EXPECT_EQ(result.added, 1);
    EXPECT_EQ(result.updated, 1);
    EXPECT_EQ(result.pending, QList<QUuid>{id}); // once, not twice
    EXPECT_EQ(stored(id)->rawText(), QStringLiteral("second"));
    EXPECT_EQ(fetchAllEntries(*m_context).size(), 1);

    // A later record that brings a reflection takes the entry off the list.
    const QUuid other = QUuid::createUuid();
    JournalEntryExportDTO bare = record(other, QStringLiteral("bare"));
    JournalEntryExportDTO ready = record(other, QStringLiteral("ready"));
    ready.insight = QStringLiteral("Reflected.");
    result = merge({bare, record(id, QStringLiteral("again")), ready});
    EXPECT_EQ(result.pending, QList<QUuid>{id});
    EXPECT_EQ(stored(other)->insightStatus(), InsightStatus::Ready);
    EXPECT_EQ(importSummaryMessage(result),
              QStringLiteral("Import complete: 1 added, 2 updated (3 in file). 1 will get reflections when the local "
                             "language model is available."));
}

TEST_F(JournalMergeTest, IdOfADraftIsSkippedLoggedAndTheDraftKept)
{
    JournalEntry *draft = seed(QStringLiteral("half a thought"), true);
    SystemLogCapture log;
    JournalEntryExportDTO r = record(draft->id(), QStringLiteral("imported"));
    const ImportResult result = merge({r, record(QUuid::createUuid(), QStringLiteral("other"))});
    EXPECT_EQ(result.added, 1);
    EXPECT_EQ(result.updated, 0);
    EXPECT_EQ(result.inFile, 2);

    StoreError error;
    int withId = 0;
    for (const JournalEntry *e : fetchAllEntries(*m_context, &error))
        withId += e->id() == draft->id();
    EXPECT_EQ(withId, 1);
    EXPECT_TRUE(draft->isDraft());
    EXPECT_EQ(draft->rawText(), QStringLiteral("half a thought"));
    QStringList skipped;
    for (const QString &line : log.lines())
        if (line.contains(draft->id().toString(QUuid::WithoutBraces).toUpper()))
            skipped.append(line);
    ASSERT_EQ(skipped.size(), 1);
    EXPECT_TRUE(skipped.first().startsWith(QStringLiteral("Zephyrnote: ")));
    EXPECT_FALSE(skipped.first().contains(QStringLiteral("imported"))); // no journal text in the log
}

TEST_F(JournalMergeTest, RefusedSaveLeavesStoreAndObjectsAsTheyWere)
{
    JournalEntry *a = seedFull(1);
    JournalEntry *b = seed(QStringLiteral("second"));
    const QByteArray before = storeDump();
    const QString aText = a->rawText();
    const auto aTimestamp = a->timestamp();
    const auto aDuration = a->duration();
    const QByteArray aKeywords = a->keywordFrequenciesData();
    const auto aStatus = a->insightStatusRaw();
    const auto bInsight = b->insightText();

    JournalEntryExportDTO ra = record(a->id(), QStringLiteral("overwritten"));
    JournalEntryExportDTO rb = record(b->id(), QStringLiteral("also"));
    const QUuid newId = QUuid::createUuid();
    refuseSaves();
    auto outcome = mergeJournalImport(documentOf({ra, rb, record(newId, QStringLiteral("new"))}), *m_context);
    ASSERT_TRUE(std::holds_alternative<JournalImportError>(outcome));
    const JournalImportError error = std::get<JournalImportError>(outcome);
    EXPECT_EQ(error.kind, JournalImportError::Kind::StoreFailed);
    EXPECT_TRUE(error.message().contains(QStringLiteral("disk full"))) << error.message().toStdString();

    // The context holds nothing a later save could write.
    EXPECT_FALSE(m_context->hasChanges());
    EXPECT_EQ(a->rawText(), aText);
    EXPECT_EQ(a->timestamp(), aTimestamp);
    EXPECT_EQ(a->duration(), aDuration);
    EXPECT_EQ(a->keywordFrequenciesData(), aKeywords);
    EXPECT_EQ(a->insightStatusRaw(), aStatus);
    EXPECT_EQ(b->insightText(), bInsight);
    EXPECT_EQ(fetchEntry(*m_context, newId), nullptr);
    allowSaves();
    EXPECT_FALSE(m_context->save());
    EXPECT_EQ(storeDump(), before);
}

TEST_F(JournalMergeTest, RefusedSaveKeepsOtherUnsavedWork)
{
    JournalEntry *editing = seed(QStringLiteral("being edited"));
    JournalEntry *imported = seed(QStringLiteral("will be imported"));
    editing->setRawText(QStringLiteral("unsaved edit"));
    imported->setMoodLabel(QStringLiteral("unsaved label"));
    refuseSaves();
    auto outcome = mergeJournalImport(documentOf({record(imported->id(), QStringLiteral("x"))}), *m_context);
    ASSERT_TRUE(std::holds_alternative<JournalImportError>(outcome));
    allowSaves();
    EXPECT_EQ(imported->rawText(), QStringLiteral("will be imported"));
    EXPECT_FALSE(m_context->save());
    EXPECT_EQ(stored(editing->id())->rawText(), QStringLiteral("unsaved edit"));
    EXPECT_EQ(stored(imported->id())->moodLabel(), QStringLiteral("unsaved label"));
    EXPECT_EQ(stored(imported->id())->rawText(), QStringLiteral("will be imported"));
}

// Identifiers Qt's own qHash(QUuid) maps to one value whatever its seed:
// the same counter in the first group and in the last four bytes.
QUuid collidingId(quint32 i)
{
    return QUuid(i, 0x1234, 0x4567, 0x89, 0xAB, 0xCD, 0xEF, uchar(i >> 24), uchar(i >> 16), uchar(i >> 8), uchar(i));
}

qint64 threadMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

TEST_F(JournalMergeTest, IdentifiersMadeToCollideMergeAsFastAsRandomOnes)
{
    // The same export imported into two stores and then again, the second
    // time matching every stored entry: finding the entries is all the work.
    // Timed generously (fastest of three, within twice plus 50 ms): a hash
    // that lets the file choose its collisions takes four times as long or
    // more. The thread's own processor time is measured, not the clock on
    // the wall, so other work on a busy machine does not count against it.
    constexpr int kRecords = 20'000;
    const auto timeReimport = [&](const std::function<QUuid(int)> &id) {
        QList<JournalEntryExportDTO> records;
        records.reserve(kRecords);
        for (int i = 0; i < kRecords; ++i) {
            JournalEntryExportDTO r = record(id(i), QStringLiteral("Entry %1 about the garden.").arg(i));
            r.insight = QStringLiteral("Calm.");
            records.append(r);
        }
        TempDir dir;
        auto store = makeStoreContainerIn(dir.path())->container;
        const JournalExportDocument document = documentOf(records);
        auto first = mergeJournalImport(document, *store->mainContext());
        EXPECT_EQ(std::get<ImportResult>(first).added, kRecords);
        qint64 fastest = std::numeric_limits<qint64>::max();
        for (int round = 0; round < 3; ++round) {
            const qint64 start = threadMilliseconds();
            auto again = mergeJournalImport(document, *store->mainContext());
            fastest = std::min(fastest, threadMilliseconds() - start);
            EXPECT_EQ(std::get<ImportResult>(again).updated, kRecords);
        }
        return fastest;
    };
    const qint64 random = timeReimport([](int) { return QUuid::createUuid(); });
    const qint64 colliding = timeReimport([](int i) { return collidingId(quint32(i)); });
    EXPECT_LE(colliding, 2 * random + 50) << "random " << random << " ms, colliding " << colliding << " ms";
}

TEST(ImportSummaryMessageTest, ShapesOfTheMessage)
{
    const QList<QUuid> one{QUuid::createUuid()};
    EXPECT_EQ(importSummaryMessage(3, 2, 5, one),
              QStringLiteral("Import complete: 3 added, 2 updated (5 in file). 1 will get reflections when the local "
                             "language model is available."));
    EXPECT_EQ(importSummaryMessage(0, 4, 4, {}), QStringLiteral("Import complete: 4 updated (4 in file)."));
    EXPECT_EQ(importSummaryMessage(2, 0, 7, {}), QStringLiteral("Import complete: 2 added (7 in file)."));
    EXPECT_EQ(importSummaryMessage(0, 0, 4, one), QStringLiteral("No changes — all 4 entries were already up to date."));
    EXPECT_EQ(importSummaryMessage(0, 0, 1, {}), QStringLiteral("No changes — all 1 entries were already up to date."));

    // While reflections cannot run, the detector's reason follows: the same
    // sentence the reflection cards and the settings give.
    lm::ScriptedLanguageModel model;
    model.setAddress(QStringLiteral("http://127.0.0.1:8080"));
    model.setUnavailable(lm::UnavailableReason::NoServer);
    CapabilityDetector detector(&model);
    detector.refresh();
    EXPECT_EQ(importSummaryMessage(2, 0, 2, one, &detector),
              QStringLiteral("Import complete: 2 added (2 in file). 1 will get reflections when the local language "
                             "model is available. No language model server is answering at http://127.0.0.1:8080. "
                             "Reflections start when a compatible server runs there. Journaling and mood analysis "
                             "still work."));
    EXPECT_EQ(importSummaryMessage(2, 0, 2, {}, &detector), QStringLiteral("Import complete: 2 added (2 in file)."));
    model.setAvailability(lm::Availability::yes());
    detector.refresh();
    EXPECT_EQ(importSummaryMessage(2, 0, 2, one, &detector), importSummaryMessage(2, 0, 2, one));
}

} // namespace
