#include "exchange/report/WeatherReportSections.h"

#include "core/TextUnits.h"
#include "core/WeatherLabel.h"
#include "exchange/report/ReportCanvas.h"
#include "exchange/report/ReportNumbers.h"
#include "exchange/report/WeatherReportChart.h"
#include "platform/symbols/SymbolLibrary.h"

#include <QPainter>

#include <algorithm>

namespace zn {
namespace {

using namespace reportpage;

constexpr qreal kSectionGap = 16;
constexpr qreal kSymbolSize = 28;
constexpr qreal kSummaryTextX = 86;
constexpr qreal kSummaryTextWidth = 478;
constexpr int kKeywordRowsShown = 8;

// Room reserved below a section's top before it may start on this page.
constexpr qreal kReflectionRoom = 60;
constexpr qreal kTrendRoom = 240;
constexpr qreal kDistributionRoom = 100;
constexpr qreal kThemesRoom = 100;
constexpr qreal kKeywordsRoom = 40;

// Row labels stop short of the bars that start at x 120: wide characters
// (or ones the font lacks, drawn as boxes) would otherwise run over them.
constexpr qreal kRowLabelWidth = 70;

// Drawn extent of one bar row from its top (the rest of its pitch is gap).
constexpr qreal kDistributionRowExtent = 16;
constexpr qreal kRankedRowExtent = 14;

QColor withAlpha(QColor color, float alpha)
{
    color.setAlphaF(alpha);
    return color;
}

// The gap and room check before every section but the first.
qreal openSection(ReportPainting &report, qreal y, qreal room)
{
    y += kSectionGap;
    if (y + room > kBottomLimit)
        y = report.canvas.pageBreak();
    return y;
}

qreal drawHeading(ReportPainting &report, qreal y, const QString &title)
{
    return report.canvas.drawBlock(title, kMargin, y, kContentWidth, report.sectionHeading()) - y;
}

bool hasTrend(const EmotionalWeatherReportContent &window)
{
    return window.chartXDomain
           && std::any_of(window.dailyPoints.cbegin(), window.dailyPoints.cend(),
                          [](const WeatherPDFDailyPoint &p) { return p.entryCount >= 1; });
}

qreal drawTrendSection(ReportPainting &report, qreal y, const EmotionalWeatherReportContent &window)
{
    ReportCanvas &canvas = report.canvas;
    y += drawHeading(report, y, QStringLiteral("Daily Mood Trend"));
    if (window.chartSpanLabel) {
        const ReportTextStyle span{10, QFont::Normal, report.colors.secondaryText};
        y = canvas.drawBlock(*window.chartSpanLabel, kMargin, y + 4, kContentWidth, span);
    }
    QList<WeatherPDFDailyPoint> points;
    for (const WeatherPDFDailyPoint &point : window.dailyPoints)
        if (point.entryCount >= 1)
            points.append(point);
    y = drawHighLowLine(canvas, y + 4, points, report.colors.secondaryText);
    // The chart is one picture: should a taller fallback font push it past
    // the bottom, it moves whole to the next page rather than being cut.
    const qreal chartTop = canvas.keepOnPage(y + 8, 178);
    return drawDailyMoodChart(canvas, chartTop, points, *window.chartXDomain, report.theme,
                              report.colors.lightLine, report.calendar);
}

} // namespace

QString rankedRowLabel(const QString &label)
{
    if (text::graphemeCount(label) > 14)
        return text::graphemePrefix(label, 13) + QStringLiteral("\u2026");
    return label;
}

qreal barWidth(int count, int maxCount, qreal fullWidth)
{
    return std::max(4.0, double(count) * fullWidth / double(std::max(1, maxCount)));
}

bool drawTintedSymbol(QPainter &painter, qreal x, qreal y, qreal size, const QString &name, const QColor &color)
{
    if (!hasSymbol(name))
        return false;
    painter.save();
    painter.setOpacity(color.alphaF());
    const bool drawn = drawSymbol(painter, name, QRectF(x, y, size, size), withAlpha(color, 1.0f),
                                  SymbolRendering::Monochrome, SymbolWeight::Semibold);
    painter.restore();
    return drawn;
}

qreal drawSummarySection(ReportPainting &report, qreal y, const EmotionalWeatherReportContent &window)
{
    const double average = window.averageSentiment;
    drawTintedSymbol(report.canvas.painter(), kMargin, y, kSymbolSize, symbolName(weatherLabelForScore(average)),
                     withAlpha(report.theme.sentimentColor(average), 0.85f));

    const ReportTextStyle headline{14, QFont::Medium, report.colors.primaryText};
    const ReportTextStyle detail{12, QFont::Normal, report.colors.secondaryText};
    const qreal h1 = report.canvas.drawBlock(window.weatherLabel + QStringLiteral(" \u2014 ") + window.trendBlurb,
                                             kSummaryTextX, y, kSummaryTextWidth, headline) - y;
    const qreal detailTop = y + h1 + 2;
    const QString detailText = entryCountText(window.entryCount) + QStringLiteral(" \u00b7 ")
                               + formatSignedScore(average);
    const qreal h2 = report.canvas.drawBlock(detailText, kSummaryTextX, detailTop, kSummaryTextWidth, detail)
                     - detailTop;
    return std::max(y + kSymbolSize, y + h1 + 2 + h2);
}

qreal drawMoodDistributionRows(ReportPainting &report, qreal y, const QList<WeatherPDFMoodBucket> &buckets)
{
    int maxCount = 1;
    for (const WeatherPDFMoodBucket &bucket : buckets)
        maxCount = std::max(maxCount, bucket.count);
    const ReportTextStyle label{10, QFont::Medium, report.colors.primaryText};
    const ReportTextStyle count{10, QFont::Normal, report.colors.mutedLabel};
    QPainter &painter = report.canvas.painter();
    for (const WeatherPDFMoodBucket &bucket : buckets) {
        y = report.canvas.keepOnPage(y, kDistributionRowExtent);
        report.canvas.drawLine(report.canvas.fitToWidth(bucket.label, kRowLabelWidth, label), QPointF(48, y + 2),
                               label);
        painter.fillRect(QRectF(120, y + 2, barWidth(bucket.count, maxCount, 416), 14),
                         withAlpha(report.theme.sentimentColor(bucket.representativeSentiment), 0.75f));
        report.canvas.drawLine(QString::number(bucket.count), QPointF(544, y + 2), count);
        y += 22;
    }
    return y + 4;
}

qreal drawRankedCountRows(ReportPainting &report, qreal y, const QList<RankedCountRow> &rows)
{
    int maxCount = 1;
    for (const RankedCountRow &row : rows)
        maxCount = std::max(maxCount, row.count);
    const ReportTextStyle label{9, QFont::Medium, report.colors.primaryText};
    const ReportTextStyle count{9, QFont::Normal, report.colors.mutedLabel};
    QPainter &painter = report.canvas.painter();
    for (const RankedCountRow &row : rows) {
        y = report.canvas.keepOnPage(y, kRankedRowExtent);
        report.canvas.drawLine(report.canvas.fitToWidth(rankedRowLabel(row.label), kRowLabelWidth, label),
                               QPointF(48, y + 1), label);
        painter.fillRect(QRectF(120, y + 2, barWidth(row.count, maxCount, 406), 12),
                         withAlpha(report.theme.sentimentColor(row.sentiment), 0.6f));
        report.canvas.drawLine(QString::number(row.count), QPointF(534, y + 1), count);
        y += 20;
    }
    return y + 4;
}

qreal drawWindowSections(ReportPainting &report, qreal y, const EmotionalWeatherReportContent &window)
{
    ReportCanvas &canvas = report.canvas;

    const qreal summaryHeading = drawHeading(report, y, QStringLiteral("Summary"));
    y = drawSummarySection(report, y + summaryHeading + 6, window);

    if (window.reflectionText && !window.reflectionText->isEmpty()) {
        y = openSection(report, y, kReflectionRoom);
        y += drawHeading(report, y, window.reflectionSectionTitle.value_or(QStringLiteral("Reflection"))) + 6;
        const ReportTextStyle body{12, QFont::Normal, report.colors.primaryText};
        y = canvas.drawBlock(*window.reflectionText, kMargin, y, kContentWidth, body);
    }

    if (hasTrend(window)) {
        y = openSection(report, y, kTrendRoom);
        y = drawTrendSection(report, y, window);
    }

    if (!window.moodDistribution.isEmpty()) {
        y = openSection(report, y, kDistributionRoom);
        const qreal heading = drawHeading(report, y, QStringLiteral("Mood Distribution"));
        y = drawMoodDistributionRows(report, y + heading + 8, window.moodDistribution);
    }

    if (!window.themes.isEmpty()) {
        y = openSection(report, y, kThemesRoom);
        const qreal heading = drawHeading(report, y, QStringLiteral("Themes"));
        QList<RankedCountRow> rows;
        for (const WeatherPDFTheme &theme : window.themes)
            rows.append({theme.label, theme.count, window.averageSentiment});
        y = drawRankedCountRows(report, y + heading + 8, rows);
    }

    if (!window.keywords.isEmpty()) {
        y = openSection(report, y, kKeywordsRoom);
        const qreal heading = drawHeading(report, y, QStringLiteral("Top Keywords"));
        QList<RankedCountRow> rows;
        for (qsizetype i = 0; i < std::min<qsizetype>(window.keywords.size(), kKeywordRowsShown); ++i)
            rows.append({window.keywords[i].word, window.keywords[i].count, window.keywords[i].averageSentiment});
        y = drawRankedCountRows(report, y + heading + 8, rows);
    }
    return y;
}

} // namespace zn
