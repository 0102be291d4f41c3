#pragma once

#include "core/WeatherLabel.h"

#include <QAbstractButton>
#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>

namespace zn {

class CalendarProvider;
class JournalEntry;

// What the sidebar's forecast card says about the past 7 days.
struct TeaserCardContent
{
    WeatherLabel label = WeatherLabel::Overcast;
    int entryCount = 0;
    QString weatherWord;   // "Clear skies" for an empty week
    QString countLine;     // "3 entries · tap for Weather"
    QString symbol;        // follows the label even for an empty week
    QString accessibleName;
};

// From the 7-day weather summary of `entries` ending with `now`'s day.
TeaserCardContent teaserCardContent(const QList<JournalEntry *> &entries, const CalendarProvider &calendar,
                                    const QDateTime &now);
// The same for a summary's label and count.
TeaserCardContent teaserCardContent(WeatherLabel label, int entryCount);

// The clickable "Past 7 days" forecast in the sidebar: the week's weather
// symbol, word and entry count on a gradient tinted by that weather. Any
// click, Space or Return runs the host's action once.
class InsightsTeaserCard : public QAbstractButton
{
    Q_OBJECT
public:
    explicit InsightsTeaserCard(QWidget *parent = nullptr);

    void setContent(const TeaserCardContent &content);
    const TeaserCardContent &content() const { return m_content; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    TeaserCardContent m_content;
};

} // namespace zn
