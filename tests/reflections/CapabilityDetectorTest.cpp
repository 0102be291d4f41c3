#include "reflections/CapabilityDetector.h"

#include "platform/base/Clock.h"
#include "platform/model/ScriptedLanguageModel.h"

#include <QRegularExpression>
#include <QSysInfo>

#include <gtest/gtest.h>

#include <ostream>

#include <chrono>
#include <map>

namespace zn {
namespace {

using A = CapabilityDetector::Availability;
using lm::UnavailableReason;

// Counts every change signal of a detector.
struct ChangeCounter
{
    explicit ChangeCounter(CapabilityDetector &detector)
    {
        QObject::connect(&detector, &CapabilityDetector::availabilityChanged, [this] { ++counts["availability"]; });
        QObject::connect(&detector, &CapabilityDetector::statusDetailChanged, [this] { ++counts["statusDetail"]; });
        QObject::connect(&detector, &CapabilityDetector::isCheckingChanged, [this] { ++counts["isChecking"]; });
        QObject::connect(&detector, &CapabilityDetector::lastRefreshedChanged,
                         [this] { ++counts["lastRefreshed"]; });
    }
    std::map<std::string, int> counts;
};

// A system that falls short of the requirement, as a Mac on an old release
// would.
class ShortSystemDetector final : public CapabilityDetector
{
public:
    using CapabilityDetector::CapabilityDetector;
    std::optional<QString> systemRequirementMessage() const override
    {
        return QStringLiteral("This Mac is running macOS 15.6.1. Zephyrnote needs macOS 26 or later.");
    }
};

TEST(CapabilityDetectorTest, StartsCheckingWithNoVerdict)
{
    lm::ScriptedLanguageModel model;
    CapabilityDetector detector(&model);
    EXPECT_TRUE(detector.isChecking());
    EXPECT_EQ(detector.statusDetail(), QStringLiteral("Checking…"));
    EXPECT_EQ(detector.availability(), A::FrameworkUnavailable);
    EXPECT_FALSE(detector.lastRefreshed().has_value());
    // Nothing is read before someone asks.
    EXPECT_EQ(model.availabilityReads(), 0);
}

struct AvailabilityCase
{
    const char *name;
    std::optional<UnavailableReason> reason; // none: available
    std::optional<bool> isAvailableOverride;
    A expected;
    const char *sentence;
};

// Names the case in test listings.
void PrintTo(const AvailabilityCase &c, std::ostream *out)
{
    *out << c.name;
}

class CapabilityDetectorCases : public ::testing::TestWithParam<AvailabilityCase>
{
};

TEST_P(CapabilityDetectorCases, EveryModelStateHasItsSentence)
{
    const AvailabilityCase &c = GetParam();
    lm::ScriptedLanguageModel model;
    model.setAvailability(c.reason ? lm::Availability::no(*c.reason) : lm::Availability::yes());
    model.setIsAvailableOverride(c.isAvailableOverride);
    ManualClock clock;
    CapabilityDetector detector(&model, &clock);

    detector.refresh();

    EXPECT_FALSE(detector.isChecking());
    EXPECT_EQ(detector.lastRefreshed(), clock.now());
    EXPECT_EQ(detector.availability(), c.expected);
    EXPECT_EQ(detector.statusDetail(), QString::fromUtf8(c.sentence));
}

INSTANTIATE_TEST_SUITE_P(
    AllStates, CapabilityDetectorCases,
    ::testing::Values(
        AvailabilityCase{"Available", std::nullopt, std::nullopt, A::Available,
                         "On-device Foundation Models are ready. Reflections stay on this Mac."},
        AvailabilityCase{"DeviceNotEligible", UnavailableReason::DeviceNotEligible, std::nullopt,
                         A::DeviceNotEligible,
                         "This Mac isn’t eligible for Apple Intelligence, so enhanced reflections can’t run. Your "
                         "journal and mood language still work."},
        AvailabilityCase{"NotEnabled", UnavailableReason::AppleIntelligenceNotEnabled, std::nullopt, A::NotEnabled,
                         "Turn on Apple Intelligence in System Settings to enable enhanced reflections. Basic mood "
                         "analysis still works offline."},
        AvailabilityCase{"ModelNotReady", UnavailableReason::ModelNotReady, std::nullopt, A::ModelNotReady,
                         "Apple Intelligence models are still downloading or warming up. Reflections will appear "
                         "when ready."},
        AvailabilityCase{"OtherReason", UnavailableReason::Other, std::nullopt, A::FrameworkUnavailable,
                         "Foundation Models reported an unknown unavailable state. Journaling is unaffected."},
        // The quick test says no while the detailed state says yes.
        AvailabilityCase{"ReadsDisagree", std::nullopt, false, A::ModelNotReady,
                         "Apple Intelligence isn’t fully ready yet. Try again in a moment."},
        // The quick test says yes: it decides, whatever the reason says.
        AvailabilityCase{"QuickTestWins", UnavailableReason::ModelNotReady, true, A::Available,
                         "On-device Foundation Models are ready. Reflections stay on this Mac."}),
    [](const ::testing::TestParamInfo<AvailabilityCase> &info) { return std::string(info.param.name); });

TEST(CapabilityDetectorTest, WithoutAModelTheFrameworkIsUnavailable)
{
    CapabilityDetector detector(nullptr);
    detector.refresh();
    EXPECT_EQ(detector.availability(), A::FrameworkUnavailable);
    EXPECT_EQ(detector.statusDetail(),
              QStringLiteral("Foundation Models reported an unknown unavailable state. Journaling is unaffected."));
    EXPECT_FALSE(detector.isChecking());
}

TEST(CapabilityDetectorTest, LinuxMeetsTheSystemRequirement)
{
    lm::ScriptedLanguageModel model;
    CapabilityDetector detector(&model);
    EXPECT_FALSE(detector.systemRequirementMessage().has_value());
    detector.refresh();
    EXPECT_EQ(detector.availability(), A::Available);
}

TEST(CapabilityDetectorTest, ASystemBelowTheRequirementNeverAsksTheModel)
{
    lm::ScriptedLanguageModel model;
    ShortSystemDetector detector(&model);
    detector.refresh();
    EXPECT_EQ(detector.availability(), A::UnsupportedPlatform);
    EXPECT_EQ(detector.statusDetail(),
              QStringLiteral("This Mac is running macOS 15.6.1. Zephyrnote needs macOS 26 or later. Journaling and "
                             "on-device NLP still work; Foundation Models reflections are unavailable."));
    EXPECT_EQ(model.availabilityReads(), 0);
}

TEST(CapabilityDetectorTest, RefreshFollowsTheModelBothWays)
{
    lm::ScriptedLanguageModel model;
    model.setUnavailable(UnavailableReason::AppleIntelligenceNotEnabled);
    CapabilityDetector detector(&model);
    detector.refresh();
    EXPECT_EQ(detector.availability(), A::NotEnabled);

    model.setAvailability(lm::Availability::yes());
    detector.refresh();
    EXPECT_EQ(detector.availability(), A::Available);

    model.setUnavailable(UnavailableReason::ModelNotReady);
    detector.refresh();
    EXPECT_EQ(detector.availability(), A::ModelNotReady);
}

TEST(CapabilityDetectorTest, RefreshesWithTheSameOutcomeChangeOnlyTheTime)
{
    lm::ScriptedLanguageModel model;
    model.setUnavailable(UnavailableReason::DeviceNotEligible);
    ManualClock clock;
    CapabilityDetector detector(&model, &clock);
    ChangeCounter counter(detector);

    detector.refresh();
    EXPECT_EQ(counter.counts["availability"], 1);
    EXPECT_EQ(counter.counts["statusDetail"], 1);
    EXPECT_EQ(counter.counts["isChecking"], 1);
    EXPECT_EQ(counter.counts["lastRefreshed"], 1);

    clock.advance(std::chrono::seconds(3));
    detector.refresh();
    EXPECT_EQ(counter.counts["availability"], 1);
    EXPECT_EQ(counter.counts["statusDetail"], 1);
    EXPECT_EQ(counter.counts["isChecking"], 1);
    EXPECT_EQ(counter.counts["lastRefreshed"], 2);
    EXPECT_EQ(detector.lastRefreshed(), clock.now());

    // Same instant again: nothing at all changes.
    detector.refresh();
    EXPECT_EQ(counter.counts["lastRefreshed"], 2);
}

TEST(CapabilityDetectorTest, KernelReleaseReadsAsThreeNumbers)
{
    EXPECT_EQ(CapabilityDetector::versionTriple(QStringLiteral("6.1.0-18-amd64")), QStringLiteral("6.1.0"));
    EXPECT_EQ(CapabilityDetector::versionTriple(QStringLiteral("6.18.44-custom")), QStringLiteral("6.18.44"));
    EXPECT_EQ(CapabilityDetector::versionTriple(QStringLiteral("5.10")), QStringLiteral("5.10.0"));
    EXPECT_EQ(CapabilityDetector::versionTriple(QStringLiteral("4")), QStringLiteral("4.0.0"));
    EXPECT_EQ(CapabilityDetector::versionTriple(QStringLiteral("6.05.007")), QStringLiteral("6.5.7"));
    EXPECT_EQ(CapabilityDetector::versionTriple(QStringLiteral("6.1.2.3")), QStringLiteral("6.1.2"));
    EXPECT_EQ(CapabilityDetector::versionTriple(QString()), QStringLiteral("0.0.0"));
    EXPECT_EQ(CapabilityDetector::versionTriple(QStringLiteral("unknown")), QStringLiteral("0.0.0"));

    static const QRegularExpression triple(QStringLiteral("^\\d+\\.\\d+\\.\\d+$"));
    EXPECT_TRUE(triple.match(CapabilityDetector::operatingSystemVersionString()).hasMatch())
        << CapabilityDetector::operatingSystemVersionString().toStdString();
}

TEST(CapabilityDetectorTest, ProcessorTestNamesTheRealArchitecture)
{
    EXPECT_EQ(CapabilityDetector::isAppleSilicon(), QSysInfo::currentCpuArchitecture() == QLatin1String("arm64"));
}

} // namespace
} // namespace zn
