#pragma once

#include "app/settings/AppSettings.h"
#include "core/JournalEntry.h"
#include "core/JournalQueries.h"
#include "core/JournalSchema.h"
#include "core/WeeklyReflectionRecord.h"
#include "platform/base/Clock.h"
#include "platform/base/UserDefaults.h"
#include "platform/model/ScriptedLanguageModel.h"
#include "platform/store/ModelContainer.h"
#include "platform/store/ModelContext.h"
#include "reflections/CapabilityDetector.h"
#include "reflections/InsightCoordinator.h"
#include "support/TestSupport.h"

#include <QTimeZone>

#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <stop_token>

namespace zn::test {

// Lets a background generator through only as often as the test says, so
// a test can act while a run is under way. A stop ends a wait early.
class Gate
{
public:
    // True when let through, false when stopped first.
    bool pass(std::stop_token stop)
    {
        std::unique_lock lock(m_mutex);
        ++m_arrivals;
        m_changed.notify_all();
        const bool through = m_changed.wait(lock, stop, [this] { return m_permits > 0; });
        if (through)
            --m_permits;
        return through;
    }
    void release(int count = 1)
    {
        std::lock_guard lock(m_mutex);
        m_permits += count;
        m_changed.notify_all();
    }
    int arrivals() const
    {
        std::lock_guard lock(m_mutex);
        return m_arrivals;
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable_any m_changed;
    int m_permits = 0;
    int m_arrivals = 0;
};

// A coordinator over a real store file, the scripted model, real settings
// and a real detector, on a hand-driven clock.
class CoordinatorHarness : public ::testing::Test
{
protected:
    using Outcome = EntryInsightGenerator::Outcome;
    using EntryError = EntryInsightGenerator::GenerateError;
    using WeeklyError = WeeklyReflectionGenerator::GenerateError;

    void SetUp() override
    {
        // Midday, so the rolling window holds the whole of "today".
        clock.setNow(QDateTime(QDate(2025, 3, 7), QTime(12, 0)));
        ModelConfiguration configuration;
        configuration.folder = dir.path();
        StoreError error;
        container = ModelContainer::open(ZephyrnoteSchemaV2::schema(), configuration, &error);
        ASSERT_TRUE(container) << error.message.toStdString();
        defaults = std::make_unique<UserDefaults>(dir.file(QStringLiteral("defaults.ini")));
        settings = std::make_unique<AppSettings>(defaults.get());
        detector = std::make_unique<CapabilityDetector>(&model, &clock);
        detector->refresh();
        makeCoordinator();
    }

    void TearDown() override
    {
        coordinator.reset();
        reader.reset();
    }

    void makeCoordinator(InsightCoordinator::Limits limits = {})
    {
        coordinator = std::make_unique<InsightCoordinator>(&model, &clock, limits);
        coordinator->configure(detector.get(), settings.get(), container);
    }

    QUuid addEntry(const QString &text, double score = 0.1, std::optional<QDateTime> when = std::nullopt,
                   bool draft = false, InsightStatus status = InsightStatus::Pending)
    {
        ModelContext context(container.get());
        auto entry = std::make_unique<JournalEntry>();
        entry->setTimestamp(when.value_or(clock.now().addSecs(-3600)));
        entry->setRawText(text);
        entry->setSentimentScore(score);
        entry->setIsDraft(draft);
        entry->setInsightStatus(status);
        const QUuid id = entry->id();
        context.insert(std::move(entry));
        EXPECT_FALSE(context.save().has_value());
        return id;
    }

    // Changes a stored entry the way another part of the app would.
    void editEntry(const QUuid &id, const std::function<void(JournalEntry &)> &change)
    {
        ModelContext context(container.get());
        JournalEntry *entry = fetchEntry(context, id);
        ASSERT_NE(entry, nullptr);
        change(*entry);
        ASSERT_FALSE(context.save().has_value());
    }

