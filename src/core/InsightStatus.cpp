#include "core/InsightStatus.h"

#include <array>

namespace zn {
namespace {

constexpr std::array<InsightStatus, 6> kAll{InsightStatus::None, InsightStatus::Pending, InsightStatus::Generating,
                                            InsightStatus::Ready, InsightStatus::Failed, InsightStatus::Unavailable};

} // namespace

QString insightStatusRawValue(InsightStatus status)
{
    switch (status) {
    case InsightStatus::None: return QStringLiteral("none");
    case InsightStatus::Pending: return QStringLiteral("pending");
    case InsightStatus::Generating: return QStringLiteral("generating");
    case InsightStatus::Ready: return QStringLiteral("ready");
    case InsightStatus::Failed: return QStringLiteral("failed");
    case InsightStatus::Unavailable: return QStringLiteral("unavailable");
    }
    return QStringLiteral("none");
}

std::optional<InsightStatus> insightStatusFromRaw(const QString &raw)
{
    for (InsightStatus s : kAll) {
        if (raw == insightStatusRawValue(s))
            return s;
    }
    return std::nullopt;
}

} // namespace zn
