#pragma once

class QWidget;

namespace zn {

class EmotionalWeatherView;
class WorkspaceViewModel;

// The weather page as the main window shows it: fed with the workspace's
// saved entries as they change, on its store, coordinator, capability
// detector, calendar and clock; a picked day goes through the guarded day
// filter. The workspace must outlive the returned widget.
EmotionalWeatherView *makeWorkspaceWeatherView(WorkspaceViewModel &workspace, QWidget *parent = nullptr);

} // namespace zn
