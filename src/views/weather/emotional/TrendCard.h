#pragma once

#include "views/weather/emotional/TrendChartModel.h"
#include "views/weather/emotional/WeatherCards.h"

#include <memory>

namespace zn {

class TintedButton;
class TrendChartWidget;

// "Sentiment · past N days": the chart with its notes underneath, and the
// button that opens the picked day's entries.
class TrendCard : public WeatherCardFrame
{
    Q_OBJECT
public:
    explicit TrendCard(QWidget *parent = nullptr);

    void setModel(std::unique_ptr<TrendChartModel> model);
    void setReduceMotion(bool reduce);

    std::optional<QDateTime> selectedDate() const;
    void setSelectedDate(const std::optional<QDateTime> &date);

    TrendChartWidget *chart() const { return m_chart; }
    QAbstractButton *viewEntriesButton() const;
    QString titleText() const;
    // The texts shown under the title, top to bottom (for tests).
    QStringList shownNotes() const;

Q_SIGNALS:
    // A clicked day or the button: the day's start.
    void daySelected(const QDateTime &dayStart);

private:
    void updateFooter();

    InkLabel *m_title;
    InkLabel *m_noDays;
    TrendChartWidget *m_chart;
    InkLabel *m_singleDay;
    InkLabel *m_hint;
    TintedButton *m_viewEntries;
    std::optional<QDateTime> m_buttonDay;
};

} // namespace zn
