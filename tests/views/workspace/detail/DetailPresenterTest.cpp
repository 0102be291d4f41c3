#include "views/workspace/detail/DetailPresenter.h"

#include <QLocale>
#include <QTextBoundaryFinder>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace zn {
namespace {

using namespace detail;

TEST(DetailPresenterTest, FaceFollowsTheEditorMode)
{
    EXPECT_EQ(faceFor(DetailMode::Empty), Face::EmptyDesk);
    EXPECT_EQ(faceFor(DetailMode::Reading), Face::Reading);
    EXPECT_EQ(faceFor(DetailMode::Editing), Face::Writing);
    EXPECT_EQ(faceFor(DetailMode::ComposingDraft), Face::Writing);
}

TEST(DetailPresenterTest, MoodSentenceChangesExactlyAtTheWeatherBands)
{
    const struct {
        double score;
        const char *sentence;
    } cases[] = {
        {1.0, "A lighter day inside"},       {0.6, "A lighter day inside"},
        {0.5999, "Mixed skies"},             {0.2, "Mixed skies"},
        {0.1999, "Steady, even weather"},    {-0.2, "Steady, even weather"},
        {-0.2001, "Heavier skies — be gentle"}, {-0.6, "Heavier skies — be gentle"},
        {-0.61, "Intense weather"},          {std::numeric_limits<double>::quiet_NaN(), "Intense weather"},
    };
    for (const auto &c : cases) {
        const ReadingMood mood = readingMood(c.score, 0.9);
        EXPECT_EQ(mood.sentence, QString::fromUtf8(c.sentence)) << c.score;
    }
}

TEST(DetailPresenterTest, ReadingMoodFallsBackToTheLiveScoreWithoutAnEntry)
{
    const ReadingMood withEntry = readingMood(-0.7, 0.8);
    EXPECT_EQ(withEntry.label, WeatherLabel::Stormy);
    EXPECT_DOUBLE_EQ(withEntry.score, -0.7);

    const ReadingMood without = readingMood(std::nullopt, 0.8);
    EXPECT_EQ(without.label, WeatherLabel::Sunny);
    EXPECT_DOUBLE_EQ(without.score, 0.8);
}

TEST(DetailPresenterTest, LiveChipCountsTrimmedCharactersAndTheLineCountsTypedOnes)
{
    const QString twentyFour(24, u'a');
    EXPECT_FALSE(showsLiveChip(twentyFour));
    EXPECT_FALSE(coloursMoodLine(twentyFour));
    EXPECT_TRUE(showsLiveChip(twentyFour + u'b'));
    EXPECT_TRUE(coloursMoodLine(twentyFour + u'b'));

    // Trailing blanks colour the line before the chip shows.
    const QString twentyThenSpaces = QString(20, u'a') + QString(5, u' ');
    EXPECT_TRUE(coloursMoodLine(twentyThenSpaces));
    EXPECT_FALSE(showsLiveChip(twentyThenSpaces));
    EXPECT_FALSE(showsLiveChip(QStringLiteral("\n\t ") + twentyFour + QStringLiteral(" \n")));

    EXPECT_FALSE(showsLiveChip(QString()));
    EXPECT_FALSE(coloursMoodLine(QString()));
}

TEST(DetailPresenterTest, CharacterCountsAreUserPerceivedCharacters)
{
    // 24 families of four joined people: many code units, 24 characters.
    const QString family = QString::fromUtf8("👨‍👩‍👧‍👦");
    QString families;
    for (int i = 0; i < 24; ++i)
        families += family;
    EXPECT_GT(families.size(), 200);
    EXPECT_FALSE(coloursMoodLine(families));
    EXPECT_FALSE(showsLiveChip(families));
    EXPECT_TRUE(coloursMoodLine(families + family));

    // "e" with a combining accent is one character.
    QString accented;
    for (int i = 0; i < 25; ++i)
        accented += QStringLiteral("e\u0301");
    EXPECT_TRUE(hasAtLeastGraphemes(accented, 25));
    EXPECT_FALSE(hasAtLeastGraphemes(accented, 26));
    // A CR LF pair is one character too.
    EXPECT_FALSE(hasAtLeastGraphemes(QString(12, u'x') + QStringLiteral("\r\n") + QString(11, u'x'), 25));
}

TEST(DetailPresenterTest, LongEntriesAnswerFromTheirFirstCharacters)
{
    const QString longText = QString(1'000'000, u'w');
    EXPECT_TRUE(showsLiveChip(longText));
    EXPECT_TRUE(coloursMoodLine(longText));
    // Blank for a megabyte, then a few characters: still counted right.
    EXPECT_FALSE(showsLiveChip(QString(1'000'000, u' ') + QStringLiteral("short")));
}

TEST(DetailPresenterTest, BodyPiecesJoinBackToTheTextAndBreakWhereAReaderWould)
{
    const auto joined = [](const QString &text, const QList<BodyPiece> &pieces) {
        QString back;
        for (const BodyPiece &piece : pieces) {
            back += text.sliced(piece.start, piece.length);
            if (piece.endsLine)
                back += u'\n';
        }
        return back;
    };
    const auto check = [&](const QString &text, qsizetype limit) {
        const QList<BodyPiece> pieces = bodyPieces(text, limit);
        EXPECT_EQ(joined(text, pieces), text);
        for (qsizetype i = 0; i < pieces.size(); ++i) {
            EXPECT_LE(pieces[i].length, limit);
            if (i + 1 < pieces.size()) { // none tiny but the last
                EXPECT_GE(pieces[i].length, limit / 2 - 1);
            }
        }
        return pieces;
    };

    // An everyday entry, and the empty one, are a single piece.
    EXPECT_EQ(check(QString(), 100), (QList<BodyPiece>{{0, 0, false}}));
    EXPECT_EQ(check(QString(100, u'a'), 100).size(), 1);

    // A line break wins over a later space; the break belongs to no piece.
    const QString lines = QString(60, u'a') + u'\n' + QString(20, u'b') + u' ' + QString(40, u'c');
    const QList<BodyPiece> byLine = check(lines, 100);
    ASSERT_EQ(byLine.size(), 2);
    EXPECT_EQ(byLine[0], (BodyPiece{0, 60, true}));
    EXPECT_EQ(byLine[1].start, 61);

    // Without a break in reach, after the last space; a break too early (in
    // the first half) would make a tiny piece and is passed over.
    const QString words = QStringLiteral("ab\n") + QString(70, u'x') + u' ' + QString(60, u'y');
    const QList<BodyPiece> bySpace = check(words, 100);
    ASSERT_EQ(bySpace.size(), 2);
    EXPECT_EQ(bySpace[0], (BodyPiece{0, 74, false}));

    // One unbroken run of emoji, accented letters and flags never splits a
    // character as the reader sees it.
    QString run;
    while (run.size() < 5000)
        run += QStringLiteral("👩‍👩‍👧e\u0301🇫🇷x");
    for (const qsizetype limit : {97, 100, 101, 256}) {
        for (const BodyPiece &piece : check(run, limit)) {
            if (piece.start == 0)
                continue;
            QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, run);
            finder.setPosition(piece.start);
            EXPECT_TRUE(finder.isAtBoundary()) << piece.start;
        }
    }

