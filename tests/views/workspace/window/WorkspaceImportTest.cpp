// A journal import through the window: read and merged in the background
// while the window stays in use, said to be under way when it takes a while,
// then shown everywhere, and every entry handed to the reflection queue in
// one step.

#include "WindowTestHarness.h"

#include "app/settings/AppSettings.h"
#include "core/JournalQueries.h"
#include "exchange/JournalExport.h"
#include "exchange/JournalImport.h"
#include "platform/base/UserDefaults.h"
#include "reflections/InsightCoordinator.h"
#include "support/Screenshots.h"
#include "views/weather/calendar/CalendarMonthView.h"
#include "views/weather/calendar/SidebarMiniCalendar.h"
#include "views/weather/emotional/EmotionalWeatherView.h"
#include "views/workspace/timeline/EntryListView.h"
#include "views/workspace/timeline/TimelineListModel.h"
#include "views/workspace/window/WorkspaceSidebar.h"
#include "views/workspace/window/WorkspaceToolbar.h"

#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>

namespace zn::test {
namespace {

using namespace std::chrono_literals;

// Hands every request on to the real queue, noting what came in what order.
class WatchedQueue final : public InsightQueue
{
public:
    explicit WatchedQueue(InsightQueue &queue) : m_queue(queue) {}
    void enqueueEntry(const QUuid &id) override
    {
        received << id;
        m_queue.enqueueEntry(id);
    }
    void enqueueEntries(const QList<QUuid> &ids) override
    {
        received << ids;
        ++handOvers;
        m_queue.enqueueEntries(ids);
    }
    QList<QUuid> received;
    int handOvers = 0;

private:
    InsightQueue &m_queue;
};

TEST(WorkspaceImportTest, TwoThousandEntriesShowEverywhereAndGoToTheQueueInFileOrder)
{
    constexpr int kEntries = 2000;
    WindowHarness h;

    // Another journal's export: every entry of it waits for a reflection.
    JournalTestStore source;
    QRandomGenerator random(2000);
    QSet<QString> days;
    for (int i = 0; i < kEntries; ++i) {
        const QDateTime when = h.clock.now().addSecs(-qint64(i) * 8 * 60); // all in this month
        const double score = std::round((random.bounded(2.0) - 1.0) * 100) / 100;
        source.context->insert(
            JournalTestStore::makeEntry(when, QStringLiteral("Entry %1 of a long journal").arg(i), score));
        days << h.calendar.dayKey(when);
    }
    ASSERT_FALSE(source.context->save().has_value());
    const QList<JournalEntry *> exported = fetchAllEntries(*source.context);
    const auto bytes = encodeJournalExport(QList<const JournalEntry *>(exported.cbegin(), exported.cend()));
    ASSERT_TRUE(std::holds_alternative<QByteArray>(bytes));
    const QString file = h.dir.file(QStringLiteral("journal.json"));
    {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(std::get<QByteArray>(bytes));
    }
    const auto decoded = decodeJournalExport(std::get<QByteArray>(bytes));
    ASSERT_TRUE(std::holds_alternative<JournalExportDocument>(decoded));
    QList<QUuid> fileOrder;
    for (const JournalEntryExportDTO &record : std::get<JournalExportDocument>(decoded).entries)
        fileOrder << record.id;

    // The real queue, with no model server behind it.
    UserDefaults defaults(h.dir.file(QStringLiteral("defaults.ini")));
    AppSettings settings(&defaults);
    InsightCoordinator coordinator(nullptr, &h.clock);
    coordinator.configure(&h.capability, &settings, h.container);
    WatchedQueue queue(coordinator);
    WorkspaceServices services = h.services();
    services.insightCoordinator = &queue;
    JournalWorkspaceView &view = h.make(std::move(services));
    WorkspaceViewModel &workspace = view.workspace();
    ASSERT_TRUE(waitUntil([&] { return view.hasAppeared(); }));

    QList<StoreChanges> saves;
    QObject listener;
    QObject::connect(h.container.get(), &ModelContainer::didSave, &listener,
                     [&](const StoreChanges &changes, ModelContext *) { saves << changes; });

    // The window goes on while the file is read; after half a second it
    // says that it works.
    h.panels.scriptAnswer(file);
    workspace.perform(WorkspaceCommand::ImportJournal);
    EXPECT_TRUE(workspace.isImporting());
    QWidget *note = view.toolbar()->importNote();
    EXPECT_FALSE(note->isVisible());
    h.clock.advance(ImportActivity::kProgressDelay);
    shootAsItIs(*h.host, QStringLiteral("workspace-import-under-way.png"));
    EXPECT_TRUE(note->isVisible());

    const auto everyEntryAnswered = [&] {
        const QList<JournalEntry *> &entries = workspace.journalEntries();
        return entries.size() == kEntries
            && std::none_of(entries.cbegin(), entries.cend(),
                            [](const JournalEntry *e) { return e->insightStatus() == InsightStatus::Pending; });
    };
    ASSERT_TRUE(waitUntil([&] { return workspace.exportStatusMessage().has_value() && everyEntryAnswered(); }, 30s));
    settle();
    EXPECT_FALSE(workspace.isImporting());
    EXPECT_FALSE(note->isVisible());
    EXPECT_TRUE(workspace.exportStatusMessage()->startsWith(QStringLiteral("Import complete: 2000 added (2000 in file).")));

    // Handed to the queue as one list, in the file's order.
    EXPECT_EQ(queue.handOvers, 1);
    EXPECT_EQ(queue.received, fileOrder);

    // Each marked unavailable with the plain sentence, by one save, once.
    const QString unavailable = h.capability.placeholderText();
    EXPECT_FALSE(unavailable.isEmpty());
    int markSaves = 0;
    for (const StoreChanges &changes : std::as_const(saves)) {
        const QString entity = JournalEntry::entityDescriptor().name;
        if (!changes.updatedFields.value(entity).contains(JournalEntry::InsightStatusRaw))
            continue;
        ++markSaves;
        const QList<qint64> rows = changes.updated.value(entity);
        EXPECT_EQ(rows.size(), kEntries);
        EXPECT_EQ(QSet<qint64>(rows.cbegin(), rows.cend()).size(), kEntries);
    }
    EXPECT_EQ(markSaves, 1);
    const QList<JournalEntry *> stored = h.storedAll();
    ASSERT_EQ(stored.size(), kEntries);
    for (const JournalEntry *entry : stored) {
        ASSERT_EQ(entry->insightStatus(), InsightStatus::Unavailable);
        ASSERT_EQ(entry->insightFailureMessage(), unavailable);
    }

    // The timeline lists every entry.
    const TimelineListModel &timeline = *view.entryList()->timelineModel();
    int cards = 0;
    for (int row = 0; row < timeline.rowCount(); ++row)
        cards += timeline.data(timeline.index(row), TimelineListModel::IsHeaderRole).toBool() ? 0 : 1;
    EXPECT_EQ(cards, kEntries);

    // The sidebar's calendar colours every day, the calendar page counts
    // every entry (how each day's colour is found is the calendar's own
    // test).
    auto *mini = qobject_cast<SidebarMiniCalendar *>(view.sidebar()->miniCalendar());
    ASSERT_NE(mini, nullptr);
    const QHash<QString, double> miniScores = mini->dayScores();
    EXPECT_EQ(QSet<QString>(miniScores.keyBegin(), miniScores.keyEnd()), days);

    workspace.navigate(WorkspaceDestination::Calendar);
    settle();
    auto *month = qobject_cast<CalendarMonthView *>(view.detailPage());
    ASSERT_NE(month, nullptr);
    int counted = 0;
    const QHash<QString, DayWeatherStat> stats = month->dayStats();
    for (const DayWeatherStat &day : stats)
        counted += day.count;
    EXPECT_EQ(counted, kEntries);

    // So does the weather page's month.
    workspace.navigate(WorkspaceDestination::Weather);
    settle();
    auto *weather = qobject_cast<EmotionalWeatherView *>(view.detailPage());
    ASSERT_NE(weather, nullptr);
    weather->setPeriod(WeatherPeriod::Month);
    weather->refresh();
    EXPECT_EQ(weather->summary().entryCount, kEntries);
}

} // namespace
} // namespace zn::test
