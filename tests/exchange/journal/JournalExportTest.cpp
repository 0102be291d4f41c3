#include "JournalExchangeSupport.h"

#include "core/CalendarProvider.h"
#include "core/JournalQueries.h"
#include "exchange/JournalImport.h"

#include <QDir>

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <csignal>

#include <cmath>
#include <limits>

using namespace zn;
using namespace zn::test;

namespace {

const QDateTime kNow = QDateTime::fromMSecsSinceEpoch(1'710'064'800'999, Qt::UTC); // 2024-03-10T10:00:00.999Z

QByteArray encodeOrFail(const QList<const JournalEntry *> &entries)
{
    auto encoded = encodeJournalExport(entries, kNow);
    if (auto *error = std::get_if<JournalExportError>(&encoded)) {
        ADD_FAILURE() << error->message().toStdString();
        return {};
    }
    return std::get<QByteArray>(encoded);
}

// Keys at one depth of the indented output, in the order the bytes hold
// them (2 spaces a level: the document at 2, a record at 6).
QStringList keysAtIndent(const QByteArray &json, int spaces)
{
    QStringList keys;
    const QRegularExpression key(QStringLiteral("\n {%1}\"([A-Za-z]+)\"\\s*:").arg(spaces));
    auto it = key.globalMatch(QString::fromUtf8(json));
    while (it.hasNext())
        keys.append(it.next().captured(1));
    return keys;
}

class JournalExportTest : public JournalStoreTest
{
};

TEST_F(JournalExportTest, WritesEveryFieldUnderItsKeyInSortedOrder)
{
    JournalEntry *full = seedFull(1);
    full->setTimestamp(QDateTime::fromMSecsSinceEpoch(1'600'000'000'987, Qt::UTC));
    const QByteArray json = encodeOrFail({full});

    EXPECT_EQ(keysAtIndent(json, 2),
              (QStringList{"app", "entries", "entryCount", "exportedAt", "formatVersion", "platform"}));
    EXPECT_EQ(keysAtIndent(json, 6),
              (QStringList{"duration", "id", "insight", "insightClosingFocus", "insightEmotionalTone",
                           "insightGeneratedAt", "insightKeyPoints", "insightOverallSentiment", "keywords", "sentiment",
                           "text", "themes", "timestamp", "weatherLabel"}));

    const QJsonObject doc = QJsonDocument::fromJson(json).object();
    EXPECT_EQ(doc.value(u"app").toString(), "Zephyrnote");
    EXPECT_EQ(doc.value(u"platform").toString(), "Linux");
    EXPECT_EQ(doc.value(u"formatVersion").toInt(), 1);
    EXPECT_EQ(doc.value(u"entryCount").toInt(), 1);
    EXPECT_EQ(doc.value(u"exportedAt").toString(), "2024-03-10T10:00:00Z"); // .999 dropped, not rounded
    const QJsonObject r = doc.value(u"entries").toArray().at(0).toObject();
    EXPECT_EQ(r.value(u"id").toString(), full->id().toString(QUuid::WithoutBraces).toUpper());
    EXPECT_EQ(r.value(u"timestamp").toString(), "2020-09-13T12:26:40Z");
    EXPECT_EQ(r.value(u"text").toString(), full->rawText());
    EXPECT_EQ(r.value(u"duration").toDouble(), 12.75);
    EXPECT_EQ(r.value(u"keywords").toObject(), (QJsonObject{{"rain", 3}, {"ćwierć", 1}}));
    EXPECT_EQ(r.value(u"themes").toArray(), (QJsonArray{"work", "Sleep"}));
    EXPECT_EQ(r.value(u"insightKeyPoints").toArray(), (QJsonArray{"one", "two"}));
    EXPECT_EQ(r.value(u"insightGeneratedAt").toString(), "2020-09-13T12:28:21Z");
    EXPECT_EQ(r.value(u"weatherLabel").toString(), "Rainy"); // -0.35
    // Never exported.
    for (const char *key : {"moodLabel", "tags", "isDraft", "insightStatusRaw", "insightFailureMessage",
                            "insightOverallScore", "insightSchemaVersion"})
        EXPECT_FALSE(r.contains(QLatin1String(key))) << key;
}

TEST_F(JournalExportTest, OmitsAbsentOptionalsAndWritesEmptyCollections)
{
    auto bare = std::make_unique<JournalEntry>(QUuid::createUuid(), kNow, QStringLiteral("  kept as stored \n"),
                                               std::nullopt, 0.0, KeywordFrequencies{}, std::nullopt, QStringList{},
                                               false);
    bare->setKeywordFrequenciesData("not json"); // unreadable reads as empty
    JournalEntry *e = m_context->insert(std::move(bare));
    const QByteArray json = encodeOrFail({e});
    EXPECT_FALSE(json.contains("null"));
    const QJsonObject r = QJsonDocument::fromJson(json).object().value(u"entries").toArray().at(0).toObject();
    EXPECT_EQ(r.keys(), (QStringList{"id", "insightKeyPoints", "keywords", "sentiment", "text", "themes", "timestamp",
                                     "weatherLabel"}));
    EXPECT_EQ(r.value(u"keywords").toObject(), QJsonObject());
    EXPECT_EQ(r.value(u"themes").toArray(), QJsonArray());
    EXPECT_EQ(r.value(u"text").toString(), "  kept as stored \n");

    // An empty insight text is a value and is written.
    e->setInsightText(QStringLiteral(""));
    const QJsonObject again = QJsonDocument::fromJson(encodeOrFail({e})).object().value(u"entries").toArray()
                                  .at(0).toObject();
    ASSERT_TRUE(again.contains(u"insight"));
    EXPECT_EQ(again.value(u"insight").toString(), "");
}

TEST_F(JournalExportTest, DatesAreUtcWholeSecondsWhateverTheZone)
{
    JournalEntry *e = seed(QStringLiteral("zone"));
    // 00:30:59.999 in UTC+05:30 is 19:00:59 UTC the day before.
    e->setTimestamp(QDateTime(QDate(2024, 1, 1), QTime(0, 30, 59, 999), QTimeZone(5 * 3600 + 1800)));
    // Before 1970 the fraction still falls to the second below.
    e->setInsightGeneratedAt(QDateTime::fromMSecsSinceEpoch(-1, Qt::UTC));
    const QJsonObject r = QJsonDocument::fromJson(encodeOrFail({e})).object().value(u"entries").toArray()
                              .at(0).toObject();
    EXPECT_EQ(r.value(u"timestamp").toString(), "2023-12-31T19:00:59Z");
    EXPECT_EQ(r.value(u"insightGeneratedAt").toString(), "1969-12-31T23:59:59Z");
}

TEST_F(JournalExportTest, WeatherLabelBandsAtTheirEdges)
{
    const QList<QPair<double, QString>> cases{{0.6, "Sunny"},   {0.2, "Partly cloudy"}, {0.19999, "Overcast"},
                                              {-0.2, "Overcast"}, {-0.6, "Rainy"},        {-0.61, "Stormy"}};
    for (const auto &[score, label] : cases) {
        JournalEntry *e = seed(QStringLiteral("band"));
        e->setSentimentScore(score);
        const QJsonObject r = QJsonDocument::fromJson(encodeOrFail({e})).object().value(u"entries").toArray()
                                  .at(0).toObject();
        EXPECT_EQ(r.value(u"weatherLabel").toString(), label) << score;
    }
}

TEST_F(JournalExportTest, DraftsAreLeftOutAndNotCounted)
{
    JournalEntry *a = seed(QStringLiteral("first"));
    seed(QStringLiteral("draft"), true);
    JournalEntry *b = seed(QStringLiteral("second"));
    const QJsonObject doc = QJsonDocument::fromJson(encodeOrFail(allEntries())).object();
    EXPECT_EQ(doc.value(u"entryCount").toInt(), 2);
    QStringList ids;
    for (const QJsonValue &r : doc.value(u"entries").toArray())
        ids.append(r.toObject().value(u"id").toString());
    EXPECT_EQ(ids.size(), 2);
    EXPECT_TRUE(ids.contains(a->id().toString(QUuid::WithoutBraces).toUpper()));
    EXPECT_TRUE(ids.contains(b->id().toString(QUuid::WithoutBraces).toUpper()));
}

TEST_F(JournalExportTest, NonFiniteNumbersFailNamingTheEntry)
{
    const double bad[] = {std::nan(""), std::numeric_limits<double>::infinity(),
                          -std::numeric_limits<double>::infinity()};
    for (double value : bad) {
        for (bool inDuration : {false, true}) {
            JournalEntry *ok = seed(QStringLiteral("fine"));
            JournalEntry *e = seed(QStringLiteral("broken"));
            if (inDuration)
                e->setDuration(value);
            else
                e->setSentimentScore(value);
            auto encoded = encodeJournalExport({ok, e}, kNow);
            ASSERT_TRUE(std::holds_alternative<JournalExportError>(encoded)) << value;
            const JournalExportError error = std::get<JournalExportError>(encoded);
            EXPECT_EQ(error.kind, JournalExportError::Kind::EncodingFailed);
            EXPECT_TRUE(error.message().startsWith(QStringLiteral("Couldn’t encode journal: ")));
            EXPECT_TRUE(error.message().contains(e->id().toString(QUuid::WithoutBraces).toUpper()))
                << error.message().toStdString();
            EXPECT_TRUE(error.message().contains(inDuration ? QStringLiteral("duration") : QStringLiteral("sentiment")));
        }
    }
}

TEST_F(JournalExportTest, DefaultFileNameCarriesTheLocalDate)
{
    const QString name = defaultJournalExportFileName(QDateTime::currentDateTimeUtc());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Zephyrnote-Journal-\\d{4}-\\d{2}-\\d{2}\\.json$"))
                    .match(name)
                    .hasMatch())
        << name.toStdString();
    const QDateTime early(QDate(2031, 2, 3), QTime(12, 0), Qt::UTC);
    EXPECT_EQ(defaultJournalExportFileName(early), QStringLiteral("Zephyrnote-Journal-%1.json")
                                                       .arg(early.toTimeZone(CalendarProvider::shared().timeZone())
                                                                .date()
                                                                .toString(u"yyyy-MM-dd")));
}

