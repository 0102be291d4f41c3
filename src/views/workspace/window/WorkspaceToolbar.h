#pragma once

#include "views/workspace/window/WorkspaceLayout.h"

#include <QHash>
#include <QPointer>
#include <QToolBar>

class QAction;

namespace zn {

class WorkspaceViewModel;

// The window's toolbar: Write, Voice, Save (only while there is something
// to save) and Export, on the theme's window colour; at its leading end a
// note while a long import runs.
class WorkspaceToolbar : public QToolBar
{
    Q_OBJECT
public:
    explicit WorkspaceToolbar(WorkspaceViewModel &workspace, QWidget *parent = nullptr);

    QAction *action(ToolbarItem item) const { return m_actions.value(item); }

    // Shows the detail pane's own item (its "Edit") in the place of Save,
    // while the pane shows it and the timeline is on screen.
    void setDetailAction(QAction *action);
    QAction *detailItem() const { return m_detailItem; }
    // The titles of the items shown now, in order.
    QStringList shownTitles() const;
    // "Importing journal…", shown while a long import runs.
    QWidget *importNote() const { return m_importNote; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void updateItems();
    void updateDetailItem();
    void retint();

    WorkspaceViewModel *m_workspace;
    QHash<ToolbarItem, QAction *> m_actions;
    QPointer<QAction> m_detailAction;
    QAction *m_detailItem = nullptr;
    QWidget *m_importNote = nullptr;
    QAction *m_importNoteItem = nullptr;
};

} // namespace zn
