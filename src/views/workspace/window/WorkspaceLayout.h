#pragma once

#include "views/workspace/state/WorkspaceTypes.h"

#include <QList>
#include <QString>

namespace zn {

class WorkspaceViewModel;

// The size range of one column of the main window, in logical pixels.
struct ColumnWidths
{
    int minimum;
    int ideal;
    int maximum;
};

inline constexpr ColumnWidths kSidebarColumnWidths{200, 240, 300};
inline constexpr ColumnWidths kListColumnWidths{280, 340, 440};
// The widest a reading or writing column grows in the detail pane.
inline constexpr int kDetailMeasureMax = 680;
// The sidebar's translucent fill over the climate backdrop.
inline constexpr double kSidebarSurfaceOpacity = 0.55;

// One destination row of the sidebar.
struct SidebarRow
{
    WorkspaceDestination destination;
    QString title;
    QString symbol;
};

struct SidebarSection
{
    QString title;
    QList<SidebarRow> rows;
};

// "Journal" (Timeline, Calendar) then "Reflect" (Weather, Voice).
const QList<SidebarSection> &sidebarSections();
SidebarRow sidebarRow(WorkspaceDestination destination);

// Only the timeline shows the entry list; elsewhere the middle column goes.
inline bool showsEntryList(WorkspaceDestination destination)
{
    return destination == WorkspaceDestination::Timeline;
}

// The items of the window's toolbar, in order.
enum class ToolbarItem { Write, Voice, VoiceSave, TypedSave, Export };

struct ToolbarItemDefinition
{
    ToolbarItem item;
    QString title;
    QString symbol;  // empty for a text button
    QString toolTip; // empty for none
};

const QList<ToolbarItemDefinition> &toolbarItems();
// Whether an item is in the toolbar for the workspace's state now; a Save
// that does not apply is absent, not disabled.
bool toolbarItemShown(ToolbarItem item, const WorkspaceViewModel &workspace);
// Runs the item's action (through the guard where it leaves the entry).
void runToolbarItem(ToolbarItem item, WorkspaceViewModel &workspace);

} // namespace zn