    // A megabyte of text in lines is many pieces, none over the limit.
    QString megabyte;
    while (megabyte.size() < 1'000'000)
        megabyte += QStringLiteral("Another line of a long evening entry.\n");
    EXPECT_GT(check(megabyte, kBodyPieceLength).size(), 100);
}

TEST(DetailPresenterTest, EditorInsetKeepsTheMeasureAndAtLeast32Points)
{
    EXPECT_DOUBLE_EQ(editorSideInset(1000, 680), 160);
    EXPECT_DOUBLE_EQ(editorSideInset(700, 680), 32);
    EXPECT_DOUBLE_EQ(editorSideInset(744, 680), 32);
    EXPECT_DOUBLE_EQ(editorSideInset(746, 680), 33);
    EXPECT_DOUBLE_EQ(editorSideInset(0, 680), 32);
}

TEST(DetailPresenterTest, SaveStatusTexts)
{
    using Tone = SaveStatusText::Tone;
    EXPECT_EQ(saveStatusText(SaveStatus::idle()), (SaveStatusText{QString(), Tone::Hidden}));
    EXPECT_EQ(saveStatusText(SaveStatus::saving()), (SaveStatusText{QStringLiteral("Saving…"), Tone::Secondary}));
    EXPECT_EQ(saveStatusText(SaveStatus::saved()), (SaveStatusText{QStringLiteral("Saved"), Tone::Accent}));
    EXPECT_EQ(saveStatusText(SaveStatus::error(QStringLiteral("Entry not found"))),
              (SaveStatusText{QStringLiteral("Entry not found"), Tone::Error}));
}

