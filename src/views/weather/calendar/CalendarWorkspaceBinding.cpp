#include "views/weather/calendar/CalendarWorkspaceBinding.h"

#include "views/weather/calendar/CalendarMonthView.h"
#include "views/weather/calendar/SidebarMiniCalendar.h"
#include "views/workspace/state/WorkspaceViewModel.h"

#include <QPointer>

namespace zn {
namespace {

CalendarViewSetup setupFor(WorkspaceViewModel &workspace)
{
    CalendarViewSetup setup;
    setup.calendar = &workspace.calendar();
    setup.clock = &workspace.clock();
    setup.day = &workspace.dayWatch();
    return setup;
}

DaySelectHandler showDayIn(WorkspaceViewModel &workspace)
{
    QPointer<WorkspaceViewModel> target(&workspace);
    return [target](const QDateTime &day) {
        if (target)
            target->requestShowDay(day);
    };
}

} // namespace

CalendarMonthView *makeWorkspaceCalendarMonthView(WorkspaceViewModel &workspace, QWidget *parent)
{
    auto *view = new CalendarMonthView(workspace.journalEntries(), showDayIn(workspace), setupFor(workspace), parent);
    QObject::connect(&workspace, &WorkspaceViewModel::journalEntriesChanged, view,
                     [view, &workspace] { view->setEntries(workspace.journalEntries()); });
    return view;
}

SidebarMiniCalendar *makeWorkspaceMiniCalendar(WorkspaceViewModel &workspace, QWidget *parent)
{
    auto *view = new SidebarMiniCalendar(workspace.journalEntries(), workspace.dayFilter(), showDayIn(workspace),
                                         setupFor(workspace), parent);
    QObject::connect(&workspace, &WorkspaceViewModel::journalEntriesChanged, view,
                     [view, &workspace] { view->setEntries(workspace.journalEntries()); });
    QObject::connect(&workspace, &WorkspaceViewModel::dayFilterChanged, view,
                     [view, &workspace] { view->setSelectedDay(workspace.dayFilter()); });
    return view;
}

} // namespace zn
