#include "views/workspace/timeline/TimelineListView.h"

#include "app/theme/ThemeScope.h"
#include "core/JournalEntry.h"
#include "views/kit/FocusRing.h"
#include "views/workspace/timeline/TimelineDelegate.h"
#include "views/workspace/timeline/TimelineListModel.h"
#include "views/workspace/timeline/TimelinePainting.h"

#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QResizeEvent>
#include <QScrollBar>

#include <cmath>

namespace zn {

TimelineListView::TimelineListView(TimelineListModel &model, QWidget *parent)
    : QListView(parent)
    , m_model(&model)
{
    setModel(&model);
    m_delegate = new TimelineDelegate(model, *this);
    setItemDelegate(m_delegate);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setUniformItemSizes(false);
    setResizeMode(QListView::Adjust);
    // A long journal is measured a few hundred rows per event-loop turn, so
    // opening it never holds the window; the first screen comes at once.
    setLayoutMode(QListView::Batched);
    setBatchSize(kLayoutBatch);
    setFrameShape(QFrame::NoFrame);
    setMouseTracking(false);
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    verticalScrollBar()->setSingleStep(24);
    setAccessibleName(tr("Timeline"));
    styleScrollBar();
}

void TimelineListView::styleScrollBar()
{
    // A slim bar that lets the translucent column show through, in the
    // ink of the window's scheme rather than the desktop's.
    const bool dark = ThemeScope::themeFor(this).isDark();
    if (m_scrollBarScheme == int(dark))
        return;
    m_scrollBarScheme = int(dark);
    verticalScrollBar()->setStyleSheet(
        QStringLiteral("QScrollBar:vertical { background: transparent; width: 10px; margin: 2px 2px 2px 0; }"
                       "QScrollBar::handle:vertical { background: %1; border-radius: 3px; min-height: 32px; }"
                       "QScrollBar::handle:vertical:hover { background: %2; }"
                       "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
                       "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: transparent; }")
            .arg(dark ? QStringLiteral("rgba(255,255,255,0.22)") : QStringLiteral("rgba(0,0,0,0.2)"),
                 dark ? QStringLiteral("rgba(255,255,255,0.38)") : QStringLiteral("rgba(0,0,0,0.34)")));
}

void TimelineListView::changeEvent(QEvent *event)
{
    // A theme scope announces a new theme with a new palette.
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ParentChange)
        styleScrollBar();
    QListView::changeEvent(event);
}

JournalEntry *TimelineListView::cardAt(const QPoint &viewportPoint) const
{
    if (pinnedHeaderBand().contains(viewportPoint))
        return nullptr;
    const QModelIndex index = indexAt(viewportPoint);
    if (!index.isValid() || m_model->isHeader(index.row()))
        return nullptr;
    const QRectF card = m_delegate->cardRectFor(visualRect(index), index.row());
    QPainterPath shape;
    shape.addRoundedRect(card, TimelineLayout::kCornerRadius, TimelineLayout::kCornerRadius);
    return shape.contains(QPointF(viewportPoint)) ? m_model->entryAt(index.row()) : nullptr;
}

int TimelineListView::pinnedHeaderRow() const
{
    if (m_model->rowCount() == 0)
        return -1;
    const QModelIndex top = indexAt(QPoint(1, 0));
    if (!top.isValid())
        return -1;
    const int header = m_model->headerRowFor(top.row());
    // While the day's own heading is still (even partly) in view, it shows
    // itself.
    const QRectF own = m_delegate->headerBandFor(visualRect(m_model->index(header)), header);
    if (own.top() >= 0)
        return -1;
    return header;
}

QRectF TimelineListView::pinnedHeaderBand() const
{
    const int header = pinnedHeaderRow();
    if (header < 0)
        return {};
    const qreal height = m_delegate->layout().headerHeight();
    qreal top = 0;
    // The next day's heading pushes the pinned one up as it arrives.
    const int rows = m_model->rowCount();
    for (int row = header + 1; row < rows; ++row) {
        const QRect rect = visualRect(m_model->index(row));
        if (rect.top() > viewport()->height() || rect.top() > height + TimelineLayout::kRowSpacing)
            break;
        if (m_model->isHeader(row)) {
            const QRectF next = m_delegate->headerBandFor(rect, row);
            top = std::min<qreal>(0, next.top() - height);
            break;
        }
    }
    return QRectF(0, top, viewport()->width(), height);
}

