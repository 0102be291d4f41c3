#include "PdfProbe.h"
#include "ReportTestSupport.h"

#include "exchange/report/ReportFonts.h"
#include "exchange/report/WeatherReportPDF.h"
#include "exchange/report/WeatherReportSections.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QLocale>
#include <QPainter>

#include <limits>

namespace zn {
namespace {

using test::PdfProbe;
using test::PdfWord;
using test::ReportJournal;

constexpr double kTolerance = 0.6;
constexpr double kLine11 = 14; // height of an 11-point line

class ReportPdf : public ::testing::Test
{
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    QByteArray render(const QList<EmotionalWeatherReportContent> &contents, ZephyrTheme theme = ZephyrTheme{})
    {
        const WeatherReportRenderResult result = renderWeatherReportPDF(contents, theme, m_journal.calendar);
        EXPECT_TRUE(result.ok()) << (result.error ? result.error->message().toStdString() : std::string());
        EXPECT_TRUE(result.pdf.startsWith("%PDF-"));
        return result.pdf;
    }

    // The document and its pages as PNGs, beside the screen tests' screenshots.
    static void saveForReview(const QByteArray &pdf, const QString &stem)
    {
        QFile file(test::screenshotPath(stem + QStringLiteral(".pdf")));
        if (file.open(QIODevice::WriteOnly))
            file.write(pdf);
        EXPECT_FALSE(PdfProbe::renderPages(pdf, test::screenshotPath(stem)).isEmpty());
    }

    static void expectLetterPages(const PdfProbe &probe)
    {
        ASSERT_TRUE(probe.valid()) << probe.error().toStdString();
        EXPECT_TRUE(probe.warnings().isEmpty()) << probe.warnings().toStdString();
        EXPECT_TRUE(probe.pdfinfo().contains(QStringLiteral("612 x 792 pts (letter)"))) << probe.pdfinfo().toStdString();
        for (int p = 1; p <= probe.pageCount(); ++p)
            EXPECT_EQ(probe.pageSize(p), QSizeF(612, 792)) << "page " << p;
    }

    // No text above the top margin or below the bottom limit of 744.
    static void expectInsidePages(const PdfProbe &probe)
    {
        for (const PdfWord &word : probe.words()) {
            // Date labels are centred on the plot's edges, so reach a little past the side margins.
            EXPECT_GE(word.xMin, 30.0) << word.text.toStdString();
            EXPECT_LE(word.xMax, 582.0) << word.text.toStdString();
            EXPECT_GE(word.yMin, 48.0 - kTolerance) << word.text.toStdString();
            EXPECT_LE(word.yMax, 744.0) << word.text.toStdString() << " on page " << word.page;
        }
    }

    // The heading words of a window: "Past 30 days" as a line of its own.
    static const PdfWord *windowHeading(const PdfProbe &probe, const QString &title)
    {
        for (const PdfWord *w : probe.findAll(title))
            if (qAbs(w->xMin - 48) < kTolerance && w->yMax - w->yMin > 20) // 22-point text
                return w;
        return nullptr;
    }

    // The word at `x` on the same line as `word`.
    static const PdfWord *sameLine(const PdfProbe &probe, const PdfWord &word, double x)
    {
        for (const PdfWord *w : probe.onPage(word.page))
            if (qAbs(w->yMin - word.yMin) < 1.5 && qAbs(w->xMin - x) < kTolerance)
                return w;
        return nullptr;
    }

    static EmotionalWeatherReportContent minimalWindow()
    {
        EmotionalWeatherReportContent c;
        c.periodTitle = QStringLiteral("Past 7 days");
        c.rangeLabel = QStringLiteral("Mar 4 \u2013 Mar 10, 2025");
        c.weatherLabel = QStringLiteral("Overcast");
        c.trendBlurb = QStringLiteral("A steadier, quieter stretch.");
        c.entryCount = 1;
        return c;
    }

