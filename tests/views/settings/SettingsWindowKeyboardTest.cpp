// The settings window from the keyboard and on small screens: every stop of
// its Tab chain shows a focus ring in each look, and on a 1366 × 768 laptop
// it opens over the journal inside the free area with its tabs scrolling.

#include "SettingsHarness.h"

#include "app/theme/ThemeScope.h"

#include "support/FocusWalk.h"
#include "support/Screenshots.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>

namespace zn::test {
namespace {

QScreen *laptopScreen()
{
    for (QScreen *screen : QGuiApplication::screens())
        if (screen->size() == QSize(1366, 768))
            return screen;
    return nullptr;
}

TEST(SettingsWindowFrame, TheSizesWhereTheyFitTheFreeAreaWhereNotAlwaysOverTheJournal)
{
    // A desktop with room: the default size, centred over the journal.
    const QRect desktop(0, 32, 1920, 1048);
    const QRect journal(370, 150, 1180, 780);
    QRect frame = SettingsRootView::frameOver(journal, desktop);
    EXPECT_EQ(frame.size(), SettingsRootView::kDefaultSize);
    EXPECT_EQ(frame.center(), journal.center());

    // A laptop with a top panel and a 30-point title bar: as high as the
    // room, the title bar inside the free area, the width unchanged.
    const QRect laptop(1920, 27, 1366, 741);
    const QMargins titleBar(0, 30, 0, 0);
    frame = SettingsRootView::frameOver(QRect(2020, 60, 1180, 690), laptop, titleBar);
    EXPECT_EQ(frame.width(), 640);
    EXPECT_EQ(frame.height(), 741 - 30);
    EXPECT_GE(frame.top(), laptop.top() + 30);
    EXPECT_LE(frame.bottom(), laptop.bottom());
    EXPECT_EQ(frame.center().x(), QRect(2020, 60, 1180, 690).center().x());

    // A journal pushed against the screen's corner: the window moves in.
    frame = SettingsRootView::frameOver(QRect(2900, 500, 900, 620), laptop, titleBar);
    EXPECT_TRUE(laptop.contains(frame.adjusted(0, -30, 0, 0))) << frame.x() << "," << frame.y();
    // No journal: the middle of the free area.
    EXPECT_EQ(SettingsRootView::frameOver({}, desktop).center(), desktop.center());
    // A screen smaller than the window in both ways: all of it.
    EXPECT_EQ(SettingsRootView::frameOver(journal, QRect(0, 0, 600, 500)), QRect(0, 0, 600, 500));
}

TEST(SettingsWindowFrame, OnA1366By768LaptopItOpensOverTheJournalAndItsTabsScroll)
{
    QScreen *laptop = laptopScreen();
    ASSERT_NE(laptop, nullptr) << "the test's second screen is missing";
    SettingsHarness h;
    h.system.setColorScheme(ColorScheme::Dark);
    h.settings.setPalette(ColorPalettePreference::Cool);

    // The journal's window as far as the settings window cares: a frame on
    // the laptop.
    QWidget journal;
    journal.setWindowTitle(QStringLiteral("Timeline"));
    journal.setScreen(laptop);
    journal.setGeometry(laptop->availableGeometry().adjusted(60, 40, -126, -28));
    journal.setPalette(QPalette(h.view->themeScope()->theme().background()));
    journal.setAutoFillBackground(true);
    journal.show();
    h.settle();

    h.view->placeOver(&journal);
    h.view->show();
    h.view->tabs()->setCurrentIndex(3); // Privacy, the longest tab
    h.settle();
    const QRect free = laptop->availableGeometry();
    EXPECT_TRUE(free.contains(h.view->geometry())) << h.view->geometry().y() << "+" << h.view->height();
    EXPECT_EQ(h.view->width(), 640);
    EXPECT_LE(h.view->minimumHeight(), free.height());
    EXPECT_EQ(h.view->geometry().center().x(), journal.geometry().center().x());
    // What does not fit scrolls, inside the tab.
    auto *scroll = h.view->tabs()->currentWidget()->findChild<QScrollArea *>();
    ASSERT_NE(scroll, nullptr);
    const int content = scroll->widget()->minimumSizeHint().height();
    EXPECT_TRUE(content <= scroll->viewport()->height() || scroll->verticalScrollBar()->maximum() > 0)
        << content << " high in " << scroll->viewport()->height();

    // The laptop's screen as a person sees it.
    QImage screen(laptop->size(), QImage::Format_RGB32);
    screen.fill(QColor(0x2b, 0x2b, 0x2b));
    {
        QPainter painter(&screen);
        const QPoint origin = laptop->geometry().topLeft();
        painter.drawPixmap(journal.geometry().topLeft() - origin, journal.grab());
        painter.drawPixmap(h.view->geometry().topLeft() - origin, h.view->grab());
        painter.setPen(QColor(0x88, 0x88, 0x88));
        painter.drawRect(QRect(h.view->geometry().topLeft() - origin, h.view->size()).adjusted(-1, -1, 0, 0));
    }
    EXPECT_TRUE(screen.save(screenshotPath(QStringLiteral("settings-on-1366x768-laptop.png"))));
}

TEST(SettingsWindowKeys, EveryStopShowsAFocusRingInBothPalettesAndSchemes)
{
    for (const ZephyrTheme &theme : everyTheme()) {
        SettingsHarness h;
        h.system.setColorScheme(theme.colorScheme);
        h.settings.setPalette(theme.palette);
        h.view->show();
        h.settle();
        for (int tab = 0; tab < 4; ++tab) {
            h.view->tabs()->setCurrentIndex(tab);
            h.settle();
            const QList<FocusStop> stops = walkTabStops(h.view.get());
            EXPECT_GE(stops.size(), tab == 0 ? 1 : 2) << "tab " << tab;
            EXPECT_EQ(stopsWithoutRing(stops).join(QStringLiteral(", ")).toStdString(), "")
                << "tab " << tab << ", " << rawValue(theme.palette).toStdString() << (theme.isDark() ? " dark" : " light");
        }
    }
}

} // namespace
} // namespace zn::test