void TimelineListView::dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                                   const QList<int> &roles)
{
    QListView::dataChanged(topLeft, bottomRight, roles);
    // The pinned heading is drawn over the rows, away from its own row.
    const int header = pinnedHeaderRow();
    if (header >= topLeft.row() && header <= bottomRight.row())
        viewport()->update(pinnedHeaderBand().toAlignedRect());
}

void TimelineListView::paintEvent(QPaintEvent *event)
{
    QListView::paintEvent(event);
    const int header = pinnedHeaderRow();
    if (header < 0)
        return;
    QPainter painter(viewport());
    paintTimelineHeader(painter, m_delegate->layout(), m_model->headerTitle(header), pinnedHeaderBand(),
                        ThemeScope::themeFor(this));
}

void TimelineListView::scrollContentsBy(int dx, int dy)
{
    QListView::scrollContentsBy(dx, dy);
    // The pinned heading stays put while the rows move: repaint its band.
    viewport()->update(QRect(0, 0, viewport()->width(), m_delegate->layout().headerHeight() + 1));
}

void TimelineListView::resizeEvent(QResizeEvent *event)
{
    QListView::resizeEvent(event);
    // A card's height depends on the width its title wraps to, but the list
    // lays its rows out again only for a new height. A column shown again at
    // another width, or a scroll bar coming or going, would keep every row
    // where the old width put it.
    if (event->size().width() != event->oldSize().width())
        scheduleDelayedItemsLayout();
}

void TimelineListView::mousePressEvent(QMouseEvent *event)
{
    m_pressed = event->button() == Qt::LeftButton ? cardAt(event->position().toPoint()) : nullptr;
    m_delegate->setFocusRingVisible(false);
    if (JournalEntry *entry = cardAt(event->position().toPoint())) {
        // Keyboard focus lands on the clicked card; selecting stays the
        // workspace's decision.
        const int row = m_model->rowOf(entry);
        if (row >= 0)
            selectionModel()->setCurrentIndex(m_model->index(row), QItemSelectionModel::NoUpdate);
    }
    event->accept();
}

void TimelineListView::mouseMoveEvent(QMouseEvent *event)
{
    event->accept(); // no rubber band, no drag
}

void TimelineListView::mouseReleaseEvent(QMouseEvent *event)
{
    JournalEntry *entry = event->button() == Qt::LeftButton ? cardAt(event->position().toPoint()) : nullptr;
    const bool sameCard = entry && entry == m_pressed;
    m_pressed = nullptr;
    event->accept();
    if (sameCard && m_actions.onSelect)
        m_actions.onSelect(entry);
}

void TimelineListView::mouseDoubleClickEvent(QMouseEvent *event)
{
    // A double click is two clicks; the second press arms the release.
    mousePressEvent(event);
}

int TimelineListView::cardRowFrom(int row, int step) const
{
    const int rows = m_model->rowCount();
    for (; row >= 0 && row < rows; row += step)
        if (!m_model->isHeader(row))
            return row;
    return -1;
}

JournalEntry *TimelineListView::currentEntry() const
{
    const QModelIndex current = currentIndex();
    if (!current.isValid() || m_model->isHeader(current.row()))
        return nullptr;
    return m_model->entryAt(current.row());
}

