#pragma once

#include "views/workspace/state/WorkspaceViewModel.h"

#include <QWidget>

#include <memory>

class QSplitter;
class QStackedWidget;

namespace zn {

class ClimateBackground;
class DialogPresenter;
class EntryListView;
class WorkspaceDialogs;
class WorkspaceSidebar;
class WorkspaceToolbar;

// The main window's journal: the toolbar over three columns (sidebar,
// entry list, detail) on the climate backdrop. It owns the workspace
// view-model and shows what it holds; every click and key goes back to it.
// The list shows only on the timeline; the detail column shows the page of
// the current screen. The view-model sets itself up the first time this
// view is shown (not again when a minimised window comes back), right after
// the first frame is on screen, so its background work (re-scoring a long
// journal) never delays that frame; a menu command that comes sooner sets
// it up at once, before the command runs.
class JournalWorkspaceView : public QWidget
{
    Q_OBJECT
public:
    // `presenter` null means window-modal Qt dialogs over this view's window.
    explicit JournalWorkspaceView(WorkspaceServices services, DialogPresenter *presenter = nullptr,
                                  QWidget *parent = nullptr);
    ~JournalWorkspaceView() override;

    WorkspaceViewModel &workspace() { return *m_workspace; }
    DialogPresenter &presenter() { return *m_presenter; }
    WorkspaceToolbar *toolbar() const { return m_toolbar; }
    WorkspaceSidebar *sidebar() const { return m_sidebar; }
    EntryListView *entryList() const { return m_list; }
    QSplitter *splitter() const { return m_splitter; }
    // The page the detail column shows now.
    QWidget *detailPage() const;
    bool hasAppeared() const { return m_appeared; }

Q_SIGNALS:
    // The window title for the screen shown ("Emotional Weather" and so on).
    void titleChanged(const QString &title);

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void showDestination(WorkspaceDestination destination);
    void appear();

    std::unique_ptr<WorkspaceViewModel> m_workspace;
    std::unique_ptr<DialogPresenter> m_ownedPresenter;
    DialogPresenter *m_presenter;
    ClimateBackground *m_background;
    WorkspaceToolbar *m_toolbar;
    QSplitter *m_splitter;
    WorkspaceSidebar *m_sidebar;
    EntryListView *m_list;
    QStackedWidget *m_detail;
    QWidget *m_timelinePage;
    QWidget *m_calendarPage = nullptr;
    QWidget *m_weatherPage = nullptr;
    QWidget *m_voicePage = nullptr;
    WorkspaceDialogs *m_dialogs;
    bool m_appeared = false;
    bool m_appearScheduled = false;
};

} // namespace zn
