#include "views/workspace/window/WorkspaceLayout.h"

#include "views/workspace/state/WorkspaceViewModel.h"

#include <QKeySequence>

namespace zn {

const QList<SidebarSection> &sidebarSections()
{
    static const QList<SidebarSection> sections{
        {QStringLiteral("Journal"),
         {sidebarRow(WorkspaceDestination::Timeline), sidebarRow(WorkspaceDestination::Calendar)}},
        {QStringLiteral("Reflect"),
         {sidebarRow(WorkspaceDestination::Weather), sidebarRow(WorkspaceDestination::Voice)}},
    };
    return sections;
}

SidebarRow sidebarRow(WorkspaceDestination destination)
{
    switch (destination) {
    case WorkspaceDestination::Timeline:
        return {destination, QStringLiteral("Timeline"), QStringLiteral("list.bullet.rectangle")};
    case WorkspaceDestination::Calendar:
        return {destination, QStringLiteral("Calendar"), QStringLiteral("calendar")};
    case WorkspaceDestination::Weather:
        return {destination, QStringLiteral("Weather"), QStringLiteral("cloud.sun.fill")};
    case WorkspaceDestination::Voice:
        return {destination, QStringLiteral("Voice"), QStringLiteral("mic.circle.fill")};
    }
    return {destination, {}, {}};
}

namespace {

// Help texts name the menu's shortcut in this desktop's own notation.
QString withShortcut(const QString &text, QKeyCombination key)
{
    return text + QLatin1Char(' ') + QKeySequence(key).toString(QKeySequence::NativeText);
}

} // namespace

const QList<ToolbarItemDefinition> &toolbarItems()
{
    static const QList<ToolbarItemDefinition> items{
        {ToolbarItem::Write, QStringLiteral("Write"), QStringLiteral("square.and.pencil"),
         withShortcut(QStringLiteral("New Entry"), Qt::CTRL | Qt::Key_N)},
        {ToolbarItem::Voice, QStringLiteral("Voice"), QStringLiteral("mic.circle.fill"), {}},
        {ToolbarItem::VoiceSave, QStringLiteral("Save"), {},
         withShortcut(QStringLiteral("Save voice entry"), Qt::CTRL | Qt::Key_S)},
        {ToolbarItem::TypedSave, QStringLiteral("Save"), {},
         withShortcut(QStringLiteral("Save entry"), Qt::CTRL | Qt::Key_S)},
        {ToolbarItem::Export, QStringLiteral("Export"), QStringLiteral("square.and.arrow.up"),
         QStringLiteral("Export Journal")},
    };
    return items;
}

bool toolbarItemShown(ToolbarItem item, const WorkspaceViewModel &workspace)
{
    switch (item) {
    case ToolbarItem::VoiceSave:
        return workspace.showsVoiceSave();
    case ToolbarItem::TypedSave:
        return workspace.showsTypedSave();
    case ToolbarItem::Write:
    case ToolbarItem::Voice:
    case ToolbarItem::Export:
        return true;
    }
    return false;
}

void runToolbarItem(ToolbarItem item, WorkspaceViewModel &workspace)
{
    switch (item) {
    case ToolbarItem::Write:
        workspace.requestNewEntry();
        break;
    case ToolbarItem::Voice:
        workspace.requestNavigate(WorkspaceDestination::Voice);
        break;
    case ToolbarItem::VoiceSave:
        workspace.saveVoiceEntry();
        break;
    case ToolbarItem::TypedSave:
        workspace.saveCurrentEntry();
        break;
    case ToolbarItem::Export:
        workspace.exportJournal();
        break;
    }
}

} // namespace zn
