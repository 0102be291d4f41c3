#include "DetailTestHarness.h"

#include "views/workspace/detail/DraftEditor.h"
#include "views/workspace/detail/EmptyDeskView.h"
#include "views/workspace/detail/DetailWidgets.h"
#include "views/workspace/detail/InsightCardView.h"
#include "views/workspace/detail/ReadingPage.h"
#include "views/workspace/detail/WritingSurface.h"

#include <QAction>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace zn::test {
namespace {

using detail::Face;

class EntryDetailViewTest : public DetailHarness
{
};

// ---------------------------------------------------------------- faces

TEST_F(EntryDetailViewTest, EmptyDeskOffersWriteAndVoiceAndWriteStartsANewEntry)
{
    EntryDetailView &pane = makeView();
    EXPECT_EQ(pane.face(), Face::EmptyDesk);
    EXPECT_FALSE(pane.editAction()->isVisible());
    EmptyDeskView *desk = pane.emptyDesk();
    EXPECT_EQ(desk->title(), QStringLiteral("Your desk is clear"));
    EXPECT_EQ(desk->message(), QStringLiteral("Write or speak when you’re ready. Everything stays on your computer."));
    ASSERT_NE(desk->voiceButton(), nullptr);
    EXPECT_EQ(desk->writeButton()->text(), QStringLiteral("Write"));
    EXPECT_EQ(desk->voiceButton()->text(), QStringLiteral("Voice"));

    desk->voiceButton()->click();
    EXPECT_EQ(voiceRequests, 1);

    desk->writeButton()->click();
    EXPECT_EQ(editor->mode(), DetailMode::ComposingDraft);
    EXPECT_EQ(editor->draftText(), QString());
    EXPECT_EQ(pane.face(), Face::Writing);
    EXPECT_EQ(pane.writingSurface()->headingTitle(), QStringLiteral("New entry"));
    EXPECT_EQ(pane.writingSurface()->headingSubtitle(), QStringLiteral("What’s on your mind?"));
}

TEST_F(EntryDetailViewTest, EmptyDeskWithoutVoiceShowsWriteAlone)
{
    int writes = 0;
    EmptyDeskView desk(QStringLiteral("T"), QStringLiteral("M"), [&] { ++writes; });
    EXPECT_EQ(desk.voiceButton(), nullptr);
    desk.writeButton()->click();
    EXPECT_EQ(writes, 1);
}

TEST_F(EntryDetailViewTest, ReadingPageShowsTheEntryAndEditTurnsItIntoTheWritingSurface)
{
    JournalEntry *entry = seed(QStringLiteral("Quiet morning. The kettle sang and the garden was wet with rain."), 0.6,
                               InsightStatus::Ready, {{QStringLiteral("garden"), 3}, {QStringLiteral("kettle"), 2}});
    entry->setThemes({QStringLiteral("garden"), QStringLiteral("calm")});
    entry->setInsightText(QStringLiteral("A calm start."));
    ASSERT_FALSE(context->save().has_value());
    EntryDetailView &pane = makeView();
    open(entry);

    ASSERT_EQ(pane.face(), Face::Reading);
    EXPECT_TRUE(pane.editAction()->isVisible());
    EXPECT_EQ(pane.editAction()->text(), QStringLiteral("Edit"));
    ReadingPage *page = pane.readingPage();
    EXPECT_FALSE(page->dateBlock()->isHidden());
    EXPECT_EQ(page->dateTexts()[0], QStringLiteral("Friday"));
    EXPECT_EQ(page->dateTexts()[1], QStringLiteral("March 7, 2025"));
    EXPECT_EQ(page->titleText(), QStringLiteral("Quiet morning."));
    EXPECT_EQ(page->bodyText(), entry->rawText());
    // Opening re-scores the stored mood; the mark shows the stored score.
    EXPECT_EQ(page->moodMark()->label(), weatherLabelForScore(entry->sentimentScore()));
    EXPECT_EQ(page->moodMark()->phrase().value_or(QString()),
              detail::moodSentence(weatherLabelForScore(entry->sentimentScore())));
    EXPECT_EQ(page->keywordRow().caption, QStringLiteral("Themes"));
    ASSERT_EQ(page->keywordRow().chips.size(), 2);
    EXPECT_TRUE(page->keywordRow().chips[0].emphasized);
    EXPECT_FALSE(page->insightCard()->isHidden());
    EXPECT_TRUE(page->insightCard()->shownTexts().contains(QStringLiteral("A calm start.")));

    pane.editAction()->trigger();
    EXPECT_EQ(editor->mode(), DetailMode::Editing);
    EXPECT_EQ(pane.face(), Face::Writing);
    EXPECT_FALSE(pane.editAction()->isVisible());
    EXPECT_EQ(pane.writingSurface()->headingTitle(), QStringLiteral("Friday, Mar 7, 2025"));
    EXPECT_EQ(pane.writingSurface()->headingSubtitle(), QStringLiteral("Editing"));
    EXPECT_EQ(pane.writingSurface()->editor()->toPlainText(), entry->rawText());
}

TEST_F(EntryDetailViewTest, KeywordRowIsLeftOutWhenThereIsNothingToShow)
{
    JournalEntry *entry = seed(QStringLiteral("Run day."), 0.0, InsightStatus::Failed,
                               {{QStringLiteral("run"), 2}, {QStringLiteral("day"), 1}});
    EntryDetailView &pane = makeView();
    open(entry);
    EXPECT_TRUE(pane.readingPage()->keywordRow().isEmpty());
    EXPECT_TRUE(pane.readingPage()->keywordRowWidget()->isHidden());
}

TEST_F(EntryDetailViewTest, DeletedEntryFallsBackToTheDraftTextAndLiveScore)
{
    JournalEntry *entry = seed(QStringLiteral("Gone soon. A text that will be deleted."), -0.7);
    EntryDetailView &pane = makeView();
    open(entry);
    EXPECT_DOUBLE_EQ(pane.readingPage()->moodMark()->sentiment(), entry->sentimentScore());

    context->remove(entry);
    ASSERT_FALSE(context->save().has_value());
    drainEvents();

    EXPECT_EQ(pane.entry(), nullptr);
    ReadingPage *page = pane.readingPage();
    EXPECT_TRUE(page->dateBlock()->isHidden());
    EXPECT_TRUE(page->keywordRowWidget()->isHidden());
    EXPECT_EQ(page->insightCard()->entry(), nullptr);
    EXPECT_EQ(page->titleText(), QStringLiteral("Gone soon."));
    EXPECT_DOUBLE_EQ(page->moodMark()->sentiment(), editor->liveSentiment());
    // Retry on a vanished entry does nothing.
    pane.retryReflection();
}

// ---------------------------------------------------------------- writing

TEST_F(EntryDetailViewTest, TypingFlowsIntoTheDraftAndShowsTheLiveMood)
{
    EntryDetailView &pane = makeView();
    pane.show();
    editor->startNewDraft();
    WritingSurface *surface = pane.writingSurface();
    DraftEditor *textEditor = surface->editor();
    textEditor->setFocus();

    QTest::keyClicks(textEditor, QString(24, u'a'));
    EXPECT_EQ(editor->draftText(), QString(24, u'a'));
    EXPECT_EQ(surface->liveChip(), nullptr);
    EXPECT_FALSE(surface->moodLine()->isColoured());

    QTest::keyClicks(textEditor, QStringLiteral("b"));
    EXPECT_NE(surface->liveChip(), nullptr);
    EXPECT_TRUE(surface->moodLine()->isColoured());

    // The live mood arrives after its pause and moves the line.
    clock.advance(EditorSession::kLiveMoodDelay);
    ASSERT_TRUE(waitUntil([&] { return !editor->isLiveMoodScheduled(); }));
    drainEvents();
    EXPECT_EQ(surface->liveChip()->label(), editor->liveWeather());
}

TEST_F(EntryDetailViewTest, TrailingBlanksColourTheLineBeforeTheChip)
{
    EntryDetailView &pane = makeView();
    editor->startNewDraft();
    editor->setDraftText(QString(20, u'x') + QString(5, u' '));
    EXPECT_TRUE(pane.writingSurface()->moodLine()->isColoured());
    EXPECT_EQ(pane.writingSurface()->liveChip(), nullptr);
}

TEST_F(EntryDetailViewTest, AutosaveTrimDoesNotMoveTheCursorOrEatTheSpaceJustTyped)
{
    JournalEntry *entry = seed(QStringLiteral("Walked to the shop"));
    EntryDetailView &pane = makeView();
    pane.show();
    open(entry, true);
    DraftEditor *textEditor = pane.writingSurface()->editor();
    textEditor->setFocus();
    textEditor->moveCursor(QTextCursor::End);

    QTest::keyClicks(textEditor, QStringLiteral(" and "));
    clock.advance(EditorSession::kAutosaveDelay);
    drainEvents();
    EXPECT_EQ(stored(entry->id())->rawText(), QStringLiteral("Walked to the shop and"));
    EXPECT_EQ(textEditor->toPlainText(), QStringLiteral("Walked to the shop and "));
    EXPECT_EQ(textEditor->textCursor().position(), 23);

    QTest::keyClicks(textEditor, QStringLiteral("back"));
    EXPECT_EQ(editor->draftText(), QStringLiteral("Walked to the shop and back"));
}

TEST_F(EntryDetailViewTest, SessionChangesReachTheEditorWithoutEchoOrCursorJump)
{
    JournalEntry *entry = seed(QStringLiteral("first line\nsecond line"));
    EntryDetailView &pane = makeView();
    pane.show();
    open(entry, true);
    DraftEditor *textEditor = pane.writingSurface()->editor();
    QTextCursor cursor = textEditor->textCursor();
    cursor.setPosition(15); // inside "second"
    textEditor->setTextCursor(cursor);

    int sessionWrites = 0;
    QObject::connect(editor.get(), &EditorSession::draftTextChanged, [&] { ++sessionWrites; });
    editor->setDraftText(QStringLiteral("FIRST line\nsecond line"));
    EXPECT_EQ(sessionWrites, 1); // no echo back into the session
    EXPECT_EQ(textEditor->toPlainText(), QStringLiteral("FIRST line\nsecond line"));
    EXPECT_EQ(textEditor->textCursor().position(), 15);

    // Leading blanks trimmed by a save stay on screen, cursor in place.
    textEditor->setPlainText(QStringLiteral("\n\nhello world, again"));
    cursor = textEditor->textCursor();
    cursor.setPosition(8);
    textEditor->setTextCursor(cursor);
    ASSERT_EQ(editor->draftText(), QStringLiteral("\n\nhello world, again"));
    editor->flushPendingEdits();
    EXPECT_EQ(stored(entry->id())->rawText(), QStringLiteral("hello world, again"));
    EXPECT_EQ(textEditor->toPlainText(), QStringLiteral("\n\nhello world, again"));
    EXPECT_EQ(textEditor->textCursor().position(), 8);
}

TEST_F(EntryDetailViewTest, SaveStatusTextsFollowTheSession)
{
    EntryDetailView &pane = makeView();
    editor->startNewDraft();
    WritingSurface *surface = pane.writingSurface();
    EXPECT_EQ(surface->shownSaveStatus().tone, detail::SaveStatusText::Tone::Hidden);

    editor->setDraftText(QStringLiteral("A whole sentence worth saving today."));
    ASSERT_TRUE(editor->commitDraft(false));
    EXPECT_EQ(surface->shownSaveStatus().text, QStringLiteral("Saved"));
    EXPECT_EQ(surface->shownSaveStatus().tone, detail::SaveStatusText::Tone::Accent);

    editor->setSaveStatus(SaveStatus::saving());
    EXPECT_EQ(surface->shownSaveStatus().text, QStringLiteral("Saving…"));
    editor->setSaveStatus(SaveStatus::idle());
    EXPECT_EQ(surface->shownSaveStatus().tone, detail::SaveStatusText::Tone::Hidden);
}

TEST_F(EntryDetailViewTest, StoreSaveErrorShowsInRedAndKeepsTheText)
{
    JournalEntry *entry = seed(QStringLiteral("Original words"));
    EntryDetailView &pane = makeView();
    pane.show();
    open(entry, true);
    container->setSaveFailureInjector(
        [] { return std::optional<StoreError>(StoreError(StoreError::Code::SaveFailed, QStringLiteral("disk full"))); });

    DraftEditor *textEditor = pane.writingSurface()->editor();
    textEditor->setFocus();
    textEditor->moveCursor(QTextCursor::End);
    QTest::keyClicks(textEditor, QStringLiteral(" and more"));
    clock.advance(EditorSession::kAutosaveDelay);
    drainEvents();

    const detail::SaveStatusText shown = pane.writingSurface()->shownSaveStatus();
    EXPECT_EQ(shown.tone, detail::SaveStatusText::Tone::Error);
    EXPECT_FALSE(shown.text.isEmpty());
    EXPECT_EQ(textEditor->toPlainText(), QStringLiteral("Original words and more"));
    EXPECT_EQ(editor->draftText(), QStringLiteral("Original words and more"));
    container->setSaveFailureInjector({});
    EXPECT_EQ(stored(entry->id())->rawText(), QStringLiteral("Original words"));
}

TEST_F(EntryDetailViewTest, MissingEntryErrorIsShownAsGiven)
{
    EntryDetailView &pane = makeView();
    editor->startNewDraft();
    editor->setSaveStatus(SaveStatus::error(QStringLiteral("Entry not found")));
    EXPECT_EQ(pane.writingSurface()->shownSaveStatus(),
              (detail::SaveStatusText{QStringLiteral("Entry not found"), detail::SaveStatusText::Tone::Error}));
}

TEST_F(EntryDetailViewTest, EditorInsetFollowsItsWidth)
{
    EntryDetailView &pane = makeView(true, QSize(1000, 700));
    pane.show();
    editor->startNewDraft();
    drainEvents();
    DraftEditor *textEditor = pane.writingSurface()->editor();
    EXPECT_DOUBLE_EQ(textEditor->sideInset(), 160);
    pane.resize(700, 700);
    drainEvents();
    EXPECT_DOUBLE_EQ(textEditor->sideInset(), 32);
}

TEST_F(EntryDetailViewTest, MoodLineEasesToTheNewMood)
{
    MoodLine line;
    line.show();
    line.setMood(true, 0.8, false);
    const QColor sunny = line.currentColor();
    line.setMood(true, -0.8, true);
    EXPECT_TRUE(line.isAnimating());
    EXPECT_EQ(line.currentColor(), sunny); // starts where it was
    ASSERT_TRUE(waitUntil([&] { return !line.isAnimating(); }, 3000ms));
    EXPECT_NE(line.currentColor(), sunny);
    EXPECT_NEAR(line.currentColor().alphaF(), 0.22, 0.01);
    line.setMood(false, -0.8, false);
    EXPECT_EQ(line.currentColor(), ZephyrTheme().hairline());
}

// ---------------------------------------------------------------- bad input

TEST_F(EntryDetailViewTest, LongEntriesOpenForReadingAndWriting)
{
    QString fifteen;
    while (fifteen.size() < 15'000)
        fifteen += QStringLiteral("A long day of words and more words, line after line.\n");
    QString megabyte;
    while (megabyte.size() < 1'000'000)
        megabyte += QStringLiteral("Paragraph of a very long pasted entry that goes on and on. ");
    JournalEntry *medium = seed(fifteen);
    JournalEntry *huge = seed(megabyte);
    EntryDetailView &pane = makeView();
    pane.show();

    open(medium);
    EXPECT_EQ(pane.readingPage()->bodyText(), fifteen);

    // The megabyte is typeset a piece per turn of the event loop: a few
    // pieces after opening, every piece once the loop has run, and joined
    // they are the text.
    open(huge);
    ReadingBody *body = pane.readingPage()->body();
    EXPECT_EQ(body->shownText(), megabyte);
    EXPECT_FALSE(body->isComplete());
    EXPECT_LT(body->pieces().size(), 10);
    for (int turns = 0; turns < 1000 && !body->isComplete(); ++turns)
        QCoreApplication::processEvents();
    ASSERT_TRUE(body->isComplete());
    QString joined;
    for (ReadingText *piece : body->pieces()) {
        EXPECT_TRUE(piece->isVisible());
        joined += piece->shownText();
    }
    EXPECT_EQ(joined, megabyte); // broken after spaces only: nothing lost or added

    // Another entry while pieces are still coming: only its own text shows.
    open(huge);
    open(medium);
    EXPECT_TRUE(body->isComplete());
    const QList<ReadingText *> pieces = body->pieces();
    ASSERT_EQ(pieces.size(), 2);
    EXPECT_EQ(pieces[0]->shownText() + u'\n' + pieces[1]->shownText(), fifteen);
    drainEvents();
    for (ReadingText *child : body->findChildren<ReadingText *>())
        EXPECT_TRUE(pieces.contains(child) || !child->isVisible());

    // Writing: spaced lines, nothing to undo, and the cursor where writing
    // goes on (a very long entry opens at its start).
    open(medium, true);
    DraftEditor *textEditor = pane.writingSurface()->editor();
    EXPECT_EQ(textEditor->toPlainText(), fifteen);
    EXPECT_EQ(textEditor->textCursor().position(), fifteen.size());
    EXPECT_FALSE(textEditor->document()->isUndoAvailable());
    const QTextBlock last = textEditor->document()->lastBlock();
    EXPECT_EQ(last.blockFormat().lineHeightType(), int(QTextBlockFormat::LineDistanceHeight));
    EXPECT_EQ(last.blockFormat().lineHeight(), 6);
    open(huge, true);
    EXPECT_EQ(textEditor->toPlainText().size(), megabyte.size());
    EXPECT_EQ(textEditor->textCursor().position(), 0);
    EXPECT_FALSE(textEditor->document()->isUndoAvailable());
}

// ---------------------------------------------------------------- reflections

TEST_F(EntryDetailViewTest, StaleCheckOnAppearAndOnEntryChange)
{
    JournalEntry *orphan = seed(QStringLiteral("Left generating by a run that ended"), 0.1, InsightStatus::Generating);
    JournalEntry *other = seed(QStringLiteral("Another entry"), 0.1, InsightStatus::None);
    EntryDetailView &pane = makeView();
    open(other);
    EXPECT_EQ(stored(orphan->id())->insightStatus(), InsightStatus::Generating);

    // Selecting the orphan gives it up at once.
    open(orphan);
    EXPECT_EQ(stored(orphan->id())->insightStatus(), InsightStatus::Failed);
    EXPECT_EQ(stored(orphan->id())->insightFailureMessage(),
              QStringLiteral("Summary was interrupted. Tap Try again when you’re ready."));
    drainEvents();
    EXPECT_TRUE(pane.readingPage()->insightCard()->shownTexts().contains(QStringLiteral("Try again")));
}

TEST_F(EntryDetailViewTest, ReflectionRunningLongerThan70SecondsIsGivenUpWhenShown)
{
    JournalEntry *entry = seed(QStringLiteral("A walk by the river in the cold air"));
    EntryDetailView &pane = makeView();
    coordinator->enqueueEntry(entry->id());
    ASSERT_TRUE(waitUntil([&] { return stored(entry->id())->insightStatus() == InsightStatus::Generating; }));

    clock.advance(69s);
    open(entry);
    pane.handleAppear();
    EXPECT_EQ(stored(entry->id())->insightStatus(), InsightStatus::Generating);

    clock.advance(2s);
    pane.handleAppear();
    EXPECT_EQ(stored(entry->id())->insightStatus(), InsightStatus::Failed);
    EXPECT_EQ(stored(entry->id())->insightFailureMessage(),
              QStringLiteral("Summary is taking too long. Tap Try again when you’re ready."));
}

TEST_F(EntryDetailViewTest, RetryCancelsMarksPendingSavesAndQueuesAgain)
{
    JournalEntry *entry = seed(QStringLiteral("Failed before"), 0.1, InsightStatus::Failed);
    entry->setInsightFailureMessage(QStringLiteral("Model broke"));
    ASSERT_FALSE(context->save().has_value());
    EntryDetailView &pane = makeView();
    open(entry);

    InsightCardView *card = pane.readingPage()->insightCard();
    ASSERT_TRUE(card->shownTexts().contains(QStringLiteral("Try again")));
    pane.retryReflection();
    // Queued at the front and picked up by the worker.
    ASSERT_TRUE(waitUntil([&] { return stored(entry->id())->insightStatus() == InsightStatus::Generating; }));
    EXPECT_FALSE(stored(entry->id())->insightFailureMessage().has_value());
    drainEvents();
    EXPECT_TRUE(card->shownTexts().contains(QStringLiteral("Reflecting…")));
    EXPECT_TRUE(card->shownTexts().contains(QStringLiteral("Cancel wait")));

    // "Cancel wait" stops that pass and starts it again at the front.
    pane.retryReflection();
    ASSERT_TRUE(waitUntil([&] { return stored(entry->id())->insightStatus() == InsightStatus::Generating; }));
    EXPECT_EQ(coordinator->inFlightEntryID(), entry->id());
}

TEST_F(EntryDetailViewTest, RetryWhenTheModelIsUnavailableSaysWhy)
{
    model.setUnavailable(lm::UnavailableReason::ModelNotReady);
    JournalEntry *entry = seed(QStringLiteral("No model here"), 0.1, InsightStatus::Failed);
    EntryDetailView &pane = makeView();
    open(entry);
    pane.retryReflection();
    EXPECT_EQ(stored(entry->id())->insightStatus(), InsightStatus::Unavailable);
    drainEvents();
    EXPECT_EQ(pane.readingPage()->insightCard()->shownTexts(),
              QStringList{QStringLiteral("The local language model is still getting ready. Mood analysis already works.")});
}

TEST_F(EntryDetailViewTest, RetryQueuesEvenWhenTheSaveFailsAndWorksWithoutACoordinator)
{
    model.setUnavailable(lm::UnavailableReason::ModelNotReady);
    JournalEntry *entry = seed(QStringLiteral("Save will fail"), 0.1, InsightStatus::Failed);
    entry->setInsightFailureMessage(QStringLiteral("Earlier failure"));
    ASSERT_FALSE(context->save().has_value());
    EntryDetailView &pane = makeView(false);
    open(entry);
    container->setSaveFailureInjector(
        [] { return std::optional<StoreError>(StoreError(StoreError::Code::SaveFailed, QStringLiteral("disk full"))); });
    pane.retryReflection();
    // In memory the entry waits as pending, without its old message.
    EXPECT_EQ(entry->insightStatus(), InsightStatus::Pending);
    EXPECT_FALSE(entry->insightFailureMessage().has_value());
    container->setSaveFailureInjector({});
    drainEvents();
    EXPECT_TRUE(pane.readingPage()->insightCard()->shownTexts().contains(QStringLiteral("Reflection queued…")));
}

TEST_F(EntryDetailViewTest, CardRedrawsWhenTheCoordinatorWritesTheEntry)
{
    JournalEntry *entry = seed(QStringLiteral("Waiting"), 0.1, InsightStatus::Pending);
    EntryDetailView &pane = makeView();
    open(entry);
    InsightCardView *card = pane.readingPage()->insightCard();
    EXPECT_TRUE(card->shownTexts().contains(QStringLiteral("Skip wait")));

    // Another context writes the finished reflection.
    ModelContext other(container.get());
    JournalEntry *theirs = fetchEntry(other, entry->id());
    theirs->setInsightText(QStringLiteral("Written elsewhere."));
    theirs->setInsightStatus(InsightStatus::Ready);
    ASSERT_FALSE(other.save().has_value());
    drainEvents();
    EXPECT_EQ(card->shownTexts(), QStringList{QStringLiteral("Written elsewhere.")});
}

TEST_F(EntryDetailViewTest, ClickingAWaitButtonRunsTheActionOnceAndSurvivesTheRebuild)
{
    int calls = 0;
    InsightCardView card(detector.get());
    JournalEntry *entry = seed(QStringLiteral("Queued"), 0.1, InsightStatus::Pending);
    card.setEntry(entry);
    card.setOnRetry([&] {
        ++calls;
        entry->setInsightStatus(InsightStatus::Generating);
    });
    card.show();
    auto *button = card.findChild<QAbstractButton *>();
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), QStringLiteral("Skip wait"));
    EXPECT_EQ(button->toolTip(), QStringLiteral("Stop waiting and try again"));
    QTest::mouseClick(button, Qt::LeftButton);
    drainEvents();
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(card.shownTexts().contains(QStringLiteral("Cancel wait")));

    // Without an action the card shows no button at all.
    card.setOnRetry({});
    EXPECT_FALSE(card.shownTexts().contains(QStringLiteral("Cancel wait")));
    EXPECT_TRUE(card.shownTexts().contains(QStringLiteral("Reflecting…")));
}

} // namespace
} // namespace zn::test
