// The toolbar: Write, Voice and Export always; Save only while there is
// something to save.

#include "WindowTestHarness.h"

#include "views/workspace/window/WorkspaceToolbar.h"

#include <QAction>
#include <QKeySequence>

namespace zn::test {
namespace {

TEST(ToolbarTest, SaveAppearsOnlyWhileTyping)
{
    WindowHarness h;
    h.seed(QStringLiteral("Morning pages."), 0.1, 1);
    h.make();
    WorkspaceToolbar *bar = h.view->toolbar();
    EXPECT_EQ(bar->shownTitles(), QStringList({"Write", "Voice", "Export"}));

    bar->action(ToolbarItem::Write)->trigger();
    EXPECT_EQ(h.workspace().editor().mode(), DetailMode::ComposingDraft);
    EXPECT_EQ(bar->shownTitles(), QStringList({"Write", "Voice", "Save", "Export"}));
    EXPECT_TRUE(bar->action(ToolbarItem::TypedSave)->isVisible());
    EXPECT_FALSE(bar->action(ToolbarItem::VoiceSave)->isVisible());

    // Reading an entry has nothing to save; the page offers "Edit" instead.
    h.workspace().selectEntry(h.workspace().journalEntries().first(), false);
    settle();
    EXPECT_EQ(bar->shownTitles(), QStringList({"Write", "Voice", "Edit", "Export"}));

    ASSERT_TRUE(bar->detailItem());
    bar->detailItem()->trigger();
    settle();
    EXPECT_EQ(h.workspace().editor().mode(), DetailMode::Editing);
    EXPECT_EQ(bar->shownTitles(), QStringList({"Write", "Voice", "Save", "Export"}));

    // Off the timeline the page's item goes with the page.
    h.workspace().selectEntry(h.workspace().journalEntries().first(), false);
    h.workspace().navigate(WorkspaceDestination::Calendar);
    settle();
    EXPECT_EQ(bar->shownTitles(), QStringList({"Write", "Voice", "Export"}));
}

TEST(ToolbarTest, SaveStoresTheComposedEntry)
{
    WindowHarness h;
    h.make();
    WorkspaceToolbar *bar = h.view->toolbar();
    bar->action(ToolbarItem::Write)->trigger();
    h.workspace().editor().setDraftText(QStringLiteral("Saved from the toolbar."));
    bar->action(ToolbarItem::TypedSave)->trigger();
    settle();
    ASSERT_EQ(h.workspace().journalEntries().size(), 1);
    EXPECT_EQ(h.workspace().journalEntries().first()->rawText(), QStringLiteral("Saved from the toolbar."));
}

TEST(ToolbarTest, OnVoiceTheTypedSaveGoesAndVoiceSaveWaitsForATranscript)
{
    WindowHarness h;
    h.make();
    WorkspaceToolbar *bar = h.view->toolbar();
    bar->action(ToolbarItem::Write)->trigger();
    h.workspace().navigate(WorkspaceDestination::Voice);
    settle();
    EXPECT_EQ(bar->shownTitles(), QStringList({"Write", "Voice", "Export"}));
}

TEST(ToolbarTest, HelpTextsNameTheShortcutsAsThisDesktopWritesThem)
{
    WindowHarness h;
    h.make();
    WorkspaceToolbar *bar = h.view->toolbar();
    const QString ctrlN = QKeySequence(Qt::CTRL | Qt::Key_N).toString(QKeySequence::NativeText);
    const QString ctrlS = QKeySequence(Qt::CTRL | Qt::Key_S).toString(QKeySequence::NativeText);
    EXPECT_EQ(bar->action(ToolbarItem::Write)->toolTip(), QStringLiteral("New Entry ") + ctrlN);
    EXPECT_EQ(bar->action(ToolbarItem::TypedSave)->toolTip(), QStringLiteral("Save entry ") + ctrlS);
    EXPECT_EQ(bar->action(ToolbarItem::VoiceSave)->toolTip(), QStringLiteral("Save voice entry ") + ctrlS);
    EXPECT_EQ(bar->action(ToolbarItem::Export)->toolTip(), QStringLiteral("Export Journal"));
    // The menu owns every key: a toolbar shortcut would make both dead.
    for (QAction *action : bar->actions())
        EXPECT_TRUE(action->shortcut().isEmpty()) << action->text().toStdString();
}

TEST(ToolbarTest, ExportOfAnEmptyJournalSaysSoInTheJournalFileAlert)
{
    WindowHarness h;
    h.make();
    h.view->toolbar()->action(ToolbarItem::Export)->trigger();
    settle();
    ASSERT_TRUE(h.dialogs.pendingAlert());
    EXPECT_EQ(h.dialogs.pendingAlert()->title, QStringLiteral("Journal file"));
    EXPECT_EQ(h.dialogs.pendingAlert()->message, QStringLiteral("There are no journal entries to export."));
    ASSERT_TRUE(h.dialogs.dismissAlert());
    EXPECT_FALSE(h.workspace().exportStatusMessage());
}

} // namespace
} // namespace zn::test
