#include "core/CalendarProvider.h"
#include "core/JournalQueries.h"
#include "core/StoreFactory.h"
#include "support/TestSupport.h"

#include <QTimeZone>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace zn;

namespace {

std::shared_ptr<ModelContainer> openLocal(const QString &folder)
{
    StoreError error;
    auto result = makeStoreContainerIn(folder, &error);
    EXPECT_TRUE(result) << error.message.toStdString();
    return result ? result->container : nullptr;
}

QString awkwardText()
{
    QString s = QStringLiteral("quotes ' \" “ ” ; -- emoji 👩‍👩‍👧 flag 🇳🇿 ");
    s += QChar(0); // an embedded NUL must survive
    s += QStringLiteral(" after NUL \u200F RTL \u0301");
    return s;
}

void fillEveryField(JournalEntry &e, int variant)
{
    e.setTimestamp(QDateTime::fromMSecsSinceEpoch(variant == 0 ? 1'741'305'600'123 : -86'400'001));
    e.setRawText(variant == 0 ? awkwardText() : QString(1 << 20, QChar(u'ж')));
    e.setDuration(variant == 0 ? std::optional<double>(0.1 + 0.2) : std::optional<double>(0.0));
    e.setSentimentScore(variant == 0 ? -3.75 : 1e300); // stored unclamped
    e.setKeywordFrequencies({{QStringLiteral("rain"), 4}, {QStringLiteral("ćwierć"), 1}});
    e.setMoodLabel(QString::fromLatin1("", 0));
    e.setTags({QStringLiteral("a,b"), QStringLiteral("[\"x\"]")});
    e.setIsDraft(variant == 1);
    e.setInsightText(awkwardText());
    e.setInsightGeneratedAt(QDateTime::fromMSecsSinceEpoch(253'402'300'799'999));
    e.setInsightStatusRaw(QStringLiteral("Ready")); // unknown strings are kept as written
    e.setInsightFailureMessage(QStringLiteral("It didn’t work…"));
    e.setThemes({QStringLiteral("work"), QStringLiteral("sleep")});
    e.setInsightEmotionalTone(QStringLiteral("steady"));
    e.setInsightKeyPointsData(QByteArray("\x00\xff not json", 11));
    e.setInsightOverallSentiment(QStringLiteral("mixed"));
    e.setInsightClosingFocus(QStringLiteral("rest"));
    e.setInsightOverallScore(variant == 0 ? std::optional<double>(-1.5) : std::optional<double>(-0.0));
    e.setInsightSchemaVersion(variant == 0 ? 6 : -2);
}

void expectSameEntry(const JournalEntry &a, const JournalEntry &b)
{
    EXPECT_EQ(a.id(), b.id());
    EXPECT_EQ(a.timestamp().toMSecsSinceEpoch(), b.timestamp().toMSecsSinceEpoch());
    EXPECT_EQ(a.rawText(), b.rawText());
    EXPECT_EQ(a.duration(), b.duration());
    EXPECT_EQ(a.sentimentScore(), b.sentimentScore());
    EXPECT_EQ(a.keywordFrequenciesData(), b.keywordFrequenciesData());
    EXPECT_EQ(a.moodLabel(), b.moodLabel());
    EXPECT_EQ(a.tags(), b.tags());
    EXPECT_EQ(a.isDraft(), b.isDraft());
    EXPECT_EQ(a.insightText(), b.insightText());
    EXPECT_EQ(a.insightGeneratedAt().has_value(), b.insightGeneratedAt().has_value());
    if (a.insightGeneratedAt() && b.insightGeneratedAt()) {
        EXPECT_EQ(a.insightGeneratedAt()->toMSecsSinceEpoch(), b.insightGeneratedAt()->toMSecsSinceEpoch());
    }
    EXPECT_EQ(a.insightStatusRaw(), b.insightStatusRaw());
    EXPECT_EQ(a.insightFailureMessage(), b.insightFailureMessage());
    EXPECT_EQ(a.themesData(), b.themesData());
    EXPECT_EQ(a.insightEmotionalTone(), b.insightEmotionalTone());
    EXPECT_EQ(a.insightKeyPointsData(), b.insightKeyPointsData());
    EXPECT_EQ(a.insightOverallSentiment(), b.insightOverallSentiment());
    EXPECT_EQ(a.insightClosingFocus(), b.insightClosingFocus());
    EXPECT_EQ(a.insightOverallScore().has_value(), b.insightOverallScore().has_value());
    EXPECT_EQ(a.insightOverallScore(), b.insightOverallScore());
    EXPECT_EQ(a.insightSchemaVersion(), b.insightSchemaVersion());
}

} // namespace

