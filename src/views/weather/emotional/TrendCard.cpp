#include "views/weather/emotional/TrendCard.h"

#include "app/marks/TextStyles.h"
#include "views/weather/emotional/TrendChartWidget.h"
#include "views/workspace/detail/DetailWidgets.h"

#include <QVBoxLayout>

namespace zn {
namespace {

InkLabel *note(const QString &text, const QFont &font)
{
    auto *label = new InkLabel(text, font, InkRole::InkSecondary);
    label->setWordWrap(true);
    return label;
}

} // namespace

TrendCard::TrendCard(QWidget *parent) : WeatherCardFrame(16, Fill::Panel, parent)
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(12);
    m_title = new InkLabel(QString(), textStyleFont(TextStyle::Headline), InkRole::Ink);
    m_noDays = note(QStringLiteral("Not enough days yet for a trend."), textStyleFont(TextStyle::Body));
    m_chart = new TrendChartWidget;
    m_singleDay = note(QStringLiteral("Only one day has entries in this window — more days will fill the trend."),
                       textStyleFont(TextStyle::Caption));
    m_hint = note(QStringLiteral("Click a day on the chart to open those journal entries."),
                  textStyleFont(TextStyle::Caption));
    m_viewEntries = new TintedButton(QString(), QStringLiteral("list.bullet.rectangle"));
    column->addWidget(m_title);
    column->addWidget(m_noDays);
    column->addWidget(m_chart);
    column->addWidget(m_singleDay);
    column->addWidget(m_hint);
    column->addWidget(m_viewEntries, 0, Qt::AlignLeft);

    connect(m_chart, &TrendChartWidget::selectedDateChanged, this, &TrendCard::updateFooter);
    connect(m_chart, &TrendChartWidget::dayClicked, this, &TrendCard::daySelected);
    connect(m_viewEntries, &QAbstractButton::clicked, this, [this] {
        // Opens the named day; the picked date itself stays.
        if (m_buttonDay)
            Q_EMIT daySelected(*m_buttonDay);
    });
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void TrendCard::setModel(std::unique_ptr<TrendChartModel> model)
{
    m_title->setText(model ? model->title() : QString());
    m_chart->setModel(std::move(model));
    updateFooter();
}

void TrendCard::setReduceMotion(bool reduce)
{
    m_chart->setReduceMotion(reduce);
}

std::optional<QDateTime> TrendCard::selectedDate() const
{
    return m_chart->selectedDate();
}

void TrendCard::setSelectedDate(const std::optional<QDateTime> &date)
{
    m_chart->setSelectedDate(date);
}

QAbstractButton *TrendCard::viewEntriesButton() const
{
    return m_viewEntries;
}

QString TrendCard::titleText() const
{
    return m_title->text();
}

QStringList TrendCard::shownNotes() const
{
    QStringList shown;
    for (InkLabel *label : {m_noDays, m_singleDay, m_hint}) {
        if (!label->isHidden())
            shown.append(label->text());
    }
    if (!m_viewEntries->isHidden())
        shown.append(m_viewEntries->title());
    return shown;
}

void TrendCard::updateFooter()
{
    const TrendChartModel *model = m_chart->model();
    const bool hasPoints = model && model->hasPoints();
    m_noDays->setVisible(!hasPoints);
    m_chart->setVisible(hasPoints);
    m_singleDay->setVisible(hasPoints && model->isSingleDay());
    m_buttonDay.reset();
    const std::optional<QDateTime> picked = m_chart->selectedDate();
    if (hasPoints && picked) {
        if (const auto point = model->chartPoint(*picked)) {
            m_buttonDay = point->date;
            // The painted title: text() alone is never drawn.
            m_viewEntries->setTitle(model->viewEntriesTitle(*point));
        }
    }
    m_hint->setVisible(hasPoints && !m_buttonDay);
    m_viewEntries->setVisible(m_buttonDay.has_value());
    updateGeometry();
}

} // namespace zn
