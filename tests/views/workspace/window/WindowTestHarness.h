#pragma once

// A journal view on a real store, with a hand-moved clock, a private
// notification centre, recorded dialogs and scripted microphone, recogniser
// and journal files.

#include "views/workspace/window/JournalWorkspaceView.h"

#include "app/theme/ThemeScope.h"
#include "core/EditorSession.h"
#include "support/WorkspaceTestServices.h"
#include "views/kit/testing/FakeDialogPresenter.h"

#include <QTimeZone>

#include <gtest/gtest.h>

#include <memory>

namespace zn::test {

inline void settle() { drainEvents(6); }

class WindowHarness : public WorkspaceTestServices
{
public:
    explicit WindowHarness(const ZephyrTheme &theme = {})
        : m_theme(theme)
    {
        clock.setNow(QDateTime(QDate(2026, 3, 12), QTime(18, 30), QTimeZone::utc()));
    }

    ~WindowHarness() { host.reset(); }

    // The view in a window of its own, shown, set up.
    JournalWorkspaceView &make(QSize size = QSize(1180, 780)) { return make(services(), size); }

    JournalWorkspaceView &make(WorkspaceServices bundle, QSize size = QSize(1180, 780))
    {
        host = std::make_unique<QWidget>();
        new ThemeScope(host.get(), m_theme);
        view = new JournalWorkspaceView(std::move(bundle), &dialogs, host.get());
        host->resize(size);
        view->resize(size);
        host->show();
        settle();
        return *view;
    }

    WorkspaceViewModel &workspace() { return view->workspace(); }

    JournalEntry *seed(const QString &text, double score, double hoursAgo)
    {
        return saveEntry(hoursBeforeNow(hoursAgo), text, score);
    }

    FakeDialogPresenter dialogs;
    std::unique_ptr<QWidget> host;
    JournalWorkspaceView *view = nullptr;

private:
    ZephyrTheme m_theme;
};

} // namespace zn::test
