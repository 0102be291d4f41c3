#include "views/weather/calendar/CalendarMonthView.h"
#include "views/weather/calendar/SidebarMiniCalendar.h"

#include "CalendarTestSupport.h"
#include "platform/base/Clock.h"
#include "support/Screenshots.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QPainter>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <memory>

namespace zn {
namespace {

using test::at;

const QList<ZephyrTheme> kThemes = {
    {ColorPalettePreference::Warm, ColorScheme::Light},
    {ColorPalettePreference::Cool, ColorScheme::Light},
    {ColorPalettePreference::Warm, ColorScheme::Dark},
    {ColorPalettePreference::Cool, ColorScheme::Dark},
};

// A month of journaling: most days one entry, some two or three, a few gaps.
void seedJournal(test::Entries &entries)
{
    const double scores[] = {0.7, -0.3, 0.1, 0.65, -0.7, 0.3, 0.0, -0.45, 0.85, 0.25, -0.1, 0.4};
    for (int day = 1; day <= 14; ++day) {
        if (day == 4)
            continue;
        entries.add(at(2025, 3, day, 20), day == 11 ? -0.9 : scores[day % 12]);
        if (day % 3 == 0)
            entries.add(at(2025, 3, day, 8), scores[(day + 5) % 12]);
        if (day == 9)
            entries.add(at(2025, 3, day, 13), 0.9);
    }
    entries.add(at(2025, 2, 27, 9), -0.8); // another month: tints nothing here
}

// Over the window's climate background, as the workspace shows it.
QImage framed(QWidget *content, const ZephyrTheme &theme, QSize size)
{
    std::unique_ptr<QWidget> owned(content);
    return test::pageOver(*owned, theme, size);
}

QImage sheetOf(const QList<QImage> &images, int columns)
{
    const int w = images[0].width();
    const int h = images[0].height();
    const int rows = (int(images.size()) + columns - 1) / columns;
    QImage sheet(w * columns, h * rows, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    for (int i = 0; i < images.size(); ++i)
        painter.drawImage(QPoint((i % columns) * w, (i / columns) * h), images[i]);
    return sheet;
}

class CalendarScreenshot : public ::testing::Test
{
protected:
    CalendarProvider utc{QCalendar(), QTimeZone::utc()};
    ManualClock clock{at(2025, 3, 15, 10)};
    test::Entries entries;

    CalendarViewSetup setup()
    {
        CalendarViewSetup s;
        s.calendar = &utc;
        s.clock = &clock;
        s.locale = test::kUnitedStates;
        return s;
    }
};

TEST_F(CalendarScreenshot, MonthPageInBothPalettesAndSchemes)
{
    seedJournal(entries);
    QList<QImage> shots;
    for (const ZephyrTheme &theme : kThemes) {
        auto *view = new CalendarMonthView(entries.list(), {}, setup());
        shots.append(framed(view, theme, QSize(760, 860)));
        const QString name = QStringLiteral("calendar-month-%1-%2.png")
                                 .arg(rawValue(theme.palette), theme.isDark() ? "dark" : "light");
        EXPECT_TRUE(shots.last().save(test::screenshotPath(name)));
    }
    EXPECT_TRUE(sheetOf(shots, 2).save(test::screenshotPath("calendar-month.png")));
}

TEST_F(CalendarScreenshot, NarrowMonthPageAndMondayFirstLocale)
{
    seedJournal(entries);
    CalendarViewSetup german = setup();
    german.locale = test::kGermany;
    QList<QImage> shots;
    shots.append(framed(new CalendarMonthView(entries.list(), {}, german), kThemes[0], QSize(420, 760)));
    shots.append(framed(new CalendarMonthView(entries.list(), {}, setup()), kThemes[3], QSize(420, 760)));
    EXPECT_TRUE(sheetOf(shots, 2).save(test::screenshotPath("calendar-month-narrow.png")));
}

TEST_F(CalendarScreenshot, SidebarMiniCalendarInBothPalettesAndSchemes)
{
    seedJournal(entries);
    QList<QImage> shots;
    for (const ZephyrTheme &theme : kThemes) {
        QWidget *column = new QWidget;
        auto *layout = new QVBoxLayout(column);
        layout->setContentsMargins(12, 4, 12, 10);
        layout->addWidget(new SidebarMiniCalendar(entries.list(), at(2025, 3, 9, 15), {}, setup()));
        layout->addWidget(new SidebarMiniCalendar(entries.list(), at(2025, 3, 20, 15), {}, setup()));
        layout->addStretch(1);
        shots.append(framed(column, theme, QSize(260, 460)));
    }
    EXPECT_TRUE(sheetOf(shots, 4).save(test::screenshotPath("calendar-mini.png")));
}

TEST_F(CalendarScreenshot, SidebarMiniCalendarAtTheSidebarsNarrowestAndWidest)
{
    seedJournal(entries);
    QList<QImage> shots;
    for (int width : {200, 300}) {
        for (const ZephyrTheme &theme : {kThemes[0], kThemes[3]}) {
            QWidget *column = new QWidget;
            auto *layout = new QVBoxLayout(column);
            layout->setContentsMargins(12, 4, 12, 10);
            layout->addWidget(new SidebarMiniCalendar(entries.list(), at(2025, 3, 12, 9), {}, setup()));
            layout->addStretch(1);
            QImage shot = framed(column, theme, QSize(width, 250));
            QImage padded(300, 250, QImage::Format_ARGB32_Premultiplied);
            padded.fill(Qt::white);
            QPainter(&padded).drawImage(0, 0, shot);
            shots.append(padded);
        }
    }
    EXPECT_TRUE(sheetOf(shots, 4).save(test::screenshotPath("calendar-mini-widths.png")));
}

} // namespace
} // namespace zn
