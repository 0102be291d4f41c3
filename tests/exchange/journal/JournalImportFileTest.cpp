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

// Files written on the Mac say "macOS" where this program writes "Linux";
// the value is never checked: any platform's file merges the same way.
TEST_F(JournalImportFileTest, FilesFromEveryPlatformImport)
{
    const int before = int(allEntries().size());
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
    auto other = makeStoreContainerIn(otherDir.path(), &storeError);
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
    const QString mark(QChar(0xFEFF));
    JournalEntry *entry = seedFull(2);
    entry->setRawText(mark + entry->rawText());
    entry->setKeywordFrequencies({{mark + QStringLiteral("quiet"), 2}});
    entry->setThemes({mark + QStringLiteral("rest")});
    entry->setInsightText(mark + QStringLiteral("A gentle day."));
    entry->setInsightEmotionalTone(mark + QStringLiteral("calm"));
    entry->setInsightKeyPoints({mark + QStringLiteral("slept")});
    entry->setInsightOverallSentiment(mark + QStringLiteral("positive"));
    entry->setInsightClosingFocus(mark + QStringLiteral("keep it"));
    ASSERT_FALSE(m_context->save());

    // Written escaped, never as the raw bytes a reader may take for the
    // file's byte order mark.
    const QByteArray file = exported();
    EXPECT_FALSE(file.contains("\xEF\xBB\xBF"));
    EXPECT_EQ(file.count("\\ufeff"), 8) << file.toStdString();
    const auto entriesOf = [](const QByteArray &bytes) { return QJsonDocument::fromJson(bytes).object().value(u"entries"); };

    // Read into an empty store, every text as written: from this file, and
    // from one of a writer that puts the character raw into its strings
    // (the other platform's) after a byte order mark of the file itself.
    QByteArray raw = file;
    raw.replace("\\ufeff", "\xEF\xBB\xBF").prepend("\xEF\xBB\xBF");
    for (const QByteArray &bytes : {file, raw}) {
        test::TempDir dir;
        auto other = makeStoreContainerIn(dir.path());
        ASSERT_TRUE(std::holds_alternative<ImportResult>(
            readJournalImportFile(writeFile(QStringLiteral("marks.json"), bytes), *other->container->mainContext())));
        const auto back = fetchAllEntries(*other->container->mainContext());
        const auto again = encodeJournalExport(QList<const JournalEntry *>(back.begin(), back.end()));
        EXPECT_EQ(entriesOf(std::get<QByteArray>(again)), entriesOf(file));
    }
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
    // The file is read and merged off this thread; the answer comes back here.
    ASSERT_TRUE(waitUntil([&] { return outcome.has_value(); }));
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
