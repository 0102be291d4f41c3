#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace zn {

// Life state of an entry's insight and of a weekly record; stored only as
// its raw string.
enum class InsightStatus : std::uint8_t { None, Pending, Generating, Ready, Failed, Unavailable };

// "none", "pending", "generating", "ready", "failed", "unavailable".
QString insightStatusRawValue(InsightStatus status);

// Exact, case-sensitive; anything else gives no value.
std::optional<InsightStatus> insightStatusFromRaw(const QString &raw);

// As the models read it: an unknown string is None.
inline InsightStatus insightStatusOrNone(const QString &raw)
{
    return insightStatusFromRaw(raw).value_or(InsightStatus::None);
}

} // namespace zn
