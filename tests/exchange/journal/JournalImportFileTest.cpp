#include "JournalExchangeSupport.h"

#include "core/JournalQueries.h"
#include "core/WeeklyReflectionRecord.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>

#include <sys/stat.h>

#include <chrono>

using namespace zn;
using namespace zn::test;

namespace {

class JournalImportFileTest : public JournalStoreTest
{
protected:
    void SetUp() override
    {
        JournalStoreTest::SetUp();
        seedFull(1);
        seed(QStringLiteral("kept"));
        seed(QStringLiteral("draft"), true);
        seedWeekly(QStringLiteral("rolling7:2024-03-10"));
    }

    // The error an import of `bytes` gives, checking that the store and the
    // context were left alone.
    JournalImportError failingImport(const QByteArray &bytes, const char *what)
    {
        return failingImportOf(writeFile(QStringLiteral("bad.json"), bytes), what);
    }

    JournalImportError failingImportOf(const QString &path, const char *what)
    {
        const QByteArray before = storeDump();
        auto outcome = readJournalImportFile(path, *m_context);
        EXPECT_FALSE(m_context->hasChanges()) << what;
        EXPECT_EQ(storeDump(), before) << what;
        if (auto *error = std::get_if<JournalImportError>(&outcome))
            return *error;
        ADD_FAILURE() << "imported although it should not: " << what;
        return {};
    }

    ImportResult importOrFail(const QString &path)
    {
        auto outcome = readJournalImportFile(path, *m_context);
        if (auto *error = std::get_if<JournalImportError>(&outcome)) {
            ADD_FAILURE() << error->message().toStdString();
            return {};
        }
        return std::get<ImportResult>(outcome);
    }

    QByteArray exported()
    {
        auto encoded = encodeJournalExport(allEntries());
        EXPECT_TRUE(std::holds_alternative<QByteArray>(encoded));
        return std::get<QByteArray>(encoded);
    }
};

TEST_F(JournalImportFileTest, ChecksRunInOrderAndLeaveTheStoreAlone)
{
    using Kind = JournalImportError::Kind;
    QJsonObject v2 = validDocument(0);
    v2.insert(u"formatVersion", 2);
    JournalImportError error = failingImport(toBytes(v2), "version 2, no entries");
    EXPECT_EQ(error.kind, Kind::UnsupportedVersion);
    EXPECT_EQ(error.message(), QStringLiteral("Unsupported export format version 2."));

    QJsonObject v0 = validDocument(1);
    v0.insert(u"formatVersion", 0);
    EXPECT_EQ(failingImport(toBytes(v0), "version 0").message(), QStringLiteral("Unsupported export format version 0."));

    error = failingImport(toBytes(validDocument(0)), "no entries");
    EXPECT_EQ(error.kind, Kind::EmptyFile);
    EXPECT_EQ(error.message(), QStringLiteral("That file has no journal entries."));

    // A bad record fails the file even after good ones: nothing is merged.
    QJsonObject mixed = validDocument(3);
    QJsonArray entries = mixed.value(u"entries").toArray();
    QJsonObject last = entries.at(2).toObject();
    last.insert(u"timestamp", QStringLiteral("2024-03-01"));
    entries.replace(2, last);
    mixed.insert(u"entries", entries);
    error = failingImport(toBytes(mixed), "bad third record");
    EXPECT_EQ(error.kind, Kind::InvalidJSON);
    EXPECT_TRUE(error.detail.contains(QStringLiteral("entry 3"))) << error.detail.toStdString();
}

TEST_F(JournalImportFileTest, UnreadableFilesSayWhy)
{
    using Kind = JournalImportError::Kind;
    JournalImportError error = failingImportOf(m_dir.file(QStringLiteral("missing.json")), "missing file");
    EXPECT_EQ(error.kind, Kind::Unreadable);
    EXPECT_TRUE(error.message().startsWith(QStringLiteral("Couldn’t read file: ")));
    EXPECT_GT(error.detail.size(), 0);

    error = failingImportOf(m_dir.path(), "a folder");
    EXPECT_EQ(error.kind, Kind::Unreadable);

    // Far beyond any journal: refused before it is read in.
    const QString huge = m_dir.file(QStringLiteral("huge.json"));
    {
        QFile f(huge);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(100LL * 1024 * 1024));
    }
    error = failingImportOf(huge, "100 MB file");
    EXPECT_EQ(error.kind, Kind::Unreadable);
    EXPECT_TRUE(error.detail.contains(QStringLiteral("too large"))) << error.detail.toStdString();

