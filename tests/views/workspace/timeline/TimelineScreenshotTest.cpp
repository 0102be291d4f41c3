#include "TimelineHarness.h"

#include "app/theme/ClimateBackground.h"
#include "app/theme/ThemeScope.h"
#include "views/workspace/timeline/EntryListView.h"
#include "views/workspace/timeline/TimelineListView.h"

#include <QPainter>
#include <QScrollBar>
#include <QTest>

namespace zn::test {
namespace {

// A journal that shows every kind of card: each weather, chips from themes
// and from keywords, none, long and short titles, right-to-left text.
void seedJournal(TimelineHarness &h)
{
    JournalEntry *themed = h.seed(QStringLiteral("Morning run along the canal, then coffee with Maya. Felt light."), 0.72, 1.5);
    themed->setInsightStatus(InsightStatus::Ready);
    themed->setInsightText(QStringLiteral("A bright start."));
    themed->setThemes({QStringLiteral("movement"), QStringLiteral("friendship")});
    themed->setKeywordFrequencies({{"canal", 2}, {"coffee", 1}});
    (void)h.context->save();
    h.seed(QStringLiteral("Quick note"), 0.3, 2);
    h.seedAt(QStringLiteral("Long day at the office and the deadline moved again, which left me tired and a little "
                            "anxious about next week"),
             h.clock.now().addSecs(-3 * 3600), -0.35, {{"deadline", 4}, {"office", 2}, {"anxious", 1}});
    h.seedAt(QStringLiteral("\u05D9\u05D5\u05DD \u05E9\u05E7\u05D8 \u05D1\u05D2\u05D9\u05E0\u05D4"),
             h.clock.now().addSecs(-5 * 3600), 0.05);
    h.seedAt(QStringLiteral("Storm outside and inside. Everything went wrong."), h.clock.now().addSecs(-30 * 3600),
             -0.8, {{"storm", 3}, {"wrong", 2}});
    h.seedAt(QStringLiteral("Baked bread with Dad \U0001F35E and listened to the rain on the roof."),
             h.clock.now().addSecs(-50 * 3600), 0.1, {{"bread", 2}, {"rain", 2}});
    h.seedAt(QStringLiteral("   "), h.clock.now().addSecs(-52 * 3600), 0.0);
}

class TimelineScreenshotTest : public ::testing::TestWithParam<std::pair<ColorPalettePreference, ColorScheme>>
{
};

TEST_P(TimelineScreenshotTest, SeededJournalInEachPaletteAndScheme)
{
    const auto [palette, scheme] = GetParam();
    TimelineHarness h;
    h.clock.setNow(h.clock.now().addSecs(10 * 3600)); // 10:00
    seedJournal(h);
    h.make();

    QWidget window;
    window.resize(340, 720);
    new ThemeScope(&window, ZephyrTheme{palette, scheme});
    auto *backdrop = new ClimateBackground(&window);
    backdrop->setGeometry(window.rect());
    auto *view = new EntryListView(*h.vm, &window);
    view->setGeometry(window.rect());
    window.show();
    drainEvents();
    h.vm->selectEntry(h.vm->filteredEntries().at(2), false);
    drainEvents();
    ASSERT_FALSE(view->showsEmptyState());

    const QString name = QStringLiteral("timeline-%1-%2")
                             .arg(palette == ColorPalettePreference::Warm ? "warm" : "cool",
                                  scheme == ColorScheme::Light ? "light" : "dark");
    QImage top = window.grab().toImage();
    EXPECT_TRUE(top.save(screenshotPath(name + ".png")));

    // Scrolled: the day's heading pinned over its cards.
    view->timeline()->verticalScrollBar()->setValue(120);
    drainEvents();
    EXPECT_EQ(view->timeline()->pinnedHeaderRow(), 0);
    EXPECT_TRUE(window.grab().toImage().save(screenshotPath(name + "-scrolled.png")));

    // The empty journal in the same look.
    h.vm->setSearchText(QStringLiteral("nothing like this"));
    drainEvents();
    EXPECT_TRUE(window.grab().toImage().save(screenshotPath(name + "-no-match.png")));
}

INSTANTIATE_TEST_SUITE_P(Looks, TimelineScreenshotTest,
                         ::testing::Values(std::pair(ColorPalettePreference::Warm, ColorScheme::Light),
                                           std::pair(ColorPalettePreference::Warm, ColorScheme::Dark),
                                           std::pair(ColorPalettePreference::Cool, ColorScheme::Light),
                                           std::pair(ColorPalettePreference::Cool, ColorScheme::Dark)));

} // namespace
} // namespace zn::test