    ReportJournal m_journal;
};

} // namespace

TEST_F(ReportPdf, ThreeWindowsEachOpenAPageAndNothingRunsOff)
{
    test::fillSeededJournal(m_journal, 600);
    const auto contents = m_journal.contents(QStringLiteral("A week of small recoveries. ").repeated(12));
    ASSERT_EQ(contents.size(), 3);
    const QByteArray pdf = render(contents);
    saveForReview(pdf, QStringLiteral("weather-report-warm"));
    const PdfProbe probe(pdf);
    expectLetterPages(probe);
    expectInsidePages(probe);

    // Header block on page 1, text placed by the top of its line.
    const PdfWord *title = probe.find(QStringLiteral("Emotional Weather Report"));
    ASSERT_TRUE(title);
    EXPECT_EQ(title->page, 1);
    EXPECT_NEAR(title->xMin, 48, kTolerance);
    EXPECT_NEAR(title->yMin, 48, kTolerance);
    EXPECT_TRUE(probe.find(QStringLiteral("Past 7 \u00b7 30 \u00b7 365 days")));
    for (const QString &line : {QStringLiteral("Past 7 days: Mar 4 \u2013 Mar 10, 2025 \u2014"),
                                QStringLiteral("Past 30 days: Feb 9 \u2013 Mar 10, 2025 \u2014"),
                                QStringLiteral("Past 365 days: Mar 11, 2024 \u2013 Mar 10, 2025 \u2014")}) {
        const PdfWord *w = probe.find(line);
        ASSERT_TRUE(w) << line.toStdString();
        EXPECT_NEAR(w->xMin, 48, kTolerance);
    }
    const PdfWord *privacy = probe.find(QStringLiteral("Generated by Zephyrnote \u00b7 private on this computer"));
    ASSERT_TRUE(privacy);
    // Three window lines push the header past 168, so page 1 holds only it.
    ASSERT_GT(privacy->yMin + kLine11, 168);
    for (const PdfWord *w : probe.onPage(1))
        EXPECT_LE(w->yMax, privacy->yMax + kTolerance) << w->text.toStdString();

    // Every window begins at the top of a later page.
    int previousPage = 1;
    for (const auto &window : contents) {
        const PdfWord *heading = windowHeading(probe, window.periodTitle);
        ASSERT_TRUE(heading) << window.periodTitle.toStdString();
        EXPECT_GT(heading->page, previousPage);
        EXPECT_NEAR(heading->yMin, 48, kTolerance);
        previousPage = heading->page;
        const PdfWord *range = probe.find(window.rangeLabel, int(heading - probe.words().data()));
        ASSERT_TRUE(range);
        EXPECT_EQ(range->page, heading->page);
        EXPECT_NEAR(range->xMin, 48, kTolerance);
    }
    EXPECT_EQ(probe.findAll(QStringLiteral("Summary")).size(), 3);
    // One family throughout, so pages break the same on every machine.
    const QString family = reportFontFamily().remove(QLatin1Char(' '));
    ASSERT_FALSE(family.isEmpty());
    ASSERT_FALSE(probe.fonts().isEmpty());
    for (const QString &font : probe.fonts())
        EXPECT_TRUE(font.startsWith(family)) << font.toStdString();
    // Symbols and charts are vector drawings.
    EXPECT_EQ(probe.imageCount(), 0);
    // A ranking too long for its page went on at the top of the next.
    int continued = 0;
    for (int p = 2; p <= probe.pageCount(); ++p) {
        const auto words = probe.onPage(p);
        continued += !words.isEmpty() && qAbs(words.first()->yMin - 49) < kTolerance
                     && qAbs(words.first()->xMin - 48) < kTolerance ? 1 : 0;
    }
    EXPECT_GE(continued, 1);
    EXPECT_EQ(probe.findAll(QStringLiteral("Past 7 days reflection")).size(), 1);

    // Summary texts beside the symbol, rows with their counts at fixed x.
    for (const PdfWord *headline : probe.findAll(contents[0].weatherLabel + QStringLiteral(" \u2014 ")
                                                 + contents[0].trendBlurb))
        EXPECT_NEAR(headline->xMin, 86, kTolerance);
    const PdfWord *detail = probe.find(QString::number(contents[0].entryCount) + QStringLiteral(" entries \u00b7 ")
                                       + QString::asprintf("%+.1f", contents[0].averageSentiment));
    ASSERT_TRUE(detail);
    EXPECT_NEAR(detail->xMin, 86, kTolerance);

    for (const auto &window : contents) {
        for (const auto &bucket : window.moodDistribution) {
            bool found = false;
            for (const PdfWord *label : probe.findAll(bucket.label)) {
                const PdfWord *count = sameLine(probe, *label, 544);
                found = found || (qAbs(label->xMin - 48) < kTolerance && count
                                  && count->text == QString::number(bucket.count));
            }
            EXPECT_TRUE(found) << bucket.label.toStdString() << " " << bucket.count;
        }
        // Every ranked row is printed, whichever page it landed on.
        QList<RankedCountRow> rows;
        for (const auto &theme : window.themes)
            rows.append({theme.label, theme.count, 0});
        for (qsizetype i = 0; i < std::min<qsizetype>(8, window.keywords.size()); ++i)
            rows.append({window.keywords[i].word, window.keywords[i].count, 0});
        for (const RankedCountRow &row : rows) {
            bool found = false;
            for (const PdfWord *label : probe.findAll(rankedRowLabel(row.label))) {
                const PdfWord *count = sameLine(probe, *label, 534);
                found = found || (qAbs(label->xMin - 48) < kTolerance && count
                                  && count->text == QString::number(row.count));
            }
            EXPECT_TRUE(found) << row.label.toStdString() << " " << row.count;
        }
    }

    // The trend chart: High at 48, Low at 248, right-aligned score labels,
    // five date labels below each plot.
    const auto highs = probe.findAll(QStringLiteral("High:"));
    ASSERT_EQ(highs.size(), 3);
    for (const PdfWord *high : highs) {
        EXPECT_NEAR(high->xMin, 48, kTolerance);
        const PdfWord *low = sameLine(probe, *high, 248);
        ASSERT_TRUE(low);
        EXPECT_EQ(low->text, "Low:");
    }
    for (const QString &label : {QStringLiteral("Sunny"), QStringLiteral("Overcast"), QStringLiteral("Stormy")}) {
        int rightAligned = 0;
        for (const PdfWord *w : probe.findAll(label))
            rightAligned += qAbs(w->xMax - 560) < 1.0 ? 1 : 0;
        EXPECT_EQ(rightAligned, 3) << label.toStdString();
    }
    // Date labels: 6 points under each plot, which starts 8 points below the
    // High/Low line; five per chart, the first centred on the left edge and
    // the last on the right.
    for (const PdfWord *high : highs) {
        QList<const PdfWord *> line;
        for (const PdfWord *w : probe.onPage(high->page))
            if (qAbs(w->yMin - (high->yMin + 16 + 8 + 150 + 6)) < 1.0)
                line.append(w);
        ASSERT_EQ(line.size(), 10) << "page " << high->page; // "Mar" "4", …
        std::sort(line.begin(), line.end(), [](auto *a, auto *b) { return a->xMin < b->xMin; });
        EXPECT_NEAR((line[0]->xMin + line[1]->xMax) / 2, 48, 1.0);
        EXPECT_NEAR((line[8]->xMin + line[9]->xMax) / 2, 564, 1.0);
    }
}

TEST_F(ReportPdf, TwoWindowsKeepTheFirstOnPageOneBelowTheHeader)
{
    m_journal.addDaysAgo(12, 0.7, {{"garden", 2}}, {"Nature"});
    m_journal.addDaysAgo(200, -0.3);
    const auto contents = m_journal.contents();
    ASSERT_EQ(contents.size(), 2);
    const PdfProbe probe(render(contents));
    expectLetterPages(probe);
    expectInsidePages(probe);

    // The subtitle names all three windows whichever have entries.
    EXPECT_TRUE(probe.find(QStringLiteral("Past 7 \u00b7 30 \u00b7 365 days")));
    EXPECT_TRUE(probe.find(QStringLiteral("Past 30 days: Feb 9 \u2013 Mar 10, 2025 \u2014 Sunny")));
    EXPECT_TRUE(probe.find(QStringLiteral("Past 365 days: Mar 11, 2024 \u2013 Mar 10, 2025 \u2014 Overcast")));
    EXPECT_FALSE(probe.find(QStringLiteral("Past 7 days")));

    const PdfWord *privacy = probe.find(QStringLiteral("Generated by Zephyrnote"));
    const PdfWord *month = windowHeading(probe, QStringLiteral("Past 30 days"));
    const PdfWord *year = windowHeading(probe, QStringLiteral("Past 365 days"));
    ASSERT_TRUE(privacy && month && year);
    EXPECT_EQ(month->page, 1);
    EXPECT_NEAR(month->yMin, privacy->yMin + kLine11 + 20, kTolerance);
    EXPECT_EQ(year->page, 2);
    EXPECT_NEAR(year->yMin, 48, kTolerance);
    EXPECT_EQ(probe.pageCount(), 2);
}

TEST_F(ReportPdf, OneWindowHasNoHeadingAndOnlyTheSectionsWithData)
{
    m_journal.addDaysAgo(100, -0.0);
    const auto contents = m_journal.contents();
    ASSERT_EQ(contents.size(), 1);
    const QByteArray pdf = render(contents);
    saveForReview(pdf, QStringLiteral("weather-report-single"));
    const PdfProbe probe(pdf);
    expectLetterPages(probe);
    expectInsidePages(probe);
    EXPECT_EQ(probe.pageCount(), 1);

    EXPECT_TRUE(probe.find(QStringLiteral("Past 365 days \u00b7 Mar 11, 2024 \u2013 Mar 10, 2025")));
    EXPECT_EQ(probe.findAll(QStringLiteral("Past 365 days")).size(), 1);
    const PdfWord *privacy = probe.find(QStringLiteral("Generated by Zephyrnote"));
    const PdfWord *summary = probe.find(QStringLiteral("Summary"));
    ASSERT_TRUE(privacy && summary);
    EXPECT_NEAR(summary->yMin, privacy->yMin + kLine11 + 20, kTolerance);

    // A single entry scored -0.0: "entry", and zero with a plus sign.
    EXPECT_TRUE(probe.find(QStringLiteral("1 entry \u00b7 +0.0")));
    EXPECT_TRUE(probe.find(QStringLiteral("Overcast \u2014 A steadier, quieter stretch.")));
    const PdfWord *span = probe.find(QStringLiteral("Chart spans Nov 29, 2024 \u2013 Mar 10, 2025"));
    ASSERT_TRUE(span);
    EXPECT_NEAR(span->xMin, 48, kTolerance);
    EXPECT_TRUE(probe.find(QStringLiteral("Daily Mood Trend")));
    EXPECT_TRUE(probe.find(QStringLiteral("Mood Distribution")));
    // One day: no High/Low line; no themes, keywords or reflection.
    for (const QString &absent : {QStringLiteral("High:"), QStringLiteral("Themes"), QStringLiteral("Top Keywords"),
                                  QStringLiteral("Reflection"), QStringLiteral("reflection")})
        EXPECT_FALSE(probe.find(absent)) << absent.toStdString();
}

TEST_F(ReportPdf, LongReflectionContinuesOnNewPagesWithNothingCutEachParagraphOnItsOwn)
{
    m_journal.addDaysAgo(1, 0.3);
    // Paragraphs of 100 words joined as the page joins a reflection's parts;
    // one word wider than the page must break rather than run off it.
    QString reflection;
    for (int i = 0; i < 900; ++i)
        reflection += QStringLiteral("calm%1").arg(i) + (i % 100 == 99 ? QStringLiteral("\n\n") : QStringLiteral(" "));
    reflection += QString(600, QLatin1Char('x'));
    const auto contents = m_journal.contents(reflection);
    const QByteArray pdf = render(contents);
    saveForReview(pdf, QStringLiteral("weather-report-long-reflection"));
    const PdfProbe probe(pdf);
    expectLetterPages(probe);
    expectInsidePages(probe);
    EXPECT_GE(probe.pageCount(), 3);

    int seen = 0;
    QString longWord;
    for (const PdfWord &w : probe.words()) {
        seen += w.text.startsWith(QStringLiteral("calm")) ? 1 : 0;
        if (w.text.startsWith(QLatin1Char('x')) && w.text.count(QLatin1Char('x')) == w.text.size())
            longWord += w.text;
    }
    EXPECT_EQ(seen, 900);
    EXPECT_EQ(longWord.size(), 600);
    // Each paragraph starts a line, a blank line under the one before
    // unless a page begins between them.
    for (int p = 1; p < 9; ++p) {
        const PdfWord *last = probe.find(QStringLiteral("calm%1").arg(p * 100 - 1));
        const PdfWord *first = probe.find(QStringLiteral("calm%1").arg(p * 100));
        ASSERT_TRUE(last && first) << "paragraph " << p;
        EXPECT_NEAR(first->xMin, 48, kTolerance) << "paragraph " << p;
        EXPECT_TRUE(first->page != last->page || first->yMin - last->yMax > 12) << "paragraph " << p;
    }
    // Pages after the first begin at the top margin.
    for (int p = 2; p <= probe.pageCount(); ++p) {
        double top = 1e9;
        for (const PdfWord *w : probe.onPage(p))
            top = std::min(top, w->yMin);
        EXPECT_NEAR(top, 48, kTolerance) << "page " << p;
    }
}

TEST_F(ReportPdf, OddValuesStillGiveASoundPage)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EmotionalWeatherReportContent window = minimalWindow();
    window.averageSentiment = 1.7;
    const QDateTime day(QDate(2025, 3, 10), QTime(0, 0), test::kReportZone);
    window.dailyPoints = {{"2025-03-10", day, 1.4, 2}, {"2025-03-10", day, -3.0, 1}, {"2025-03-10", day, nan, 1},
                          {"2025-03-09", day.addDays(-1), 0.5, 0}};
    window.chartXDomain = DateRange{day, day}; // no width
    window.moodDistribution = {{"Sunny", 200, 0.8}, {"Stormy", 1, -0.8}};
    const QString family = QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467");
    window.themes = {{family.repeated(20), 3}, {QStringLiteral("e\u0301").repeated(30), 2},
                     {QString(80, QLatin1Char('W')), 1}};
    window.keywords = {{QStringLiteral("\u0645\u0631\u062d\u0628\u0627"), 5, nan}, {"walk", 0, -9}};
    const QByteArray pdf = render({window});
    saveForReview(pdf, QStringLiteral("weather-report-odd-values"));
    const PdfProbe probe(pdf);
    expectLetterPages(probe);
    EXPECT_EQ(probe.pageCount(), 1);

