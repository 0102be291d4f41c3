// The main window's frame repair: too small or off the screen comes back
// usable; a sound frame is left alone.

#include "app/shell/MainWindowFrame.h"

#include <gtest/gtest.h>

namespace zn {
namespace {

using MainWindowFrame::repaired;

const QRect kScreen(0, 0, 1920, 1050);

TEST(MainWindowFrameTest, ASoundFrameIsLeftAlone)
{
    EXPECT_FALSE(repaired(QRect(100, 80, 900, 620), kScreen)); // exactly the minimum
    EXPECT_FALSE(repaired(QRect(100, 80, 1180, 780), kScreen));
}

TEST(MainWindowFrameTest, TooSmallGrowsToTheDefaultSize)
{
    EXPECT_EQ(repaired(QRect(100, 80, 700, 500), kScreen), QRect(100, 80, 1180, 780));
    // Only the short side grows.
    EXPECT_EQ(repaired(QRect(100, 80, 1000, 600), kScreen), QRect(100, 80, 1000, 780));
    EXPECT_EQ(repaired(QRect(100, 80, 899, 700), kScreen), QRect(100, 80, 1180, 700));
}

TEST(MainWindowFrameTest, TheGrownFrameIsMovedInsideTheScreen)
{
    // Would reach past the right and bottom edges: shifted back.
    EXPECT_EQ(repaired(QRect(1500, 700, 700, 500), kScreen), QRect(1920 - 1180, 1050 - 780, 1180, 780));
}

TEST(MainWindowFrameTest, OnASmallScreenTheGrownFrameKeepsToNinetyFiveAndNinetyPercent)
{
    const QRect small(0, 0, 900, 600);
    const auto fixed = repaired(QRect(0, 0, 640, 400), small);
    ASSERT_TRUE(fixed);
    EXPECT_EQ(fixed->width(), 855);  // 0.95 × 900, below the 900 minimum
    EXPECT_EQ(fixed->height(), 540); // 0.9 × 600
    EXPECT_TRUE(small.contains(*fixed));
}

TEST(MainWindowFrameTest, AFrameLeftOnAScreenThatIsGoneComesBack)
{
    const auto fixed = repaired(QRect(3000, -400, 1180, 780), kScreen);
    ASSERT_TRUE(fixed);
    EXPECT_EQ(fixed->size(), QSize(1180, 780));
    EXPECT_TRUE(kScreen.contains(*fixed));
    // Larger than the screen: shrunk to fit.
    const auto huge = repaired(QRect(0, 0, 2600, 1600), kScreen);
    ASSERT_TRUE(huge);
    EXPECT_EQ(*huge, kScreen);
}

TEST(MainWindowFrameTest, ScreensNeedNotStartAtTheOrigin)
{
    const QRect right(1920, 30, 1280, 994); // a second screen below a panel
    const auto fixed = repaired(QRect(1900, 0, 500, 300), right);
    ASSERT_TRUE(fixed);
    EXPECT_TRUE(right.contains(*fixed));
    EXPECT_EQ(fixed->size(), QSize(1180, 780));
}

TEST(MainWindowFrameTest, WithoutAScreenOnlyTheSizeIsRepaired)
{
    EXPECT_EQ(repaired(QRect(-50, -50, 700, 500), std::nullopt), QRect(-50, -50, 1180, 780));
}

TEST(MainWindowFrameTest, TheFirstFrameIsTheDefaultSizeWhereItFitsAndTheFreeAreaWhereNot)
{
    EXPECT_EQ(MainWindowFrame::firstSize(kScreen), QSize(1180, 780));
    EXPECT_EQ(MainWindowFrame::firstSize(QRect(0, 27, 1366, 741)), QSize(1180, 741)); // 1366 × 768 under a panel
    EXPECT_EQ(MainWindowFrame::firstSize(std::nullopt), QSize(1180, 780));
}

TEST(MainWindowFrameTest, TheDesktopsTitleBarAndBorderAreFittedIntoTheFreeAreaToo)
{
    using MainWindowFrame::insideWithDecoration;
    const QMargins decoration(1, 20, 1, 5);
    const QRect laptop(0, 0, 1366, 768);
    EXPECT_FALSE(insideWithDecoration(QRect(1, 20, 1180, 743), decoration, laptop));
    // Too tall with its title bar: shortened, the title bar kept on the screen.
    EXPECT_EQ(insideWithDecoration(QRect(1, 20, 1180, 768), decoration, laptop), QRect(1, 20, 1180, 743));
    EXPECT_EQ(insideWithDecoration(QRect(66, 0, 1300, 768), decoration, laptop), QRect(65, 20, 1300, 743));
    // Under a panel, on a screen smaller than the window in both directions.
    EXPECT_EQ(insideWithDecoration(QRect(0, 0, 1180, 780), decoration, QRect(0, 27, 1024, 573)),
              QRect(1, 47, 1022, 548));
}

TEST(MainWindowFrameTest, TitleBarTintIsStrongerInTheDark)
{
    EXPECT_DOUBLE_EQ(MainWindowFrame::titleBarTintOpacity(true), 0.92);
    EXPECT_DOUBLE_EQ(MainWindowFrame::titleBarTintOpacity(false), 0.88);
}

} // namespace
} // namespace zn
