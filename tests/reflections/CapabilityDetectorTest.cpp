#include "reflections/CapabilityDetector.h"

#include "platform/base/Clock.h"
#include "platform/model/LocalServerLanguageModel.h"
#include "platform/model/ScriptedLanguageModel.h"
#include "support/TestSupport.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <ostream>

#include <chrono>
#include <map>
#include <memory>

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
        QObject::connect(&detector, &CapabilityDetector::modelStateChanged, [this] { ++counts["modelState"]; });
    }
    std::map<std::string, int> counts;
};

// A system that falls short of the requirement (none does here; the hook
// stays for systems that do).
class ShortSystemDetector final : public CapabilityDetector
{
public:
    using CapabilityDetector::CapabilityDetector;
    std::optional<QString> systemRequirementMessage() const override
    {
        return QStringLiteral("This system is too old.");
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
    const char *detail = ""; // what the model says went wrong
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
    model.setAvailability(c.reason ? lm::Availability::no(*c.reason, QString::fromUtf8(c.detail))
                                   : lm::Availability::yes());
    model.setIsAvailableOverride(c.isAvailableOverride);
    model.setAddress(QStringLiteral("http://127.0.0.1:8080"));
    ManualClock clock;
    CapabilityDetector detector(&model, &clock);

    detector.refresh();

    EXPECT_FALSE(detector.isChecking());
    EXPECT_EQ(detector.lastRefreshed(), clock.now());
    EXPECT_EQ(detector.availability(), c.expected);
    EXPECT_EQ(detector.statusDetail(), QString::fromUtf8(c.sentence));
    EXPECT_EQ(detector.modelState(), model.availability());
    EXPECT_EQ(detector.modelAddress(), QStringLiteral("http://127.0.0.1:8080"));
    // A reflection area shows the same sentence, or its promise when a
    // reflection can come.
    EXPECT_EQ(detector.placeholderText(), c.expected == A::Available
                                              ? QStringLiteral("A deeper reflection will appear here after analysis.")
                                              : detector.statusDetail());
}

INSTANTIATE_TEST_SUITE_P(
    AllStates, CapabilityDetectorCases,
    ::testing::Values(
        AvailabilityCase{"Available", std::nullopt, std::nullopt, A::Available,
                         "The local language model is ready. Reflections stay on this computer."},
        AvailabilityCase{"NoServer", UnavailableReason::NoServer, std::nullopt, A::FrameworkUnavailable,
                         "No language model server is answering at http://127.0.0.1:8080. Reflections start when a "
                         "compatible server runs there. Journaling and mood analysis still work."},
        AvailabilityCase{"ModelNotReady", UnavailableReason::ModelNotReady, std::nullopt, A::ModelNotReady,
                         "The local language model is still getting ready. Mood analysis already works."},
        // Any other failure gives its own description.
        AvailabilityCase{"OtherReason", UnavailableReason::Other, std::nullopt, A::FrameworkUnavailable,
                         "The model server at http://127.0.0.1:8080 answered its health check with HTTP 500. "
                         "Journaling is unaffected.",
                         "The model server at http://127.0.0.1:8080 answered its health check with HTTP 500."},
        AvailabilityCase{"OtherWithoutWords", UnavailableReason::Other, std::nullopt, A::FrameworkUnavailable,
                         "The local language model is unavailable. Journaling is unaffected."},
        // The quick test says no while the detailed state says yes.
        AvailabilityCase{"ReadsDisagree", std::nullopt, false, A::ModelNotReady,
                         "The local language model isn’t fully ready yet. Try again in a moment."},
        // The quick test says yes: it decides, whatever the reason says.
        AvailabilityCase{"QuickTestWins", UnavailableReason::ModelNotReady, true, A::Available,
                         "The local language model is ready. Reflections stay on this computer."}),
    [](const ::testing::TestParamInfo<AvailabilityCase> &info) { return std::string(info.param.name); });

TEST(CapabilityDetectorTest, WithoutAModelTheFrameworkIsUnavailable)
{
    CapabilityDetector detector(nullptr);
    detector.refresh();
    EXPECT_EQ(detector.availability(), A::FrameworkUnavailable);
    EXPECT_EQ(detector.statusDetail(),
              QStringLiteral("The local language model is unavailable. Journaling is unaffected."));
    EXPECT_TRUE(detector.modelAddress().isEmpty());
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
              QStringLiteral("This system is too old. Journaling and on-device NLP still work; local language "
                             "model reflections are unavailable."));
    EXPECT_EQ(model.availabilityReads(), 0);
    EXPECT_FALSE(detector.modelState().has_value());
}