// ---- The flow through the panel --------------------------------------------

class JournalExportFlowTest : public JournalStoreTest
{
protected:
    std::optional<JournalExportError> run(const QList<const JournalEntry *> &entries)
    {
        bool called = false;
        std::optional<JournalExportError> outcome;
        runJournalExport(entries, m_panels, [&](std::optional<JournalExportError> e) {
            EXPECT_FALSE(called) << "completion called twice";
            called = true;
            outcome = e;
        });
        EXPECT_TRUE(called);
        return outcome;
    }

    FakeFilePanels m_panels;
};

TEST_F(JournalExportFlowTest, OnlyDraftsEndsBeforeAnyPanel)
{
    seed(QStringLiteral("draft"), true);
    const auto error = run(allEntries());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind, JournalExportError::Kind::NoEntries);
    EXPECT_EQ(error->message(), QStringLiteral("There are no journal entries to export."));
    EXPECT_EQ(m_panels.requestCount(), 0);
    EXPECT_TRUE(run({}).has_value());
}

// One limit both ways, so whatever the export writes the import reads
// again; each side says so before doing the work.
TEST_F(JournalExportFlowTest, ExportAndImportShareOneLimitAndSaySoUpFront)
{
    // Each U+0001 takes six bytes in the file: this one entry would pass it.
    seed(QStringLiteral("x"))->setRawText(QString(qsizetype(kJournalFileMaxBytes / 6 + 1), QChar(1)));
    const auto error = run(allEntries());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind, JournalExportError::Kind::TooLarge);
    EXPECT_EQ(error->message(), QStringLiteral("This journal is too large to export as one file: a journal file "
                                               "holds at most 96 MB, the most Zephyrnote can import again."));
    EXPECT_EQ(m_panels.requestCount(), 0);

    // The import refuses a larger file on its size, before reading a byte,
    // naming both sizes; one of exactly the limit it reads.
    const QString larger = m_dir.file(QStringLiteral("larger.json"));
    const QString largest = m_dir.file(QStringLiteral("largest.json"));
    for (const auto &[path, size] : {std::pair{larger, kJournalFileMaxBytes + 1}, std::pair{largest, kJournalFileMaxBytes}}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(size));
    }
    const QByteArray before = storeDump();
    auto refused = readJournalImportFile(larger, *m_context);
    ASSERT_TRUE(std::holds_alternative<JournalImportError>(refused));
    EXPECT_EQ(std::get<JournalImportError>(refused).message(),
              QStringLiteral("Couldn’t read file: The file is too large: it holds 97 MB, and a journal export holds "
                             "at most 96 MB."));
    auto read = readJournalImportFile(largest, *m_context);
    ASSERT_TRUE(std::holds_alternative<JournalImportError>(read));
    EXPECT_EQ(std::get<JournalImportError>(read).kind, JournalImportError::Kind::InvalidJSON); // zeros, read whole
    EXPECT_EQ(storeDump(), before);
}

