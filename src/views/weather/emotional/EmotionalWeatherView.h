#pragma once

#include "core/WeatherPeriod.h"
#include "core/WeatherPeriodSummary.h"

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QAbstractButton;
class QBoxLayout;
class QLayout;
class QScrollArea;

namespace zn {

class CalendarProvider;
class CapabilityDetector;
class Clock;
class DayWatch;
class DialogPresenter;
class EmptyStateCard;
class FilePanels;
class InsightCoordinator;
class JournalEntry;
class ModelContext;
class ReflectionPanel;
class SegmentedControl;
class StoreQuery;
class SummaryCard;
class ThemesCard;
class TrendCard;
class WeeklyReflectionRecord;

// What the weather page runs on. None of it is owned; empty members mean
// no coordinator (no reflection requests), Qt's own file dialogs and message
// boxes over the page's window, the shared calendar and the system clock,
// and the watch of the day on those two.
struct WeatherPageServices {
    ModelContext *context = nullptr; // whose weekly records are shown; its saves redraw the page
    InsightCoordinator *coordinator = nullptr;
    CapabilityDetector *capability = nullptr;
    FilePanels *panels = nullptr;
    DialogPresenter *presenter = nullptr;
    const CalendarProvider *calendar = nullptr;
    Clock *clock = nullptr;
    DayWatch *day = nullptr; // on `clock` and `calendar`; tells the page of a new day
    std::optional<QLocale> locale;
};

// The Emotional Weather destination: the mood of the journal over the past
// 7, 30 or 365 days, with its summary, themes and trend, the past-7-days
// reflection and the PDF report. Every figure is read from the entries when
// the page redraws, which it does (once per burst) after any save of the
// store, a new entry list or a new day. It starts on the 7-day window, and
// each time it is shown with that window, or switched back to it, it asks
// the coordinator for the rolling weekly reflection.
class EmotionalWeatherView : public QWidget
{
    Q_OBJECT
public:
    using DayHandler = std::function<void(const QDateTime &dayStart)>;

    // `entries` are the saved (non-draft) entries; `onSelectDay` receives the
    // start of a day picked on the chart (nothing happens without one).
    EmotionalWeatherView(const QList<JournalEntry *> &entries, WeatherPageServices services,
                         DayHandler onSelectDay, QWidget *parent = nullptr);
    ~EmotionalWeatherView() override;

    void setEntries(const QList<JournalEntry *> &entries);

    WeatherPeriod period() const { return m_period; }
    // As the picker does it: a switch to the week asks for its reflection.
    void setPeriod(WeatherPeriod period);

    // The window's summary as the page last drew it.
    const WeatherPeriodSummary &summary() const { return m_summary; }
    WeeklyReflectionRecord *displayedWeeklyRecord() const;

    // The Export PDF action; a second click while a panel is up is ignored.
    void exportWeatherReport();
    std::optional<QString> exportMessage() const { return m_exportMessage; }

    // Redraws now (normally queued after each change).
    void refresh();
    // Asks for one redraw on the next turn of the event loop.
    void requestRefresh();
    int refreshCount() const { return m_refreshCount; }

    // Parts, for tests.
    SegmentedControl *periodPicker() const { return m_picker; }
    QAbstractButton *exportButton() const { return m_exportButton; }
    SummaryCard *summaryCard() const { return m_summaryCard; }
    ThemesCard *themesCard() const { return m_themesCard; }
    TrendCard *trendCard() const { return m_trendCard; }
    EmptyStateCard *emptyStateCard() const { return m_emptyCard; }
    ReflectionPanel *reflectionPanel() const { return m_panel; }
    bool showsSummaryRow() const;
    bool cardsSideBySide() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QWidget *buildHeader();
    QWidget *buildSummaryRow();
    void arrangeSummaryRow();
    QDateTime now() const;
    QList<JournalEntry *> liveEntries() const;
    QList<WeeklyReflectionRecord *> weeklyRecords() const;
    void openDay(const QDateTime &dayStart);
    void showExportMessage(const QString &message);
    FilePanels &panels();
    DialogPresenter &presenter();

    QList<QPointer<JournalEntry>> m_entries;
    WeatherPageServices m_services;
    const CalendarProvider *m_calendar;
    Clock *m_clock;
    QLocale m_locale;
    DayHandler m_onSelectDay;
    QPointer<InsightCoordinator> m_coordinator;
    QPointer<CapabilityDetector> m_capability;
    StoreQuery *m_weeklyQuery = nullptr;
    std::unique_ptr<FilePanels> m_ownedPanels;
    std::unique_ptr<DialogPresenter> m_ownedPresenter;

    WeatherPeriod m_period = WeatherPeriod::Week;
    std::optional<QString> m_exportMessage;
    bool m_exporting = false;
    bool m_refreshQueued = false;
    int m_refreshCount = 0;
    WeatherPeriodSummary m_summary;

    QScrollArea *m_scroll = nullptr;
    SegmentedControl *m_picker = nullptr;
    QAbstractButton *m_exportButton = nullptr;
    QBoxLayout *m_headerLayout = nullptr;
    QLayout *m_titleBlock = nullptr;
    QLayout *m_controls = nullptr;
    QWidget *m_summaryRow = nullptr;
    QBoxLayout *m_summaryLayout = nullptr;
    SummaryCard *m_summaryCard = nullptr;
    ThemesCard *m_themesCard = nullptr;
    TrendCard *m_trendCard = nullptr;
    EmptyStateCard *m_emptyCard = nullptr;
    ReflectionPanel *m_panel = nullptr;
};

} // namespace zn
