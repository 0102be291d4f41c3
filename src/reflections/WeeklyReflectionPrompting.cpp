#include "reflections/WeeklyReflectionPrompting.h"

#include "core/TextUnits.h"
#include "reflections/EntryInsightGenerator.h"
#include "reflections/GenerationHelpers.h"
#include "reflections/WeeklyReflectionTextScan.h"

#include <QHash>
#include <QRegularExpression>

#include <algorithm>
#include <array>

namespace zn {
namespace {

const QSet<QString> &groundingStopWords()
{
    static const QSet<QString> words = {
        QStringLiteral("about"),   QStringLiteral("after"),    QStringLiteral("again"),
        QStringLiteral("been"),    QStringLiteral("being"),    QStringLiteral("brief"),
        QStringLiteral("could"),   QStringLiteral("day"),      QStringLiteral("days"),
        QStringLiteral("felt"),    QStringLiteral("feel"),     QStringLiteral("feeling"),
        QStringLiteral("from"),    QStringLiteral("have"),     QStringLiteral("helped"),
        QStringLiteral("into"),    QStringLiteral("just"),     QStringLiteral("like"),
        QStringLiteral("moment"),  QStringLiteral("more"),     QStringLiteral("much"),
        QStringLiteral("only"),    QStringLiteral("some"),     QStringLiteral("that"),
        QStringLiteral("the"),     QStringLiteral("their"),    QStringLiteral("them"),
        QStringLiteral("then"),    QStringLiteral("there"),    QStringLiteral("these"),
        QStringLiteral("they"),    QStringLiteral("this"),     QStringLiteral("very"),
        QStringLiteral("week"),    QStringLiteral("were"),     QStringLiteral("what"),
        QStringLiteral("when"),    QStringLiteral("with"),     QStringLiteral("would"),
        QStringLiteral("your"),    QStringLiteral("better"),   QStringLiteral("without"),
        QStringLiteral("issue"),   QStringLiteral("constant"),
    };
    return words;
}

int monthNumber(const QString &name)
{
    static const QHash<QString, int> months = {
        {QStringLiteral("jan"), 1},  {QStringLiteral("january"), 1},
        {QStringLiteral("feb"), 2},  {QStringLiteral("february"), 2},
        {QStringLiteral("mar"), 3},  {QStringLiteral("march"), 3},
        {QStringLiteral("apr"), 4},  {QStringLiteral("april"), 4},
        {QStringLiteral("may"), 5},
        {QStringLiteral("jun"), 6},  {QStringLiteral("june"), 6},
        {QStringLiteral("jul"), 7},  {QStringLiteral("july"), 7},
        {QStringLiteral("aug"), 8},  {QStringLiteral("august"), 8},
        {QStringLiteral("sep"), 9},  {QStringLiteral("sept"), 9},   {QStringLiteral("september"), 9},
        {QStringLiteral("oct"), 10}, {QStringLiteral("october"), 10},
        {QStringLiteral("nov"), 11}, {QStringLiteral("november"), 11},
        {QStringLiteral("dec"), 12}, {QStringLiteral("december"), 12},
    };
    return months.value(name, 0);
}

constexpr std::array<const char16_t *, 12> monthAbbreviations = {
    u"jan", u"feb", u"mar", u"apr", u"may", u"jun", u"jul", u"aug", u"sep", u"oct", u"nov", u"dec"};

constexpr std::array<const char16_t *, 16> multiDayArcPhrases = {
    u"midweek",
    u"end of the week",
    u"by the end of the week",
    u"throughout the week",
    u"across the week",
    u"later in the week",
    u"earlier in the week",
    u"towards the end",
    u"toward the end",
    u"signs of improvement",
    u"series of setbacks",
    u"series of unfortunate",
    u"shifted to",
    u"shifted from",
    u"had shifted",
    u"mood had shifted",
};

// Each thread keeps its own compiled copy; matching never shares state.
const QRegularExpression &monthDayPattern()
{
    thread_local const QRegularExpression re(
        QStringLiteral("\\b(jan(?:uary)?|feb(?:ruary)?|mar(?:ch)?|apr(?:il)?|may|jun(?:e)?|jul(?:y)?|"
                       "aug(?:ust)?|sep(?:t(?:ember)?)?|oct(?:ober)?|nov(?:ember)?|dec(?:ember)?)\\s+(\\d{1,2})\\b"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    return re;
}

const QRegularExpression &isoDatePattern()
{
    thread_local const QRegularExpression re(QStringLiteral("\\b(20\\d{2})-(\\d{2})-(\\d{2})\\b"),
                                             QRegularExpression::UseUnicodePropertiesOption);
    return re;
}

const QRegularExpression &slashDatePattern()
{
    thread_local const QRegularExpression re(QStringLiteral("\\b\\d{1,2}/\\d{1,2}\\b"),
                                             QRegularExpression::UseUnicodePropertiesOption);
    return re;
}

const QRegularExpression &scoreNumberPattern()
{
    thread_local const QRegularExpression re(
        QStringLiteral("(?<![\\d.])([+\\-]?(?:0?\\.\\d{1,2}|1\\.0{1,2}))(?![\\d.])"),
        QRegularExpression::UseUnicodePropertiesOption);
    return re;
}

const QRegularExpression &whitespaceRun()
{
    thread_local const QRegularExpression re(QStringLiteral("\\s+"),
                                             QRegularExpression::UseUnicodePropertiesOption);
    return re;
}

// Only ASCII digits count as a day number; other decimal digits skip the match.
int parseAsciiNumber(QStringView digits)
{
    if (digits.isEmpty())
        return -1;
    int value = 0;
    for (QChar c : digits) {
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

bool containsMultiDayPhrase(const QString &lowered)
{
    return std::any_of(multiDayArcPhrases.begin(), multiDayArcPhrases.end(),
                       [&](const char16_t *phrase) { return lowered.contains(QStringView(phrase)); });
}

bool spansSeveralDays(bool multiDay, const QSet<QString> &dayKeys)
{
    return multiDay && dayKeys.size() >= 2;
}

QString pluralWord(qsizetype n, const char *one, const char *many)
{
    return QString::fromLatin1(n == 1 ? one : many);
}

QString allowedDatesList(const QList<WeeklyReflectionPrompting::Snippet> &snippets)
{
    QStringList labels;
    QSet<QString> seen;
    for (const auto &s : snippets) {
        if (!seen.contains(s.dateLabel)) {
            seen.insert(s.dateLabel);
            labels.append(s.dateLabel);
        }
    }
    std::sort(labels.begin(), labels.end(), text::scalarLess);
    return labels.join(QStringLiteral(", "));
}

} // namespace

const QString &WeeklyReflectionPrompting::instructions()
{
    static const QString text = QStringLiteral(
        "You are a reflective journaling assistant on the user's Mac. Summarize only what appears in the "
        "journal entries for the given window.\n"
        "\n"
        "Field roles (do not repeat the same sentence or nearly the same wording across fields):\n"
        "- summary: themes, situations, and what the entries are about (1 short paragraph).\n"
        "- emotionalArc: ONLY how emotional weather moved (Sunny…Stormy language). Do not restate the summary.\n"
        "- notableMoments: distinct concrete beats from the entries — not a restatement of summary or arc.\n"
        "- recommendedFocus: one forward-looking sentence; second person OK only here.\n"
        "\n"
        "Rules:\n"
        "- Use only facts, feelings, and events explicitly stated in the entries.\n"
        "- ")
        + EntryInsightGenerator::voiceRule()
        + QStringLiteral(
            "\n"
            "- summary, emotionalArc, and notableMoments must never use I / me / my / we / our.\n"
            "- Do not invent events, people, conversations, workplaces, or coping activities.\n"
            "- Do not invent dates. Only mention dates that appear in the entry headers.\n"
            "- Do not assume a multi-day emotional arc unless multiple days of entries support it.\n"
            "- If there are few entries, keep the reflection short and acknowledge limited data.\n"
            "- NEVER copy summary into emotionalArc. If weather has little to say, write one short "
            "weather-only line.\n"
            "- notableMoments: at most THREE short paraphrases; empty list is fine. Never invent moments or "
            "dates.\n"
            "- Use weather mood words in emotionalArc (and sparingly in summary); never write decimal "
            "sentiment scores.");
    return text;
}

QString WeeklyReflectionPrompting::makePrompt(const QList<Snippet> &snippets, bool multiDay,
                                              const QString &startLabel, const QString &endLabel,
                                              bool condensed, int perEntryLimit, int totalBudget,
                                              bool minimalHeader)
{
    const qsizetype entryCount = snippets.size();
    const qsizetype dayCount = allowedDayKeys(snippets).size();
    const QString entryWord = pluralWord(entryCount, "entry", "entries");
    const QString dayWord = pluralWord(dayCount, "day", "days");
    const QString dates = allowedDatesList(snippets);

    QString prompt;
    if (!minimalHeader) {
        prompt += QStringLiteral("Rolling window: past 7 days (") + startLabel + QStringLiteral(" – ") + endLabel
            + QStringLiteral("), not a calendar week.\n") + QStringLiteral("This window has ")
            + QString::number(entryCount) + QStringLiteral(" journal ") + entryWord + QStringLiteral(" across ")
            + QString::number(dayCount) + u' ' + dayWord + QStringLiteral(".\n\n")
            + QStringLiteral("ALLOWED DATES ONLY (do not mention any other date): ") + dates
            + QStringLiteral(".\n\n")
            + QStringLiteral("CRITICAL: Base your reflection only on the entries below. Do not invent details or "
                             "dates.\n")
            + QStringLiteral("Write summary / emotionalArc / notableMoments in third-person or impersonal voice "
                             "(never I / me / my). notableMoments: maximum 3 items; empty array is fine.\n")
            + QStringLiteral("Do not repeat the same sentence in summary and emotionalArc.\n\n");
    } else {
        prompt += QStringLiteral("Past 7 days (") + startLabel + QStringLiteral("–") + endLabel
            + QStringLiteral("). ") + QString::number(entryCount) + u' ' + entryWord + QStringLiteral(", ")
            + QString::number(dayCount) + u' ' + dayWord + QStringLiteral(".\n") + QStringLiteral("Dates only: ")
            + dates + QStringLiteral(".\n") + QStringLiteral("Third-person only. No invented dates. ≤3 moments. ");
    }

    if (multiDay) {
        prompt += QStringLiteral(
            "Summarize patterns supported by multiple entries. Do not pad with generic events or filler moments.");
    } else {
        prompt += QStringLiteral(
            "This is a sparse week with limited journaling. Write a brief summary (one short paragraph).\n"
            "Describe only what appears in the entry or entries. Do not imply mood changed across the week "
            "unless multiple days of entries show that. Leave notableMoments empty unless a specific moment is "
            "clearly described in the text. Never list future dates or a sequence of days without entries.");
    }

    const int lineLimit = std::clamp(perEntryLimit, 40, 100);
    QStringList kept;
    qint64 total = 0;
    for (const auto &s : snippets) {
        QString piece;
        if (condensed) {
            piece = u'[' + s.dateLabel + QStringLiteral(", mood: ") + s.weather + QStringLiteral("] ")
                + truncateForPrompt(s.text, lineLimit);
        } else {
            piece = QStringLiteral("---\nDate: ") + s.dateLabel + QStringLiteral("\nMood: ") + s.weather
                + QStringLiteral("\nText: ") + truncateForPrompt(s.text, perEntryLimit);
        }
        const int length = text::graphemeCount(piece);
        // The first piece that does not fit ends the list, so the model never
        // sees a later entry without the earlier ones.
        if (total + length > totalBudget)
            break;
        kept.append(piece);
        total += length + 2;
    }

    if (!condensed) {
        if (kept.isEmpty()) {
            return makePrompt(snippets, multiDay, startLabel, endLabel, true, std::min(perEntryLimit, 120),
                              totalBudget, true);
        }
        prompt += QStringLiteral("\nHere are the journal entries from the past 7 days.\n\n")
            + kept.join(QStringLiteral("\n\n"));
    } else {
        prompt += QStringLiteral("\nCondensed entries:\n\n") + kept.join(QStringLiteral("\n\n"));
    }
    return prompt;
}

QString WeeklyReflectionPrompting::corpus(const QList<Snippet> &snippets)
{
    QStringList texts;
    texts.reserve(snippets.size());
    for (const auto &s : snippets)
        texts.append(s.text);
    return texts.join(u' ').toLower();
}

QSet<QString> WeeklyReflectionPrompting::allowedDayKeys(const QList<Snippet> &snippets)
{
    QSet<QString> keys;
    for (const auto &s : snippets)
        keys.insert(s.dayKey);
    return keys;
}

QStringList WeeklyReflectionPrompting::contentWords(const QString &text)
{
    const QString lowered = text.toLower();
    const auto &stopWords = groundingStopWords();
    QStringList words;
    scan::forEachAlphanumericRun(lowered, [&](QStringView run) {
        if (text::graphemeCount(run) < 4)
            return;
        const QString word = run.toString();
        if (!stopWords.contains(word))
            words.append(word);
    });
    return words;
}

bool WeeklyReflectionPrompting::isGrounded(const QString &text, const QString &corpus)
{
    const QString haystack = text::trimmed(corpus);
    if (haystack.isEmpty())
        return true;
    const QStringList words = contentWords(text);
    if (words.isEmpty())
        return true;
    return std::any_of(words.begin(), words.end(), [&](const QString &w) { return haystack.contains(w); });
}

bool WeeklyReflectionPrompting::mentionsDisallowedDate(const QString &text, const QSet<QString> &allowedDayKeys)
{
    const QString lowered = text.toLower();
    const QRegularExpression &monthDay = monthDayPattern();
    if (monthDay.isValid()) {
        auto it = monthDay.globalMatch(lowered);
        while (it.hasNext()) {
            const QRegularExpressionMatch m = it.next();
            if (m.capturedStart(1) < 0 || m.capturedStart(2) < 0)
                continue;
            const int month = monthNumber(m.captured(1));
            if (month == 0)
                continue;
            const int day = parseAsciiNumber(m.capturedView(2));
            if (day < 0)
                continue;
            const QString suffix = QString::asprintf("-%02d-%02d", month, day);
            const bool allowed = std::any_of(allowedDayKeys.begin(), allowedDayKeys.end(),
                                             [&](const QString &key) { return key.endsWith(suffix); });
            if (!allowed)
                return true;
        }
    }
    const QRegularExpression &iso = isoDatePattern();
    if (iso.isValid()) {
        auto it = iso.globalMatch(text);
        while (it.hasNext()) {
            if (!allowedDayKeys.contains(it.next().captured(0)))
                return true;
        }
    }
    return false;
}

bool WeeklyReflectionPrompting::mentionsDateLikeText(const QString &text)
{
    const QString lowered = text.toLower();
    for (const char16_t *abbreviation : monthAbbreviations) {
        if (lowered.contains(QStringView(abbreviation)))
            return true;
    }
    const QRegularExpression &slash = slashDatePattern();
    return slash.isValid() && slash.match(lowered).hasMatch();
}

QString WeeklyReflectionPrompting::normalizedForComparison(const QString &text)
{
    QString s = text::trimmed(text.toLower());
    s.replace(whitespaceRun(), QStringLiteral(" "));
    return scan::trimmedPunctuation(s);
}

bool WeeklyReflectionPrompting::isNearDuplicate(const QString &a, const QString &b)
{
    const QString na = normalizedForComparison(a);
    const QString nb = normalizedForComparison(b);
    if (na.isEmpty() || nb.isEmpty())
        return false;
    if (na == nb)
        return true;
    const int la = text::graphemeCount(na);
    const int lb = text::graphemeCount(nb);
    const bool bShorter = lb < la;
    const QString &shorter = bShorter ? nb : na;
    const QString &longer = bShorter ? na : nb;
    const int ls = bShorter ? lb : la;
    const int ll = bShorter ? la : lb;
    if (longer.contains(shorter) && double(ls) / double(ll) >= 0.82)
        return true;

    const QStringList wordsA = contentWords(na);
    const QStringList wordsB = contentWords(nb);
    const QSet<QString> setA(wordsA.begin(), wordsA.end());
    const QSet<QString> setB(wordsB.begin(), wordsB.end());
    if (setA.size() < 2 || setB.size() < 2)
        return false;
    const qsizetype shared = QSet<QString>(setA).intersect(setB).size();
    const qsizetype all = QSet<QString>(setA).unite(setB).size();
    return double(shared) / double(all == 0 ? 1 : all) >= 0.72;
}

QString WeeklyReflectionPrompting::strippingScoreNumbers(const QString &text)
{
    const QRegularExpression &score = scoreNumberPattern();
    if (!score.isValid())
        return text;
    QString s = text;
    s.replace(score, QString());
    s.replace(QStringLiteral("  "), QStringLiteral(" "));
    s.replace(QStringLiteral(" ,"), QStringLiteral(","));
    return text::trimmed(s);
}

bool WeeklyReflectionPrompting::needsRetry(const QString &summary, const QString &emotionalArc,
                                           const QStringList &notableMoments, const QList<Snippet> &snippets,
                                           bool multiDay)
{
    const QString corpusText = corpus(snippets);
    const QSet<QString> dayKeys = allowedDayKeys(snippets);

    if (notableMoments.size() >= 4)
        return true;
    for (const QString &moment : notableMoments) {
        if (moment.isEmpty())
            continue;
        if (!isGrounded(moment, corpusText) || mentionsDisallowedDate(moment, dayKeys))
            return true;
    }
    if (!spansSeveralDays(multiDay, dayKeys)) {
        if (containsMultiDayPhrase(emotionalArc.toLower()) || containsMultiDayPhrase(summary.toLower()))
            return true;
    }
    const auto dateLike = std::count_if(notableMoments.begin(), notableMoments.end(),
                                        [](const QString &m) { return mentionsDateLikeText(m); });
    if (dateLike > snippets.size() + 1)
        return true;
    if (containsFirstPersonVoice(summary) || containsFirstPersonVoice(emotionalArc))
        return true;
    if (std::any_of(notableMoments.begin(), notableMoments.end(),
                    [](const QString &m) { return containsFirstPersonVoice(m); }))
        return true;
    return isNearDuplicate(summary, emotionalArc);
}

WeeklyReflectionOutcome WeeklyReflectionPrompting::sanitizedOutcome(
    const QString &summary, const QString &emotionalArc, const QStringList &notableMoments,
    const QString &overallSentiment, const QString &recommendedFocus, const QList<Snippet> &snippets,
    bool multiDay)
{
    const QString corpusText = corpus(snippets);
    const QSet<QString> dayKeys = allowedDayKeys(snippets);
    // A stored reflection re-cleaned without its entries: its dates and
    // multi-day arc were already checked against the week it was made from.
    const bool weekKnown = !snippets.isEmpty();

    QString cleanSummary = strippingScoreNumbers(summary);
    QString arc = strippingScoreNumbers(emotionalArc);

    if (weekKnown && !spansSeveralDays(multiDay, dayKeys) && containsMultiDayPhrase(arc.toLower()))
        arc = arcFallback;
    if (isNearDuplicate(cleanSummary, arc))
        arc.clear();

    QStringList moments;
    for (const QString &raw : notableMoments) {
        const QString moment = text::trimmed(raw);
        if (moment.isEmpty() || !isGrounded(moment, corpusText))
            continue;
        if (weekKnown && mentionsDisallowedDate(moment, dayKeys))
            continue;
        if (containsFirstPersonVoice(moment))
            continue;
        if (isNearDuplicate(moment, cleanSummary) || isNearDuplicate(moment, arc))
            continue;
        const bool repeatsEarlier = std::any_of(moments.begin(), moments.end(),
                                                [&](const QString &k) { return isNearDuplicate(moment, k); });
        if (repeatsEarlier)
            continue;
        moments.append(moment);
    }
    while (moments.size() > 3)
        moments.removeLast();
    if (!multiDay && moments.size() > 1)
        moments = moments.mid(0, 1);

    if (containsFirstPersonVoice(cleanSummary))
        cleanSummary = summaryFallback;
    if (!arc.isEmpty() && containsFirstPersonVoice(arc))
        arc.clear();

    QString focus = text::trimmed(recommendedFocus);
    if ((isNearDuplicate(focus, cleanSummary) || isNearDuplicate(focus, arc))
        && normalizedForComparison(focus) == normalizedForComparison(cleanSummary)) {
        focus.clear();
    }

    WeeklyReflectionOutcome outcome;
    outcome.summary = cleanSummary;
    outcome.emotionalArc = arc;
    outcome.notableMoments = moments;
    outcome.overallSentiment = text::trimmed(overallSentiment);
    outcome.recommendedFocus = focus;
    return outcome;
}

} // namespace zn