TEST_F(JournalExportFlowTest, EncodingFailureEndsBeforeAnyPanel)
{
    seed(QStringLiteral("x"))->setSentimentScore(std::nan(""));
    const auto error = run(allEntries());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind, JournalExportError::Kind::EncodingFailed);
    EXPECT_EQ(m_panels.requestCount(), 0);
}

TEST_F(JournalExportFlowTest, AsksWithTheExportPanelAndWritesTheFile)
{
    seedFull(0);
    const QString target = m_dir.file(QStringLiteral("out.json"));
    m_panels.scriptAnswer(target);
    EXPECT_FALSE(run(allEntries()).has_value());

    ASSERT_EQ(m_panels.saveRequests().size(), 1);
    const SavePanelRequest request = m_panels.saveRequests().first();
    EXPECT_EQ(request.title, QStringLiteral("Export Journal"));
    EXPECT_EQ(request.message, QStringLiteral("Your journal stays private. This file is written only where you choose."));
    EXPECT_EQ(request.prompt, QStringLiteral("Export"));
    EXPECT_EQ(request.defaultFileName, defaultJournalExportFileName(QDateTime::currentDateTimeUtc()));
    EXPECT_EQ(request.fileType.extensions, QStringList{QStringLiteral("json")});
    EXPECT_TRUE(request.canCreateDirectories);

    QFile written(target);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const JournalExportDocument doc = decodeOrFail(written.readAll());
    ASSERT_EQ(doc.entries.size(), 1);
    // A new export is private to its owner.
    EXPECT_EQ(QFileInfo(target).permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther), 0);
}

