#include "views/workspace/window/DestinationPages.h"

#include "views/voice/VoiceModeView.h"
#include "views/workspace/state/WorkspaceViewModel.h"
#include "views/weather/calendar/CalendarMonthView.h"
#include "views/weather/calendar/CalendarWorkspaceBinding.h"
#include "views/weather/calendar/SidebarMiniCalendar.h"
#include "views/workspace/window/PlaceholderPage.h"

namespace zn {

QWidget *makeEntryDetailPage(WorkspaceViewModel &, QWidget *parent)
{
    return new PlaceholderPage(QStringLiteral("book.closed"), QStringLiteral("Your desk is clear"),
                               QStringLiteral("The entry page arrives in a later build."), parent);
}

QWidget *makeCalendarPage(WorkspaceViewModel &workspace, QWidget *parent)
{
    return makeWorkspaceCalendarMonthView(workspace, parent);
}

QWidget *makeWeatherPage(WorkspaceViewModel &, QWidget *parent)
{
    return new PlaceholderPage(QStringLiteral("cloud.sun.fill"), QStringLiteral("Emotional Weather"),
                               QStringLiteral("Charts of your weather arrive in a later build."), parent);
}

QWidget *makeVoicePage(WorkspaceViewModel &workspace, QWidget *parent)
{
    WorkspaceViewModel *owner = &workspace;
    VoiceModeCallbacks callbacks{[owner] { owner->switchVoiceToWriting(); },
                                 [owner](const QUuid &id) { owner->showSavedVoiceEntry(id); }};
    VoiceModeEnvironment environment;
    environment.modelContext = workspace.modelContext();
    return new VoiceModeView(workspace.voiceSession(), std::move(callbacks), environment, parent);
}

QWidget *makeSidebarMiniCalendar(WorkspaceViewModel &workspace, QWidget *parent)
{
    return makeWorkspaceMiniCalendar(workspace, parent);
}

} // namespace zn