TEST(StoreRoundTrip, EveryEntryFieldSurvivesCloseAndReopen)
{
    zn::test::TempDir dir;
    JournalEntry expected[3];
    fillEveryField(expected[0], 0);
    fillEveryField(expected[1], 1);
    // expected[2] keeps every default: absent optionals, empty data.
    {
        auto container = openLocal(dir.path());
        ASSERT_TRUE(container);
        ModelContext *context = container->mainContext();
        for (int i = 0; i < 3; ++i) {
            auto copy = std::make_unique<JournalEntry>();
            copy->setId(expected[i].id());
            if (i < 2)
                fillEveryField(*copy, i);
            else
                copy->setTimestamp(expected[i].timestamp());
            context->insert(std::move(copy));
        }
        ASSERT_FALSE(context->save());
    }
    auto container = openLocal(dir.path());
    ASSERT_TRUE(container);
    for (JournalEntry &e : expected) {
        SCOPED_TRACE(e.id().toString().toStdString());
        JournalEntry *stored = fetchEntry(*container->mainContext(), e.id());
        ASSERT_NE(stored, nullptr);
        expectSameEntry(*stored, e);
    }
    // Dates read back on the wall clock that day keys use.
    JournalEntry *first = fetchEntry(*container->mainContext(), expected[0].id());
    ASSERT_NE(first, nullptr);
    const CalendarProvider &calendar = CalendarProvider::shared();
    EXPECT_EQ(first->timestamp().timeZone(), calendar.timeZone());
    EXPECT_EQ(first->timestamp().date(), expected[0].timestamp().toTimeZone(calendar.timeZone()).date());
    EXPECT_EQ(first->timestamp().toString(Qt::ISODate).left(10), calendar.dayKey(first->timestamp()));
    EXPECT_EQ(first->insightGeneratedAt()->timeZone(), calendar.timeZone());

    JournalEntry *blank = fetchEntry(*container->mainContext(), expected[2].id());
    ASSERT_NE(blank, nullptr);
    EXPECT_FALSE(blank->duration());
    EXPECT_FALSE(blank->moodLabel());
    EXPECT_FALSE(blank->insightOverallScore());
    EXPECT_TRUE(blank->keywordFrequenciesData().isEmpty());
    EXPECT_EQ(blank->insightStatus(), InsightStatus::None);
}

TEST(StoreRoundTrip, NonFiniteScoresStayWhatTheyWere)
{
    zn::test::TempDir dir;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    QUuid ids[2];
    {
        auto container = openLocal(dir.path());
        auto a = std::make_unique<JournalEntry>();
        a->setSentimentScore(nan);
        a->setInsightOverallScore(nan);
        auto b = std::make_unique<JournalEntry>();
        b->setSentimentScore(-inf);
        b->setInsightOverallScore(inf);
        ids[0] = a->id();
        ids[1] = b->id();
        container->mainContext()->insert(std::move(a));
        container->mainContext()->insert(std::move(b));
        ASSERT_FALSE(container->mainContext()->save());
    }
    auto container = openLocal(dir.path());
    JournalEntry *a = fetchEntry(*container->mainContext(), ids[0]);
    JournalEntry *b = fetchEntry(*container->mainContext(), ids[1]);
    ASSERT_TRUE(a && b);
    EXPECT_TRUE(std::isnan(a->sentimentScore()));
    ASSERT_TRUE(a->insightOverallScore()); // NaN is a value, not "absent"
    EXPECT_TRUE(std::isnan(*a->insightOverallScore()));
    EXPECT_EQ(b->sentimentScore(), -inf);
    EXPECT_EQ(b->insightOverallScore(), inf);
}

