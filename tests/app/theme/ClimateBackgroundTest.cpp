#include "app/theme/ClimateBackground.h"
#include "app/theme/ClimatePainter.h"
#include "app/theme/SystemAppearance.h"
#include "app/theme/ThemeScope.h"
#include "support/TestSupport.h"

#include <QAccessible>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace zn {

namespace {

// Eight-bit pixels against a 16-bit colour: one step of slack.
void expectPixel(const QImage &image, QPoint at, const QColor &expected, const char *where)
{
    const QColor actual = image.pixelColor(at);
    const QColor want = expected.toRgb();
    EXPECT_LE(std::abs(actual.red() - want.red()), 1) << where;
    EXPECT_LE(std::abs(actual.green() - want.green()), 1) << where;
    EXPECT_LE(std::abs(actual.blue() - want.blue()), 1) << where;
}

QImage paint(const ZephyrTheme &theme, bool plain, QSize size = {800, 600})
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    paintClimate(painter, QRectF(QPointF(0, 0), size), theme, plain);
    return image;
}

const ZephyrTheme kThemes[] = {
    {ColorPalettePreference::Warm, ColorScheme::Light},
    {ColorPalettePreference::Warm, ColorScheme::Dark},
    {ColorPalettePreference::Cool, ColorScheme::Light},
    {ColorPalettePreference::Cool, ColorScheme::Dark},
};

} // namespace

TEST(ClimatePainter, GradientRunsFromBackgroundToDeepWithGlowsOnlyNearTheirCorners)
{
    for (const ZephyrTheme &theme : kThemes) {
        // Both far corners lie beyond the two glows' reach (520 and 480).
        const QImage image = paint(theme, false);
        expectPixel(image, {0, 0}, theme.background(), "top left");
        expectPixel(image, {799, 599}, theme.backgroundDeep(), "bottom right");
        EXPECT_EQ(image.pixelColor(400, 300).alpha(), 255);

        // The accent glow shows at the top-right corner: against the same
        // gradient drawn without glows there, it leans to the accent.
        QImage bare(800, 600, QImage::Format_ARGB32_Premultiplied);
        {
            QPainter p(&bare);
            QLinearGradient g(0, 0, 800, 600);
            g.setColorAt(0, theme.background());
            g.setColorAt(0.5, theme.backgroundMid());
            g.setColorAt(1, theme.backgroundDeep());
            p.fillRect(bare.rect(), g);
        }
        const QColor glow = image.pixelColor(799, 0);
        const QColor plain = bare.pixelColor(799, 0);
        const QColor accent = theme.accent().toRgb();
        const auto distance = [&](const QColor &c) {
            return std::abs(c.red() - accent.red()) + std::abs(c.green() - accent.green())
                   + std::abs(c.blue() - accent.blue());
        };
        EXPECT_LT(distance(glow), distance(plain));
    }
}

TEST(ClimatePainter, PlainSurfaceIsOneOpaqueColour)
{
    for (const ZephyrTheme &theme : kThemes) {
        const QImage image = paint(theme, true, {120, 90});
        for (QPoint at : {QPoint(0, 0), QPoint(119, 0), QPoint(60, 45), QPoint(0, 89), QPoint(119, 89)})
            expectPixel(image, at, theme.surface(), "surface");
    }
}

TEST(ClimateBackground, TurnsToThePlainSurfaceWhenTransparencyIsReducedOrContrastIncreased)
{
    ManualSystemAppearance system;
    QWidget window;
    ThemeScope scope(&window, ZephyrTheme{ColorPalettePreference::Cool, ColorScheme::Dark}, &system);
    auto *background = new ClimateBackground(&window);
    window.resize(800, 600);
    background->setGeometry(window.rect());
    const QColor surface = scope.theme().surface();

    QImage gradient = background->grab().toImage();
    gradient.save(test::screenshotPath("climate-background-cool-dark.png"));
    expectPixel(gradient, {0, 0}, scope.theme().background(), "gradient");

    system.setReduceTransparency(true);
    expectPixel(background->grab().toImage(), {0, 0}, surface, "reduced transparency");
    expectPixel(background->grab().toImage(), {799, 599}, surface, "reduced transparency");
    system.setReduceTransparency(false);
    system.setIncreasedContrast(true);
    expectPixel(background->grab().toImage(), {0, 0}, surface, "increased contrast");
    system.setIncreasedContrast(false);
    expectPixel(background->grab().toImage(), {0, 0}, scope.theme().background(), "back to gradient");

    // A new theme or size is drawn afresh, not taken from the last picture.
    scope.setFixedTheme(ZephyrTheme{ColorPalettePreference::Warm, ColorScheme::Light});
    expectPixel(background->grab().toImage(), {0, 0}, scope.theme().background(), "new theme");
    background->resize(1000, 700);
    expectPixel(background->grab().toImage(), {999, 699}, scope.theme().backgroundDeep(), "new size");
}

TEST(ClimateBackground, IsABackdropOnly)
{
    ClimateBackground background;
    EXPECT_TRUE(background.testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_EQ(background.focusPolicy(), Qt::NoFocus);
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(&background);
    ASSERT_NE(accessible, nullptr);
    EXPECT_TRUE(accessible->state().invisible);
}

TEST(ClimateBackground, ScreenshotsInEveryPaletteAndScheme)
{
    ManualSystemAppearance system;
    for (const ZephyrTheme &theme : kThemes) {
        QWidget window;
        ThemeScope scope(&window, theme, &system);
        ClimateBackground background(&window);
        background.resize(900, 620);
        const QString name = QStringLiteral("climate-background-%1-%2.png")
                                 .arg(rawValue(theme.palette), theme.isDark() ? "dark" : "light");
        EXPECT_TRUE(background.grab().save(test::screenshotPath(name)));
    }
}

} // namespace zn
