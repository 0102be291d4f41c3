#include "app/theme/ZephyrTheme.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace zn {

namespace {

using Palette = ColorPalettePreference;

struct Expected
{
    double r, g, b, a = 1.0;
};

// Colours are compared at QColor's own precision (16 bits a channel): the
// exact value the table asks for, not a nearby one.
void expectColor(const QColor &actual, const Expected &e, const std::string &what)
{
    SCOPED_TRACE(what);
    EXPECT_TRUE(actual.isValid());
    EXPECT_EQ(actual, actual.toRgb()); // held as RGB: equal only to its own RGB form
    EXPECT_EQ(actual, QColor::fromRgbF(float(e.r), float(e.g), float(e.b), float(e.a)))
        << actual.redF() << ", " << actual.greenF() << ", " << actual.blueF() << " a " << actual.alphaF();
}

const ZephyrTheme kWarmLight{Palette::Warm, ColorScheme::Light};
const ZephyrTheme kWarmDark{Palette::Warm, ColorScheme::Dark};
const ZephyrTheme kCoolLight{Palette::Cool, ColorScheme::Light};
const ZephyrTheme kCoolDark{Palette::Cool, ColorScheme::Dark};
const ZephyrTheme kAllThemes[] = {kWarmLight, kWarmDark, kCoolLight, kCoolDark};

struct Row
{
    const char *name;
    QColor (ZephyrTheme::*member)() const;
    Expected warmLight, warmDark, coolLight, coolDark;
};

const Row kPaletteRows[] = {
    {"background", &ZephyrTheme::background, {0.98, 0.93, 0.86}, {0.14, 0.10, 0.08}, {0.90, 0.95, 0.97}, {0.05, 0.08, 0.12}},
    {"backgroundMid", &ZephyrTheme::backgroundMid, {0.96, 0.90, 0.82}, {0.16, 0.11, 0.09}, {0.88, 0.93, 0.96}, {0.07, 0.11, 0.15}},
    {"backgroundDeep", &ZephyrTheme::backgroundDeep, {0.92, 0.84, 0.74}, {0.20, 0.13, 0.10}, {0.82, 0.89, 0.93}, {0.08, 0.13, 0.18}},
    {"accent", &ZephyrTheme::accent, {0.72, 0.42, 0.22}, {0.92, 0.62, 0.38}, {0.22, 0.48, 0.58}, {0.45, 0.78, 0.88}},
    {"surface", &ZephyrTheme::surface, {0.98, 0.95, 0.91}, {0.13, 0.10, 0.09}, {0.95, 0.97, 0.98}, {0.09, 0.11, 0.14}},
    {"paper", &ZephyrTheme::paper, {1.0, 0.985, 0.96}, {0.17, 0.14, 0.12}, {0.99, 1.0, 1.0}, {0.12, 0.15, 0.18}},
    {"cardFill", &ZephyrTheme::cardFill, {1.0, 0.99, 0.97, 0.92}, {1, 1, 1, 0.055}, {1, 1, 1, 0.88}, {1, 1, 1, 0.06}},
    {"panelFill", &ZephyrTheme::panelFill, {1, 1, 1, 0.78}, {1, 1, 1, 0.07}, {1, 1, 1, 0.82}, {1, 1, 1, 0.08}},
};

// Scheme-only members: light is black, dark is white.
const Row kInkRows[] = {
    {"ink", &ZephyrTheme::ink, {0, 0, 0, 0.88}, {1, 1, 1, 0.92}, {0, 0, 0, 0.88}, {1, 1, 1, 0.92}},
    {"inkSecondary", &ZephyrTheme::inkSecondary, {0, 0, 0, 0.48}, {1, 1, 1, 0.55}, {0, 0, 0, 0.48}, {1, 1, 1, 0.55}},
    {"inkTertiary", &ZephyrTheme::inkTertiary, {0, 0, 0, 0.34}, {1, 1, 1, 0.38}, {0, 0, 0, 0.34}, {1, 1, 1, 0.38}},
    {"hairline", &ZephyrTheme::hairline, {0, 0, 0, 0.08}, {1, 1, 1, 0.10}, {0, 0, 0, 0.08}, {1, 1, 1, 0.10}},
};

void checkRow(const Row &row)
{
    const std::string name = row.name;
    expectColor((kWarmLight.*row.member)(), row.warmLight, name + " warm light");
    expectColor((kWarmDark.*row.member)(), row.warmDark, name + " warm dark");
    expectColor((kCoolLight.*row.member)(), row.coolLight, name + " cool light");
    expectColor((kCoolDark.*row.member)(), row.coolDark, name + " cool dark");
}

} // namespace

