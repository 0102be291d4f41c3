#pragma once

#include "views/workspace/timeline/EntryListRules.h"

#include <QWidget>

#include <memory>

class QLabel;
class QScrollArea;
class QStackedWidget;

namespace zn {

class DayBanner;
class EmptyStateView;
class FilterChip;
class SearchField;
class TimelineListModel;
class TimelineListView;
class WorkspaceViewModel;

// The timeline's column: the search field, the day banner, the mood chips
// and, under a faint line, the entries grouped by day or an empty state.
// It keeps no state of its own: it shows the workspace's filtered entries,
// selection, search, mood and day, and hands every change back to the
// workspace (selecting an entry always goes through its guard).
class EntryListView : public QWidget
{
    Q_OBJECT
public:
    // Wired to the workspace's own actions.
    explicit EntryListView(WorkspaceViewModel &workspace, QWidget *parent = nullptr);
    // With other actions (empty optional ones remove what depends on them).
    EntryListView(WorkspaceViewModel &workspace, EntryListActions actions, QWidget *parent = nullptr);
    ~EntryListView() override;

    // The actions the workspace's window gives the list.
    static EntryListActions workspaceActions(WorkspaceViewModel &workspace);

    SearchField *searchField() const { return m_search; }
    DayBanner *dayBanner() const { return m_banner; }
    const QList<FilterChip *> &moodChips() const { return m_chips; }
    QScrollArea *moodScroller() const { return m_moodScroller; }
    EmptyStateView *emptyState() const { return m_empty; }
    TimelineListView *timeline() const { return m_timeline; }
    TimelineListModel *timelineModel() const { return m_model; }
    // Whether the empty state shows instead of the timeline.
    bool showsEmptyState() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void buildHeader();
    void refreshEntries();
    void refreshSelection();
    void refreshFilters();
    void filtersChanged();
    void refreshEmptyState();
    void focusSearchField();
    void runEmptyStateAction(EmptyStateAction action);

    WorkspaceViewModel *m_workspace;
    EntryListActions m_actions;
    EntryListBindings m_bindings;

    SearchField *m_search = nullptr;
    DayBanner *m_banner = nullptr;
    QLabel *m_moodCaption = nullptr;
    QScrollArea *m_moodScroller = nullptr;
    QList<FilterChip *> m_chips;
    QStackedWidget *m_stack = nullptr;
    EmptyStateView *m_empty = nullptr;
    TimelineListModel *m_model = nullptr;
    TimelineListView *m_timeline = nullptr;
    // A filter changed and the list it narrows to has not come yet.
    bool m_showFromTop = false;
};

} // namespace zn
