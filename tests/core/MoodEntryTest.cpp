#include "core/MoodAnalysis.h"

#include "core/JournalEntry.h"
#include "MoodFakes.h"

#include <gtest/gtest.h>

#include <QUuid>

namespace zn {
namespace {

using test::LanguageServicesOverride;

// An entry with every field away from its default, so a write shows.
std::unique_ptr<JournalEntry> filledEntry()
{
    auto e = std::make_unique<JournalEntry>(QUuid::createUuid(), QDateTime::fromSecsSinceEpoch(1700000000),
                                            QStringLiteral("old text"), 42.0, -0.5,
                                            KeywordFrequencies{{"old", 2}}, QStringLiteral("rainy"),
                                            QStringList{QStringLiteral("tag")}, true);
    e->setInsightText(QStringLiteral("old insight"));
    e->setInsightGeneratedAt(QDateTime::fromSecsSinceEpoch(1700000100));
    e->setInsightStatusRaw(QStringLiteral("ready"));
    e->setInsightFailureMessage(QStringLiteral("old failure"));
    e->setThemes({QStringLiteral("work")});
    e->setInsightEmotionalTone(QStringLiteral("calm"));
    e->setInsightKeyPoints({QStringLiteral("point")});
    e->setInsightOverallSentiment(QStringLiteral("positive"));
    e->setInsightClosingFocus(QStringLiteral("rest"));
    e->setInsightOverallScore(0.4);
    e->setInsightSchemaVersion(6);
    return e;
}

TEST(MoodEntry, ApplyWritesFourteenFieldsInOrder)
{
    auto entry = filledEntry();
    const QUuid id = entry->id();
    const QDateTime timestamp = entry->timestamp();
    QList<int> writes;
    QObject::connect(entry.get(), &PersistentModel::fieldChanged, [&](int field) { writes.append(field); });

    const QString text = QStringLiteral("  \n The dogs and I had a wonderful walk in the park.\t\n");
    MoodAnalysis::applyEntryText(*entry, text);

    EXPECT_EQ(writes, (QList<int>{JournalEntry::RawText, JournalEntry::SentimentScore,
                                  JournalEntry::KeywordFrequenciesData, JournalEntry::InsightText,
                                  JournalEntry::InsightGeneratedAt, JournalEntry::ThemesData,
                                  JournalEntry::InsightEmotionalTone, JournalEntry::InsightKeyPointsData,
                                  JournalEntry::InsightOverallSentiment, JournalEntry::InsightClosingFocus,
                                  JournalEntry::InsightOverallScore, JournalEntry::InsightSchemaVersion,
                                  JournalEntry::InsightStatusRaw, JournalEntry::InsightFailureMessage}));

    const QString trimmed = QStringLiteral("The dogs and I had a wonderful walk in the park.");
    EXPECT_EQ(entry->rawText(), trimmed);
    EXPECT_DOUBLE_EQ(entry->sentimentScore(), MoodAnalysis::sentimentScore(trimmed));
    EXPECT_GT(entry->sentimentScore(), 0.0);
    EXPECT_EQ(entry->keywordFrequencies(), MoodAnalysis::extractKeywords(trimmed, std::nullopt, 25));
    EXPECT_EQ(entry->keywordFrequencies().value("dog"), 1);
    EXPECT_FALSE(entry->insightText().has_value());
    EXPECT_FALSE(entry->insightGeneratedAt().has_value());
    EXPECT_TRUE(entry->themes().isEmpty());
    EXPECT_FALSE(entry->insightEmotionalTone().has_value());
    EXPECT_TRUE(entry->insightKeyPoints().isEmpty());
    EXPECT_FALSE(entry->insightOverallSentiment().has_value());
    EXPECT_FALSE(entry->insightClosingFocus().has_value());
    EXPECT_FALSE(entry->insightOverallScore().has_value());
    EXPECT_EQ(entry->insightSchemaVersion(), 0);
    EXPECT_EQ(entry->insightStatusRaw(), QStringLiteral("pending"));
    EXPECT_FALSE(entry->insightFailureMessage().has_value());
    EXPECT_FALSE(entry->hasCurrentInsight());

    // Identity, time, duration, tags, draft flag and mood label stay.
    EXPECT_EQ(entry->id(), id);
    EXPECT_EQ(entry->timestamp(), timestamp);
    EXPECT_EQ(entry->duration(), 42.0);
    EXPECT_EQ(entry->tags(), QStringList{QStringLiteral("tag")});
    EXPECT_TRUE(entry->isDraft());
    EXPECT_EQ(entry->moodLabel(), QStringLiteral("rainy"));
}

TEST(MoodEntry, BlankTextChangesNothing)
{
    auto entry = filledEntry();
    int writes = 0;
    QObject::connect(entry.get(), &PersistentModel::fieldChanged, [&](int) { ++writes; });
    for (const QString &blank : {QString(), QStringLiteral(" "), QStringLiteral("\n\t\r\n \u00a0\u2028\u3000")})
        MoodAnalysis::applyEntryText(*entry, blank);
    EXPECT_EQ(writes, 0);
    EXPECT_EQ(entry->rawText(), QStringLiteral("old text"));
    EXPECT_EQ(entry->insightStatusRaw(), QStringLiteral("ready"));
    EXPECT_EQ(entry->insightSchemaVersion(), 6);
}

QString repeatCluster(const QString &cluster, int n)
{
    QString s;
    for (int i = 0; i < n; ++i)
        s += cluster;
    return s;
}

TEST(MoodLive, CountsTwentyToFifteenThousandCharactersAfterTrimming)
{
    EXPECT_FALSE(MoodAnalysis::analyzeText(QString(19, u'a')).has_value());
    EXPECT_TRUE(MoodAnalysis::analyzeText(QString(20, u'a')).has_value());
    // Surrounding whitespace does not count.
    EXPECT_FALSE(MoodAnalysis::analyzeText(QStringLiteral("   \n") + QString(19, u'a') + QStringLiteral("\t  ")).has_value());
    EXPECT_TRUE(MoodAnalysis::analyzeText(QStringLiteral("   \n") + QString(20, u'a') + QStringLiteral("\t  ")).has_value());
    // An emoji with a skin tone is one character (four UTF-16 units).
    const QString thumb = QStringLiteral("👍🏽");
    EXPECT_FALSE(MoodAnalysis::analyzeText(repeatCluster(thumb, 19)).has_value());
    EXPECT_TRUE(MoodAnalysis::analyzeText(repeatCluster(thumb, 20)).has_value());
    // Family emoji joined by zero-width joiners: one character each.
    EXPECT_FALSE(MoodAnalysis::analyzeText(repeatCluster(QStringLiteral("👨‍👩‍👧‍👦"), 19)).has_value());

    EXPECT_TRUE(MoodAnalysis::analyzeText(QString(15000, u'a')).has_value());
    EXPECT_FALSE(MoodAnalysis::analyzeText(QString(15001, u'a')).has_value());
    // 15,000 accented letters are 30,000 UTF-16 units but still within bounds.
    EXPECT_TRUE(MoodAnalysis::analyzeText(repeatCluster(QStringLiteral("x\u0301"), 15000)).has_value());
    EXPECT_FALSE(MoodAnalysis::analyzeText(repeatCluster(QStringLiteral("x\u0301"), 15001)).has_value());
}

TEST(MoodLive, ResultMatchesScoreAndKeywordsOfTheText)
{
    const QString text = QStringLiteral("  I am so happy with the garden today, the roses finally bloomed.  ");
    const auto live = MoodAnalysis::analyzeText(text);
    ASSERT_TRUE(live.has_value());
    EXPECT_DOUBLE_EQ(live->score, MoodAnalysis::sentimentScore(text));
    EXPECT_EQ(live->keywords, MoodAnalysis::extractKeywords(text, std::nullopt, 25));
    EXPECT_GE(live->score, 0.35); // "so happy" is a positive turn
    EXPECT_EQ(live->keywords.value("rose"), 1);
    EXPECT_EQ(live->keywords.value("garden"), 1);
}

} // namespace
} // namespace zn
