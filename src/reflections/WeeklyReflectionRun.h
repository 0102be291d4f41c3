#pragma once

#include "core/InsightStatus.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

namespace zn {

class CalendarProvider;
class JournalEntry;

// The pure pieces of the rolling 7-day reflection: its record key, the
// fingerprint of the entries it was built from and the rule that spares a
// rebuild. Nothing here touches the store, a model or a clock.
namespace weekly {

inline constexpr auto kKeyPrefix = "rolling7:";
inline constexpr int kWindowDays = 7;

// "rolling7:" followed by the day key.
QString recordKey(const QString &dayKey);

// What the fingerprint sees of one entry.
struct FingerprintEntry
{
    QUuid id;
    QDateTime timestamp;
    QString rawText;
    double sentimentScore = 0.0;
};

FingerprintEntry fingerprintEntry(const JournalEntry &entry);

// Shortest decimal text that reads back to the same double; whole numbers
// keep one fractional zero ("1.0"), very large or small ones use an
// exponent ("1e+16"), and the odd values read "nan", "inf", "-inf".
QString shortestReal(double value);

// "<UPPER-CASE UUID>:<seconds since 1970>:<characters of the text>:<score>".
QString fingerprintElement(const FingerprintEntry &entry);

// "v7|asOf:<day key>|" followed by the elements joined by "|", the entries
// taken oldest first (ties keep their given order).
QString fingerprintString(QList<FingerprintEntry> entries, const QString &dayKey);

// 64-bit FNV-1a over the UTF-8 bytes: the same on every run and machine,
// unlike a per-process seeded hash.
quint64 stableHash64(const QString &text);

// The stored fingerprint: the decimal text of stableHash64(fingerprintString).
QString fingerprint(const QList<FingerprintEntry> &entries, const QString &dayKey);

// A day's record is left alone only when it is ready and was built from
// exactly these entries.
bool canSkipRebuild(std::optional<InsightStatus> recordStatus, const QString &storedFingerprint,
                    const QString &newFingerprint);

// The weather word the model is shown for an entry's score ("Stormy" for NaN).
QString weatherWord(double score);

} // namespace weekly
} // namespace zn
