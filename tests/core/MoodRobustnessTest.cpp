#include "core/MoodAnalysis.h"

#include <gtest/gtest.h>

#include <QtConcurrent/QtConcurrentRun>

#include <cmath>

namespace zn {
namespace {

QList<QString> hostileTexts()
{
    QList<QString> texts;
    // About 1 MB of ordinary words.
    texts.append(QStringLiteral("Today was hard but the evening walk helped a lot. ").repeated(20000));
    // One megabyte without a single space.
    texts.append(QString(1 << 20, u'x'));
    QString surrogates = QStringLiteral("good ");
    surrogates += QChar(0xD800);
    surrogates += QStringLiteral(" bad ");
    surrogates += QChar(0xDC00);
    surrogates += QChar(0xDC00);
    surrogates += QStringLiteral("happy day ");
    surrogates += QChar(0xDBFF);
    texts.append(surrogates);
    texts.append(QStringLiteral("nul\u0000inside\u0000text and \u0001\u0007\u001b[31m control \u007f\u0085 chars"));
    texts.append(QStringLiteral("שלום, היום היה יום נפלא \u202Bمرحبا بالعالم\u202C good"));
    texts.append(QStringLiteral("Z\u0351\u0337\u0322a\u0360\u0334l\u035f\u0335g\u0362o ") + QString(5000, QChar(0x0301)));
    texts.append(QStringLiteral("😀😂🥲👍🏽👨‍👩‍👧‍👦🇫🇷❤️"));
    texts.append(QStringLiteral("1234567890 3.14159 42 ٣٤٥ ⅚ 五六七"));
    texts.append(QStringLiteral("Aujourd'hui était une très belle journée, je suis content."));
    texts.append(QStringLiteral("今日はとても楽しかったです。"));
    texts.append(QStringLiteral("Сегодня был ужасный день."));
    texts.append(QStringLiteral("not not not never no n't"));
    texts.append(QStringLiteral("'''''---’’’‘‘‘"));
    return texts;
}

TEST(MoodRobustness, HostileInputGivesFiniteScoresInRange)
{
    for (const QString &text : hostileTexts()) {
        const double score = MoodAnalysis::sentimentScore(text);
        EXPECT_TRUE(std::isfinite(score)) << text.left(40).toStdString();
        EXPECT_GE(score, -1.0);
        EXPECT_LE(score, 1.0);
        const LexiconSignal lexicon = MoodAnalysis::scoreLexicon(text);
        EXPECT_TRUE(std::isfinite(lexicon.score));
        EXPECT_FALSE(lexicon.strongNegative && lexicon.positiveTurn);
        const KeywordFrequencies keywords = MoodAnalysis::extractKeywords(text);
        EXPECT_LE(keywords.size(), 25);
        for (auto it = keywords.begin(); it != keywords.end(); ++it)
            EXPECT_GE(it.value(), 1);
        const double reconciled = MoodAnalysis::reconcileScores(text, score, 0.5);
        EXPECT_TRUE(std::isfinite(reconciled));
        if (const auto live = MoodAnalysis::analyzeText(text)) {
            EXPECT_TRUE(std::isfinite(live->score));
            EXPECT_GE(live->score, -1.0);
            EXPECT_LE(live->score, 1.0);
        }
    }
}

TEST(MoodRobustness, EightThreadsAgreeWithOne)
{
    QList<QString> texts = hostileTexts().mid(2);
    texts.append(QStringLiteral("I keep self-sabotaging my progress, but things are looking up."));
    texts.append(QStringLiteral("The dogs barked all night and I feel awful. Tomorrow will be better!"));
    texts.append(QStringLiteral("Grateful for coffee with Sam 😊. Work was stressful, though."));

    struct Result {
        double score;
        KeywordFrequencies keywords;
        std::optional<double> live;
        double reconciled;
    };
    const auto run = [&texts] {
        QList<Result> out;
        for (int round = 0; round < 20; ++round) {
            for (const QString &t : texts) {
                const auto live = MoodAnalysis::analyzeText(t);
                out.append({MoodAnalysis::sentimentScore(t), MoodAnalysis::extractKeywords(t),
                            live ? std::optional<double>(live->score) : std::nullopt,
                            MoodAnalysis::reconcileScores(t, 0.1, 0.8)});
            }
        }
        return out;
    };
    // The eight race through the one-time set-up; the reference runs alone
    // afterwards.
    QList<QFuture<QList<Result>>> futures;
    for (int i = 0; i < 8; ++i)
        futures.append(QtConcurrent::run(run));
    QList<QList<Result>> results;
    for (auto &f : futures)
        results.append(f.result());
    const QList<Result> expected = run();
    for (const QList<Result> &got : results) {
        ASSERT_EQ(got.size(), expected.size());
        for (qsizetype i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].score, expected[i].score);
            EXPECT_EQ(got[i].keywords, expected[i].keywords);
            EXPECT_EQ(got[i].live, expected[i].live);
            EXPECT_EQ(got[i].reconciled, expected[i].reconciled);
        }
    }
}

} // namespace
} // namespace zn