    // Both dated points sit on the middle of a domain without width.
    const PdfWord *tick = probe.find(QStringLiteral("Mar 10"), int(probe.find(QStringLiteral("Stormy"))
                                                                   - probe.words().data()));
    ASSERT_TRUE(tick);
    const PdfWord &tickEnd = probe.words()[tick - probe.words().data() + 1];
    EXPECT_NEAR((tick->xMin + tickEnd.xMax) / 2, 306, 1.0);
    // A 200:1 ratio still prints the small count in its row.
    const PdfWord *stormy = nullptr;
    for (const PdfWord *w : probe.findAll(QStringLiteral("Stormy")))
        if (qAbs(w->xMin - 48) < kTolerance)
            stormy = w;
    ASSERT_TRUE(stormy);
    const PdfWord *count = sameLine(probe, *stormy, 544);
    ASSERT_TRUE(count);
    EXPECT_EQ(count->text, "1");
    // Labels too wide for the space before their bars are cut to fit it.
    int rankedRows = 0;
    for (const PdfWord &count : probe.words()) {
        if (qAbs(count.xMin - 534) > kTolerance)
            continue;
        ++rankedRows;
        for (const PdfWord *w : probe.onPage(count.page))
            if (qAbs(w->yMin - count.yMin) < 1.5 && w->xMin < 120) {
                EXPECT_LE(w->xMax, 118.5) << w->text.toStdString();
            }
    }
    EXPECT_EQ(rankedRows, 5);
    EXPECT_TRUE(probe.find(QStringLiteral("WWWWWWW\u2026")));

