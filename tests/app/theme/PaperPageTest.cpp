#include "app/theme/PaperPage.h"
#include "app/theme/SystemAppearance.h"
#include "app/theme/ThemeScope.h"
#include "support/TestSupport.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextEdit>

#include <gtest/gtest.h>

namespace zn {

namespace {

constexpr qreal kMeasure = 400;
constexpr qreal kSide = 24;
constexpr qreal kTopBottom = 30;

// An expanding column of text, as a reading page holds.
QTextEdit *readingText()
{
    auto *text = new QTextEdit;
    text->setPlainText(QStringLiteral("Morning walk by the river; the light was soft and the air cold."));
    text->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    return text;
}

void layOut(QWidget &page, int width, int height)
{
    page.resize(width, height);
    page.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
    QCoreApplication::processEvents();
}

} // namespace

TEST(PaperPage, SideInsetIsThePaddingOrHalfTheSpareWidth)
{
    EXPECT_EQ(PaperPage::sideInset(300, kMeasure, kSide), kSide);
    EXPECT_EQ(PaperPage::sideInset(kMeasure + 2 * kSide, kMeasure, kSide), kSide);
    EXPECT_EQ(PaperPage::sideInset(1000, kMeasure, kSide), 300);
    EXPECT_EQ(PaperPage::sideInset(0, kMeasure, kSide), kSide);
}

TEST(PaperPage, NarrowWindowKeepsThePaddingAndTheColumnFillsTheRest)
{
    PaperPage page(kMeasure, kSide, kTopBottom);
    auto *text = readingText();
    page.setContent(text);
    layOut(page, 300, 400);
    const int width = page.viewport()->width();
    EXPECT_EQ(text->x(), int(kSide));
    EXPECT_EQ(text->width(), width - 2 * int(kSide));
    EXPECT_EQ(text->y(), int(kTopBottom));
}

TEST(PaperPage, WideWindowCentresAColumnExactlyTheMeasureWide)
{
    PaperPage page(kMeasure, kSide, kTopBottom);
    auto *text = readingText();
    page.setContent(text);
    layOut(page, 1001, 400);
    const int width = page.viewport()->width();
    EXPECT_EQ(text->width(), int(kMeasure));
    const int left = text->x();
    const int right = width - text->geometry().right() - 1;
    EXPECT_LE(std::abs(left - right), 1);

    // Growing the window keeps it centred.
    page.resize(1400, 400);
    QCoreApplication::processEvents();
    EXPECT_EQ(text->width(), int(kMeasure));
    EXPECT_LE(std::abs(text->x() - (page.viewport()->width() - text->geometry().right() - 1)), 1);
}

TEST(PaperPage, SmallContentSitsAtTheColumnsLeadingEdge)
{
    PaperPage page(kMeasure, kSide, kTopBottom);
    auto *button = new QPushButton(QStringLiteral("Done"));
    page.setContent(button);
    layOut(page, 1000, 300);
    const qreal inset = PaperPage::sideInset(page.viewport()->width(), kMeasure, kSide);
    EXPECT_EQ(button->x(), int(inset));
    EXPECT_LT(button->width(), int(kMeasure));
}

TEST(PaperPage, LongContentScrollsAndReplacingContentDeletesTheOld)
{
    PaperPage page(kMeasure, kSide, kTopBottom);
    auto *tall = new QLabel(QString(QStringLiteral("A line of the entry.\n")).repeated(80));
    tall->setWordWrap(true);
    page.setContent(tall);
    layOut(page, 600, 300);
    EXPECT_GT(page.verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(page.horizontalScrollBar()->maximum(), 0);

    QPointer<QLabel> old = tall;
    page.setContent(readingText());
    EXPECT_TRUE(old.isNull());
    page.setContent(nullptr);
    EXPECT_EQ(page.content(), nullptr);
}

TEST(PaperPage, PaintsThePaperOfItsThemeInEveryScheme)
{
    ManualSystemAppearance system;
    for (ColorScheme scheme : {ColorScheme::Light, ColorScheme::Dark}) {
        QWidget window;
        const ZephyrTheme theme{ColorPalettePreference::Warm, scheme};
        ThemeScope scope(&window, theme, &system);
        auto *page = new PaperPage(kMeasure, kSide, kTopBottom, &window);
        auto *text = new QLabel(QStringLiteral("The kettle, the rain, a long letter from an old friend."));
        text->setWordWrap(true);
        page->setContent(text);
        page->setGeometry(0, 0, 700, 260);
        window.resize(700, 260);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        // A wrapping line gets the column's width and every line it needs.
        EXPECT_GE(text->height(), text->heightForWidth(text->width()));
        EXPECT_EQ(text->width(), int(kMeasure));
        const QImage image = window.grab().toImage();
        const QColor paper = theme.paper().toRgb();
        for (QPoint at : {QPoint(2, 2), QPoint(697, 257)}) {
            const QColor pixel = image.pixelColor(at);
            EXPECT_LE(std::abs(pixel.red() - paper.red()), 1);
            EXPECT_LE(std::abs(pixel.green() - paper.green()), 1);
            EXPECT_LE(std::abs(pixel.blue() - paper.blue()), 1);
        }
        image.save(test::screenshotPath(QStringLiteral("paper-page-warm-%1.png").arg(theme.isDark() ? "dark" : "light")));
    }
}

} // namespace zn