    void deleteEntry(const QUuid &id)
    {
        ModelContext context(container.get());
        context.remove(fetchEntry(context, id));
        ASSERT_FALSE(context.save().has_value());
    }

    // The entry as stored now (a fresh read each call).
    JournalEntry *stored(const QUuid &id)
    {
        reader = std::make_unique<ModelContext>(container.get());
        return fetchEntry(*reader, id);
    }

    WeeklyReflectionRecord *storedRecord(const QString &key)
    {
        reader = std::make_unique<ModelContext>(container.get());
        return fetchWeeklyRecord(*reader, key);
    }

    QList<WeeklyReflectionRecord *> allRecords()
    {
        reader = std::make_unique<ModelContext>(container.get());
        return fetchAllWeeklyRecords(*reader);
    }

    QString todaysKey() const
    {
        return QStringLiteral("rolling7:") + clock.now().date().toString(QStringLiteral("yyyy-MM-dd"));
    }

    bool waitIdle(std::chrono::milliseconds timeout = std::chrono::milliseconds(5000))
    {
        return waitUntil([this] { return !coordinator->running() && !coordinator->isProcessing(); }, timeout);
    }

    void requestWeekly()
    {
        coordinator->setWeeklyRequested(true);
        coordinator->startProcessingIfNeeded();
    }

    // A sound model answer for the real entry generator.
    static lm::ScriptedStep goodAnswer(double score = 0.4)
    {
        lm::GeneratedContent content;
        content.setNumber(QStringLiteral("overallScore"), score);
        content.setText(QStringLiteral("summary"),
                        QStringLiteral("A slow walk by the river brought a steady calm, with small details like "
                                       "birdsong and cold air standing out through the morning."));
        content.setText(QStringLiteral("emotionalTone"), QStringLiteral("Calm and quietly content."));
        content.setTextList(QStringLiteral("keyPoints"), {QStringLiteral("A walk by the river"),
                                                           QStringLiteral("Birdsong was noticed")});
        content.setText(QStringLiteral("overallSentiment"), QStringLiteral("Mostly positive."));
        content.setText(QStringLiteral("closingFocus"), QStringLiteral("Noticing what made the morning steady."));
        content.setTextList(QStringLiteral("themes"), {QStringLiteral("nature"), QStringLiteral("calm")});
        return lm::ScriptedStep::answer(content);
    }

    static Outcome outcome(std::optional<double> score = 0.5, const QString &summary = QStringLiteral("A summary."))
    {
        Outcome out;
        out.summary = summary;
        out.emotionalTone = QStringLiteral("Even.");
        out.keyPoints = {QStringLiteral("One point")};
        out.overallSentiment = QStringLiteral("Steady.");
        out.closingFocus = QStringLiteral("Rest.");
        out.themes = {QStringLiteral("rest")};
        out.overallScore = score;
        return out;
    }

    // An entry generator that waits at `gate` and then answers; a stop
    // while waiting is reported as the real generator does, as timedOut.
    void useGatedEntryGenerator(std::function<Outcome(const QString &)> answer = {})
    {
        if (!answer)
            answer = [](const QString &) { return outcome(); };
        coordinator->setGenerators(
            [this, answer](const QString &text, std::stop_token stop) {
                {
                    std::lock_guard lock(sentMutex);
                    sentTexts << text;
                }
                if (!entryGate.pass(stop))
                    throw EntryError(EntryError::Kind::TimedOut);
                return answer(text);
            },
            {});
    }

    QStringList sent()
    {
        std::lock_guard lock(sentMutex);
        return sentTexts;
    }

    TempDir dir;
    ManualClock clock;
    lm::ScriptedLanguageModel model;
    std::shared_ptr<ModelContainer> container;
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<AppSettings> settings;
    std::unique_ptr<CapabilityDetector> detector;
    std::unique_ptr<InsightCoordinator> coordinator;
    std::unique_ptr<ModelContext> reader;
    Gate entryGate;
    std::mutex sentMutex;
    QStringList sentTexts;
};

} // namespace zn::test
