#include "views/weather/emotional/EmotionalWeatherView.h"

#include "app/marks/TextStyles.h"
#include "app/theme/ThemeScope.h"
#include "core/CalendarProvider.h"
#include "core/DayWatch.h"
#include "core/JournalEntry.h"
#include "core/WeeklyReflectionRecord.h"
#include "exchange/report/WeatherReportContent.h"
#include "exchange/report/WeatherReportExport.h"
#include "platform/base/Clock.h"
#include "platform/store/ModelContext.h"
#include "platform/store/StoreQuery.h"
#include "reflections/CapabilityDetector.h"
#include "reflections/InsightCoordinator.h"
#include "views/kit/FocusRing.h"
#include "views/kit/QtDialogPresenter.h"
#include "views/kit/QtFilePanel.h"
#include "views/kit/SegmentedControl.h"
#include "views/weather/emotional/TrendCard.h"
#include "views/weather/emotional/WeatherCards.h"
#include "views/weather/emotional/WeatherPageLogic.h"
#include "views/workspace/detail/DetailWidgets.h"
#include "views/workspace/detail/ReflectionPanel.h"

#include <QBoxLayout>
#include <QLinearGradient>
#include <QPainter>
#include <QScrollArea>
#include <QShowEvent>
#include <QTimer>

#include <algorithm>

