#include "app/marks/MarkPainting.h"
#include "app/marks/MarkWidgets.h"
#include "app/marks/TextStyles.h"
#include "platform/symbols/SymbolLibrary.h"
#include "support/TestSupport.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace zn {
namespace {

QImage paintKeyword(const QString &word, bool emphasized, const ZephyrTheme &theme,
                    const QColor &ground = Qt::transparent)
{
    const QSizeF size = keywordChipSize(word, emphasized);
    QImage image(qCeil(size.width()), qCeil(size.height()), QImage::Format_ARGB32);
    image.fill(ground);
    QPainter painter(&image);
    paintKeywordChip(painter, QRectF(QPointF(0, 0), size), word, emphasized, theme);
    return image;
}

// The colour that drew a pixel over transparency, and its opacity.
QColor unpremultiplied(const QImage &image, int x, int y)
{
    return QColor::fromRgba(image.pixel(x, y));
}

} // namespace

TEST(KeywordChip, CapsuleFillAndTextColourFollowEmphasis)
{
    const ZephyrTheme theme{ColorPalettePreference::Cool, ColorScheme::Dark};
    for (bool emphasized : {false, true}) {
        const QImage image = paintKeyword(QStringLiteral("garden"), emphasized, theme);
        const int midY = image.height() / 2;
        // Inside the padding, clear of the border and the word: the fill alone.
        const QColor fill = unpremultiplied(image, 5, midY);
        EXPECT_NEAR(fill.alphaF(), emphasized ? 0.14 : 0.08, 0.01);
        EXPECT_NEAR(fill.red(), theme.accent().red(), 6);
        EXPECT_NEAR(fill.blue(), theme.accent().blue(), 6);
    }
    // Emphasised words are in the accent; plain ones in the secondary ink
    // (seen over white: orange against grey).
    const ZephyrTheme warm;
    const QImage plain = paintKeyword(QStringLiteral("WWWW"), false, warm, Qt::white);
    const QImage strong = paintKeyword(QStringLiteral("WWWW"), true, warm, Qt::white);
    int accentish = 0;
    int inkish = 0;
    for (int y = 0; y < strong.height(); ++y)
        for (int x = 9; x < strong.width() - 9; ++x) {
            const QColor s = unpremultiplied(strong, x, y);
            const QColor p = unpremultiplied(plain, x, y);
            accentish += (s.red() < 220 && s.red() > s.blue() + 60) ? 1 : 0;
            inkish += (p.red() < 180 && qAbs(p.red() - p.blue()) < 30) ? 1 : 0;
        }
    EXPECT_GT(accentish, 10);
    EXPECT_GT(inkish, 10);
}

TEST(KeywordChip, SizeIsTheWordPlusPaddingAndKeepsItsCase)
{
    const QFontMetricsF fm(keywordChipFont(false));
    const QSizeF size = keywordChipSize(QStringLiteral("Rain"), false);
    EXPECT_DOUBLE_EQ(size.width(), qCeil(fm.horizontalAdvance("Rain")) + 18);
    EXPECT_DOUBLE_EQ(size.height(), fm.height() + 8);
    // The word is shown as passed: case changes the drawing.
    EXPECT_NE(paintKeyword("RAIN", false, {}), paintKeyword("rain", false, {}));
    // An emphasised word is medium weight, the plain one regular.
    EXPECT_EQ(keywordChipFont(true).weight(), QFont::Medium);
    EXPECT_EQ(keywordChipFont(false).weight(), QFont::Normal);
}

TEST(KeywordChip, SqueezedChipStaysInsideItsRect)
{
    const QString longWord = QStringLiteral("extraordinarilylongwordwithoutanybreaks");
    const QSizeF full = keywordChipSize(longWord, false);
    QImage image(int(full.width()) + 20, int(full.height()), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    paintKeywordChip(painter, QRectF(0, 0, 60, full.height()), longWord, false, {});
    painter.end();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 61; x < image.width(); ++x)
            ASSERT_EQ(qAlpha(image.pixel(x, y)), 0) << x;
}

TEST(WeatherChip, CapsuleInTheWeatherColourWithSymbolAndTitle)
{
    const QFontMetricsF fm(weatherChipFont());
    const QSizeF size = weatherChipSize(WeatherLabel::Sunny);
    const qreal box = symbolBoxForFontPixelSize(10);
    EXPECT_DOUBLE_EQ(size.width(), box + 5 + qCeil(fm.horizontalAdvance("Sunny")) + 20);
    EXPECT_DOUBLE_EQ(size.height(), qMax(box, fm.height()) + 10);
    EXPECT_EQ(weatherChipFont().weight(), QFont::DemiBold);

    QImage image(qCeil(size.width()), qCeil(size.height()), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    paintWeatherChip(painter, QRectF(QPointF(0, 0), size), WeatherLabel::Sunny, {});
    painter.end();
    const QColor sunny = ZephyrTheme::weatherColor(WeatherLabel::Sunny);
    const QColor fill = unpremultiplied(image, 6, 2);
    EXPECT_NEAR(fill.alphaF(), 0.14, 0.01);
    EXPECT_NEAR(fill.red(), sunny.red(), 6);
    // The symbol sits in the left padding's column at full colour.
    bool symbolInked = false;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 10; x < 10 + int(box); ++x)
            symbolInked |= unpremultiplied(image, x, y).rgba() == sunny.rgba();
    EXPECT_TRUE(symbolInked);
    // The same chip in every theme.
    QImage dark(image.size(), QImage::Format_ARGB32);
    dark.fill(Qt::transparent);
    QPainter darkPainter(&dark);
    paintWeatherChip(darkPainter, QRectF(QPointF(0, 0), size), WeatherLabel::Sunny,
                     {ColorPalettePreference::Cool, ColorScheme::Dark});
    darkPainter.end();
    EXPECT_EQ(image, dark);
}

TEST(Marks, DrawOnAPdfPageWithRealText)
{
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        GTEST_SKIP() << "poppler-utils not installed";
    test::TempDir dir;
    const QString path = dir.file("marks.pdf");
    {
        QPdfWriter writer(path);
        writer.setResolution(72);
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter painter(&writer);
        WeatherMarkStyle mark;
        mark.label = WeatherLabel::Rainy;
        mark.size = WeatherMarkSize::Large;
        mark.showTitle = true;
        mark.phrase = QStringLiteral("Gentle with yourself");
        paintWeatherMark(painter, QPointF(40, 40), mark, {});
        const QSizeF chip = weatherChipSize(WeatherLabel::Sunny, &writer);
        paintWeatherChip(painter, QRectF(QPointF(40, 120), chip), WeatherLabel::Sunny, {});
        const QSizeF keyword = keywordChipSize(QStringLiteral("harbour"), true, &writer);
        paintKeywordChip(painter, QRectF(QPointF(40, 160), keyword), QStringLiteral("harbour"), true, {});
    }
    QProcess text;
    text.start("pdftotext", {path, "-"});
    ASSERT_TRUE(text.waitForFinished(10000));
    const QString out = QString::fromUtf8(text.readAllStandardOutput());
    for (const char *expected : {"Rainy", "Gentle with yourself", "Sunny", "harbour"})
        EXPECT_TRUE(out.contains(QLatin1String(expected))) << expected << " in " << out.toStdString();
}

} // namespace zn
