#pragma once

#include "core/InsightStatus.h"
#include "reflections/CapabilityDetector.h"
#include "views/workspace/detail/ReflectionItem.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace zn {

class JournalEntry;

// What an entry's reflection card reads of the entry, copied once per
// render.
struct InsightSnapshot
{
    InsightStatus status = InsightStatus::None;
    std::optional<QString> text;
    std::optional<QString> failureMessage;
    std::optional<QString> emotionalTone;
    std::optional<QString> closingFocus;
    QStringList keyPoints;
    QStringList themes;

    static InsightSnapshot of(const JournalEntry &entry);
};

// The content of an entry's reflection card for one status, model
// availability with the detector's status detail, and whether the host gave
// a Retry action (no action: no button in any state). Texts from the entry
// are shown as stored.
namespace insightcard {

inline constexpr int kThemeChipLimit = 3;

QString title();      // "Reflection"
QString symbolName(); // "sparkles"

ReflectionItems items(const InsightSnapshot &insight, CapabilityDetector::Availability availability,
                      const QString &statusDetail, bool hasRetry);

} // namespace insightcard
} // namespace zn