TEST(ZephyrTheme, DefaultIsWarmInTheLightScheme)
{
    const ZephyrTheme theme;
    EXPECT_EQ(theme.palette, Palette::Warm);
    EXPECT_EQ(theme.colorScheme, ColorScheme::Light);
    EXPECT_FALSE(theme.isDark());
    EXPECT_EQ(kCoolDark.withColorScheme(ColorScheme::Light), kCoolLight);
}

TEST(ZephyrTheme, EveryPaletteColourInBothSchemes)
{
    for (const Row &row : kPaletteRows)
        checkRow(row);
}

TEST(ZephyrTheme, InksFollowTheSchemeOnlyAndTheirOtherNamesMatch)
{
    for (const Row &row : kInkRows)
        checkRow(row);
    for (const ZephyrTheme &theme : kAllThemes) {
        EXPECT_EQ(theme.primaryInk(), theme.ink());
        EXPECT_EQ(theme.secondaryInk(), theme.inkSecondary());
        EXPECT_EQ(theme.faintInk(), theme.inkTertiary());
        EXPECT_EQ(theme.panelBorder(), theme.hairline());
    }
}

TEST(ZephyrTheme, WeatherColoursAreTheSameEverywhere)
{
    const std::pair<WeatherLabel, Expected> table[] = {
        {WeatherLabel::Sunny, {0.92, 0.68, 0.22}},        {WeatherLabel::PartlyCloudy, {0.55, 0.68, 0.78}},
        {WeatherLabel::Overcast, {0.55, 0.58, 0.62}},     {WeatherLabel::Rainy, {0.38, 0.52, 0.72}},
        {WeatherLabel::Stormy, {0.48, 0.36, 0.62}},
    };
    for (const auto &[label, colour] : table) {
        for (const ZephyrTheme &theme : kAllThemes)
            expectColor(theme.weatherColor(label), colour, rawValue(label).toStdString());
    }
}

TEST(ZephyrTheme, SentimentColourCheckpointsWithTheStepAtZero)
{
    struct Checkpoint
    {
        double score;
        Expected warm, cool;
    };
    const Checkpoint checkpoints[] = {
        {-1.0, {0.45, 0.28, 0.35}, {0.35, 0.30, 0.65}},
        {-0.5, {0.525, 0.28, 0.35}, {0.35, 0.30, 0.60}},
        {-0.0001, {0.599985, 0.28, 0.35}, {0.35, 0.30, 0.55001}},
        {0.0, {0.85, 0.45, 0.18}, {0.25, 0.55, 0.70}},
        {0.15, {0.85, 0.4875, 0.18}, {0.25, 0.58, 0.70}},
        {0.5, {0.85, 0.575, 0.18}, {0.25, 0.65, 0.70}},
        {1.0, {0.85, 0.70, 0.18}, {0.25, 0.75, 0.70}},
    };
    for (const Checkpoint &c : checkpoints) {
        const std::string at = "score " + std::to_string(c.score);
        // The scheme never matters.
        for (ColorScheme scheme : {ColorScheme::Light, ColorScheme::Dark}) {
            expectColor(ZephyrTheme{Palette::Warm, scheme}.sentimentColor(c.score), c.warm, "warm " + at);
            expectColor(ZephyrTheme{Palette::Cool, scheme}.sentimentColor(c.score), c.cool, "cool " + at);
        }
    }
    // Negative zero is zero: the upper ramp.
    EXPECT_EQ(kWarmLight.sentimentColor(-0.0), kWarmLight.sentimentColor(0.0));
}

TEST(ZephyrTheme, SentimentColourOfAnOutOfRangeScoreIsClampedAndStillOpaque)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (const ZephyrTheme &theme : {kWarmLight, kCoolDark}) {
        const QColor top = theme.sentimentColor(1.0);
        const QColor bottom = theme.sentimentColor(-1.0);
        EXPECT_EQ(theme.sentimentColor(5.0), top);
        EXPECT_EQ(theme.sentimentColor(1.0000001), top);
        EXPECT_EQ(theme.sentimentColor(inf), top);
        EXPECT_EQ(theme.sentimentColor(-5.0), bottom);
        EXPECT_EQ(theme.sentimentColor(-inf), bottom);
        // NaN is the stormy end, as for the weather label.
        EXPECT_EQ(theme.sentimentColor(nan), bottom);
        for (double score : {5.0, -5.0, inf, -inf, nan, 1e300, -1e300}) {
            const QColor c = theme.sentimentColor(score);
            EXPECT_TRUE(c.isValid());
            EXPECT_EQ(c, c.toRgb()) << score; // held as RGB
            EXPECT_EQ(c.alpha(), 255) << score;
        }
    }
}

} // namespace zn