TEST(StoreRoundTrip, EveryWeeklyRecordFieldSurvivesCloseAndReopen)
{
    zn::test::TempDir dir;
    const QDateTime start = QDateTime::fromMSecsSinceEpoch(1'741'305'600'000);
    const QDateTime generated = QDateTime::fromMSecsSinceEpoch(1'741'392'000'777);
    {
        auto container = openLocal(dir.path());
        auto r = std::make_unique<WeeklyReflectionRecord>(QStringLiteral("rolling7:2025-03-07"), start);
        r->setSummary(awkwardText());
        r->setEmotionalArc(QString(1 << 20, QChar('a')));
        r->setNotableMoments({QStringLiteral("Mar 3 — 🌧"), QStringLiteral("\"quoted\"")});
        r->setOverallSentiment(QStringLiteral("Mostly light"));
        r->setRecommendedFocus(QString());
        r->setEntryFingerprint(QStringLiteral("A|1741305600.123|0.25"));
        r->setGeneratedAt(generated);
        r->setStatusRaw(QStringLiteral("failed"));
        r->setFailureMessage(QStringLiteral("The model timed out."));
        container->mainContext()->insert(std::move(r));
        container->mainContext()->insert(std::make_unique<WeeklyReflectionRecord>(QStringLiteral("other"), start));
        ASSERT_FALSE(container->mainContext()->save());
    }
    auto container = openLocal(dir.path());
    WeeklyReflectionRecord *r = fetchWeeklyRecord(*container->mainContext(), QStringLiteral("rolling7:2025-03-07"));
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->weekKey(), "rolling7:2025-03-07");
    EXPECT_EQ(r->weekStart().toMSecsSinceEpoch(), start.toMSecsSinceEpoch());
    EXPECT_EQ(r->summary(), awkwardText());
    EXPECT_EQ(r->emotionalArc(), QString(1 << 20, QChar('a')));
    EXPECT_EQ(r->notableMoments(), (QStringList{"Mar 3 — 🌧", "\"quoted\""}));
    EXPECT_EQ(r->overallSentiment(), "Mostly light");
    EXPECT_EQ(r->recommendedFocus(), "");
    EXPECT_EQ(r->entryFingerprint(), "A|1741305600.123|0.25");
    EXPECT_EQ(r->generatedAt().toMSecsSinceEpoch(), generated.toMSecsSinceEpoch());
    EXPECT_EQ(r->status(), InsightStatus::Failed);
    EXPECT_EQ(r->failureMessage(), "The model timed out.");
    WeeklyReflectionRecord *other = fetchWeeklyRecord(*container->mainContext(), QStringLiteral("other"));
    ASSERT_NE(other, nullptr);
    EXPECT_FALSE(other->failureMessage());
    EXPECT_EQ(other->notableMomentsData(), "[]");
    EXPECT_NE(other->persistentModelID(), r->persistentModelID());
}

