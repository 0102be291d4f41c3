#pragma once

#include "views/workspace/state/WorkspaceTypes.h"

#include <QListWidget>
#include <QWidget>

#include <optional>

namespace zn {

class InsightsTeaserCard;
class WorkspaceViewModel;

// The sidebar's destination list: "Journal" and "Reflect" headings over the
// four screens. The highlight always shows the workspace's screen: a choice
// the guard parks or refuses snaps back to it.
class SidebarList : public QListWidget
{
    Q_OBJECT
public:
    explicit SidebarList(WorkspaceViewModel &workspace, QWidget *parent = nullptr);

    // The row of a destination, and the destination of a row (none for a
    // heading).
    int rowOf(WorkspaceDestination destination) const;
    std::optional<WorkspaceDestination> destinationAt(int row) const;
    // The destination highlighted now.
    std::optional<WorkspaceDestination> highlighted() const;

    QSize sizeHint() const override;

private:
    void onChosen();
    void syncHighlight();

    WorkspaceViewModel *m_workspace;
};

// The window's first column: the week's forecast card, the month (when the
// calendar is in the build) and the destination list, on the surface colour
// at 55 % over the climate backdrop.
class WorkspaceSidebar : public QWidget
{
    Q_OBJECT
public:
    explicit WorkspaceSidebar(WorkspaceViewModel &workspace, QWidget *parent = nullptr);

    InsightsTeaserCard *teaserCard() const { return m_teaser; }
    SidebarList *list() const { return m_list; }
    QWidget *miniCalendar() const { return m_miniCalendar; }

    // Recomputes the forecast (new day, changed entries).
    void refreshTeaser();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    WorkspaceViewModel *m_workspace;
    InsightsTeaserCard *m_teaser;
    QWidget *m_miniCalendar = nullptr;
    SidebarList *m_list = nullptr;
};

} // namespace zn
