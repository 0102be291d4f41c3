#pragma once

#include <QObject>
#include <QPointer>

namespace zn {

class DialogPresenter;
class WorkspaceViewModel;

// Shows the workspace's questions, alert and sheet through a presenter:
// "Discard this entry?", "Stop recording?", "Delete this entry?", the
// "Journal file" alert and the privacy promise. The workspace holds the
// state; each answer goes back to it, and an answer to a question the
// workspace no longer asks does nothing. Nothing here waits in a nested
// event loop.
class WorkspaceDialogs : public QObject
{
    Q_OBJECT
public:
    // `presenter` must outlive this object.
    WorkspaceDialogs(WorkspaceViewModel &workspace, DialogPresenter &presenter, QObject *parent = nullptr);

private:
    void askDiscard();
    void askStopRecording();
    void askDelete();
    void showPrivacy();
    void showExportStatus();

    QPointer<WorkspaceViewModel> m_workspace;
    DialogPresenter *m_presenter;
    // Each question asked gets a new number; an answer to an older one,
    // which a newer question replaced, is ignored.
    quint64 m_question = 0;
    bool m_sheetUp = false;
};

} // namespace zn
