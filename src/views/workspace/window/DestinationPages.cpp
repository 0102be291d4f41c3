#include "views/workspace/window/DestinationPages.h"

#include "views/voice/VoiceModeView.h"
#include "views/workspace/state/WorkspaceViewModel.h"
#include "views/weather/calendar/CalendarMonthView.h"
#include "views/weather/calendar/CalendarWorkspaceBinding.h"
#include "views/weather/calendar/SidebarMiniCalendar.h"
#include "views/weather/emotional/EmotionalWeatherView.h"
#include "views/weather/emotional/WeatherWorkspaceBinding.h"
#include "views/workspace/window/PlaceholderPage.h"

#include "core/EditorSession.h"
#include "reflections/InsightCoordinator.h"
#include "views/workspace/detail/DraftEditor.h"
#include "views/workspace/detail/EntryDetailView.h"
#include "views/workspace/detail/WritingSurface.h"
#include "views/workspace/state/WorkspaceViewModel.h"
#include "views/workspace/window/WorkspaceLayout.h"

#include <QEvent>
#include <QPointer>
#include <QTimer>

namespace zn {

namespace {

// Tells the detail pane each time it comes on screen.
class AppearWatcher : public QObject
{
public:
    explicit AppearWatcher(EntryDetailView *view)
        : QObject(view)
        , m_view(view)
    {
        view->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_view && event->type() == QEvent::Show && !event->spontaneous())
            m_view->handleAppear();
        return false;
    }

private:
    EntryDetailView *m_view;
};

} // namespace

QWidget *makeEntryDetailPage(WorkspaceViewModel &workspace, QWidget *parent)
{
    WorkspaceViewModel *vm = &workspace;
    auto *view = new EntryDetailView(
        workspace.editor(), workspace.modelContext(),
        dynamic_cast<InsightCoordinator *>(workspace.insightCoordinator()), workspace.capability(),
        [vm] { vm->requestNavigate(WorkspaceDestination::Voice); }, parent, kDetailMeasureMax);
    new AppearWatcher(view);

    // The pane shows the saved entry the editor holds; while a new entry is
    // being written that is none.
    QPointer<EntryDetailView> guarded(view);
    const auto sync = [guarded, vm] {
        if (guarded)
            guarded->setEntry(vm->detailEntry());
    };
    QObject::connect(&workspace.editor(), &EditorSession::selectedEntryIDChanged, view, sync);
    QObject::connect(&workspace.editor(), &EditorSession::modeChanged, view, sync);
    QObject::connect(vm, &WorkspaceViewModel::journalEntriesChanged, view, sync);
    sync();

    // Starting or resuming to write puts the cursor in the text, so typing
    // right after "New Entry" lands on the page. At once: keys that came in
    // together with the command (a busy moment, a fast typist) are handed
    // out before any deferred call runs. Once more after this turn, for a
    // page the same command is still bringing on screen.
    const auto focusText = [guarded] {
        if (guarded && guarded->isVisible() && guarded->writingSurface())
            guarded->writingSurface()->editor()->setFocus(Qt::ShortcutFocusReason);
    };
    QObject::connect(&workspace.editor(), &EditorSession::modeChanged, view, [guarded, focusText](DetailMode mode) {
        if (mode != DetailMode::ComposingDraft && mode != DetailMode::Editing)
            return;
        focusText();
        QTimer::singleShot(0, guarded, focusText);
    });
    return view;
}

QWidget *makeCalendarPage(WorkspaceViewModel &workspace, QWidget *parent)
{
    return makeWorkspaceCalendarMonthView(workspace, parent);
}

QWidget *makeWeatherPage(WorkspaceViewModel &workspace, QWidget *parent)
{
    return makeWorkspaceWeatherView(workspace, parent);
}

QWidget *makeVoicePage(WorkspaceViewModel &workspace, DialogPresenter *dialogs, QWidget *parent)
{
    WorkspaceViewModel *owner = &workspace;
    VoiceModeCallbacks callbacks{[owner] { owner->switchVoiceToWriting(); },
                                 [owner](const QUuid &id) { owner->showSavedVoiceEntry(id); }};
    VoiceModeEnvironment environment;
    environment.modelContext = workspace.modelContext();
    environment.dialogs = dialogs;
    return new VoiceModeView(workspace.voiceSession(), std::move(callbacks), environment, parent);
}

QWidget *makeSidebarMiniCalendar(WorkspaceViewModel &workspace, QWidget *parent)
{
    return makeWorkspaceMiniCalendar(workspace, parent);
}

} // namespace zn