    // Every day at the very bottom: a line along the edge and no wash.
    window.dailyPoints = {{"2025-03-08", day.addDays(-2), -1.0, 1}, {"2025-03-09", day.addDays(-1), -2.0, 1},
                          {"2025-03-10", day, -1.0, 1}};
    window.chartXDomain = DateRange{day.addDays(-6), day};
    expectLetterPages(PdfProbe(render({window})));
}

TEST_F(ReportPdf, OrdinaryLabelsOfFourteenCharactersShowWhole)
{
    EmotionalWeatherReportContent window = minimalWindow();
    window.moodDistribution = {{QStringLiteral("Partly cloudy"), 3, 0.4}};
    window.themes = {{QStringLiteral("evening walks!"), 2}, {QStringLiteral("self-compassion"), 1}};
    window.keywords = {{QStringLiteral("conversations"), 4, 0.2}};
    const PdfProbe probe(render({window}));
    for (const QString &whole : {QStringLiteral("Partly cloudy"), QStringLiteral("evening walks!"),
                                 QStringLiteral("conversations"), QStringLiteral("self-compassi\u2026")}) {
        const PdfWord *w = probe.find(whole);
        ASSERT_TRUE(w) << whole.toStdString();
        EXPECT_NEAR(w->xMin, 48, kTolerance) << whole.toStdString();
    }
    EXPECT_FALSE(probe.find(QStringLiteral("self-compassion")));
}

