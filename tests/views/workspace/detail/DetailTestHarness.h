#pragma once

// The detail pane on a real store, editor session, settings, capability
// detector and reflection coordinator, with a scripted model and a
// hand-moved clock.

#include "app/settings/AppSettings.h"
#include "app/theme/ThemeScope.h"
#include "core/EditorSession.h"
#include "platform/base/UserDefaults.h"
#include "platform/model/Cancellation.h"
#include "platform/model/ScriptedLanguageModel.h"
#include "reflections/CapabilityDetector.h"
#include "reflections/InsightCoordinator.h"
#include "support/JournalTestStore.h"
#include "support/Screenshots.h"
#include "views/workspace/detail/EntryDetailView.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

namespace zn::test {

using namespace std::chrono_literals;

class DetailHarness : public ::testing::Test, public JournalTestStore
{
protected:
    void SetUp() override
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        clock.setNow(QDateTime(QDate(2025, 3, 7), QTime(12, 0), QTimeZone::utc()));
        ASSERT_NE(context, nullptr);
        defaults = std::make_unique<UserDefaults>(dir.file(QStringLiteral("defaults.ini")));
        settings = std::make_unique<AppSettings>(defaults.get());
        detector = std::make_unique<CapabilityDetector>(&model, &clock);
        detector->refresh();
        InsightCoordinator::Limits limits;
        limits.watchdog = std::chrono::hours(1); // the pane's 70 s check is under test
        coordinator = std::make_unique<InsightCoordinator>(&model, &clock, limits);
        coordinator->configure(detector.get(), settings.get(), container);
        // Every reflection runs until it is stopped.
        coordinator->setGenerators(
            [](const QString &, std::stop_token stop) -> EntryInsightGenerator::Outcome {
                while (!stop.stop_requested())
                    std::this_thread::sleep_for(2ms);
                throw CancellationError();
            },
            {});
        editor = std::make_unique<EditorSession>(clock);
    }

    void TearDown() override
    {
        view.reset();
        coordinator.reset();
        editor.reset();
        QLocale::setDefault(QLocale::c());
    }

    EntryDetailView &makeView(bool withCoordinator = true, QSize size = QSize(900, 760))
    {
        view = std::make_unique<EntryDetailView>(*editor, context, withCoordinator ? coordinator.get() : nullptr,
                                                 detector.get(), [this] { ++voiceRequests; });
        scope = new ThemeScope(view.get(), theme);
        view->resize(size);
        view->handleAppear();
        return *view;
    }

    JournalEntry *seed(const QString &text, double score = 0.1,
                       InsightStatus status = InsightStatus::None,
                       const KeywordFrequencies &keywords = {})
    {
        auto entry = makeEntry(hoursBeforeNow(1), text, score, keywords);
        entry->setInsightStatus(status);
        return keep(std::move(entry));
    }

    // Opens `entry` the way the workspace does: the editor first, then the
    // pane learns of the selection.
    void open(JournalEntry *entry, bool editing = false)
    {
        editor->openEntry(entry, editing);
        view->setEntry(entry);
        drainEvents();
    }

    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<AppSettings> settings;
    lm::ScriptedLanguageModel model;
    std::unique_ptr<CapabilityDetector> detector;
    std::unique_ptr<InsightCoordinator> coordinator;
    std::unique_ptr<EditorSession> editor;
    std::unique_ptr<EntryDetailView> view;
    ThemeScope *scope = nullptr;
    ZephyrTheme theme;
    int voiceRequests = 0;
};

} // namespace zn::test
