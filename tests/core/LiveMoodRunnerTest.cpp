#include "core/LiveMoodRunner.h"

#include "core/MoodAnalysis.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>

using namespace std::chrono_literals;

namespace zn {
namespace {

const QString kHappy = QStringLiteral("What a wonderful, happy morning with my lovely family at the sunny beach.");
const QString kGloomy = QStringLiteral("Everything went wrong today and I feel miserable, lonely and exhausted.");

struct Delivery {
    QString text;
    double score;
    bool onMainThread;
};

class LiveMoodRunnerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_runner = std::make_unique<LiveMoodRunner>(m_clock);
        QObject::connect(m_runner.get(), &LiveMoodRunner::analyzed, m_runner.get(),
                         [this](const QString &text, double score) {
                             m_delivered.append({text, score, QThread::currentThread() == qApp->thread()});
                         });
    }

    bool settle()
    {
        return test::waitUntil([this] { return !m_runner->isPending(); });
    }

    ManualClock m_clock;
    std::unique_ptr<LiveMoodRunner> m_runner;
    QList<Delivery> m_delivered;
};

} // namespace

TEST_F(LiveMoodRunnerTest, AnalysesTheLatestTextAfterTheQuietPause)
{
    m_runner->schedule(kHappy);
    m_clock.advance(300ms);
    m_runner->schedule(kGloomy);
    m_clock.advance(499ms);
    EXPECT_TRUE(m_runner->isPending());
    EXPECT_TRUE(m_delivered.isEmpty());

    m_clock.advance(1ms);
    ASSERT_TRUE(settle());
    ASSERT_EQ(m_delivered.size(), 1);
    EXPECT_EQ(m_delivered[0].text, kGloomy);
    EXPECT_EQ(m_delivered[0].score, analyzeText(kGloomy)->score);
    EXPECT_TRUE(m_delivered[0].onMainThread);

    // Another delay is honoured.
    m_runner->schedule(kHappy, 2s);
    m_clock.advance(1999ms);
    EXPECT_EQ(m_delivered.size(), 1);
    m_clock.advance(1ms);
    ASSERT_TRUE(settle());
    EXPECT_EQ(m_delivered.size(), 2);
}

TEST_F(LiveMoodRunnerTest, ResultsOfDroppedRequestsNeverArrive)
{
    // Cancelled while the analysis already runs.
    m_runner->schedule(kHappy);
    m_clock.advance(500ms);
    m_runner->cancel();
    ASSERT_TRUE(settle());
    EXPECT_TRUE(m_delivered.isEmpty());

    // Overtaken by a newer request while running: only the newer one lands.
    m_runner->schedule(kHappy);
    m_clock.advance(500ms);
    m_runner->schedule(kGloomy);
    m_clock.advance(500ms);
    ASSERT_TRUE(settle());
    ASSERT_EQ(m_delivered.size(), 1);
    EXPECT_EQ(m_delivered[0].text, kGloomy);

    // Cancelled while waiting: nothing runs at all.
    m_runner->schedule(kHappy);
    m_runner->cancel();
    EXPECT_FALSE(m_runner->isPending());
    EXPECT_EQ(m_clock.pendingCount(), 0);
}

TEST_F(LiveMoodRunnerTest, TextsOutsideTheAnalysedRangeGiveNoResult)
{
    m_runner->schedule(QStringLiteral("   nineteen chars!!   "));
    m_clock.advance(500ms);
    ASSERT_TRUE(settle());
    m_runner->schedule(QString(15001, u'a'));
    m_clock.advance(500ms);
    ASSERT_TRUE(settle());
    EXPECT_TRUE(m_delivered.isEmpty());
}

TEST_F(LiveMoodRunnerTest, PrefetchesTheStoredAnalysisOfLongTextsOnly)
{
    const QString longText = kGloomy.repeated(400); // past what the live score takes
    m_runner->schedule(longText);
    m_clock.advance(500ms);
    ASSERT_TRUE(settle());
    // Off by default.
    EXPECT_FALSE(m_runner->entryAnalysis(longText.trimmed()).has_value());

    m_runner->setPrefetchesEntryAnalysis(true);
    m_runner->schedule(QStringLiteral("  ") + longText + QStringLiteral("\n"));
    m_clock.advance(500ms);
    ASSERT_TRUE(settle());
    const auto ahead = m_runner->entryAnalysis(longText.trimmed());
    ASSERT_TRUE(ahead.has_value());
    const EntryAnalysis direct = analyzeEntryText(longText);
    EXPECT_EQ(ahead->text, direct.text);
    EXPECT_EQ(ahead->score, direct.score);
    EXPECT_EQ(ahead->keywords, direct.keywords);
    // Only for exactly that text.
    EXPECT_FALSE(m_runner->entryAnalysis(longText.trimmed() + u'.').has_value());
    EXPECT_TRUE(m_delivered.isEmpty());

    // Short texts get their live score and nothing more; the latest long
    // analysis stays.
    m_runner->schedule(kHappy);
    m_clock.advance(500ms);
    ASSERT_TRUE(settle());
    EXPECT_EQ(m_delivered.size(), 1);
    EXPECT_FALSE(m_runner->entryAnalysis(kHappy).has_value());
    EXPECT_TRUE(m_runner->entryAnalysis(longText.trimmed()).has_value());
}

TEST_F(LiveMoodRunnerTest, RunnerDestroyedMidAnalysisIsSafe)
{
    m_runner->schedule(kHappy);
    m_clock.advance(500ms);
    m_runner.reset();
    // Let the analysis finish and report to nobody.
    test::waitUntil([] { return false; }, 200ms);
    EXPECT_TRUE(m_delivered.isEmpty());
}

} // namespace zn
