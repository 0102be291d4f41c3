#pragma once

#include "views/workspace/state/WorkspaceViewModel.h"

#include <QCoreApplication>

#include <cstdlib>

namespace zn::bench {

// Sets the workspace up as the window does once it is on screen (every
// entry read, the scores brought up to date, the texts read for the
// search) and waits until that is done; a benchmark over anything but
// `entries` entries would measure the wrong journal, so it stops there.
inline void setUpAsOnScreen(WorkspaceViewModel &workspace, qsizetype entries)
{
    workspace.handleAppear();
    while (workspace.isSettingUp())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    if (workspace.journalEntries().size() != entries)
        std::abort();
}

} // namespace zn::bench