TEST_F(ReportPdf, CoolPaletteAndEmptyInput)
{
    test::fillSeededJournal(m_journal, 90, 11);
    const QByteArray pdf = render(m_journal.contents(), ZephyrTheme{ColorPalettePreference::Cool, ColorScheme::Dark});
    saveForReview(pdf, QStringLiteral("weather-report-cool"));
    expectLetterPages(PdfProbe(pdf));

    const WeatherReportRenderResult empty = renderWeatherReportPDF({}, ZephyrTheme{});
    EXPECT_EQ(empty.error, EmotionalWeatherPDFError::empty());
    EXPECT_TRUE(empty.pdf.isEmpty());
}

TEST_F(ReportPdf, HighAndLowAreTheFirstExtremesOnDifferentDays)
{
    const QDateTime day(QDate(2025, 3, 10), QTime(0, 0), test::kReportZone);
    EmotionalWeatherReportContent window = minimalWindow();
    window.chartXDomain = DateRange{day.addDays(-6), day};
    const auto point = [&](int daysAgo, double score) {
        return WeatherPDFDailyPoint{m_journal.calendar.dayKey(day.addDays(-daysAgo)), day.addDays(-daysAgo), score, 1};
    };

    window.dailyPoints = {point(3, 0.25), point(2, 0.25)};
    EXPECT_FALSE(PdfProbe(render({window})).find(QStringLiteral("High:")));

    window.dailyPoints = {point(5, 0.2), point(4, 0.8), point(3, 0.8), point(2, -0.25), point(1, -0.25)};
    const PdfProbe probe(render({window}));
    const PdfWord *high = probe.find(QStringLiteral("High: Sunny (+0.8)"));
    const PdfWord *low = probe.find(QStringLiteral("Low: Rainy (-0.2)"));
    ASSERT_TRUE(high && low);
    EXPECT_NEAR(high->xMin, 48, kTolerance);
    EXPECT_NEAR(low->xMin, 248, kTolerance);
}

