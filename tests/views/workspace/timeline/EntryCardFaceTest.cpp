#include "app/marks/WeatherMarks.h"
#include "core/JournalEntry.h"
#include "core/TextUnits.h"
#include "views/workspace/timeline/EntryCardFace.h"
#include "views/workspace/timeline/TimelineLayout.h"

#include <QElapsedTimer>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <cmath>

namespace zn {
namespace {

const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);
const QDateTime kMonday(QDate(2024, 3, 4), QTime(10, 5), QTimeZone::utc());

JournalEntry entryWith(const QString &text, double score = 0.0, const KeywordFrequencies &keywords = {})
{
    return JournalEntry(QUuid::createUuid(), kMonday, text, std::nullopt, score, keywords, std::nullopt, {}, false);
}

TEST(EntryCardFace, ShowsTimeWeatherTitleAndAnAccessibleSummaryFromOneScore)
{
    const JournalEntry entry = entryWith(QStringLiteral("A long walk by the sea. Then lunch."), 0.65);
    const EntryCardFace face = EntryCardFace::make(entry, kEnglish, QTimeZone::utc());
    EXPECT_EQ(face.weather, WeatherLabel::Sunny);
    EXPECT_EQ(face.title, QStringLiteral("A long walk by the sea."));
    EXPECT_TRUE(face.timeText.startsWith(QStringLiteral("Mon, Mar 4, 10:05")));
    EXPECT_TRUE(face.accessibleText.startsWith(QStringLiteral("Mar 4, 2024")));
    EXPECT_TRUE(face.accessibleText.endsWith(QStringLiteral(", Sunny. A long walk by the sea.")));

    // An entry stamped in UTC reads on the user's clock, in the card and its label.
    const EntryCardFace berlin = EntryCardFace::make(entry, kEnglish, QTimeZone("Europe/Berlin"));
    EXPECT_TRUE(berlin.timeText.startsWith(QStringLiteral("Mon, Mar 4, 11:05"))) << berlin.timeText.toStdString();
    EXPECT_TRUE(berlin.accessibleText.contains(QStringLiteral("11:05"))) << berlin.accessibleText.toStdString();

    // The stripe, the weather word and the label agree at every boundary.
    for (double score : {0.6, 0.5999, 0.2, -0.2, -0.2001, -0.6, -0.61, std::nan("")}) {
        const EntryCardFace f = EntryCardFace::make(entryWith(QStringLiteral("x"), score), kEnglish);
        EXPECT_EQ(f.weather, weatherLabelForScore(score));
        EXPECT_TRUE(f.accessibleText.contains(QStringLiteral(", ") + weatherTitle(f.weather) + QStringLiteral(". ")));
    }
}

TEST(EntryCardFace, BlankHugeAndComplexTextsGiveShortTitles)
{
    EXPECT_EQ(EntryCardFace::make(entryWith(QStringLiteral(" \n\t ")), kEnglish).title, QStringLiteral("Untitled"));

    // 100 KB on one line: a 48-character cut at a space, quickly.
    QString huge;
    while (huge.size() < 100'000)
        huge += QStringLiteral("lorem ipsum dolor ");
    QElapsedTimer timer;
    timer.start();
    const EntryCardFace big = EntryCardFace::make(entryWith(huge), kEnglish);
    EXPECT_LT(timer.elapsed(), 200);
    EXPECT_TRUE(big.title.endsWith(QChar(0x2026)));
    EXPECT_LE(text::graphemeCount(big.title), 49);
    EXPECT_FALSE(big.title.contains(QStringLiteral(" \u2026")));

    // Emoji with modifiers and letters with combining marks count once.
    QString emoji;
    for (int i = 0; i < 60; ++i)
        emoji += QStringLiteral("\U0001F469\U0001F3FD\u200D\U0001F4BB"); // one grapheme each
    const QString cut = EntryCardFace::make(entryWith(emoji), kEnglish).title;
    EXPECT_EQ(text::graphemeCount(cut), 49); // 48 and the ellipsis
    QString accents;
    for (int i = 0; i < 60; ++i)
        accents += QStringLiteral("e\u0301");
    EXPECT_EQ(text::graphemeCount(EntryCardFace::make(entryWith(accents), kEnglish).title), 49);

    // Right-to-left text passes through unchanged.
    const QString hebrew = QStringLiteral("\u05E9\u05DC\u05D5\u05DD \u05E2\u05D5\u05DC\u05DD");
    EXPECT_EQ(EntryCardFace::make(entryWith(hebrew), kEnglish).title, hebrew);
}

TEST(EntryCardFace, ChipsComeFromThemesWhenReadyElseKeywordsAndNeverFromCorruptData)
{
    JournalEntry entry = entryWith(QStringLiteral("x"), 0, {{"garden", 5}, {"sister", 3}, {"run", 9}, {"pasta", 1}});
    EntryCardFace face = EntryCardFace::make(entry, kEnglish);
    EXPECT_EQ(face.chips, (QStringList{"garden", "sister"})); // "run" is too short
    EXPECT_FALSE(face.chipsEmphasized);

    entry.setInsightStatus(InsightStatus::Ready);
    entry.setThemes({QStringLiteral(" Rest "), QStringLiteral("Family"), QStringLiteral("Work")});
    face = EntryCardFace::make(entry, kEnglish);
    ASSERT_EQ(face.chips.size(), 2);
    EXPECT_EQ(face.chips[0].toLower(), QStringLiteral("rest"));
    EXPECT_EQ(face.chips[1].toLower(), QStringLiteral("family"));
    EXPECT_TRUE(face.chipsEmphasized);

    // Ready without usable themes: keywords, still emphasised.
    entry.setThemes({});
    face = EntryCardFace::make(entry, kEnglish);
    EXPECT_EQ(face.chips, (QStringList{"garden", "sister"}));
    EXPECT_TRUE(face.chipsEmphasized);

    entry.setKeywordFrequenciesData(QByteArrayLiteral("{\"garden\": \"many\", broken"));
    entry.setThemesData(QByteArrayLiteral("[1, 2"));
    EXPECT_TRUE(EntryCardFace::make(entry, kEnglish).chips.isEmpty());
}

TEST(TimelineLayout, CardsGrowForASecondTitleLineAndCloseUpWithoutChips)
{
    const TimelineLayout layout;
    EntryCardFace face;
    face.title = QStringLiteral("Short");
    const int oneLine = layout.cardHeight(face, 340);
    face.title = QStringLiteral("A title long enough to need a second line in a column");
    const int twoLines = layout.cardHeight(face, 340);
    EXPECT_GT(twoLines, oneLine);
    // A wide column fits it on one line again; never more than two lines.
    EXPECT_EQ(layout.cardHeight(face, 2000), oneLine);
    face.title = QString(48, QChar(u'W')) + QChar(0x2026);
    EXPECT_EQ(layout.cardHeight(face, 280), twoLines);

    face.chips = {QStringLiteral("garden")};
    EXPECT_GT(layout.cardHeight(face, 340), twoLines);

    // Parts stay inside the card, the weather to the right of the time.
    const QRectF card(10, 0, 320, layout.cardHeight(face, 340));
    const TimelineLayout::CardParts parts = layout.cardParts(face, card);
    EXPECT_TRUE(card.contains(parts.stripe));
    EXPECT_TRUE(card.contains(parts.titleRect));
    EXPECT_LE(parts.timeRect.right(), parts.weatherSymbol.left());
    EXPECT_LE(parts.weatherTitle.right(), card.right() - TimelineLayout::kContentTrail + 0.01);
    ASSERT_EQ(parts.chips.size(), 1);
    EXPECT_LE(parts.chips[0].bottom(), card.bottom() - TimelineLayout::kContentV + 0.5);

    // A narrow card squeezes the second chip rather than spilling it.
    face.chips = {QString(40, QChar(u'm')), QStringLiteral("another")};
    const TimelineLayout::CardParts narrow = layout.cardParts(face, QRectF(0, 0, 150, 120));
    for (const QRectF &chip : narrow.chips)
        EXPECT_LE(chip.right(), 150 - TimelineLayout::kContentTrail + 0.01);
}

} // namespace
} // namespace zn