    // Devices and pipes are not read at all: they could block or never end.
    error = failingImportOf(QStringLiteral("/dev/zero"), "endless device");
    EXPECT_EQ(error.kind, Kind::Unreadable);
    const QString fifo = m_dir.file(QStringLiteral("pipe.json"));
    ASSERT_EQ(mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    error = failingImportOf(fifo, "a named pipe nobody writes to");
    EXPECT_EQ(error.kind, Kind::Unreadable);
}

TEST_F(JournalImportFileTest, ExportThenImportIntoTheSameStoreUpdatesEveryEntry)
{
    JournalEntry *noReflection = seed(QStringLiteral("waiting"));
    noReflection->setInsightText(std::nullopt);
    noReflection->setInsightStatus(InsightStatus::Pending);
    JournalEntry *failed = seed(QStringLiteral("failed once"));
    failed->setInsightStatus(InsightStatus::Failed);
    ASSERT_FALSE(m_context->save());

    const ImportResult result = importOrFail(writeFile(QStringLiteral("round.json"), exported()));
    EXPECT_EQ(result.added, 0);
    EXPECT_EQ(result.updated, 4);
    EXPECT_EQ(result.inFile, 4);
    EXPECT_EQ(result.pending, QList<QUuid>{noReflection->id()});
    EXPECT_EQ(importSummaryMessage(result),
              QStringLiteral("Import complete: 4 updated (4 in file). 1 will get reflections when the local language "
                             "model is available."));
    EXPECT_EQ(failed->insightStatus(), InsightStatus::Ready); // had text under another status
}

// This program writes "Linux"; files written on the Mac say "macOS", and
// the value is never checked: any platform's file merges the same way.
TEST_F(JournalImportFileTest, FilesFromEveryPlatformImport)
{
    seed(QStringLiteral("here first"));
    ASSERT_FALSE(m_context->save());
    const int before = int(allEntries().size());
    const QByteArray ours = exported();
    ASSERT_EQ(QJsonDocument::fromJson(ours).object().value(u"platform").toString(), QStringLiteral("Linux"));
    const ImportResult back = importOrFail(writeFile(QStringLiteral("linux.json"), ours));
    EXPECT_EQ(back.added, 0);
    EXPECT_GE(back.updated, 1);
    EXPECT_EQ(allEntries().size(), before);

    int added = 0;
    for (const QString &platform : {QStringLiteral("macOS"), QStringLiteral("Windows"), QString()}) {
        QJsonObject other = validDocument(2);
        other.insert(u"platform", platform);
        const ImportResult result = importOrFail(writeFile(QStringLiteral("other.json"), toBytes(other)));
        // The same two records each time: added once, then updated.
        EXPECT_EQ(result.added + result.updated, 2) << platform.toStdString();
        added += result.added;
    }
    EXPECT_EQ(added, 2);
    EXPECT_EQ(allEntries().size(), before + 2);
}

TEST_F(JournalImportFileTest, ImportIntoAnEmptyStoreRecreatesEveryExportedField)
{
    seedFull(2);
    const QByteArray file = exported();
    const QList<const JournalEntry *> originals = allEntries();

    test::TempDir otherDir;
    StoreError storeError;
    auto other = makeStoreContainerIn(otherDir.path(), false, &storeError);
    ASSERT_TRUE(other);
    ModelContext &target = *other->container->mainContext();
    auto outcome = readJournalImportFile(writeFile(QStringLiteral("all.json"), file), target);
    ASSERT_TRUE(std::holds_alternative<ImportResult>(outcome));
    EXPECT_EQ(std::get<ImportResult>(outcome).added, 3);

    ModelContext reader(other->container.get());
    int compared = 0;
    for (const JournalEntry *o : originals) {
        if (o->isDraft())
            continue;
        const JournalEntry *c = fetchEntry(reader, o->id());
        ASSERT_TRUE(c);
        ++compared;
        EXPECT_EQ(c->timestamp().toSecsSinceEpoch(), o->timestamp().toSecsSinceEpoch());
        EXPECT_EQ(c->rawText(), o->rawText());
        EXPECT_EQ(c->duration(), o->duration());
        EXPECT_EQ(c->sentimentScore(), o->sentimentScore());
        EXPECT_EQ(c->keywordFrequencies(), o->keywordFrequencies());
        EXPECT_EQ(c->themes(), o->themes());
        EXPECT_EQ(c->insightText(), o->insightText());
        EXPECT_EQ(c->insightEmotionalTone(), o->insightEmotionalTone());
        EXPECT_EQ(c->insightKeyPoints(), o->insightKeyPoints());
        EXPECT_EQ(c->insightOverallSentiment(), o->insightOverallSentiment());
        EXPECT_EQ(c->insightClosingFocus(), o->insightClosingFocus());
        EXPECT_EQ(c->insightGeneratedAt().has_value(), o->insightGeneratedAt().has_value());
        if (c->insightGeneratedAt()) {
            EXPECT_EQ(c->insightGeneratedAt()->toSecsSinceEpoch(), o->insightGeneratedAt()->toSecsSinceEpoch());
        }
        EXPECT_EQ(c->insightStatus(), InsightStatus::Ready);
        EXPECT_EQ(c->insightSchemaVersion(), 6);
        EXPECT_FALSE(c->isDraft());
    }
    EXPECT_EQ(compared, 3);
    // The file carries entries only: the source's weekly reflection stays
    // behind and the target makes its own when its week is next reflected.
    EXPECT_FALSE(file.contains("rolling7:"));
    EXPECT_TRUE(fetchAllWeeklyRecords(reader).isEmpty());
}

TEST_F(JournalImportFileTest, ALeadingZeroWidthNoBreakSpaceSurvivesTheFileBothWays)
{
    // U+FEFF at the start of every text the file carries.
    const QString bom(QChar(0xFEFF));
    auto made = std::make_unique<JournalEntry>(QUuid::createUuid(), QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC),
                                               bom + QStringLiteral("Quiet start."), std::nullopt, 0.2,
                                               KeywordFrequencies{{bom + QStringLiteral("quiet"), 2}}, std::nullopt,
                                               QStringList{}, false);
    made->setThemes({bom + QStringLiteral("rest")});
    made->setInsightText(bom + QStringLiteral("A gentle day."));
    made->setInsightEmotionalTone(bom + QStringLiteral("calm"));
    made->setInsightKeyPoints({bom + QStringLiteral("slept")});
    made->setInsightOverallSentiment(bom + QStringLiteral("positive"));
    made->setInsightClosingFocus(bom + QStringLiteral("keep it"));
    made->setInsightStatus(InsightStatus::Ready);
    const QUuid id = m_context->insert(std::move(made))->id();
    ASSERT_FALSE(m_context->save());

