#pragma once

class QWidget;

namespace zn {

class DialogPresenter;
class WorkspaceViewModel;

// The pages the workspace shows for its other screens, one factory each, so
// a finished screen replaces its stand-in here and nowhere else. Each page
// reads the workspace for its entries and actions.

// Detail column on the timeline: the entry being read or written.
QWidget *makeEntryDetailPage(WorkspaceViewModel &workspace, QWidget *parent);
// Detail column on the calendar.
QWidget *makeCalendarPage(WorkspaceViewModel &workspace, QWidget *parent);
// Detail column on Emotional Weather; made afresh each time it is shown.
QWidget *makeWeatherPage(WorkspaceViewModel &workspace, QWidget *parent);
// Detail column on Voice; its questions go through the window's `dialogs`.
QWidget *makeVoicePage(WorkspaceViewModel &workspace, DialogPresenter *dialogs, QWidget *parent);
// The month in the sidebar, under the forecast card.
QWidget *makeSidebarMiniCalendar(WorkspaceViewModel &workspace, QWidget *parent);

} // namespace zn
