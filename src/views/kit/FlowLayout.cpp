#include "views/kit/FlowLayout.h"

#include <QWidget>

namespace zn {

FlowLayout::FlowLayout(QWidget *parent, int horizontalSpacing, int verticalSpacing)
    : QLayout(parent), m_hSpacing(qMax(0, horizontalSpacing)), m_vSpacing(qMax(0, verticalSpacing))
{
    setContentsMargins(0, 0, 0, 0);
}

FlowLayout::~FlowLayout()
{
    while (QLayoutItem *item = takeAt(0))
        delete item;
}

void FlowLayout::setHorizontalSpacing(int spacing)
{
    spacing = qMax(0, spacing);
    if (m_hSpacing == spacing)
        return;
    m_hSpacing = spacing;
    invalidate();
}

void FlowLayout::setVerticalSpacing(int spacing)
{
    spacing = qMax(0, spacing);
    if (m_vSpacing == spacing)
        return;
    m_vSpacing = spacing;
    invalidate();
}

void FlowLayout::clear()
{
    while (QLayoutItem *item = takeAt(0)) {
        if (QWidget *widget = item->widget())
            widget->deleteLater();
        delete item;
    }
}

void FlowLayout::addItem(QLayoutItem *item)
{
    m_items.append(item);
    invalidate();
}

int FlowLayout::count() const
{
    return int(m_items.size());
}

QLayoutItem *FlowLayout::itemAt(int index) const
{
    return index >= 0 && index < m_items.size() ? m_items.at(index) : nullptr;
}

QLayoutItem *FlowLayout::takeAt(int index)
{
    if (index < 0 || index >= m_items.size())
        return nullptr;
    QLayoutItem *item = m_items.takeAt(index);
    invalidate();
    return item;
}

Qt::Orientations FlowLayout::expandingDirections() const
{
    return {};
}

bool FlowLayout::hasHeightForWidth() const
{
    return true;
}

int FlowLayout::heightForWidth(int width) const
{
    return doLayout(QRect(0, 0, width, 0), false);
}

QSize FlowLayout::minimumSize() const
{
    // As narrow as the widest item allows (items wider than the row are
    // capped, so each item's minimum counts).
    QSize size;
    for (const QLayoutItem *item : m_items)
        if (!item->isEmpty())
            size = size.expandedTo(item->minimumSize());
    const QMargins m = contentsMargins();
    return size + QSize(m.left() + m.right(), m.top() + m.bottom());
}

QSize FlowLayout::sizeHint() const
{
    // Everything on one row.
    int width = 0;
    int height = 0;
    int visible = 0;
    for (const QLayoutItem *item : m_items) {
        if (item->isEmpty())
            continue;
        const QSize hint = item->sizeHint();
        width += hint.width() + (visible++ ? m_hSpacing : 0);
        height = qMax(height, hint.height());
    }
    const QMargins m = contentsMargins();
    return QSize(width + m.left() + m.right(), height + m.top() + m.bottom());
}

void FlowLayout::setGeometry(const QRect &rect)
{
    QLayout::setGeometry(rect);
    doLayout(rect, true);
}

int FlowLayout::doLayout(const QRect &rect, bool apply) const
{
    const QMargins m = contentsMargins();
    const QRect area = rect.marginsRemoved(m);
    const int left = area.x();
    const int right = area.x() + qMax(0, area.width());
    int x = left;
    int y = area.y();
    int rowHeight = 0;
    bool rowEmpty = true;

    for (QLayoutItem *item : m_items) {
        if (item->isEmpty())
            continue;
        QSize size = item->sizeHint();
        // An item wider than the whole row gets the row (no less than its
        // minimum), rather than sticking out past the edge.
        size.setWidth(qMax(qMin(size.width(), qMax(0, area.width())), qMin(item->minimumSize().width(), size.width())));
        if (!rowEmpty && x + m_hSpacing + size.width() > right) {
            y += rowHeight + m_vSpacing;
            x = left;
            rowHeight = 0;
            rowEmpty = true;
        }
        if (!rowEmpty)
            x += m_hSpacing;
        if (apply)
            item->setGeometry(QRect(QPoint(x, y), size));
        x += size.width();
        rowHeight = qMax(rowHeight, size.height());
        rowEmpty = false;
    }
    const int contentHeight = rowEmpty ? 0 : y + rowHeight - area.y();
    return contentHeight + m.top() + m.bottom();
}

} // namespace zn