    const auto expectLeadingMarks = [&](const JournalEntry *e, const char *where) {
        ASSERT_TRUE(e) << where;
        EXPECT_EQ(e->rawText(), bom + QStringLiteral("Quiet start.")) << where;
        EXPECT_EQ(e->keywordFrequencies(), (KeywordFrequencies{{bom + QStringLiteral("quiet"), 2}})) << where;
        EXPECT_EQ(e->themes(), QStringList{bom + QStringLiteral("rest")}) << where;
        EXPECT_EQ(e->insightText(), bom + QStringLiteral("A gentle day.")) << where;
        EXPECT_EQ(e->insightEmotionalTone(), bom + QStringLiteral("calm")) << where;
        EXPECT_EQ(e->insightKeyPoints(), QStringList{bom + QStringLiteral("slept")}) << where;
        EXPECT_EQ(e->insightOverallSentiment(), bom + QStringLiteral("positive")) << where;
        EXPECT_EQ(e->insightClosingFocus(), bom + QStringLiteral("keep it")) << where;
    };

    // Written escaped, never as the raw bytes a reader may take for a mark.
    const QByteArray file = exported();
    EXPECT_FALSE(file.contains("\xEF\xBB\xBF"));
    EXPECT_TRUE(file.contains("\"\\ufeffQuiet start.\"")) << file.toStdString();