TEST_F(JournalExportFlowTest, CancelWritesNothing)
{
    seed(QStringLiteral("one"));
    m_panels.scriptCancel();
    const auto error = run(allEntries());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind, JournalExportError::Kind::Cancelled);
    EXPECT_EQ(error->message(), QStringLiteral("Export cancelled."));
    EXPECT_TRUE(QDir(m_dir.path()).entryList({QStringLiteral("*.json")}).isEmpty());
}

TEST_F(JournalExportFlowTest, LateAnswerWritesWhatWasChosenEvenAfterTheEntriesAreGone)
{
    seed(QStringLiteral("one"));
    std::optional<std::optional<JournalExportError>> outcome;
    runJournalExport(allEntries(), m_panels, [&](std::optional<JournalExportError> e) { outcome = e; });
    EXPECT_FALSE(outcome.has_value());
    EXPECT_FALSE(deleteAllJournalData(*m_context).has_value());
    const QString target = m_dir.file(QStringLiteral("late.json"));
    ASSERT_TRUE(m_panels.answerNext(target));
    ASSERT_TRUE(outcome.has_value());
    EXPECT_FALSE(outcome->has_value());
    QFile written(target);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(decodeOrFail(written.readAll()).entries.first().text, QStringLiteral("one"));
}

TEST_F(JournalExportFlowTest, FailedWriteLeavesAnExistingFileAsItWas)
{
    for (int i = 0; i < 300; ++i)
        seed(QStringLiteral("A longer entry so the file outgrows the limit below, number %1.").arg(i));
    const QByteArray before("{\"old\": true}\n");
    const QString target = writeFile(QStringLiteral("journal.json"), before);

    // The kernel refuses to grow any file past 4 KiB, even for root.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    m_panels.scriptAnswer(target);
    const auto error = run(allEntries());
    setrlimit(RLIMIT_FSIZE, &saved);

    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind, JournalExportError::Kind::WriteFailed);
    EXPECT_TRUE(error->message().startsWith(QStringLiteral("Couldn’t write file: "))) << error->message().toStdString();
    EXPECT_GT(error->detail.size(), 0);
    QFile kept(target);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), before);
    // No temporary file left behind (the store's own files share the folder).
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files).size(),
              1 + QDir(m_dir.path()).entryList({"*.store*", "zephyrnote.lock"}).size());
}