TEST_F(ReportPdf, ChartWashesStayFaintOnThePage)
{
    test::fillSeededJournal(m_journal, 90, 3);
    const auto contents = m_journal.contents();
    const QByteArray pdf = render({contents.first()});
    const PdfProbe probe(pdf);
    const PdfWord *sunny = nullptr;
    for (const PdfWord *w : probe.findAll(QStringLiteral("Sunny")))
        sunny = qAbs(w->xMax - 560) < 1.0 ? w : sunny;
    ASSERT_TRUE(sunny);
    const double plotTop = (sunny->yMin + sunny->yMax) / 2; // the label is centred on the top edge
    test::TempDir dir;
    const QStringList pages = PdfProbe::renderPages(pdf, dir.file(QStringLiteral("page")), 72);
    ASSERT_FALSE(pages.isEmpty());
    const QImage page(pages.first());
    ASSERT_FALSE(page.isNull());
    // Near the top (the accent at a tenth over white) and the bottom (the
    // area's heavy end at 4 %) the plot stays close to white: a gradient
    // whose alpha a viewer dropped would show there at full strength.
    for (const QPoint at : {QPoint(300, int(plotTop) + 4), QPoint(300, int(plotTop) + 146)}) {
        const QColor c = page.pixelColor(at);
        EXPECT_GT(c.redF(), 0.85) << at.y();
        EXPECT_GT(c.greenF(), 0.85) << at.y();
        EXPECT_GT(c.blueF(), 0.85) << at.y();
    }
}