TEST(DetailPresenterTest, WritingHeadingsByMode)
{
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QDateTime when(QDate(2024, 3, 4), QTime(10, 5), QTimeZone::utc());

    const WritingHeading composing = writingHeading(DetailMode::ComposingDraft, std::nullopt, us);
    EXPECT_EQ(composing.title, QStringLiteral("New entry"));
    EXPECT_EQ(composing.subtitle, QStringLiteral("What’s on your mind?"));

    const WritingHeading editing = writingHeading(DetailMode::Editing, when, us);
    EXPECT_EQ(editing.title, QStringLiteral("Monday, Mar 4, 2024"));
    EXPECT_EQ(editing.subtitle, QStringLiteral("Editing"));

    EXPECT_TRUE(writingHeading(DetailMode::Editing, std::nullopt, us).isEmpty());
}

TEST(DetailPresenterTest, DateBlockLines)
{
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const DateLines lines = dateLines(QDateTime(QDate(2024, 3, 4), QTime(22, 5), QTimeZone::utc()), us);
    EXPECT_EQ(lines.weekday, QStringLiteral("Monday"));
    EXPECT_EQ(lines.date, QStringLiteral("March 4, 2024"));
    EXPECT_TRUE(lines.time.startsWith(QStringLiteral("10:05"))) << lines.time.toStdString();
    EXPECT_TRUE(lines.time.endsWith(QStringLiteral("PM"))) << lines.time.toStdString();
}

TEST(DetailPresenterTest, KeywordRowCaptionAndEmphasis)
{
    const QStringList themes{QStringLiteral("Work"), QStringLiteral("family")};
    const QStringList keywords{QStringLiteral("coffee"), QStringLiteral("rain"), QStringLiteral("sleep")};

    const KeywordRow ready = keywordRow(themes, InsightStatus::Ready, keywords);
    EXPECT_EQ(ready.caption, QStringLiteral("Themes"));
    ASSERT_EQ(ready.chips.size(), 2);
    // Themes keep their case, so the exact match emphasises them.
    EXPECT_EQ(ready.chips[0], (KeywordChipItem{QStringLiteral("Work"), true}));
    EXPECT_EQ(ready.chips[1], (KeywordChipItem{QStringLiteral("family"), true}));

    const KeywordRow failed = keywordRow(themes, InsightStatus::Failed, keywords);
    EXPECT_EQ(failed.caption, QStringLiteral("Keywords"));
    ASSERT_EQ(failed.chips.size(), 3);
    for (const KeywordChipItem &chip : failed.chips)
        EXPECT_FALSE(chip.emphasized) << chip.word.toStdString();
    EXPECT_EQ(failed.chips[0].word, QStringLiteral("coffee"));
}

TEST(DetailPresenterTest, KeywordRowEdgeCases)
{
    // Nothing to show: no caption and no row.
    EXPECT_TRUE(keywordRow({}, InsightStatus::None, {QStringLiteral("day"), QStringLiteral("run")}).isEmpty());

    // A trimmed label shows, but the stored one has spaces: no exact match.
    const KeywordRow padded = keywordRow({QStringLiteral(" Work ")}, InsightStatus::Ready, {});
    ASSERT_EQ(padded.chips.size(), 1);
    EXPECT_EQ(padded.chips[0], (KeywordChipItem{QStringLiteral("Work"), false}));

    // Every theme a stop word: the keywords show, under the caption the
    // ready themes give, none emphasised.
    const KeywordRow stopWords =
        keywordRow({QStringLiteral("feeling"), QStringLiteral("today")}, InsightStatus::Ready, {QStringLiteral("garden")});
    EXPECT_EQ(stopWords.caption, QStringLiteral("Themes"));
    ASSERT_EQ(stopWords.chips.size(), 1);
    EXPECT_EQ(stopWords.chips[0], (KeywordChipItem{QStringLiteral("garden"), false}));

    // At most three chips.
    const KeywordRow many = keywordRow({QStringLiteral("a1a1"), QStringLiteral("b2b2"), QStringLiteral("c3c3"),
                                        QStringLiteral("d4d4")},
                                       InsightStatus::Ready, {});
    EXPECT_EQ(many.chips.size(), kDetailKeywordLimit);
}

} // namespace
} // namespace zn