namespace zn {
namespace {

using namespace std::chrono;

constexpr int kColumnSpacing = 28;
constexpr int kColumnPadding = 32;
constexpr int kColumnMaxWidth = 900;
constexpr int kPickerMaxWidth = 280;
constexpr int kRowSpacing = 16;
constexpr int kThemesCardWidth = 260;

QColor withAlpha(QColor color, qreal alpha)
{
    color.setAlphaF(float(alpha));
    return color;
}

WeatherPeriod periodAt(int index)
{
    const QList<WeatherPeriod> &all = allWeatherPeriods();
    return index >= 0 && index < all.size() ? all[index] : WeatherPeriod::Week;
}

} // namespace

EmotionalWeatherView::EmotionalWeatherView(const QList<JournalEntry *> &entries, WeatherPageServices services,
                                           DayHandler onSelectDay, QWidget *parent)
    : QWidget(parent)
    , m_services(services)
    , m_calendar(services.calendar ? services.calendar : &CalendarProvider::shared())
    , m_clock(services.clock ? services.clock : &Clock::system())
    , m_locale(services.locale.value_or(QLocale()))
    , m_onSelectDay(std::move(onSelectDay))
    , m_coordinator(services.coordinator)
    , m_capability(services.capability)
{
    setWindowTitle(QStringLiteral("Emotional Weather"));
    setAccessibleName(QStringLiteral("Emotional Weather"));

    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_scroll->viewport()->setAutoFillBackground(false);
    m_scroll->setAutoFillBackground(false);
    // A stop of the Tab chain, where the arrows and Page keys scroll; its
    // content covers it, so the ring lies on top.
    new FocusRingOverlay(m_scroll, 0);

    auto *content = new QWidget;
    auto *centring = new QHBoxLayout(content);
    centring->setContentsMargins(0, 0, 0, 0);
    auto *columnWidget = new QWidget;
    columnWidget->setMaximumWidth(kColumnMaxWidth);
    auto *column = new QVBoxLayout(columnWidget);
    column->setContentsMargins(kColumnPadding, kColumnPadding, kColumnPadding, kColumnPadding);
    column->setSpacing(kColumnSpacing);
    centring->addStretch(0);
    centring->addWidget(columnWidget, 1);
    centring->addStretch(0);

    column->addWidget(buildHeader());
    m_emptyCard = new EmptyStateCard;
    column->addWidget(m_emptyCard);
    column->addWidget(buildSummaryRow());
    m_trendCard = new TrendCard;
    column->addWidget(m_trendCard);
    m_panel = new ReflectionPanel(weatherpage::panelTitle(m_period), QStringLiteral("sparkles"));
    m_panel->setActionHandler([this] { weatherpage::requestWeeklyReflection(m_coordinator); });
    column->addWidget(m_panel);
    column->addStretch(1);
    m_scroll->setWidget(content);
    // setWidget() makes the content fill itself with the window colour,
    // which would hide the backdrop and its weather wash painted below.
    content->setAutoFillBackground(false);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(m_scroll);

    connect(m_trendCard, &TrendCard::daySelected, this, &EmotionalWeatherView::openDay);

    if (ModelContext *context = services.context) {
        // Any save, from this context or merged from another, may change a
        // figure or the weekly record.
        connect(context, &ModelContext::storeDidChange, this, &EmotionalWeatherView::requestRefresh);
        m_weeklyQuery = StoreQuery::create<WeeklyReflectionRecord>(context, {}, this);
        connect(m_weeklyQuery, &StoreQuery::resultsChanged, this, &EmotionalWeatherView::requestRefresh);
    }
    if (m_capability) {
        connect(m_capability, &CapabilityDetector::availabilityChanged, this, &EmotionalWeatherView::requestRefresh);
        connect(m_capability, &CapabilityDetector::statusDetailChanged, this, &EmotionalWeatherView::requestRefresh);
    }
    // The windows end with today.
    DayWatch &day = services.day ? *services.day : DayWatch::forScreens(*m_clock, *m_calendar, this);
    connect(&day, &DayWatch::dayChanged, this, &EmotionalWeatherView::requestRefresh);
    setEntries(entries);
    refresh();
}

EmotionalWeatherView::~EmotionalWeatherView() = default;

QWidget *EmotionalWeatherView::buildHeader()
{
    auto *header = new QWidget;
    auto *row = new QBoxLayout(QBoxLayout::LeftToRight, header);
    m_headerLayout = row;
    row->setContentsMargins(0, 0, 0, 0);
    auto *titles = new QVBoxLayout;
    titles->setSpacing(4);
    titles->addWidget(new InkLabel(QStringLiteral("Emotional Weather"),
                                   textStyleFont(TextStyle::LargeTitle, FontWeight::Medium), InkRole::Ink));
    titles->addWidget(new InkLabel(QStringLiteral("Rolling windows · past 7 / 30 / 365 days"),
                                   textStyleFont(TextStyle::Subheadline), InkRole::InkSecondary));
    row->addLayout(titles);
    row->addStretch(1);
    m_titleBlock = titles;

    auto *exportButton = new TintedButton(QStringLiteral("Export PDF"), QStringLiteral("square.and.arrow.up"));
    exportButton->setToolTip(QStringLiteral("Export a private PDF weather report (past 7 · 30 · 365 days)"));
    connect(exportButton, &QAbstractButton::clicked, this, &EmotionalWeatherView::exportWeatherReport);
    m_exportButton = exportButton;

    m_picker = new SegmentedControl(weatherpage::periodTitles());
    m_picker->setAccessibleName(QStringLiteral("Period"));
    m_picker->setMaximumWidth(kPickerMaxWidth);
    // Segment titles are never cut: a narrow window moves the controls under
    // the title instead.
    m_picker->setMinimumWidth(std::min(kPickerMaxWidth, m_picker->sizeHint().width()));
    m_picker->setCurrentIndex(0);
    connect(m_picker, &SegmentedControl::currentIndexChanged, this,
            [this](int index) { setPeriod(periodAt(index)); });

    // The controls sit level with the title's first line.
    auto *controls = new QHBoxLayout;
    controls->setContentsMargins(0, 2, 0, 0);
    controls->addWidget(m_exportButton);
    controls->addWidget(m_picker);
    controls->addStretch(0);
    m_controls = controls;
    row->addLayout(controls);
    row->setAlignment(controls, Qt::AlignTop | Qt::AlignLeft);
    row->setAlignment(titles, Qt::AlignTop);
    return header;
}

QWidget *EmotionalWeatherView::buildSummaryRow()
{
    m_summaryRow = new QWidget;
    m_summaryLayout = new QBoxLayout(QBoxLayout::LeftToRight, m_summaryRow);
    m_summaryLayout->setContentsMargins(0, 0, 0, 0);
    m_summaryLayout->setSpacing(kRowSpacing);
    m_summaryCard = new SummaryCard;
    m_themesCard = new ThemesCard;
    m_summaryLayout->addWidget(m_summaryCard, 1);
    m_summaryLayout->addWidget(m_themesCard, 0);
    return m_summaryRow;
}

bool EmotionalWeatherView::showsSummaryRow() const
{
    return !m_summaryRow->isHidden();
}

bool EmotionalWeatherView::cardsSideBySide() const
{
    return m_summaryLayout->direction() == QBoxLayout::LeftToRight;
}

void EmotionalWeatherView::arrangeSummaryRow()
{
    const int column = std::min(width(), kColumnMaxWidth) - 2 * kColumnPadding;
    const int headerNeed = m_titleBlock->sizeHint().width() + m_controls->sizeHint().width() + 24;
    m_headerLayout->setDirection(headerNeed <= column ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom);

    // Side by side when the summary's sentence fits beside a 260-wide themes
    // card; stacked otherwise.
    const int available = std::min(width(), kColumnMaxWidth) - 2 * kColumnPadding;
    const bool sideBySide = m_summaryCard->idealWidth() + kRowSpacing + kThemesCardWidth <= available;
    if (sideBySide == cardsSideBySide() && (!sideBySide || m_themesCard->width() == kThemesCardWidth))
        return;
    m_summaryLayout->setDirection(sideBySide ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom);
    if (sideBySide) {
        m_themesCard->setFixedWidth(kThemesCardWidth);
    } else {
        m_themesCard->setMinimumWidth(0);
        m_themesCard->setMaximumWidth(QWIDGETSIZE_MAX);
    }
}

void EmotionalWeatherView::setEntries(const QList<JournalEntry *> &entries)
{
    m_entries.clear();
    m_entries.reserve(entries.size());
    for (JournalEntry *entry : entries)
        m_entries.append(entry);
    requestRefresh();
}

QList<JournalEntry *> EmotionalWeatherView::liveEntries() const
{
    QList<JournalEntry *> live;
    live.reserve(m_entries.size());
    for (const QPointer<JournalEntry> &entry : m_entries) {
        if (entry && !entry->isDeleted())
            live.append(entry.data());
    }
    return live;
}

QList<WeeklyReflectionRecord *> EmotionalWeatherView::weeklyRecords() const
{
    return m_weeklyQuery ? m_weeklyQuery->resultsAs<WeeklyReflectionRecord>() : QList<WeeklyReflectionRecord *>();
}

QDateTime EmotionalWeatherView::now() const
{
    return m_clock->now();
}

void EmotionalWeatherView::setPeriod(WeatherPeriod period)
{
    m_picker->setCurrentIndex(int(allWeatherPeriods().indexOf(period)));
    if (m_period == period)
        return;
    m_period = period;
    refresh();
    weatherpage::requestWeeklyReflectionIfWeek(m_period, m_coordinator);
}

WeeklyReflectionRecord *EmotionalWeatherView::displayedWeeklyRecord() const
{
    return weatherpage::displayedWeeklyRecord(weeklyRecords(), now(), *m_calendar);
}

void EmotionalWeatherView::requestRefresh()
{
    if (m_refreshQueued)
        return;
    m_refreshQueued = true;
    QTimer::singleShot(0, this, [this] {
        if (m_refreshQueued)
            refresh();
    });
}

void EmotionalWeatherView::refresh()
{
    m_refreshQueued = false;
    ++m_refreshCount;
    const QList<JournalEntry *> entries = liveEntries();
    const QDateTime current = now();
    m_summary = WeatherPeriodSummary::summary(entries, m_period, *m_calendar, current);
    const bool empty = m_summary.entryCount == 0;

    m_emptyCard->setVisible(empty);
    m_summaryRow->setVisible(!empty);
    m_trendCard->setVisible(!empty);
    if (!empty) {
        m_summaryCard->setSummary(m_summary.label, m_summary.entryCount, m_period);
        m_themesCard->setWords(weatherpage::themeWords(m_summary.topKeywords));
        m_trendCard->setModel(std::make_unique<TrendChartModel>(m_summary, *m_calendar, m_locale));
        arrangeSummaryRow();
    }

    // The panel's "no record" state counts the past 7 days, which is the
    // window on screen whenever that state can show.
    const int weekCount = m_period == WeatherPeriod::Week ? m_summary.entryCount : 0;
    const auto availability =
        m_capability ? m_capability->availability() : CapabilityDetector::Availability::FrameworkUnavailable;
    const QString detail = m_capability ? m_capability->statusDetail() : QString();
    m_panel->setTitle(weatherpage::panelTitle(m_period));
    m_panel->setItems(weatherpage::reflectionPanelItems(m_period, displayedWeeklyRecord(), availability, detail,
                                                        weekCount));
    m_exportButton->setEnabled(weatherpage::exportEnabled(entries));
    update();
}

void EmotionalWeatherView::openDay(const QDateTime &dayStart)
{
    if (m_onSelectDay)
        m_onSelectDay(dayStart);
}

void EmotionalWeatherView::exportWeatherReport()
{
    if (m_exporting)
        return;
    const std::optional<QString> text = weatherpage::weeklyReflectionReportText(displayedWeeklyRecord());
    const QList<EmotionalWeatherReportContent> contents =
        makeWeatherReportContents(liveEntries(), text, now(), *m_calendar, m_locale);
    m_exporting = true;
    QPointer<EmotionalWeatherView> self(this);
    runWeatherReportExport(contents, ThemeScope::themeFor(this), panels(),
                           [self](std::optional<EmotionalWeatherPDFError> error) {
                               if (!self)
                                   return;
                               self->m_exporting = false;
                               if (const auto message = weatherpage::exportOutcomeMessage(error))
                                   self->showExportMessage(*message);
                           });
}

void EmotionalWeatherView::showExportMessage(const QString &message)
{
    m_exportMessage = message;
    QPointer<EmotionalWeatherView> self(this);
    presenter().showAlert({QStringLiteral("Weather report"), message, QStringLiteral("OK")}, [self] {
        if (self)
            self->m_exportMessage.reset();
    });
}

FilePanels &EmotionalWeatherView::panels()
{
    if (m_services.panels)
        return *m_services.panels;
    if (!m_ownedPanels)
        m_ownedPanels = std::make_unique<QtFilePanel>(window());
    return *m_ownedPanels;
}

DialogPresenter &EmotionalWeatherView::presenter()
{
    if (m_services.presenter)
        return *m_services.presenter;
    if (!m_ownedPresenter)
        m_ownedPresenter = std::make_unique<QtDialogPresenter>(window());
    return *m_ownedPresenter;
}

void EmotionalWeatherView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // A window coming back from the taskbar is not the page being opened.
    if (!event->spontaneous())
        weatherpage::requestWeeklyReflectionIfWeek(m_period, m_coordinator);
}

void EmotionalWeatherView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    arrangeSummaryRow();
}

void EmotionalWeatherView::paintEvent(QPaintEvent *)
{
    const ZephyrTheme theme = ThemeScope::themeFor(this);
    QPainter painter(this);
    painter.fillRect(rect(), withAlpha(theme.surface(), 0.2));
    // The tint follows the window's weather, fading out by the middle.
    QLinearGradient tint(QPointF(0, 0), QPointF(0, height() / 2.0));
    const QColor weather = ZephyrTheme::weatherColor(m_summary.label);
    tint.setColorAt(0, withAlpha(weather, theme.isDark() ? 0.12 : 0.08));
    tint.setColorAt(1, withAlpha(weather, 0));
    painter.fillRect(rect(), tint);
}

} // namespace zn
