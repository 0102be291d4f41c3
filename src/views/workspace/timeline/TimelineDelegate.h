#pragma once

#include "views/workspace/timeline/TimelineLayout.h"

#include <QStyledItemDelegate>

class QAbstractItemView;

namespace zn {

class TimelineListModel;

// Paints the timeline's headings and cards straight from the model's cached
// faces (no widget per card) and sizes them from fonts, with each card's
// height remembered per width.
class TimelineDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    TimelineDelegate(TimelineListModel &model, QAbstractItemView &view);

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    const TimelineLayout &layout() const { return m_layout; }
    // The ring around the current card shows after keyboard moves only.
    void setFocusRingVisible(bool visible) { m_focusRing = visible; }
    bool focusRingVisible() const { return m_focusRing; }
    // The card's own rectangle in a row's visual rectangle.
    QRectF cardRectFor(const QRect &rowRect, int row) const;
    // The heading band in a row's visual rectangle.
    QRectF headerBandFor(const QRect &rowRect, int row) const;

private:
    int rowWidth() const;

    TimelineListModel *m_model;
    QAbstractItemView *m_view;
    TimelineLayout m_layout;
    bool m_focusRing = false;
};

} // namespace zn