TEST_F(JournalExportFlowTest, UnwritablePlacesReportWhy)
{
    seed(QStringLiteral("one"));
    m_panels.scriptAnswer(m_dir.file(QStringLiteral("no/such/folder/out.json")));
    auto error = run(allEntries());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind, JournalExportError::Kind::WriteFailed);

    // A folder where the file should go.
    QDir(m_dir.path()).mkdir(QStringLiteral("taken.json"));
    m_panels.scriptAnswer(m_dir.file(QStringLiteral("taken.json")));
    error = run(allEntries());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind, JournalExportError::Kind::WriteFailed);
    EXPECT_TRUE(QFileInfo(m_dir.file(QStringLiteral("taken.json"))).isDir());

    // A pipe is written to by whoever reads it, never replaced by a file.
    const QString pipe = m_dir.file(QStringLiteral("pipe.json"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    m_panels.scriptAnswer(pipe);
    error = run(allEntries());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind, JournalExportError::Kind::WriteFailed);
    struct stat st {};
    ASSERT_EQ(::lstat(QFile::encodeName(pipe).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    // A folder nobody may write to, not even root.
    m_panels.scriptAnswer(QStringLiteral("/proc/zephyrnote-export.json"));
    error = run(allEntries());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind, JournalExportError::Kind::WriteFailed);
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/proc/zephyrnote-export.json")));

    // A folder made read-only, where permissions bind (not for root).
    const QString locked = m_dir.file(QStringLiteral("locked"));
    QDir(m_dir.path()).mkdir(QStringLiteral("locked"));
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    if (geteuid() != 0) {
        m_panels.scriptAnswer(locked + QStringLiteral("/out.json"));
        error = run(allEntries());
        ASSERT_TRUE(error);
        EXPECT_EQ(error->kind, JournalExportError::Kind::WriteFailed);
        EXPECT_TRUE(QDir(locked).isEmpty());
    }
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST(ExportWriteErrors, NameTheirCauseHoweverMuchWasWrittenAndLeaveTheTargetAlone)
{
    const QString helper = QStringLiteral(ZN_EXPORT_WRITER);
    const QString nospace = QStringLiteral("No space left on device");

    // A small file system of its own: first full to the last block, then
    // with 64 KiB free, so a part of the 300 KB file fits before the end.
    TempDir dir;
    const QString mount = dir.file(QStringLiteral("small"));
    ASSERT_TRUE(QDir().mkpath(mount));
    const SmallFileSystemRun run = runOnSmallFileSystem(mount, QStringLiteral("1m"), QStringLiteral(
        "printf 'older export' > \"$1/journal.json\"; "
        "dd if=/dev/zero of=\"$1/filler\" bs=4k >/dev/null 2>&1 || true; "
        "echo \"none: $(\"$2\" json \"$1/journal.json\" 300000)\"; "
        "truncate -s -64K \"$1/filler\"; "
        "echo \"part: $(\"$2\" json \"$1/journal.json\" 300000)\"; "
        "echo \"pdf: $(\"$2\" pdf \"$1/report.pdf\" 300000)\"; "
        "echo \"kept: $(cat \"$1/journal.json\")\"; "
        "echo \"left: $(ls -A \"$1\" | tr '\\n' ' ')\""), {helper});
    if (run.skipReason.isEmpty()) {
        // The target as it was, and no temporary file left.
        EXPECT_EQ(run.lines, QStringList({QStringLiteral("none: Couldn’t write file: ") + nospace,
                                          QStringLiteral("part: Couldn’t write file: ") + nospace,
                                          QStringLiteral("pdf: Couldn’t write PDF: ") + nospace,
                                          QStringLiteral("kept: older export"),
                                          QStringLiteral("left: filler journal.json ")}))
            << run.lines.join(u'\n').toStdString() << run.errors.toStdString();
    } else {
        std::printf("full file system not tried: %s\n", qPrintable(run.skipReason));
    }

    // A folder this account may not write to (root is first made another
    // account, since permissions do not bind it).
    const QString locked = dir.file(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkpath(locked));
    QFile older(locked + QStringLiteral("/journal.json"));
    ASSERT_TRUE(older.open(QIODevice::WriteOnly));
    older.write("older export");
    older.close();
    ::chmod(QFile::encodeName(locked).constData(), 0555);
    QStringList command{helper, QStringLiteral("json"), older.fileName(), QStringLiteral("100")};
    if (::geteuid() == 0) {
        const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
        if (setpriv.isEmpty())
            GTEST_SKIP() << "running as root without setpriv to drop to another account";
        ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
        command = QStringList{setpriv, QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                              QStringLiteral("--clear-groups")} + command;
    }
    QProcess writer;
    writer.start(command.takeFirst(), command);
    ASSERT_TRUE(writer.waitForFinished(30'000));
    ::chmod(QFile::encodeName(locked).constData(), 0755);
    EXPECT_EQ(writer.readAllStandardOutput().trimmed(), "Couldn’t write file: Permission denied");
    ASSERT_TRUE(older.open(QIODevice::ReadOnly));
    EXPECT_EQ(older.readAll(), "older export");
    EXPECT_EQ(QDir(locked).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("journal.json")});
}

} // namespace
