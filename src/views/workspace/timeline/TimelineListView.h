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
// It never selects: a click or Return on a card asks `onSelect`, and the
// highlight follows the model's selection alone.
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

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void styleScrollBar();

    TimelineListModel *m_model;
    TimelineDelegate *m_delegate;
    EntryListActions m_actions;
    JournalEntry *m_pressed = nullptr;
    int m_scrollBarScheme = -1;
};

} // namespace zn
