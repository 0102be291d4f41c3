#include "exchange/report/EmotionalWeatherPDFError.h"
#include "exchange/report/ReportNumbers.h"
#include "exchange/report/WeatherReportSections.h"

#include <gtest/gtest.h>

#include <limits>

namespace zn {

TEST(ReportTexts, SignedScoresPrintLikePrintf)
{
    EXPECT_EQ(formatSignedScore(0.0), "+0.0");
    EXPECT_EQ(formatSignedScore(-0.0), "+0.0");
    EXPECT_EQ(formatSignedScore(1.0), "+1.0");
    EXPECT_EQ(formatSignedScore(-1.0), "-1.0");
    // Ties on exactly representable values round to even, as printf does.
    EXPECT_EQ(formatSignedScore(0.25), "+0.2");
    EXPECT_EQ(formatSignedScore(-0.75), "-0.8");
    EXPECT_EQ(formatSignedScore(0.35), "+0.3"); // 0.34999…
    EXPECT_EQ(formatSignedScore(0.45), "+0.5"); // 0.45000…01
    EXPECT_EQ(formatSignedScore(-0.04), "-0.0");
    EXPECT_EQ(formatSignedScore(0.96), "+1.0");
    // Not a number, or out of range: a dash.
    EXPECT_EQ(formatSignedScore(std::numeric_limits<double>::quiet_NaN()), QStringLiteral("\u2014"));
    EXPECT_EQ(formatSignedScore(-std::numeric_limits<double>::infinity()), QStringLiteral("\u2014"));
}

TEST(ReportTexts, EntryCounts)
{
    EXPECT_EQ(entryCountText(1), "1 entry");
    EXPECT_EQ(entryCountText(0), "0 entries");
    EXPECT_EQ(entryCountText(2), "2 entries");
    EXPECT_EQ(entryCountText(10000), "10000 entries");
}

TEST(ReportTexts, RankedLabelsCutByUserPerceivedCharacters)
{
    EXPECT_EQ(rankedRowLabel(QStringLiteral("fourteen chars")), "fourteen chars");
    EXPECT_EQ(rankedRowLabel(QStringLiteral("fifteen chars!!")), QStringLiteral("fifteen chars\u2026"));
    EXPECT_EQ(rankedRowLabel(QString()), QString());
    // Family emoji (one character of seven code points) and letters with
    // combining marks are never split.
    const QString family = QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467\u200D\U0001F466");
    EXPECT_EQ(rankedRowLabel(family.repeated(14)), family.repeated(14));
    EXPECT_EQ(rankedRowLabel(family.repeated(15)), family.repeated(13) + QStringLiteral("\u2026"));
    const QString accented = QStringLiteral("e\u0301\u0323");
    EXPECT_EQ(rankedRowLabel(accented.repeated(20)), accented.repeated(13) + QStringLiteral("\u2026"));
}

TEST(ReportTexts, BarsScaleToTheLargestCountWithAVisibleMinimum)
{
    EXPECT_DOUBLE_EQ(barWidth(200, 200, 416), 416);
    EXPECT_DOUBLE_EQ(barWidth(1, 200, 416), 4);
    EXPECT_DOUBLE_EQ(barWidth(3, 4, 406), 304.5);
    EXPECT_DOUBLE_EQ(barWidth(0, 0, 406), 4);
}

TEST(ReportTexts, ErrorMessages)
{
    EXPECT_EQ(EmotionalWeatherPDFError::writeFailed(QStringLiteral("Disk full")).message(),
              QStringLiteral("Couldn\u2019t write PDF: Disk full"));
    EXPECT_EQ(EmotionalWeatherPDFError::empty().message(), "No journal entries found in the selected windows.");
    EXPECT_EQ(EmotionalWeatherPDFError::renderFailed().message(), QStringLiteral("Couldn\u2019t create the PDF report."));
    EXPECT_EQ(EmotionalWeatherPDFError::cancelled().message(), "Export cancelled.");
}

} // namespace zn
