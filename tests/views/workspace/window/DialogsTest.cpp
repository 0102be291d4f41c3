// The workspace's questions, alert and sheet: exact words, answers that
// reach the workspace, and answers to questions no longer asked that do
// nothing.

#include "WindowTestHarness.h"

#include "views/voice/VoiceModeView.h"
#include "views/workspace/window/PrivacyPromiseView.h"
#include "voice/VoiceRecordingSession.h"

#include <QPushButton>
#include <QScrollArea>
#include <QTest>

namespace zn::test {
namespace {

TEST(WorkspaceDialogsTest, DeleteAsksWithTheEntrysDateAndDeletesOnlyOnDelete)
{
    WindowHarness h;
    JournalEntry *entry = h.seed(QStringLiteral("To be deleted."), 0.0, 1);
    const QUuid id = entry->id();
    h.make();
    h.workspace().requestDelete(entry);
    ASSERT_TRUE(h.dialogs.pendingConfirmation());
    const ConfirmationRequest asked = *h.dialogs.pendingConfirmation();
    EXPECT_EQ(asked.title, QStringLiteral("Delete this entry?"));
    EXPECT_FALSE(asked.message.isEmpty());
    ASSERT_EQ(asked.buttons.size(), 2);
    EXPECT_EQ(asked.buttons[0].title, QStringLiteral("Delete"));
    EXPECT_EQ(asked.buttons[0].role, DialogButtonRole::Destructive);
    EXPECT_EQ(asked.buttons[1].title, QStringLiteral("Cancel"));
    EXPECT_EQ(asked.buttons[1].role, DialogButtonRole::Cancel);

    // Escape: nothing deleted, nothing pending.
    ASSERT_TRUE(h.dialogs.cancel());
    EXPECT_EQ(h.workspace().entryPendingDelete(), nullptr);
    EXPECT_TRUE(h.workspace().journalEntry(id));

    h.workspace().requestDelete(h.workspace().journalEntry(id));
    ASSERT_TRUE(h.dialogs.answer(QStringLiteral("Delete")));
    settle();
    EXPECT_FALSE(h.workspace().journalEntry(id));
    EXPECT_EQ(h.dialogs.confirmations().size(), 2); // it does not come back
}

TEST(WorkspaceDialogsTest, DiscardAndKeepWritingWordsAndAnswers)
{
    WindowHarness h;
    h.make();
    h.workspace().startNewEntry();
    h.workspace().editor().setDraftText(QStringLiteral("Unsaved"));
    h.workspace().requestNavigate(WorkspaceDestination::Voice);
    ASSERT_TRUE(h.dialogs.pendingConfirmation());
    const ConfirmationRequest asked = *h.dialogs.pendingConfirmation();
    EXPECT_EQ(asked.message, QStringLiteral("Your words haven’t been saved to the library yet."));
    EXPECT_EQ(asked.buttons[0].title, QStringLiteral("Discard"));
    EXPECT_EQ(asked.buttons[1].title, QStringLiteral("Keep Writing"));
    ASSERT_TRUE(h.dialogs.answer(QStringLiteral("Discard")));
    EXPECT_EQ(h.workspace().destination(), WorkspaceDestination::Voice);
    EXPECT_FALSE(h.workspace().showDiscardConfirm());
}

TEST(WorkspaceDialogsTest, TheVoiceScreensDiscardQuestionIsTheWindows)
{
    WindowHarness h;
    h.make();
    h.workspace().navigate(WorkspaceDestination::Voice);
    settle();
    auto *voice = h.view->findChild<VoiceModeView *>();
    ASSERT_TRUE(voice);
    voice->trigger(VoiceControlAction::Start);
    VoiceRecordingSession &session = h.workspace().voiceSession();
    ASSERT_TRUE(waitUntil([&] { return session.phase() == VoicePhase::recording; }));
    ASSERT_NE(h.speech->lastAnalyzer(), nullptr);
    h.speech->lastAnalyzer()->emitResult(QStringLiteral("a few words"), false);
    settle();
    voice->trigger(VoiceControlAction::Stop);
    ASSERT_TRUE(waitUntil([&] { return session.phase() == VoicePhase::reviewing; }));

    voice->trigger(VoiceControlAction::DiscardAfterReview);
    ASSERT_TRUE(h.dialogs.pendingConfirmation());
    EXPECT_EQ(h.dialogs.pendingConfirmation()->title, QStringLiteral("Discard this recording?"));
    ASSERT_TRUE(h.dialogs.answer(QStringLiteral("Discard")));
    settle();
    EXPECT_NE(session.phase(), VoicePhase::reviewing);
}

// A question the workspace withdrew (its flag went down elsewhere) must not
// act when its box is answered late: "Discard" would throw away new words.
TEST(WorkspaceDialogsTest, ALateAnswerToAWithdrawnQuestionDoesNothing)
{
    WindowHarness h;
    h.make();
    h.workspace().startNewEntry();
    h.workspace().editor().setDraftText(QStringLiteral("Keep me"));
    h.workspace().requestNavigate(WorkspaceDestination::Calendar);
    ASSERT_TRUE(h.dialogs.pendingConfirmation());
    h.workspace().cancelPendingNavigation(); // withdrawn without the box
    ASSERT_TRUE(h.dialogs.answer(QStringLiteral("Discard")));
    EXPECT_EQ(h.workspace().destination(), WorkspaceDestination::Timeline);
    EXPECT_EQ(h.workspace().editor().draftText(), QStringLiteral("Keep me"));
}

TEST(WorkspaceDialogsTest, PrivacyPromiseOpensFromTheMenuCommandAndClosesWithDoneOrReturn)
{
    WindowHarness h;
    h.make();
    h.center.post(QString::fromLatin1(Notifications::ShowPrivacyPromise));
    ASSERT_TRUE(h.dialogs.isSheetPresented());
    EXPECT_EQ(h.dialogs.sheetTitles(), QStringList({"Privacy Promise"}));
    auto *view = qobject_cast<PrivacyPromiseView *>(h.dialogs.sheetContent());
    ASSERT_TRUE(view);
    EXPECT_TRUE(view->doneButton()->isDefault());
    view->doneButton()->click();
    EXPECT_FALSE(h.dialogs.isSheetPresented());
    EXPECT_FALSE(h.workspace().showPrivacyPromise());

    // The second Help item posts the same name: the sheet comes back.
    h.center.post(QString::fromLatin1(Notifications::ShowPrivacyPromise));
    EXPECT_TRUE(h.dialogs.isSheetPresented());
    EXPECT_TRUE(h.workspace().showPrivacyPromise());
}

TEST(WorkspaceDialogsTest, EveryDismissalOfTheJournalFileAlertClearsItsMessage)
{
    WindowHarness h;
    h.make();
    h.workspace().exportJournal(); // nothing to export
    ASSERT_TRUE(h.dialogs.pendingAlert());
    EXPECT_EQ(h.dialogs.pendingAlert()->buttonTitle, QStringLiteral("OK"));
    h.dialogs.dismissAlert();
    EXPECT_FALSE(h.workspace().exportStatusMessage());
    // A second export shows the alert again rather than nothing.
    h.workspace().exportJournal();
    EXPECT_EQ(h.dialogs.alerts().size(), 2);
}

TEST(PrivacyPromiseViewTest, SaysTheFivePromisesVerbatim)
{
    ASSERT_EQ(privacySections().size(), 5);
    EXPECT_EQ(privacySections()[0].heading, QStringLiteral("On your computer"));
    EXPECT_TRUE(privacySections()[0].text.contains(QStringLiteral("uses on-device Natural Language tools")));
    EXPECT_EQ(privacySections()[3].heading, QStringLiteral("You control export & import"));
    EXPECT_EQ(privacySections()[4].text,
              QStringLiteral("Zephyrnote does not ship analytics SDKs that phone home with your writing."));
    EXPECT_TRUE(privacyRequirementsNote().startsWith(
        QStringLiteral("Requirements: a compatible language model server on this computer")));
}

TEST(PrivacyPromiseViewTest, AtItsSmallestOnlyTheSectionsScroll)
{
    int done = 0;
    QWidget host;
    new ThemeScope(&host, ZephyrTheme{ColorPalettePreference::Cool, ColorScheme::Dark});
    auto *view = new PrivacyPromiseView([&] { ++done; }, &host);
    view->resize(PrivacyPromiseView::kMinimumSize);
    host.resize(PrivacyPromiseView::kMinimumSize);
    host.show();
    settle();
    EXPECT_EQ(view->minimumSize(), QSize(440, 360));
    // Header at the top, the note at the bottom, both inside the view.
    EXPECT_GE(view->doneButton()->geometry().top(), 0);
    EXPECT_LE(view->sectionsArea()->geometry().bottom(), view->height() - 28);
    EXPECT_LT(view->sectionsArea()->viewport()->height(), view->sectionsArea()->widget()->sizeHint().height());
    view->grab().save(screenshotPath(QStringLiteral("privacy-promise-cool-dark-min.png")));

    view->doneButton()->setFocus();
    QTest::keyClick(view->doneButton(), Qt::Key_Return);
    EXPECT_EQ(done, 1);
}

} // namespace
} // namespace zn::test