// Columns of ink in a rectangle of a page image, left to right: one per
// glyph of a short word, each with its topmost and lowest inked row.
struct InkColumn {
    int left = 0, right = 0, top = 0, bottom = 0;
};

QList<InkColumn> inkColumns(const QImage &page, const QRect &area)
{
    QList<InkColumn> out;
    bool inGlyph = false;
    for (int x = area.left(); x <= area.right(); ++x) {
        int top = -1, bottom = -1;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            if (qGray(page.pixel(x, y)) < 150) {
                if (top < 0)
                    top = y;
                bottom = y;
            }
        }
        if (top < 0) {
            inGlyph = false;
            continue;
        }
        if (!inGlyph)
            out.append({x, x, top, bottom});
        InkColumn &glyph = out.last();
        glyph.right = x;
        glyph.top = std::min(glyph.top, top);
        glyph.bottom = std::max(glyph.bottom, bottom);
        inGlyph = true;
    }
    return out;
}

TEST_F(ReportPdf, JournalTextsArePrintedExactlyAsWritten)
{
    // Texts an OpenType font draws in other forms by context: the x between
    // digits as "×", dashes, colons, brackets and "@" raised beside capitals
    // and digits, "->" as an arrow.
    const QStringList counts = {QStringLiteral("3x10"), QStringLiteral("2x2"), QStringLiteral("4x4"),
                                QStringLiteral("1920x1080"), QStringLiteral("12x12x12"), QStringLiteral("8x")};
    const QStringList others = {QStringLiteral("A-B"), QStringLiteral("(OK)"), QStringLiteral("me@HOME"),
                                QStringLiteral("12:30"), QStringLiteral("a->b"), QStringLiteral("~A"),
                                QStringLiteral("[X]"), QStringLiteral("5\u00d75")};
    EmotionalWeatherReportContent window = minimalWindow();
    window.reflectionText = QStringLiteral("Did 3x10 push-ups. ") + (counts + others).join(u' ');
    window.reflectionSectionTitle = QStringLiteral("Past 7 days reflection");
    window.themes = {{QStringLiteral("2x2 grid"), 3}, {QStringLiteral("12x12x12"), 2}, {QStringLiteral("A-B"), 1}};
    window.keywords = {{QStringLiteral("4x4"), 5, 0.2}, {QStringLiteral("1920x1080"), 3, 0.1},
                       {QStringLiteral("me@HOME"), 2, 0.0}, {QStringLiteral("a->b"), 1, -0.2}};
    const QByteArray pdf = render({window});
    saveForReview(pdf, QStringLiteral("weather-report-journal-texts"));
    const PdfProbe probe(pdf);
    expectLetterPages(probe);

    // The text layer holds each as written, in the reflection and in the rows.
    EXPECT_TRUE(probe.find(QStringLiteral("Did 3x10 push-ups."))) << probe.text().toStdString();
    for (const QString &text : counts + others)
        EXPECT_TRUE(probe.find(text)) << text.toStdString() << " in " << probe.text().toStdString();
    for (const QString &row : {QStringLiteral("2x2 grid"), QStringLiteral("12x12x12"), QStringLiteral("4x4"),
                               QStringLiteral("1920x1080"), QStringLiteral("me@HOME"), QStringLiteral("a->b")}) {
        bool inRows = false;
        for (const PdfWord *w : probe.findAll(row))
            inRows = inRows || qAbs(w->xMin - 48) < kTolerance;
        EXPECT_TRUE(inRows) << row.toStdString();
    }
    EXPECT_EQ(probe.text().count(QChar(0x00d7)), 1) << "only the one written as \u00d7";
    EXPECT_FALSE(probe.text().contains(QChar(0x2192)));

    // And the page shows a letter x: standing on the digits' baseline, lower
    // than them, where a multiplication sign floats above it.
    constexpr int kDpi = 400;
    const test::TempDir dir;
    const QStringList pages = PdfProbe::renderPages(pdf, dir.file(QStringLiteral("page")), kDpi);
    ASSERT_FALSE(pages.isEmpty());
    const QImage page(pages.first());
    const double scale = kDpi / 72.0;
    int checked = 0;
    for (const QString &text : counts) {
        for (const PdfWord *w : probe.findAll(text)) {
            if (w->text != text || w->page != 1 || w->yMax - w->yMin < 12) // the 12-point reflection
                continue;
            const QRect area(QPoint(int(w->xMin * scale) - 2, int(w->yMin * scale)),
                             QPoint(int(w->xMax * scale) + 2, int(w->yMax * scale)));
            const QList<InkColumn> glyphs = inkColumns(page, area);
            ASSERT_EQ(glyphs.size(), text.size()) << text.toStdString();
            const InkColumn &digit = glyphs.first();
            for (qsizetype i = 0; i < text.size(); ++i) {
                if (text[i] != u'x')
                    continue;
                const InkColumn &x = glyphs[i];
                EXPECT_NEAR(x.bottom, digit.bottom, 2) << text.toStdString() << " character " << i;
                EXPECT_GT(x.top - digit.top, (digit.bottom - digit.top) / 5) << text.toStdString() << " character " << i;
                ++checked;
            }
        }
    }
    EXPECT_EQ(checked, 8); // the x of every count in the reflection
}

TEST(ReportSymbol, TintedSymbolOrNothingForAnUnknownName)
{
    QImage image(40, 40, QImage::Format_ARGB32_Premultiplied);
    const auto drawn = [&](const QString &name) {
        image.fill(Qt::transparent);
        QPainter painter(&image);
        const bool ok = drawTintedSymbol(painter, 6, 6, 28, name, QColor::fromRgbF(0.8f, 0.5f, 0.2f, 0.85f));
        painter.end();
        int painted = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                painted += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
        return std::pair(ok, painted);
    };
    const auto [ok, painted] = drawn(QStringLiteral("cloud.sun.fill"));
    EXPECT_TRUE(ok);
    EXPECT_GT(painted, 100);
    const auto [missingOk, missingPainted] = drawn(QStringLiteral("no.such.symbol"));
    EXPECT_FALSE(missingOk);
    EXPECT_EQ(missingPainted, 0);
}

} // namespace zn