    // Read back into an empty store.
    test::TempDir otherDir;
    auto other = makeStoreContainerIn(otherDir.path(), false);
    ASSERT_TRUE(other);
    auto outcome = readJournalImportFile(writeFile(QStringLiteral("marks.json"), file), *other->container->mainContext());
    ASSERT_TRUE(std::holds_alternative<ImportResult>(outcome));
    {
        ModelContext reader(other->container.get());
        expectLeadingMarks(fetchEntry(reader, id), "own file");
    }

    // A file from a writer that puts the character raw into its strings
    // (the other platform's), after a byte order mark of the file itself.
    QByteArray raw = file;
    raw.replace("\\ufeff", "\xEF\xBB\xBF");
    raw.prepend("\xEF\xBB\xBF");
    ASSERT_EQ(raw.count("\xEF\xBB\xBF"), 9);
    test::TempDir thirdDir;
    auto third = makeStoreContainerIn(thirdDir.path(), false);
    ASSERT_TRUE(third);
    outcome = readJournalImportFile(writeFile(QStringLiteral("raw.json"), raw), *third->container->mainContext());
    ASSERT_TRUE(std::holds_alternative<ImportResult>(outcome));
    ModelContext reader(third->container.get());
    expectLeadingMarks(fetchEntry(reader, id), "raw file");
    // Inside a text the character was always kept; it still is.
    raw.replace("\xEF\xBB\xBFQuiet start.", "Quiet\xEF\xBB\xBF start.");
    for (const JournalEntryExportDTO &r : decodeOrFail(raw).entries)
        EXPECT_EQ(r.text.count(bom), r.id == id ? 1 : 0);
}

TEST_F(JournalImportFileTest, RefusedSaveReportsAndKeepsNothing)
{
    const QString path = writeFile(QStringLiteral("ok.json"), toBytes(validDocument(3)));
    refuseSaves();
    const JournalImportError error = failingImportOf(path, "refused save");
    EXPECT_EQ(error.kind, JournalImportError::Kind::StoreFailed);
    EXPECT_TRUE(error.message().contains(QStringLiteral("disk full")));
    allowSaves();
    const QByteArray before = storeDump();
    EXPECT_FALSE(m_context->save());
    EXPECT_EQ(storeDump(), before);
}

// Random damage to valid files: every outcome is either a clean import or a
// typed error with the store untouched; nothing crashes or hangs.
TEST_F(JournalImportFileTest, SurvivesRandomlyDamagedFiles)
{
    const QList<QByteArray> seeds{exported(), toBytes(validDocument(3))};
    static const char *const fragments[] = {"null", "{", "}", "[", "]", "\"", ",", ":", "1.5", "-0", "1e999",
                                            "\"2024-02-30T00:00:00Z\"", "\\u0000", "\\ud800", "\xEF\xBB\xBF",
                                            "\"id\"", "true", "\xff", "    "};
    QRandomGenerator rng(20260407);
    // A fixed number of runs; the deadline only guards against a hang.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(100);
    int runs = 0;
    int imported = 0;
    QByteArray before = storeDump();
    while (std::chrono::steady_clock::now() < deadline && runs < 400) {
        QByteArray bytes = seeds[runs % seeds.size()];
        const int edits = 1 + int(rng.bounded(4));
        for (int i = 0; i < edits && !bytes.isEmpty(); ++i) {
            const int at = int(rng.bounded(bytes.size()));
            switch (rng.bounded(4)) {
            case 0: bytes[at] = char(rng.bounded(256)); break;
            case 1: bytes.remove(at, 1 + int(rng.bounded(8))); break;
            case 2: bytes.insert(at, fragments[rng.bounded(int(std::size(fragments)))]); break;
            default: bytes.truncate(at); break;
            }
        }
        auto outcome = readJournalImportFile(writeFile(QStringLiteral("fuzz.json"), bytes), *m_context);
        ASSERT_FALSE(m_context->hasChanges()) << "run " << runs;
        if (auto *error = std::get_if<JournalImportError>(&outcome)) {
            ASSERT_FALSE(error->message().isEmpty());
            ASSERT_EQ(storeDump(), before) << "run " << runs;
        } else {
            ++imported;
            before = storeDump();
        }
        ++runs;
    }
    EXPECT_EQ(runs, 400);
    RecordProperty("runs", runs);
    RecordProperty("imported", imported);
}

