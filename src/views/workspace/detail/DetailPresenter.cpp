#include "views/workspace/detail/DetailPresenter.h"

#include "core/EntryText.h"
#include "core/JournalEntry.h"
#include "core/TextUnits.h"
#include "platform/store/ModelContext.h"
#include "reflections/InsightCoordinator.h"
#include "views/kit/DateFormats.h"

#include <QCoreApplication>
#include <QTextBoundaryFinder>

#include <algorithm>

namespace zn::detail {
namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("EntryDetailView", text);
}

} // namespace

Face faceFor(DetailMode mode)
{
    switch (mode) {
    case DetailMode::Empty:
        return Face::EmptyDesk;
    case DetailMode::Reading:
        return Face::Reading;
    case DetailMode::Editing:
    case DetailMode::ComposingDraft:
        break;
    }
    return Face::Writing;
}

QString moodSentence(WeatherLabel label)
{
    switch (label) {
    case WeatherLabel::Sunny:
        return tr("A lighter day inside");
    case WeatherLabel::PartlyCloudy:
        return tr("Mixed skies");
    case WeatherLabel::Overcast:
        return tr("Steady, even weather");
    case WeatherLabel::Rainy:
        return tr("Heavier skies — be gentle");
    case WeatherLabel::Stormy:
        break;
    }
    return tr("Intense weather");
}

bool hasAtLeastGraphemes(QStringView text, int count)
{
    if (count <= 0)
        return true;
    // A character is at least one code unit.
    if (text.size() < count)
        return false;
    // Clusters counted in a prefix never outnumber those of the whole text,
    // so a prefix that already holds enough settles it without walking the
    // rest of a long entry.
    const qsizetype window = qsizetype(count) * 8;
    if (text.size() > window) {
        if (text::graphemeCount(text.first(window)) >= count)
            return true;
    }
    return text::graphemeCount(text) >= count;
}

bool showsLiveChip(const QString &draftText)
{
    // The trimmed range without copying the text.
    qsizetype begin = 0;
    qsizetype end = draftText.size();
    while (begin < end && draftText.at(begin).isSpace())
        ++begin;
    while (end > begin && draftText.at(end - 1).isSpace())
        --end;
    return hasAtLeastGraphemes(QStringView(draftText).sliced(begin, end - begin), kLiveMoodCharacters);
}

bool coloursMoodLine(const QString &draftText)
{
    return hasAtLeastGraphemes(draftText, kLiveMoodCharacters);
}

QList<BodyPiece> bodyPieces(QStringView text, qsizetype pieceLength)
{
    pieceLength = std::max<qsizetype>(pieceLength, 16);
    QList<BodyPiece> pieces;
    qsizetype start = 0;
    while (text.size() - start > pieceLength) {
        const qsizetype limit = start + pieceLength;
        // Only the later half is searched, so no piece is tiny.
        const qsizetype floor = start + pieceLength / 2;
        qsizetype cut = -1;
        for (qsizetype i = limit; i > floor; --i) {
            if (text.at(i) == u'\n') {
                pieces.append({start, i - start, true});
                start = i + 1;
                cut = i;
                break;
            }
        }
        if (cut >= 0)
            continue;
        for (qsizetype i = limit; i > floor; --i) {
            if (text.at(i - 1).isSpace()) {
                cut = i;
                break;
            }
        }
        if (cut < 0) {
            // One unbroken run: between two characters as the reader sees them.
            // Whether a character ends at the limit depends on the whole
            // character after it, which may be a surrogate pair.
            const qsizetype context = std::min(pieceLength + 2, text.size() - start);
            QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.sliced(start, context).toString());
            finder.setPosition(pieceLength);
            if (!finder.isAtBoundary())
                finder.toPreviousBoundary();
            cut = start + (finder.position() > 0 ? finder.position() : pieceLength);
            if (text.at(cut).isLowSurrogate())
                ++cut;
        }
        pieces.append({start, cut - start, false});
        start = cut;
    }
    pieces.append({start, text.size() - start, false});
    return pieces;
}

qreal editorSideInset(qreal width, qreal measureMax)
{
    return std::max(kMinimumEditorInset, (width - measureMax) * 0.5);
}

SaveStatusText saveStatusText(const SaveStatus &status)
{
    switch (status.kind()) {
    case SaveStatus::Kind::Idle:
        return {};
    case SaveStatus::Kind::Saving:
        return {tr("Saving…"), SaveStatusText::Tone::Secondary};
    case SaveStatus::Kind::Saved:
        return {tr("Saved"), SaveStatusText::Tone::Accent};
    case SaveStatus::Kind::Error:
        break;
    }
    // Shown as the store gave it.
    return {status.message(), SaveStatusText::Tone::Error};
}

WritingHeading writingHeading(DetailMode mode, const std::optional<QDateTime> &entryTimestamp,
                              const QLocale &locale)
{
    if (mode == DetailMode::ComposingDraft)
        return {tr("New entry"), tr("What’s on your mind?")};
    if (mode == DetailMode::Editing && entryTimestamp)
        return {DateFormats::format(*entryTimestamp, DateStyle::WeekdayAbbreviatedDate, locale), tr("Editing")};
    return {};
}

DateLines dateLines(const QDateTime &timestamp, const QLocale &locale)
{
    return {DateFormats::format(timestamp, DateStyle::Weekday, locale),
            DateFormats::format(timestamp, DateStyle::Long, locale),
            DateFormats::format(timestamp, DateStyle::ShortTime, locale)};
}

ReadingMood readingMood(std::optional<double> entryScore, double liveSentiment)
{
    ReadingMood mood;
    mood.score = entryScore.value_or(liveSentiment);
    mood.label = weatherLabelForScore(mood.score);
    mood.sentence = moodSentence(mood.label);
    return mood;
}

KeywordRow keywordRow(const QStringList &themes, InsightStatus status, const QStringList &topKeywords)
{
    KeywordRow row;
    const bool ready = status == InsightStatus::Ready;
    const QStringList words = displayKeywords(themes, status, topKeywords, kDetailKeywordLimit);
    if (words.isEmpty())
        return row;
    row.caption = ready && !themes.isEmpty() ? tr("Themes") : tr("Keywords");
    for (const QString &word : words)
        row.chips.append({word, ready && themes.contains(word)});
    return row;
}

KeywordRow keywordRow(const JournalEntry &entry)
{
    return keywordRow(entry.themes(), entry.insightStatus(), topKeywords(entry));
}

void retryReflection(JournalEntry &entry, InsightCoordinator *coordinator, ModelContext *context)
{
    const QUuid id = entry.id();
    if (coordinator)
        coordinator->cancelEntryInsight(id);
    entry.setInsightStatus(InsightStatus::Pending);
    entry.setInsightFailureMessage(std::nullopt);
    if (ModelContext *saving = context ? context : entry.modelContext())
        (void)saving->save();
    if (coordinator)
        coordinator->enqueueEntry(id);
}

} // namespace zn::detail
