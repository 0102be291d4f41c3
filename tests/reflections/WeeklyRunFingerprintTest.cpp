#include "reflections/WeeklyReflectionRun.h"

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>

namespace zn {
namespace {

using weekly::FingerprintEntry;

const QUuid kFirst = QUuid::fromString(QStringLiteral("{6f1c2a3b-4d5e-4f60-8a7b-9c0d1e2f3a4b}"));
const QUuid kSecond = QUuid::fromString(QStringLiteral("{0a0b0c0d-1111-4222-8333-444455556666}"));

QDateTime at(qint64 msecs)
{
    return QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC);
}

QList<FingerprintEntry> sampleWeek()
{
    return {
        {kSecond, at(1'741'392'000'250), QStringLiteral("Rain all day 🌧️, but tea helped."), -0.35},
        {kFirst, at(1'741'305'600'000), QStringLiteral("Café walk with 👩‍👩‍👧 — lovely."), 1.0},
    };
}

TEST(WeeklyRunFingerprintTest, KeyIsRollingPrefixAndDayKey)
{
    EXPECT_EQ(weekly::recordKey(QStringLiteral("2025-03-07")), QStringLiteral("rolling7:2025-03-07"));
}

TEST(WeeklyRunFingerprintTest, RealsUseShortestRoundTripText)
{
    EXPECT_EQ(weekly::shortestReal(1.0), QStringLiteral("1.0"));
    EXPECT_EQ(weekly::shortestReal(-1.0), QStringLiteral("-1.0"));
    EXPECT_EQ(weekly::shortestReal(0.0), QStringLiteral("0.0"));
    EXPECT_EQ(weekly::shortestReal(-0.0), QStringLiteral("-0.0"));
    EXPECT_EQ(weekly::shortestReal(0.1), QStringLiteral("0.1"));
    EXPECT_EQ(weekly::shortestReal(-0.35), QStringLiteral("-0.35"));
    EXPECT_EQ(weekly::shortestReal(1.0 / 3.0), QStringLiteral("0.3333333333333333"));
    // A round timestamp stays in plain digits, never "1.7e+09".
    EXPECT_EQ(weekly::shortestReal(1'700'000'000.0), QStringLiteral("1700000000.0"));
    EXPECT_EQ(weekly::shortestReal(1'741'392'000.25), QStringLiteral("1741392000.25"));
    EXPECT_EQ(weekly::shortestReal(1e20), QStringLiteral("1e+20"));
    EXPECT_EQ(weekly::shortestReal(1e-7), QStringLiteral("1e-07"));
    EXPECT_EQ(weekly::shortestReal(std::numeric_limits<double>::quiet_NaN()), QStringLiteral("nan"));
    EXPECT_EQ(weekly::shortestReal(-std::numeric_limits<double>::infinity()), QStringLiteral("-inf"));

    for (double value : {0.1, 0.7, -0.123456789, 1741305600.001, 2.5e-3}) {
        const QString text = weekly::shortestReal(value);
        EXPECT_EQ(text.toDouble(), value) << text.toStdString();
    }
}

TEST(WeeklyRunFingerprintTest, ElementNamesIdTimeLengthAndScore)
{
    const FingerprintEntry entry{kFirst, at(1'741'305'600'125), QStringLiteral("Café 👩‍👩‍👧 ok"), 0.25};
    // Upper-case id, grapheme count 9 ("Café" 4 + space + family 1 + space + "ok" 2).
    EXPECT_EQ(weekly::fingerprintElement(entry),
              QStringLiteral("6F1C2A3B-4D5E-4F60-8A7B-9C0D1E2F3A4B:1741305600.125:9:0.25"));
}

TEST(WeeklyRunFingerprintTest, StringListsEntriesOldestFirst)
{
    const QString text = weekly::fingerprintString(sampleWeek(), QStringLiteral("2025-03-08"));
    EXPECT_TRUE(text.startsWith(QStringLiteral("v7|asOf:2025-03-08|6F1C2A3B-"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral(":1.0|0A0B0C0D-1111-4222-8333-444455556666:1741392000.25:")));
    EXPECT_EQ(weekly::fingerprintString({}, QStringLiteral("2025-03-08")), QStringLiteral("v7|asOf:2025-03-08|"));

    // Equal timestamps keep the order they came in.
    QList<FingerprintEntry> tied = sampleWeek();
    tied[1].timestamp = tied[0].timestamp;
    const QString tiedText = weekly::fingerprintString(tied, QStringLiteral("2025-03-08"));
    EXPECT_LT(tiedText.indexOf(QStringLiteral("0A0B0C0D")), tiedText.indexOf(QStringLiteral("6F1C2A3B")));
}

TEST(WeeklyRunFingerprintTest, HashIsFnv1a64)
{
    EXPECT_EQ(weekly::stableHash64(QString()), 14695981039346656037ULL);
    EXPECT_EQ(weekly::stableHash64(QStringLiteral("a")), 12638187200555641996ULL);
    EXPECT_EQ(weekly::stableHash64(QStringLiteral("foobar")), 0x85944171f73967e8ULL);
}

TEST(WeeklyRunFingerprintTest, FingerprintFollowsWhatMatters)
{
    const QString day = QStringLiteral("2025-03-08");
    const QString base = weekly::fingerprint(sampleWeek(), day);
    EXPECT_EQ(base, weekly::fingerprint(sampleWeek(), day));

    // Different words, same number of user-perceived characters: "e" + a
    // combining accent is one character, though two UTF-16 units.
    QList<FingerprintEntry> sameLength = sampleWeek();
    sameLength[0].rawText = QStringLiteral("Rain all dax 🌧️, but tea helpe\u0301d.");
    ASSERT_NE(sameLength[0].rawText.size(), sampleWeek()[0].rawText.size());
    EXPECT_EQ(weekly::fingerprint(sameLength, day), base);

    QList<FingerprintEntry> longer = sampleWeek();
    longer[0].rawText += QLatin1Char('!');
    EXPECT_NE(weekly::fingerprint(longer, day), base);

    QList<FingerprintEntry> rescored = sampleWeek();
    rescored[1].sentimentScore = 0.99;
    EXPECT_NE(weekly::fingerprint(rescored, day), base);

    QList<FingerprintEntry> moved = sampleWeek();
    moved[0].timestamp = moved[0].timestamp.addMSecs(1);
    EXPECT_NE(weekly::fingerprint(moved, day), base);

    QList<FingerprintEntry> fewer = sampleWeek();
    fewer.removeLast();
    EXPECT_NE(weekly::fingerprint(fewer, day), base);

    EXPECT_NE(weekly::fingerprint(sampleWeek(), QStringLiteral("2025-03-09")), base);
}

// The same fingerprint in a fresh process: a stored fingerprint is compared
// with one computed after the next launch.
TEST(WeeklyRunFingerprintTest, SameInAnotherProcess)
{
    const QString here = weekly::fingerprint(sampleWeek(), QStringLiteral("2025-03-08"));
    if (qEnvironmentVariableIsSet("ZN_PRINT_WEEKLY_FINGERPRINT")) {
        std::printf("FINGERPRINT=%s\n", qPrintable(here));
        return;
    }
    // Stable across builds and machines too.
    EXPECT_EQ(here, QString::number(weekly::stableHash64(
                        weekly::fingerprintString(sampleWeek(), QStringLiteral("2025-03-08")))));

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ZN_PRINT_WEEKLY_FINGERPRINT"), QStringLiteral("1"));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=WeeklyRunFingerprintTest.SameInAnotherProcess")});
    ASSERT_TRUE(child.waitForFinished(30'000));
    const QString output = QString::fromUtf8(child.readAllStandardOutput());
    const qsizetype at = output.indexOf(QStringLiteral("FINGERPRINT="));
    ASSERT_GE(at, 0) << output.toStdString();
    const QString theirs = output.mid(at + 12).section(QLatin1Char('\n'), 0, 0).trimmed();
    EXPECT_EQ(theirs, here);
}

TEST(WeeklyRunFingerprintTest, OnlyAReadyRecordOfTheSameEntriesIsSkipped)
{
    EXPECT_TRUE(weekly::canSkipRebuild(InsightStatus::Ready, QStringLiteral("42"), QStringLiteral("42")));
    EXPECT_FALSE(weekly::canSkipRebuild(InsightStatus::Ready, QStringLiteral("42"), QStringLiteral("43")));
    for (InsightStatus status : {InsightStatus::None, InsightStatus::Pending, InsightStatus::Generating,
                                 InsightStatus::Failed, InsightStatus::Unavailable})
        EXPECT_FALSE(weekly::canSkipRebuild(status, QStringLiteral("42"), QStringLiteral("42")));
    EXPECT_FALSE(weekly::canSkipRebuild(std::nullopt, QStringLiteral("42"), QStringLiteral("42")));
}

TEST(WeeklyRunFingerprintTest, WeatherWordsFollowTheBands)
{
    EXPECT_EQ(weekly::weatherWord(0.6), QStringLiteral("Sunny"));
    EXPECT_EQ(weekly::weatherWord(0.2), QStringLiteral("Partly cloudy"));
    EXPECT_EQ(weekly::weatherWord(-0.2), QStringLiteral("Overcast"));
    EXPECT_EQ(weekly::weatherWord(-0.6), QStringLiteral("Rainy"));
    EXPECT_EQ(weekly::weatherWord(-0.61), QStringLiteral("Stormy"));
    EXPECT_EQ(weekly::weatherWord(std::numeric_limits<double>::quiet_NaN()), QStringLiteral("Stormy"));
}

} // namespace
} // namespace zn