// ---- The flow through the open panel ---------------------------------------

TEST_F(JournalImportFileTest, FlowAsksForOneJsonFileAndMerges)
{
    FakeFilePanels panels;
    std::optional<std::variant<ImportResult, JournalImportError>> outcome;
    runJournalImport(*m_context, panels, [&](auto result) { outcome = std::move(result); });
    ASSERT_EQ(panels.openRequests().size(), 1);
    const OpenPanelRequest request = panels.openRequests().first();
    EXPECT_EQ(request.title, QStringLiteral("Import Journal"));
    EXPECT_EQ(request.message,
              QStringLiteral("Choose a Zephyrnote journal export (JSON). Entries merge by ID — nothing is uploaded."));
    EXPECT_EQ(request.prompt, QStringLiteral("Import"));
    ASSERT_EQ(request.fileTypes.size(), 1);
    EXPECT_EQ(request.fileTypes.first().extensions, QStringList{QStringLiteral("json")});
    EXPECT_FALSE(outcome.has_value()); // waits for the user

    ASSERT_TRUE(panels.answerNext(writeFile(QStringLiteral("in.json"), toBytes(validDocument(2)))));
    ASSERT_TRUE(outcome.has_value());
    ASSERT_TRUE(std::holds_alternative<ImportResult>(*outcome));
    EXPECT_EQ(std::get<ImportResult>(*outcome).added, 2);
}

TEST_F(JournalImportFileTest, FlowCancelIsItsOwnErrorAndTouchesNothing)
{
    FakeFilePanels panels;
    panels.scriptCancel();
    const QByteArray before = storeDump();
    std::optional<std::variant<ImportResult, JournalImportError>> outcome;
    runJournalImport(*m_context, panels, [&](auto result) { outcome = std::move(result); });
    ASSERT_TRUE(outcome.has_value());
    ASSERT_TRUE(std::holds_alternative<JournalImportError>(*outcome));
    const JournalImportError error = std::get<JournalImportError>(*outcome);
    EXPECT_EQ(error.kind, JournalImportError::Kind::Cancelled);
    EXPECT_EQ(error.message(), QStringLiteral("Import cancelled."));
    EXPECT_EQ(storeDump(), before);
}

TEST_F(JournalImportFileTest, FlowAnsweredAfterTheStoreClosedReportsIt)
{
    FakeFilePanels panels;
    auto context = std::make_unique<ModelContext>(m_container.get());
    std::optional<std::variant<ImportResult, JournalImportError>> outcome;
    runJournalImport(*context, panels, [&](auto result) { outcome = std::move(result); });
    context.reset();
    ASSERT_TRUE(panels.answerNext(writeFile(QStringLiteral("in.json"), toBytes(validDocument(1)))));
    ASSERT_TRUE(outcome.has_value());
    ASSERT_TRUE(std::holds_alternative<JournalImportError>(*outcome));
    EXPECT_EQ(std::get<JournalImportError>(*outcome).kind, JournalImportError::Kind::StoreFailed);
}

} // namespace