TEST(CapabilityDetectorTest, RefreshFollowsTheModelBothWays)
{
    lm::ScriptedLanguageModel model;
    model.setUnavailable(UnavailableReason::NoServer);
    CapabilityDetector detector(&model);
    detector.refresh();
    EXPECT_EQ(detector.availability(), A::FrameworkUnavailable);

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
    model.setUnavailable(UnavailableReason::ModelNotReady);
    ManualClock clock;
    CapabilityDetector detector(&model, &clock);
    ChangeCounter counter(detector);

    detector.refresh();
    EXPECT_EQ(counter.counts["availability"], 1);
    EXPECT_EQ(counter.counts["statusDetail"], 1);
    EXPECT_EQ(counter.counts["isChecking"], 1);
    EXPECT_EQ(counter.counts["lastRefreshed"], 1);
    EXPECT_EQ(counter.counts["modelState"], 1);

    clock.advance(std::chrono::seconds(3));
    detector.refresh();
    EXPECT_EQ(counter.counts["availability"], 1);
    EXPECT_EQ(counter.counts["statusDetail"], 1);
    EXPECT_EQ(counter.counts["isChecking"], 1);
    EXPECT_EQ(counter.counts["lastRefreshed"], 2);
    EXPECT_EQ(counter.counts["modelState"], 1);
    EXPECT_EQ(detector.lastRefreshed(), clock.now());

    // Same instant again: nothing at all changes.
    detector.refresh();
    EXPECT_EQ(counter.counts["lastRefreshed"], 2);
}

// A model server that takes the connection and never answers: however long
// the model's probe waits, refresh() must not.
TEST(CapabilityDetectorTest, RefreshNeverWaitsForTheModelServer)
{
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    lm::LocalServerLanguageModel::Options options;
    options.baseUrl = QUrl(QStringLiteral("http://127.0.0.1:%1").arg(silent.serverPort()));
    options.initialProbeWait = std::chrono::milliseconds(0);
    options.probeStaleAfter = std::chrono::milliseconds(0);
    options.probeTimeout = std::chrono::seconds(4);
    lm::LocalServerLanguageModel model(options);
    CapabilityDetector detector(&model);

    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 5; ++i)
        detector.refresh();
    EXPECT_LT(timer.elapsed(), 1000);
    EXPECT_FALSE(detector.isChecking());
    EXPECT_NE(detector.availability(), A::Available);
}

// A model server whose health check says yes to every request.
class HealthyServer
{
public:
    HealthyServer()
    {
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                auto request = std::make_shared<QByteArray>();
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, request] {
                    request->append(socket->readAll());
                    if (!request->contains("\r\n\r\n"))
                        return;
                    const QByteArray body = R"({"status":"ok"})";
                    socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\n"
                                  "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
                    socket->disconnectFromHost();
                });
            }
        });
        m_server.listen(QHostAddress::LocalHost, 0);
    }
    QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort())); }

private:
    QTcpServer m_server;
};

TEST(CapabilityDetectorTest, FollowsTheModelServersAnnouncementUnasked)
{
    HealthyServer server;
    lm::LocalServerLanguageModel::Options options;
    options.baseUrl = server.url();
    options.initialProbeWait = std::chrono::milliseconds(0);
    lm::LocalServerLanguageModel model(options);
    ManualClock clock;
    CapabilityDetector detector(&model, &clock);

    // Nobody calls refresh(): the probe's answer alone brings the verdict.
    ASSERT_TRUE(test::waitUntil([&] { return detector.availability() == A::Available; }))
        << detector.statusDetail().toStdString();
    EXPECT_FALSE(detector.isChecking());
    EXPECT_EQ(detector.statusDetail(),
              QStringLiteral("The local language model is ready. Reflections stay on this computer."));
    EXPECT_EQ(detector.lastRefreshed(), clock.now());
    EXPECT_EQ(detector.modelAddress(), server.url().toString());
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

} // namespace
} // namespace zn
