#include "reflections/GenerationHelpers.h"

#include "core/TextUnits.h"
#include "reflections/GenerationTimeout.h"
#include "reflections/GeneratorSupport.h"

#include <QRegularExpression>

#include <cmath>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace zn {

namespace generation {

const QString &restOmittedMarker()
{
    static const QString marker = QStringLiteral("\n\n[…rest omitted for length…]");
    return marker;
}

const QString &middleOmittedMarker()
{
    static const QString marker = QStringLiteral("\n\n[…middle omitted for length…]\n\n");
    return marker;
}

const QStringList &firstPersonPatterns()
{
    static const QStringList patterns{
        QStringLiteral("\\bi\\b"),      QStringLiteral("\\bi'm\\b"),    QStringLiteral("\\bi’m\\b"),
        QStringLiteral("\\bi've\\b"),   QStringLiteral("\\bi’ve\\b"),   QStringLiteral("\\bi'll\\b"),
        QStringLiteral("\\bi’ll\\b"),   QStringLiteral("\\bi'd\\b"),    QStringLiteral("\\bi’d\\b"),
        QStringLiteral("\\bme\\b"),     QStringLiteral("\\bmy\\b"),     QStringLiteral("\\bmyself\\b"),
        QStringLiteral("\\bmine\\b"),   QStringLiteral("\\bwe\\b"),     QStringLiteral("\\bour\\b"),
        QStringLiteral("\\bours\\b"),   QStringLiteral("\\bourselves\\b"),
    };
    return patterns;
}

} // namespace generation

bool isContextWindowExceeded(const std::exception &error)
{
    if (const auto *modelError = dynamic_cast<const lm::LanguageModelError *>(&error)) {
        if (modelError->kind() == lm::LanguageModelError::Kind::ExceededContextWindow)
            return true;
    }
    const QString text = generator::errorDescription(error).toLower();
    return text.contains(QLatin1String("context"))
        && (text.contains(QLatin1String("exceed")) || text.contains(QLatin1String("window"))
            || text.contains(QLatin1String("token")));
}

bool isContextWindowExceeded(const std::exception_ptr &error)
{
    if (!error)
        return false;
    try {
        std::rethrow_exception(error);
    } catch (const std::exception &e) {
        return isContextWindowExceeded(e);
    } catch (...) {
        return false;
    }
}

int estimatedTokenCount(const QString &text)
{
    const int characters = text::graphemeCount(text);
    return std::max(1, static_cast<int>(std::ceil(characters / double(generation::kCharactersPerToken))));
}

int countTokens(lm::LanguageModel &model, const QString &text, std::stop_token stop)
{
    try {
        return model.tokenCount(text, stop);
    } catch (...) {
        // A count the model cannot give is estimated; the error is of no use.
        return estimatedTokenCount(text);
    }
}

int characterBudget(int contextSize, int reservedTokens, ShorteningLevel level)
{
    struct Limits { double factor; int cap; };
    static constexpr Limits limits[] = {{1.0, 4500}, {0.55, 2400}, {0.32, 1400}, {0.18, 900}};
    const auto index = std::min<size_t>(static_cast<size_t>(level), 3);
    const qint64 available = std::max<qint64>(0, qint64(contextSize) - (qint64(reservedTokens) + generation::kReservedTokens));
    const qint64 tokens = static_cast<qint64>(limits[index].factor * double(available));
    qint64 characters = tokens * generation::kCharactersPerToken;
    characters = std::min<qint64>(characters, limits[index].cap);
    characters = std::max<qint64>(characters, generation::kMinimumBudget);
    return static_cast<int>(characters);
}

QString truncateForPrompt(const QString &text, int maxCharacters)
{
    const QString trimmed = text::trimmed(text);
    maxCharacters = std::max(0, maxCharacters);
    const int length = text::graphemeCount(trimmed);
    if (maxCharacters >= length)
        return trimmed;
    if (maxCharacters < 65)
        return text::graphemePrefix(trimmed, maxCharacters);
    if (maxCharacters < 1200)
        return text::graphemePrefix(trimmed, maxCharacters - 24) + generation::restOmittedMarker();
    const int head = static_cast<int>(maxCharacters * 0.65);
    const int tail = std::max(0, maxCharacters - head - 40);
    return text::graphemePrefix(trimmed, head) + generation::middleOmittedMarker()
        + text::graphemeSuffix(trimmed, tail);
}

QStringList splitIntoChunks(const QString &text, int maxCharacters)
{
    maxCharacters = std::max(1, maxCharacters);
    const QString trimmed = text::trimmed(text);
    if (trimmed.isEmpty())
        return {};
    if (maxCharacters >= text::graphemeCount(trimmed))
        return {trimmed};

    QStringList result;
    QString open;
    int running = 0;
    auto flush = [&] {
        const QString chunk = text::trimmed(open);
        if (!chunk.isEmpty())
            result << chunk;
        open.clear();
        running = 0;
    };

    const QStringList pieces = trimmed.split(QStringLiteral("\n\n"));
    for (const QString &piece : pieces) {
        const QString paragraph = text::trimmed(piece);
        if (paragraph.isEmpty())
            continue;
        const int length = text::graphemeCount(paragraph);
        if (length <= maxCharacters) {
            if (maxCharacters < running + length + 2 && !open.isEmpty())
                flush();
            if (!open.isEmpty()) {
                open += QStringLiteral("\n\n");
                running += 2;
            }
            open += paragraph;
            running += length;
            continue;
        }
        flush();
        // Hard cuts at the exact count, even inside a word.
        const QStringList clusters = text::graphemes(paragraph);
        qsizetype at = 0;
        const qsizetype total = clusters.size();
        while (total - at > maxCharacters) {
            QString chunk;
            for (qsizetype i = at; i < at + maxCharacters; ++i)
                chunk += clusters[i];
            result << chunk;
            at += maxCharacters;
        }
        if (at < total) {
            for (qsizetype i = at; i < total; ++i)
                open += clusters[i];
            running = static_cast<int>(total - at);
        }
    }
    flush();
    if (result.isEmpty())
        return {truncateForPrompt(trimmed, maxCharacters)};
    return result;
}

bool containsFirstPersonVoice(const QString &text)
{
    // Unicode word boundaries, so "même" or "naïve" hold no "me" or "i".
    thread_local const std::vector<QRegularExpression> expressions = [] {
        std::vector<QRegularExpression> out;
        for (const QString &pattern : generation::firstPersonPatterns())
            out.emplace_back(pattern, QRegularExpression::UseUnicodePropertiesOption);
        return out;
    }();
    const QString lower = text.toLower();
    for (const QRegularExpression &expression : expressions)
        if (expression.match(lower).hasMatch())
            return true;
    return false;
}

void sleepFor(std::chrono::milliseconds duration, std::stop_token stop, Clock &clock)
{
    if (stop.stop_requested())
        throw CancellationError();
    if (duration.count() <= 0)
        return;
    // The alarm never fires once destroyed, so it may use these locals; it
    // is declared before the lock so its end never waits on a shot that is
    // itself waiting for the lock.
    std::mutex mutex;
    std::condition_variable_any wake;
    bool done = false;
    GenerationTimeout::detail::Alarm alarm(clock, duration, [&] {
        std::lock_guard lock(mutex);
        done = true;
        wake.notify_all();
    });
    std::unique_lock lock(mutex);
    wake.wait(lock, stop, [&] { return done; });
    if (stop.stop_requested())
        throw CancellationError();
}

} // namespace zn