QModelIndex TimelineListView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    const int rows = m_model->rowCount();
    if (rows == 0)
        return {};
    const QModelIndex current = currentIndex();
    const int row = current.isValid() ? current.row() : -1;
    int target = -1;
    switch (action) {
    case MoveUp:
    case MovePrevious:
        target = row < 0 ? cardRowFrom(0, 1) : cardRowFrom(row - 1, -1);
        break;
    case MoveDown:
    case MoveNext:
        target = row < 0 ? cardRowFrom(0, 1) : cardRowFrom(row + 1, 1);
        break;
    case MoveHome:
        target = cardRowFrom(0, 1);
        break;
    case MoveEnd:
        target = cardRowFrom(rows - 1, -1);
        break;
    case MovePageUp:
    case MovePageDown: {
        // A screenful as the list measures it, then the nearest card there.
        const QModelIndex page = QListView::moveCursor(action, modifiers);
        const int step = action == MovePageDown ? 1 : -1;
        if (page.isValid()) {
            target = cardRowFrom(page.row(), step);
            if (target < 0)
                target = cardRowFrom(page.row(), -step);
        }
        break;
    }
    default:
        return QListView::moveCursor(action, modifiers);
    }
    // At either end the ring stays where it is.
    if (target < 0)
        return row >= 0 ? current : QModelIndex();
    return m_model->index(target);
}

void TimelineListView::scrollTo(const QModelIndex &index, ScrollHint hint)
{
    QListView::scrollTo(index, hint);
    if (!index.isValid() || m_model->isHeader(index.row()))
        return;
    // A card under the pinned heading is not in view: move it out from
    // under, or bring its own heading in with it.
    const QRectF card = m_delegate->cardRectFor(visualRect(index), index.row());
    const QRectF band = pinnedHeaderBand();
    if (!band.isEmpty() && card.top() < band.bottom())
        verticalScrollBar()->setValue(verticalScrollBar()->value() - int(std::ceil(band.bottom() - card.top())));
}

void TimelineListView::focusInEvent(QFocusEvent *event)
{
    QListView::focusInEvent(event);
    const Qt::FocusReason reason = event->reason();
    if (!isKeyboardFocusReason(reason) && reason != Qt::OtherFocusReason)
        return;
    // The keyboard arrives: ring the selected card, else the one it was on,
    // else the first.
    int row = -1;
    if (std::optional<QUuid> selected = m_model->selection())
        for (int r = 0; r < m_model->rowCount() && row < 0; ++r)
            if (!m_model->isHeader(r) && m_model->entryAt(r) && m_model->entryAt(r)->id() == *selected)
                row = r;
    if (row < 0 && currentEntry())
        row = currentIndex().row();
    if (row < 0)
        row = cardRowFrom(0, 1);
    m_delegate->setFocusRingVisible(true);
    if (row >= 0) {
        selectionModel()->setCurrentIndex(m_model->index(row), QItemSelectionModel::NoUpdate);
        scrollTo(m_model->index(row));
    }
    viewport()->update();
}

void TimelineListView::keyPressEvent(QKeyEvent *event)
{
    if (!m_delegate->focusRingVisible()) {
        m_delegate->setFocusRingVisible(true);
        viewport()->update();
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Space) {
        const QModelIndex current = currentIndex();
        if (current.isValid() && !m_model->isHeader(current.row())) {
            if (m_actions.onSelect)
                m_actions.onSelect(m_model->entryAt(current.row()));
            event->accept();
            return;
        }
    }
    QListView::keyPressEvent(event);
}

QMenu *TimelineListView::makeContextMenu(const QPoint &viewportPoint)
{
    JournalEntry *entry = cardAt(viewportPoint);
    if (!entry)
        return nullptr;
    auto *menu = new QMenu(this);
    for (EntryMenuItem item : entryMenuItems()) {
        if (item == EntryMenuItem::Delete)
            menu->addSeparator();
        QAction *action = menu->addAction(entryMenuItemTitle(item));
        QPointer<JournalEntry> target(entry);
        connect(action, &QAction::triggered, this, [this, item, target] {
            if (target)
                runEntryMenuItem(item, target, m_actions);
        });
    }
    return menu;
}

void TimelineListView::contextMenuEvent(QContextMenuEvent *event)
{
    // Mouse menus arrive through the viewport, in its coordinates.
    QPoint at = event->pos();
    if (event->reason() == QContextMenuEvent::Keyboard) {
        const QModelIndex current = currentIndex();
        if (!current.isValid())
            return;
        at = m_delegate->cardRectFor(visualRect(current), current.row()).center().toPoint();
    }
    QMenu *menu = makeContextMenu(at);
    if (!menu)
        return;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(viewport()->mapToGlobal(at));
    event->accept();
}

} // namespace zn
