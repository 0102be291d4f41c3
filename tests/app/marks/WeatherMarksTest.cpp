#include "app/marks/MarkPainting.h"
#include "app/marks/MarkWidgets.h"
#include "app/marks/TextStyles.h"
#include "app/marks/WeatherMarks.h"
#include "platform/symbols/SymbolLibrary.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace zn {
namespace {

WeatherMarkStyle markStyle(WeatherLabel label, WeatherMarkSize size, bool showTitle,
                     std::optional<QString> phrase = std::nullopt)
{
    WeatherMarkStyle s;
    s.label = label;
    s.size = size;
    s.showTitle = showTitle;
    s.phrase = std::move(phrase);
    return s;
}

QImage paintMark(const WeatherMarkStyle &s, const ZephyrTheme &theme = {})
{
    const QSizeF size = weatherMarkGeometry(s).size;
    QImage image(qCeil(size.width()) + 2, qCeil(size.height()) + 2, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    paintWeatherMark(painter, QPointF(1, 1), s, theme);
    return image;
}

const QList<WeatherMarkSize> kSizes = {WeatherMarkSize::Compact, WeatherMarkSize::Regular,
                                       WeatherMarkSize::Large, WeatherMarkSize::Mural};

} // namespace

TEST(WeatherMarks, EachWeatherHasItsTitleAndAnExistingSymbol)
{
    const QList<std::tuple<WeatherLabel, QString, QString>> table = {
        {WeatherLabel::Sunny, "Sunny", "sun.max.fill"},
        {WeatherLabel::PartlyCloudy, "Partly cloudy", "cloud.sun.fill"},
        {WeatherLabel::Overcast, "Overcast", "cloud.fill"},
        {WeatherLabel::Rainy, "Rainy", "cloud.rain.fill"},
        {WeatherLabel::Stormy, "Stormy", "cloud.bolt.rain.fill"},
    };
    for (const auto &[label, title, symbol] : table) {
        EXPECT_EQ(weatherTitle(label), title);
        EXPECT_EQ(weatherSymbolName(label), symbol);
        EXPECT_TRUE(hasSymbol(symbol)) << symbol.toStdString();
    }
}

TEST(WeatherMarks, AccessibleNamesNameTheWeatherWithOrWithoutPhrase)
{
    // No phrase: "Mood " and the title, whether or not the title is shown.
    EXPECT_EQ(weatherMarkAccessibleName(markStyle(WeatherLabel::Sunny, WeatherMarkSize::Large, false)), "Mood Sunny");
    EXPECT_EQ(weatherMarkAccessibleName(markStyle(WeatherLabel::Sunny, WeatherMarkSize::Large, true)), "Mood Sunny");
    // A phrase: title, comma and phrase, even with the title hidden.
    EXPECT_EQ(weatherMarkAccessibleName(markStyle(WeatherLabel::Rainy, WeatherMarkSize::Compact, false,
                                             QStringLiteral("A heavier day"))),
              "Rainy, A heavier day");
    // A present but empty phrase still counts as a phrase.
    EXPECT_EQ(weatherMarkAccessibleName(WeatherLabel::PartlyCloudy, QString()), "Partly cloudy, ");
    EXPECT_EQ(weatherChipAccessibleName(WeatherLabel::Stormy), "Mood Stormy");
}

TEST(WeatherMarks, WidgetsCarryTheirAccessibleNamesAndFollowChanges)
{
    WeatherMark mark(WeatherLabel::Overcast, -0.1);
    EXPECT_EQ(mark.accessibleName(), "Mood Overcast");
    mark.setPhrase(QStringLiteral("Steady"));
    EXPECT_EQ(mark.accessibleName(), "Overcast, Steady");
    mark.setPhrase(std::nullopt);
    EXPECT_EQ(mark.accessibleName(), "Mood Overcast");
    EXPECT_DOUBLE_EQ(mark.sentiment(), -0.1);

    WeatherChip chip(WeatherLabel::PartlyCloudy, 0.3);
    EXPECT_EQ(chip.accessibleName(), "Mood Partly cloudy");

    KeywordChip keyword(QStringLiteral("McIntosh"));
    EXPECT_EQ(keyword.accessibleName(), "McIntosh");
    EXPECT_EQ(keyword.word(), "McIntosh");
}

TEST(WeatherMarks, SymbolOnlyMarkIsJustTheSymbol)
{
    for (WeatherMarkSize size : kSizes) {
        const auto g = weatherMarkGeometry(markStyle(WeatherLabel::Sunny, size, false));
        EXPECT_TRUE(g.titleRect.isNull());
        EXPECT_TRUE(g.phraseRect.isNull());
        EXPECT_EQ(g.size, g.symbolRect.size());
        EXPECT_EQ(g.symbolRect.topLeft(), QPointF(0, 0));
    }
    // The symbol grows with the size's symbol font: 28 and 56 for the big ones.
    const qreal large = weatherMarkGeometry(markStyle(WeatherLabel::Sunny, WeatherMarkSize::Large, false)).size.width();
    const qreal mural = weatherMarkGeometry(markStyle(WeatherLabel::Sunny, WeatherMarkSize::Mural, false)).size.width();
    EXPECT_DOUBLE_EQ(large, symbolBoxForFontPixelSize(28));
    EXPECT_DOUBLE_EQ(mural, symbolBoxForFontPixelSize(56));
}

TEST(WeatherMarks, TextColumnHoldsTitleAndPhraseAsAsked)
{
    // Phrase without title: one line, no title.
    auto g = weatherMarkGeometry(markStyle(WeatherLabel::Rainy, WeatherMarkSize::Regular, false, QStringLiteral("Tired")));
    EXPECT_TRUE(g.titleRect.isNull());
    EXPECT_FALSE(g.phraseRect.isEmpty());
    EXPECT_DOUBLE_EQ(g.phraseRect.left(), g.symbolRect.right() + 6);

    // An empty phrase still adds its line under the title (2 apart).
    g = weatherMarkGeometry(markStyle(WeatherLabel::Rainy, WeatherMarkSize::Regular, true, QString()));
    EXPECT_GT(g.phraseRect.height(), 0);
    EXPECT_DOUBLE_EQ(g.phraseRect.width(), 0);
    EXPECT_DOUBLE_EQ(g.phraseRect.top(), g.titleRect.bottom() + 2);
    const auto titleOnly = weatherMarkGeometry(markStyle(WeatherLabel::Rainy, WeatherMarkSize::Regular, true));
    EXPECT_GT(g.size.height(), titleOnly.size.height());

    // Row spacing by size.
    const QList<qreal> spacings = {4, 6, 8, 12};
    for (int i = 0; i < kSizes.size(); ++i) {
        g = weatherMarkGeometry(markStyle(WeatherLabel::Sunny, kSizes[i], true));
        EXPECT_DOUBLE_EQ(g.titleRect.left() - g.symbolRect.right(), spacings[i]);
    }
}

TEST(WeatherMarks, SmallSizesShareABaselineAndLargeSizesCentre)
{
    for (WeatherMarkSize size : {WeatherMarkSize::Compact, WeatherMarkSize::Regular}) {
        const auto g = weatherMarkGeometry(markStyle(WeatherLabel::Sunny, size, true, QStringLiteral("Bright")));
        // The symbol rests on the title's baseline like a glyph.
        EXPECT_NEAR(g.symbolRect.top() + g.symbolRect.height() * 0.84, g.titleBaseline, 0.01);
        EXPECT_GE(g.symbolRect.top(), 0);
        EXPECT_GE(g.titleRect.top(), 0);
    }
    for (WeatherMarkSize size : {WeatherMarkSize::Large, WeatherMarkSize::Mural}) {
        const auto g = weatherMarkGeometry(markStyle(WeatherLabel::Sunny, size, true, QStringLiteral("Bright")));
        const qreal columnCentre = (g.titleRect.top() + g.phraseRect.bottom()) / 2;
        EXPECT_NEAR(g.symbolRect.center().y(), columnCentre, 0.01);
    }
}

TEST(WeatherMarks, FontsPerSizeMatchTheTextStyles)
{
    EXPECT_EQ(weatherMarkFonts(WeatherMarkSize::Mural).phrase.pixelSize(), 13); // body
    for (WeatherMarkSize size : {WeatherMarkSize::Compact, WeatherMarkSize::Regular, WeatherMarkSize::Large})
        EXPECT_EQ(weatherMarkFonts(size).phrase.pixelSize(), 10); // caption
    EXPECT_EQ(weatherMarkFonts(WeatherMarkSize::Large).title.pixelSize(), 15);
    EXPECT_EQ(weatherMarkFonts(WeatherMarkSize::Large).title.weight(), QFont::Medium);
    EXPECT_EQ(weatherMarkFonts(WeatherMarkSize::Regular).title.pixelSize(), 11);
    EXPECT_EQ(weatherMarkFonts(WeatherMarkSize::Regular).title.weight(), QFont::DemiBold);
    EXPECT_EQ(weatherMarkFonts(WeatherMarkSize::Mural).title.pixelSize(), 22);
    EXPECT_EQ(weatherMarkFonts(WeatherMarkSize::Mural).symbol.weight(), QFont::Thin);
}

TEST(WeatherMarks, SentimentDoesNotChangeTheDrawing)
{
    WeatherMarkStyle a = markStyle(WeatherLabel::PartlyCloudy, WeatherMarkSize::Large, true, QStringLiteral("Mixed"));
    WeatherMarkStyle b = a;
    a.sentiment = 0.21;
    b.sentiment = 0.59;
    EXPECT_EQ(paintMark(a), paintMark(b));
}

TEST(WeatherMarks, SymbolIsDrawnInTheWeatherColour)
{
    const QImage image = paintMark(markStyle(WeatherLabel::Stormy, WeatherMarkSize::Mural, false));
    const QColor stormy = ZephyrTheme::weatherColor(WeatherLabel::Stormy);
    int matching = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (qAlpha(p) == 255) {
                EXPECT_EQ(QColor(p).rgb(), stormy.rgb());
                ++matching;
            }
        }
    EXPECT_GT(matching, 200);
}

} // namespace zn
