#pragma once

#include "core/EditorSession.h"
#include "core/InsightStatus.h"
#include "core/WeatherLabel.h"

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <optional>

namespace zn {

class InsightCoordinator;
class JournalEntry;
class ModelContext;

// The rules of the entry detail pane, without widgets: which face shows, the
// texts it shows and when the live mood appears. The widgets only paint what
// these return.
namespace detail {

enum class Face { EmptyDesk, Reading, Writing };
Face faceFor(DetailMode mode);

// The live chip and the coloured mood line appear from this many characters.
inline constexpr int kLiveMoodCharacters = 25;
// The text column never grows wider than the measure and keeps this much room
// on each side.
inline constexpr qreal kMinimumEditorInset = 32;

// "A lighter day inside", …, "Intense weather": by label alone.
QString moodSentence(WeatherLabel label);

// The chip counts characters of the trimmed text, the line of the text as
// typed, so trailing blanks can colour the line before the chip shows.
bool showsLiveChip(const QString &draftText);
bool coloursMoodLine(const QString &draftText);
// Whether `text` holds at least `count` user-perceived characters; stops
// counting once it knows, so a long entry costs no more than a short one.
bool hasAtLeastGraphemes(QStringView text, int count);

// Side inset of the text editor in an area `width` wide.
qreal editorSideInset(qreal width, qreal measureMax);

// What the header bar shows for a save status.
struct SaveStatusText
{
    enum class Tone { Hidden, Secondary, Accent, Error };
    QString text;
    Tone tone = Tone::Hidden;
    friend bool operator==(const SaveStatusText &, const SaveStatusText &) = default;
};
SaveStatusText saveStatusText(const SaveStatus &status);

// The heading of the writing surface; both empty when there is none.
struct WritingHeading
{
    QString title;
    QString subtitle;
    bool isEmpty() const { return title.isEmpty() && subtitle.isEmpty(); }
};
WritingHeading writingHeading(DetailMode mode, const std::optional<QDateTime> &entryTimestamp,
                              const QLocale &locale = QLocale());

// The three lines of the reading page's date block.
struct DateLines
{
    QString weekday;
    QString date;
    QString time;
};
DateLines dateLines(const QDateTime &timestamp, const QLocale &locale = QLocale());

// The mood mark of the reading page: the entry's stored score, or the live
// one without an entry.
struct ReadingMood
{
    double score = 0;
    WeatherLabel label = WeatherLabel::Overcast;
    QString sentence;
};
ReadingMood readingMood(std::optional<double> entryScore, double liveSentiment);

// The keyword row under the body; no chips means no row at all.
struct KeywordChipItem
{
    QString word;
    bool emphasized = false;
    friend bool operator==(const KeywordChipItem &, const KeywordChipItem &) = default;
};
struct KeywordRow
{
    QString caption; // "Themes" or "Keywords", shown upper-cased
    QList<KeywordChipItem> chips;
    bool isEmpty() const { return chips.isEmpty(); }
    friend bool operator==(const KeywordRow &, const KeywordRow &) = default;
};
inline constexpr int kDetailKeywordLimit = 3;
KeywordRow keywordRow(const QStringList &themes, InsightStatus status, const QStringList &topKeywords);
KeywordRow keywordRow(const JournalEntry &entry);

// A long body is typeset as a column of pieces, so that opening it lays out
// a screenful rather than the whole text, and the rest follows a piece at a
// time. A piece ends at a line break where it can (the break itself belongs
// to no piece), else after a space, else between two characters; joined
// back, with a line break where `endsLine` says, the pieces are the text.
struct BodyPiece
{
    qsizetype start = 0;
    qsizetype length = 0;
    bool endsLine = false;
    friend bool operator==(const BodyPiece &, const BodyPiece &) = default;
};
inline constexpr qsizetype kBodyPieceLength = 8000;
QList<BodyPiece> bodyPieces(QStringView text, qsizetype pieceLength = kBodyPieceLength);

inline constexpr int kTitleLimit = 48;
// Seconds after which the pane gives up on a reflection still being written.
inline constexpr double kStaleReflectionSeconds = 70;

// The reflection card's Retry: cancel any running pass, mark the entry
// pending without a failure message, save (a failed save is ignored: the
// entry stays pending and is queued all the same), queue it again. Without
// a coordinator only the middle steps run. `context` null saves through the
// entry's own context.
void retryReflection(JournalEntry &entry, InsightCoordinator *coordinator, ModelContext *context);

} // namespace detail
} // namespace zn
