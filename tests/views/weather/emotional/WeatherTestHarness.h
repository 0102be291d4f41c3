#pragma once

// The weather page on a real store, capability detector and reflection
// coordinator (a scripted model), a hand-set clock, the UTC calendar, a
// scripted file panel and a recording dialog presenter.

#include "app/settings/AppSettings.h"
#include "app/theme/ThemeScope.h"
#include "core/CalendarProvider.h"
#include "core/WeeklyReflectionRecord.h"
#include "platform/base/UserDefaults.h"
#include "platform/model/ScriptedLanguageModel.h"
#include "platform/panels/FakeFilePanels.h"
#include "reflections/CapabilityDetector.h"
#include "reflections/InsightCoordinator.h"
#include "support/JournalTestStore.h"
#include "support/Screenshots.h"
#include "views/kit/testing/FakeDialogPresenter.h"
#include "views/weather/emotional/EmotionalWeatherView.h"

#include <QLocale>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <memory>

namespace zn::test {

inline const QDateTime kNow(QDate(2025, 3, 7), QTime(15, 0), QTimeZone::utc());

inline const CalendarProvider &utcCalendar()
{
    static const CalendarProvider calendar(QCalendar(), QTimeZone::utc());
    return calendar;
}

// A day `daysAgo` before kNow, at `hour` o'clock.
inline QDateTime daysAgo(int days, int hour = 10)
{
    return QDateTime(kNow.date().addDays(-days), QTime(hour, 0), QTimeZone::utc());
}

class WeatherHarness : public ::testing::Test, public JournalTestStore
{
protected:
    void SetUp() override
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        clock.setNow(kNow);
        ASSERT_NE(context, nullptr);
        defaults = std::make_unique<UserDefaults>(dir.file(QStringLiteral("defaults.ini")));
        settings = std::make_unique<AppSettings>(defaults.get());
        detector = std::make_unique<CapabilityDetector>(&model, &clock);
        detector->refresh();
        coordinator = std::make_unique<InsightCoordinator>(&model, &clock);
    }

    void TearDown() override
    {
        view.reset();
        coordinator.reset();
        QLocale::setDefault(QLocale::c());
    }

    WeatherPageServices services(bool withCoordinator = true)
    {
        WeatherPageServices s;
        s.context = context;
        s.coordinator = withCoordinator ? coordinator.get() : nullptr;
        s.capability = detector.get();
        s.panels = &panels;
        s.presenter = &presenter;
        s.calendar = &utcCalendar();
        s.clock = &clock;
        s.locale = QLocale(QLocale::English, QLocale::UnitedStates);
        return s;
    }

    EmotionalWeatherView &makeView(bool withCoordinator = true, QSize size = QSize(1000, 900))
    {
        view = std::make_unique<EmotionalWeatherView>(
            entries(), services(withCoordinator), [this](const QDateTime &day) { openedDays.append(day); });
        scope = new ThemeScope(view.get(), theme);
        view->resize(size);
        return *view;
    }

    JournalEntry *seed(const QDateTime &when, double score, const KeywordFrequencies &keywords = {},
                       bool draft = false)
    {
        return saveEntry(when, QStringLiteral("entry"), score, keywords, draft);
    }

    WeeklyReflectionRecord *seedRecord(const QString &key, InsightStatus status, const QDateTime &generatedAt,
                                       const QString &summary = QStringLiteral("A steady week."))
    {
        auto record = std::make_unique<WeeklyReflectionRecord>(key, generatedAt.addDays(-6));
        record->setStatus(status);
        record->setGeneratedAt(generatedAt);
        record->setSummary(summary);
        return keep(std::move(record));
    }

    // The saved non-draft entries, as the workspace hands them over.
    QList<JournalEntry *> entries()
    {
        QList<JournalEntry *> out;
        for (JournalEntry *entry : context->fetch<JournalEntry>()) {
            if (!entry->isDraft())
                out.append(entry);
        }
        return out;
    }

    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<AppSettings> settings;
    lm::ScriptedLanguageModel model;
    std::unique_ptr<CapabilityDetector> detector;
    std::unique_ptr<InsightCoordinator> coordinator;
    FakeFilePanels panels;
    FakeDialogPresenter presenter;
    std::unique_ptr<EmotionalWeatherView> view;
    ThemeScope *scope = nullptr;
    ZephyrTheme theme;
    QList<QDateTime> openedDays;
};

} // namespace zn::test
