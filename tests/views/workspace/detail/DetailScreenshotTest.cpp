#include "DetailTestHarness.h"

#include "views/workspace/detail/DetailWidgets.h"
#include "views/workspace/detail/InsightCardView.h"
#include "views/workspace/detail/ReadingPage.h"
#include "views/workspace/detail/WritingSurface.h"

#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

namespace zn::test {
namespace {

// Every face in both palettes and both schemes, written for a person to
// look at; the checks here only make sure something was drawn.
class DetailScreenshotTest : public DetailHarness
{
protected:
    static QList<ZephyrTheme> themes()
    {
        return {{ColorPalettePreference::Warm, ColorScheme::Light},
                {ColorPalettePreference::Warm, ColorScheme::Dark},
                {ColorPalettePreference::Cool, ColorScheme::Light},
                {ColorPalettePreference::Cool, ColorScheme::Dark}};
    }

    static QString suffix(const ZephyrTheme &t)
    {
        return QStringLiteral("%1-%2")
            .arg(t.palette == ColorPalettePreference::Cool ? QStringLiteral("cool") : QStringLiteral("warm"),
                 t.isDark() ? QStringLiteral("dark") : QStringLiteral("light"));
    }

    JournalEntry *reflectedEntry()
    {
        JournalEntry *entry =
            seed(QStringLiteral("Slow Sunday by the river. We walked the long loop past the old mill, and for once "
                                "I did not check my phone.\n\nThe cold air, the birdsong, a dog that would not stop "
                                "chasing sticks. Coming home to soup felt like enough."),
                 0.45, InsightStatus::Ready,
                 {{QStringLiteral("river"), 3}, {QStringLiteral("walk"), 2}, {QStringLiteral("soup"), 1}});
        entry->setInsightText(QStringLiteral("A quiet, restorative day outdoors, marked by presence rather than "
                                             "productivity."));
        entry->setInsightEmotionalTone(QStringLiteral("Calm and gently content."));
        entry->setInsightKeyPoints({QStringLiteral("A long walk past the old mill"),
                                    QStringLiteral("Leaving the phone alone"),
                                    QStringLiteral("Soup at home felt like enough")});
        entry->setInsightClosingFocus(QStringLiteral("Notice what made today feel unhurried."));
        entry->setThemes({QStringLiteral("nature"), QStringLiteral("rest"), QStringLiteral("presence"),
                          QStringLiteral("home")});
        EXPECT_FALSE(context->save().has_value());
        return entry;
    }
};

TEST_F(DetailScreenshotTest, ReadingPage)
{
    for (const ZephyrTheme &t : themes()) {
        theme = t;
        JournalEntry *entry = reflectedEntry();
        EntryDetailView &pane = makeView(true, QSize(900, 1000));
        open(entry);
        shoot(pane, QStringLiteral("detail-reading-%1.png").arg(suffix(t)));
        view.reset();
    }
}

TEST_F(DetailScreenshotTest, LongEntryWherePiecesMeet)
{
    // Where one typeset piece of a long entry ends and the next begins, the
    // lines run on as in one text.
    QString text;
    for (int n = 1; text.size() < 12'000; ++n)
        text += QStringLiteral("Line %1 of a long entry, written one evening without hurry.\n").arg(n);
    JournalEntry *entry = seed(text, 0.2);
    EntryDetailView &pane = makeView(true, QSize(900, 700));
    pane.show();
    open(entry);
    ReadingBody *body = pane.readingPage()->body();
    while (!body->isComplete())
        QCoreApplication::processEvents();
    ASSERT_GE(body->pieces().size(), 2);
    QScrollArea *scroll = pane.readingPage();
    drainEvents();
    ReadingText *second = body->pieces()[1];
    scroll->verticalScrollBar()->setValue(second->mapTo(scroll->widget(), QPoint(0, 0)).y() - 300);
    shoot(pane, QStringLiteral("detail-reading-long-seam.png"));
}

TEST_F(DetailScreenshotTest, WritingSurface)
{
    for (const ZephyrTheme &t : themes()) {
        theme = t;
        JournalEntry *entry = seed(QStringLiteral("Tired after the meeting, but the evening light on the way home "
                                                  "was beautiful and I felt lighter by the time I got in."),
                                   0.3);
        EntryDetailView &pane = makeView(true, QSize(1000, 520));
        open(entry, true);
        editor->setDraftText(editor->draftText() + QStringLiteral(" Dinner with Sam."));
        ASSERT_TRUE(editor->commitDraft(false));
        shoot(pane, QStringLiteral("detail-writing-%1.png").arg(suffix(t)));
        view.reset();
    }
    // A new entry, and a save error, in the default theme.
    theme = ZephyrTheme();
    EntryDetailView &pane = makeView(true, QSize(760, 420));
    editor->startNewDraft();
    editor->setDraftText(QStringLiteral("Just a few words"));
    shoot(pane, QStringLiteral("detail-writing-new.png"));
    editor->setSaveStatus(SaveStatus::error(QStringLiteral("Couldn’t write to the journal store: disk full")));
    shoot(pane, QStringLiteral("detail-writing-error.png"));
}

TEST_F(DetailScreenshotTest, EmptyDesk)
{
    for (const ZephyrTheme &t : themes()) {
        theme = t;
        EntryDetailView &pane = makeView(true, QSize(700, 560));
        shoot(pane, QStringLiteral("detail-empty-%1.png").arg(suffix(t)));
        view.reset();
    }
    theme = ZephyrTheme();
    EntryDetailView &narrow = makeView(true, QSize(360, 520));
    shoot(narrow, QStringLiteral("detail-empty-narrow.png"));
}

TEST_F(DetailScreenshotTest, ReflectionCardStates)
{
    struct State {
        const char *name;
        InsightStatus status;
        lm::Availability availability;
        bool retry;
    };
    const lm::Availability yes = lm::Availability::yes();
    const lm::Availability notReady = lm::Availability::no(lm::UnavailableReason::ModelNotReady);
    const State states[] = {
        {"pending", InsightStatus::Pending, yes, true},
        {"generating", InsightStatus::Generating, yes, true},
        {"none-available", InsightStatus::None, yes, true},
        {"none-not-ready", InsightStatus::None, notReady, true},
        {"failed", InsightStatus::Failed, yes, true},
        {"failed-no-retry", InsightStatus::Failed, yes, false},
        {"unavailable", InsightStatus::Unavailable, notReady, true},
    };
    // Each card asks a detector of its own, so each keeps its availability.
    std::vector<std::unique_ptr<lm::ScriptedLanguageModel>> models;
    std::vector<std::unique_ptr<CapabilityDetector>> detectors;
    for (const ZephyrTheme &t : themes()) {
        QWidget sheet;
        new ThemeScope(&sheet, t);
        sheet.setAutoFillBackground(true);
        sheet.setPalette(QPalette(t.paper()));
        auto *layout = new QVBoxLayout(&sheet);
        layout->setContentsMargins(24, 24, 24, 24);
        layout->setSpacing(14);
        for (const State &s : states) {
            models.push_back(std::make_unique<lm::ScriptedLanguageModel>());
            models.back()->setAvailability(s.availability);
            detectors.push_back(std::make_unique<CapabilityDetector>(models.back().get(), &clock));
            detectors.back()->refresh();
            JournalEntry *entry = seed(QString::fromUtf8(s.name), 0.1, s.status);
            auto *card = new InsightCardView(detectors.back().get(), &sheet);
            if (s.retry)
                card->setOnRetry([] {});
            card->setEntry(entry);
            layout->addWidget(card);
        }
        sheet.resize(560, 400);
        sheet.show();
        drainEvents();
        sheet.resize(560, layout->totalHeightForWidth(560));
        drainEvents();
        ASSERT_TRUE(sheet.grab().save(screenshotPath(QStringLiteral("detail-card-states-%1.png").arg(suffix(t)))));
    }
}

TEST_F(DetailScreenshotTest, ReflectionCardLongContent)
{
    JournalEntry *entry = reflectedEntry();
    QStringList points;
    for (int i = 1; i <= 50; ++i)
        points.append(QStringLiteral("Moment %1: a longer key point that has to wrap onto a second line in a "
                                     "narrow card without being cut short")
                          .arg(i));
    entry->setInsightKeyPoints(points);
    entry->setThemes({QStringLiteral("an-extraordinarily-long-theme-label-that-cannot-possibly-fit-in-one-chip"),
                      QStringLiteral("rest"), QStringLiteral("presence")});
    ASSERT_FALSE(context->save().has_value());

    QWidget sheet;
    new ThemeScope(&sheet, ZephyrTheme());
    auto *layout = new QVBoxLayout(&sheet);
    auto *card = new InsightCardView(detector.get(), &sheet);
    card->setEntry(entry);
    layout->addWidget(card);
    sheet.resize(380, 200);
    sheet.show();
    drainEvents();
    sheet.resize(380, layout->totalHeightForWidth(380));
    drainEvents();
    const QStringList shown = card->shownTexts();
    EXPECT_EQ(shown.filter(QStringLiteral("• Moment")).size(), 50);
    // Nothing pokes out of the card.
    for (QWidget *child : card->findChildren<QWidget *>()) {
        if (!child->isVisible())
            continue;
        EXPECT_LE(child->mapTo(card, QPoint(child->width(), 0)).x(), card->width())
            << child->metaObject()->className();
    }
    ASSERT_TRUE(sheet.grab().save(screenshotPath(QStringLiteral("detail-card-long.png"))));
}

} // namespace
} // namespace zn::test
