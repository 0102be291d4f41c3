#include "views/weather/emotional/WeatherWorkspaceBinding.h"

#include "reflections/InsightCoordinator.h"
#include "views/weather/emotional/EmotionalWeatherView.h"
#include "views/workspace/state/WorkspaceViewModel.h"

#include <QPointer>

namespace zn {

EmotionalWeatherView *makeWorkspaceWeatherView(WorkspaceViewModel &workspace, QWidget *parent)
{
    WeatherPageServices services;
    services.context = workspace.modelContext();
    // The workspace knows its coordinator as the editor's queue.
    services.coordinator = dynamic_cast<InsightCoordinator *>(workspace.insightCoordinator());
    services.capability = workspace.capability();
    services.calendar = &workspace.calendar();
    services.clock = &workspace.clock();
    services.day = &workspace.dayWatch();
    QPointer<WorkspaceViewModel> target(&workspace);
    auto *view = new EmotionalWeatherView(
        workspace.journalEntries(), services,
        [target](const QDateTime &day) {
            if (target)
                target->requestShowDay(day);
        },
        parent);
    QObject::connect(&workspace, &WorkspaceViewModel::journalEntriesChanged, view,
                     [view, target] {
                         if (target)
                             view->setEntries(target->journalEntries());
                     });
    return view;
}

} // namespace zn
