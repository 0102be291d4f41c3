#pragma once

#include "views/workspace/timeline/EntryListRules.h"

#include <QListView>

class QMenu;

namespace zn {

class JournalEntry;
class TimelineDelegate;
class TimelineListModel;

// The scrolling timeline: day headings and cards painted by the delegate,
// the heading of the day at the top pinned while its cards scroll under it.
// It never selects: a click, Return or Space on a card asks `onSelect`, and
// the selected look follows the model's selection alone.
//
// From the keyboard it is one stop of the Tab chain. Focus arriving there
// rings the selected card (else the first); Up and Down, Home and End, Page
// Up and Page Down move the ring from card to card, over the headings.
class TimelineListView : public QListView
{
    Q_OBJECT
public:
    static constexpr int kLayoutBatch = 400;

    TimelineListView(TimelineListModel &model, QWidget *parent = nullptr);

    void setActions(EntryListActions actions) { m_actions = std::move(actions); }
    TimelineListModel &timelineModel() const { return *m_model; }
    TimelineDelegate &timelineDelegate() const { return *m_delegate; }

    // The entry whose card lies under a viewport point (not its gap, not the
    // pinned heading).
    JournalEntry *cardAt(const QPoint &viewportPoint) const;
    // The pinned heading's band in viewport coordinates, empty while the top
    // day's own heading is in view.
    QRectF pinnedHeaderBand() const;
    int pinnedHeaderRow() const;

    // The context menu of the card under a viewport point (null elsewhere);
    // the caller owns it.
    QMenu *makeContextMenu(const QPoint &viewportPoint);

    // The entry of the card the keyboard is on (ringed while the list has
    // focus), or null.
    JournalEntry *currentEntry() const;
    // Keeps a row clear of the pinned heading when it is scrolled to.
    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;

protected:
    void dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                     const QList<int> &roles = QList<int>()) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void styleScrollBar();
    // The nearest card row from `row` on in `step`'s direction, or -1.
    int cardRowFrom(int row, int step) const;

    TimelineListModel *m_model;
    TimelineDelegate *m_delegate;
    EntryListActions m_actions;
    JournalEntry *m_pressed = nullptr;
    int m_scrollBarScheme = -1;
};

} // namespace zn
