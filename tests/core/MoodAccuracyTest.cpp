#include "core/MoodAnalysis.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace zn {
namespace {

// The mood a user sees, end to end (recogniser, tagger, lexicon, blend), on
// the labelled review sentences. A score of 0 counts as wrong.
TEST(MoodAccuracy, SentimentScoreSignMatchesReviewLabels)
{
    int right = 0, total = 0;
    for (const char *name : {"amazon.json", "imdb.json", "yelp.json"}) {
        QFile file(test::sourcePath(QStringLiteral("tests/platform/language/data/") + QLatin1String(name)));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name;
        for (const auto &v : QJsonDocument::fromJson(file.readAll()).array()) {
            const QJsonObject o = v.toObject();
            const double score = MoodAnalysis::sentimentScore(o.value(QStringLiteral("text")).toString());
            const bool positive = o.value(QStringLiteral("class")).toInt() == 1;
            right += score != 0.0 && (score > 0.0) == positive;
            ++total;
        }
    }
    ASSERT_GE(total, 3000);
    const double accuracy = double(right) / total;
    std::printf("mood accuracy: %.3f of %d sentences\n", accuracy, total);
    EXPECT_GE(accuracy, 0.75);
}

} // namespace
} // namespace zn
