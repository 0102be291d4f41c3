#include "views/workspace/timeline/TimelineDelegate.h"

#include "views/kit/FocusRing.h"

#include "app/theme/ThemeScope.h"
#include "views/workspace/timeline/TimelineListModel.h"
#include "views/workspace/timeline/TimelinePainting.h"

#include <QAbstractItemView>
#include <QPainter>

namespace zn {

TimelineDelegate::TimelineDelegate(TimelineListModel &model, QAbstractItemView &view)
    : QStyledItemDelegate(&view)
    , m_model(&model)
    , m_view(&view)
{
    connect(&model, &TimelineListModel::rowHeightChanged, this, &TimelineDelegate::sizeHintChanged);
}

int TimelineDelegate::rowWidth() const
{
    return m_view->viewport()->width();
}

QSize TimelineDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &index) const
{
    const int row = index.row();
    const int gaps = TimelineLayout::gapAbove(row) + TimelineLayout::gapBelow(row, m_model->rowCount());
    const int width = rowWidth();
    if (m_model->isHeader(row))
        return QSize(width, gaps + m_layout.headerHeight());
    TimelineListModel::HeightMemo &memo = m_model->heightMemoAt(row);
    if (memo.width != width) {
        const EntryCardFace &face = m_model->faceAt(row);
        if (memo.titleAdvance < 0)
            memo.titleAdvance = m_layout.titleAdvance(face.title);
        memo.height = m_layout.cardHeight(face, width, memo.titleAdvance);
        memo.width = width;
    }
    return QSize(width, gaps + memo.height);
}

QRectF TimelineDelegate::cardRectFor(const QRect &rowRect, int row) const
{
    const QRect content = rowRect.adjusted(0, TimelineLayout::gapAbove(row), 0,
                                           -TimelineLayout::gapBelow(row, m_model->rowCount()));
    return TimelineLayout::cardRect(content);
}

QRectF TimelineDelegate::headerBandFor(const QRect &rowRect, int row) const
{
    return QRectF(rowRect.left(), rowRect.top() + TimelineLayout::gapAbove(row), rowRect.width(),
                  m_layout.headerHeight());
}

void TimelineDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const ZephyrTheme theme = ThemeScope::themeFor(m_view);
    const int row = index.row();
    if (m_model->isHeader(row)) {
        paintTimelineHeader(*painter, m_layout, m_model->headerTitle(row), headerBandFor(option.rect, row), theme);
        return;
    }
    const bool selected = index.data(TimelineListModel::SelectedRole).toBool();
    const QRectF card = cardRectFor(option.rect, row);
    paintTimelineCard(*painter, m_layout, m_model->faceAt(row), card, selected, theme);
    // The keyboard's place in the list, only while the list has focus.
    if (m_focusRing && (option.state & QStyle::State_HasFocus) && m_view->hasFocus()) {
        // Just outside the card, on the list's ground, so a selected card's
        // tint and border do not swallow it.
        paintFocusRing(*painter, card.adjusted(-2, -2, 2, 2), TimelineLayout::kCornerRadius + 2, theme);
    }
}

} // namespace zn
