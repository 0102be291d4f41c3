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
    QString perSource;
    double lowest = 1.0;
    for (const char *name : {"amazon.json", "imdb.json", "yelp.json"}) {
        QFile file(test::sourcePath(QStringLiteral("tests/platform/language/data/") + QLatin1String(name)));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name;
        int sourceRight = 0, sourceTotal = 0;
        for (const auto &v : QJsonDocument::fromJson(file.readAll()).array()) {
            const QJsonObject o = v.toObject();
            const double score = MoodAnalysis::sentimentScore(o.value(QStringLiteral("text")).toString());
            const bool positive = o.value(QStringLiteral("class")).toInt() == 1;
            sourceRight += score != 0.0 && (score > 0.0) == positive;
            ++sourceTotal;
        }
        const double sourceAccuracy = double(sourceRight) / std::max(sourceTotal, 1);
        lowest = std::min(lowest, sourceAccuracy);
        perSource += QStringLiteral(", %1 %2").arg(QString::fromLatin1(name).section(u'.', 0, 0)).arg(sourceAccuracy, 0, 'f', 3);
        right += sourceRight;
        total += sourceTotal;
    }
    ASSERT_GE(total, 3000);
    const double accuracy = double(right) / total;
    std::printf("mood accuracy: %.3f of %d sentences (%s)\n", accuracy, total, qPrintable(perSource.mid(2)));
    EXPECT_GE(accuracy, 0.75);
    EXPECT_GE(lowest, 0.70);
}

} // namespace
} // namespace zn
