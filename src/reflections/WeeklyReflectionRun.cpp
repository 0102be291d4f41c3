#include "reflections/WeeklyReflectionRun.h"

#include "core/JournalEntry.h"
#include "core/TextUnits.h"
#include "core/WeatherLabel.h"

#include <QStringList>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace zn::weekly {

QString recordKey(const QString &dayKey)
{
    return QLatin1String(kKeyPrefix) + dayKey;
}

FingerprintEntry fingerprintEntry(const JournalEntry &entry)
{
    return {entry.id(), entry.timestamp(), entry.rawText(), entry.sentimentScore()};
}

QString shortestReal(double value)
{
    if (std::isnan(value))
        return QStringLiteral("nan");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");

    // Plain digits in the everyday range, an exponent outside it, so a
    // timestamp never turns into "1.7e+09".
    const double magnitude = std::fabs(value);
    const bool plain = magnitude == 0.0 || (magnitude >= 1e-4 && magnitude < 9007199254740992.0);
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                      plain ? std::chars_format::fixed : std::chars_format::scientific);
    QString text = QString::fromLatin1(buffer, int(result.ptr - buffer));
    if (!text.contains(QLatin1Char('.')) && !text.contains(QLatin1Char('e')))
        text += QLatin1String(".0");
    return text;
}

QString fingerprintElement(const FingerprintEntry &entry)
{
    const double seconds = entry.timestamp.isValid() ? double(entry.timestamp.toMSecsSinceEpoch()) / 1000.0 : 0.0;
    return entry.id.toString(QUuid::WithoutBraces).toUpper() + QLatin1Char(':') + shortestReal(seconds)
        + QLatin1Char(':') + QString::number(text::graphemeCount(entry.rawText)) + QLatin1Char(':')
        + shortestReal(entry.sentimentScore);
}

QString fingerprintString(QList<FingerprintEntry> entries, const QString &dayKey)
{
    std::stable_sort(entries.begin(), entries.end(), [](const FingerprintEntry &a, const FingerprintEntry &b) {
        return a.timestamp < b.timestamp;
    });
    QStringList elements;
    elements.reserve(entries.size());
    for (const FingerprintEntry &entry : entries)
        elements << fingerprintElement(entry);
    return QLatin1String("v7|asOf:") + dayKey + QLatin1Char('|') + elements.join(QLatin1Char('|'));
}

quint64 stableHash64(const QString &text)
{
    quint64 hash = 14695981039346656037ULL;
    const QByteArray bytes = text.toUtf8();
    for (const char byte : bytes) {
        hash ^= quint64(quint8(byte));
        hash *= 1099511628211ULL;
    }
    return hash;
}

QString fingerprint(const QList<FingerprintEntry> &entries, const QString &dayKey)
{
    return QString::number(stableHash64(fingerprintString(entries, dayKey)));
}

bool canSkipRebuild(std::optional<InsightStatus> recordStatus, const QString &storedFingerprint,
                    const QString &newFingerprint)
{
    return recordStatus == InsightStatus::Ready && storedFingerprint == newFingerprint;
}

QString weatherWord(double score)
{
    return displayName(weatherLabelForScore(score));
}

} // namespace zn::weekly