TEST(StoreRoundTrip, IdsAreUpperCaseInTheFile)
{
    zn::test::TempDir dir;
    auto container = openLocal(dir.path());
    auto e = std::make_unique<JournalEntry>();
    const QUuid id = e->id();
    container->mainContext()->insert(std::move(e));
    ASSERT_FALSE(container->mainContext()->save());
    container.reset();
    QFile file(dir.file(QStringLiteral("default.store")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    QFile wal(dir.file(QStringLiteral("default.store-wal")));
    if (wal.open(QIODevice::ReadOnly))
        bytes += wal.readAll();
    EXPECT_TRUE(bytes.contains(id.toString(QUuid::WithoutBraces).toUpper().toLatin1()));
    EXPECT_FALSE(bytes.contains(id.toString(QUuid::WithoutBraces).toLower().toLatin1()));
}

TEST(StoreRoundTrip, DatesAreInstantsWhateverZoneTheyWereGivenIn)
{
    // The same instant given in UTC, at a fixed offset or in local time is
    // one value: held the same way as a row read from the file, and no
    // change to save when written again in another zone.
    auto store = makeModelContainer(true);
    ASSERT_TRUE(store);
    ModelContext *context = store->container->mainContext();
    const QDateTime utc = QDateTime::fromMSecsSinceEpoch(1'741'305'600'123, Qt::UTC);
    const QList<QDateTime> spellings{utc, utc.toOffsetFromUtc(5 * 3600 + 1800), utc.toLocalTime(),
                                     utc.toTimeZone(QTimeZone("America/New_York"))};
    for (const QDateTime &when : spellings) {
        SCOPED_TRACE(when.toString(Qt::ISODateWithMs).toStdString());
        auto e = std::make_unique<JournalEntry>();
        e->setTimestamp(when);
        e->setInsightGeneratedAt(when);
        EXPECT_EQ(e->value(JournalEntry::Timestamp).toDateTime().timeSpec(), Qt::UTC);
        EXPECT_EQ(e->timestamp().toMSecsSinceEpoch(), utc.toMSecsSinceEpoch());
        EXPECT_EQ(e->timestamp().timeZone(), CalendarProvider::shared().timeZone());
        JournalEntry *saved = context->insert(std::move(e));
        ASSERT_FALSE(context->save());
        for (const QDateTime &again : spellings) {
            saved->setTimestamp(again);
            saved->setInsightGeneratedAt(again);
        }
        EXPECT_FALSE(context->hasChanges());
    }
    ModelContext other(store->container.get());
    const auto entries = fetchAllEntries(other);
    ASSERT_EQ(entries.size(), spellings.size());
    for (JournalEntry *e : entries) {
        EXPECT_EQ(e->value(JournalEntry::Timestamp).toDateTime().timeSpec(), Qt::UTC);
        EXPECT_EQ(e->timestamp(), utc);
        EXPECT_EQ(e->insightGeneratedAt(), utc);
    }
    // A date read once still follows later writes, here and from elsewhere.
    JournalEntry *shown = entries.first();
    shown->setTimestamp(utc.addMSecs(1));
    EXPECT_EQ(shown->timestamp(), utc.addMSecs(1));
    JournalEntry *elsewhere = fetchEntry(*context, shown->id());
    ASSERT_NE(elsewhere, nullptr);
    elsewhere->setTimestamp(utc.addDays(-1));
    ASSERT_FALSE(context->save());
    EXPECT_EQ(shown->timestamp(), utc.addMSecs(1)); // own unsaved edit wins
    other.rollback();
    EXPECT_EQ(shown->timestamp(), utc.addDays(-1));
}

TEST(StoreRoundTrip, TextComesBackAsItWasShown)
{
    // Byte-order marks are characters like any other; an unpaired surrogate
    // becomes U+FFFD the moment it enters, so the entry shows what the
    // store will give back, and nothing next to it is lost.
    const QChar high(0xD83D), low(0xDE00);
    const QList<std::pair<QString, QString>> cases{
        {QChar(0xFFFE) + QStringLiteral("Imported text"), QChar(0xFFFE) + QStringLiteral("Imported text")},
        {QChar(0xFEFF) + QStringLiteral("leading mark"), QChar(0xFEFF) + QStringLiteral("leading mark")},
        {QStringLiteral("a") + high + QStringLiteral("b c"), QStringLiteral("a\uFFFDb c")},
        {low + QStringLiteral("x") + high, QStringLiteral("\uFFFDx\uFFFD")},
        {QString(high) + low + high + high + low, QString(high) + low + QChar(0xFFFD) + high + low},
        {QStringLiteral("end ") + QChar(0xFEFF), QStringLiteral("end ") + QChar(0xFEFF)},
    };
    test::TempDir dir;
    QList<QUuid> ids;
    {
        auto container = openLocal(dir.path());
        ModelContext *context = container->mainContext();
        for (const auto &[written, shown] : cases) {
            auto *e = context->insert(std::make_unique<JournalEntry>());
            e->setRawText(written);
            e->setInsightText(written);
            e->setThemes({written});
            e->setKeywordFrequencies({{written, 1}});
            EXPECT_EQ(e->rawText(), shown);
            EXPECT_EQ(e->themes(), QStringList{shown});
            ids.append(e->id());
            auto *r = context->insert(std::make_unique<WeeklyReflectionRecord>(written, QDateTime::currentDateTime()));
            r->setSummary(written);
            r->setNotableMoments({written});
            EXPECT_EQ(r->weekKey(), shown);
            EXPECT_EQ(r->notableMoments(), QStringList{shown});
        }
        ASSERT_FALSE(context->save());
    }
    auto container = openLocal(dir.path());
    ModelContext *context = container->mainContext();
    for (qsizetype i = 0; i < cases.size(); ++i) {
        const QString &shown = cases[i].second;
        JournalEntry *e = fetchEntry(*context, ids[i]);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->rawText(), shown) << i;
        EXPECT_EQ(e->insightText(), shown) << i;
        EXPECT_EQ(e->themes(), QStringList{shown}) << i;
        EXPECT_EQ(e->keywordFrequencies().firstKey(), shown) << i;
        WeeklyReflectionRecord *r = fetchWeeklyRecord(*context, shown);
        ASSERT_NE(r, nullptr) << i;
        EXPECT_EQ(r->summary(), shown) << i;
        EXPECT_EQ(r->notableMoments(), QStringList{shown}) << i;
        // Found by the text as shown, in SQL as in memory.
        EXPECT_EQ(context->fetch<JournalEntry>({Predicate::where(JournalEntry::RawText, CompareOp::Equal, cases[i].first), {}, {}}).size(), 1) << i;
    }
}
