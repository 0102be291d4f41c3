#include "core/InsightStatus.h"

#include <QList>

#include <gtest/gtest.h>

using namespace zn;

TEST(InsightStatus, RawValuesRoundTripExactly)
{
    const QList<std::pair<InsightStatus, QString>> all{
        {InsightStatus::None, "none"},       {InsightStatus::Pending, "pending"},
        {InsightStatus::Generating, "generating"}, {InsightStatus::Ready, "ready"},
        {InsightStatus::Failed, "failed"},   {InsightStatus::Unavailable, "unavailable"},
    };
    for (const auto &[status, raw] : all) {
        EXPECT_EQ(insightStatusRawValue(status), raw);
        EXPECT_EQ(insightStatusFromRaw(raw), status);
    }
}

TEST(InsightStatus, AnythingElseIsNoValueAndReadsAsNone)
{
    for (const QString &raw : {QStringLiteral("Ready"), QStringLiteral(" ready"), QStringLiteral("ready\n"),
                              QStringLiteral("READY"), QString(), QStringLiteral("done")}) {
        EXPECT_FALSE(insightStatusFromRaw(raw).has_value()) << raw.toStdString();
        EXPECT_EQ(insightStatusOrNone(raw), InsightStatus::None);
    }
}
