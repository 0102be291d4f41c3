#pragma once

class QWidget;

namespace zn {

class CalendarMonthView;
class SidebarMiniCalendar;
class WorkspaceViewModel;

// The two calendars as the main window shows them: fed with the workspace's
// saved entries as they change, on its calendar and clock; a chosen day goes
// through the guarded day filter, and the sidebar marks the filtered day.
// The workspace must outlive the returned widget.
CalendarMonthView *makeWorkspaceCalendarMonthView(WorkspaceViewModel &workspace, QWidget *parent = nullptr);
SidebarMiniCalendar *makeWorkspaceMiniCalendar(WorkspaceViewModel &workspace, QWidget *parent = nullptr);

} // namespace zn
