// Export, import and delete-all from the settings window, over a real store
// with scripted panels and dialogs.

#include "SettingsHarness.h"

#include "core/WeeklyReflectionRecord.h"
#include "exchange/JournalImport.h"
#include "views/settings/SettingsTabs.h"

#include <QPushButton>

#include <QFile>

namespace zn::test {
namespace {

QString writeFile(const TempDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.file(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    return path;
}

TEST(SettingsExport, WritesEveryEntryWhereChosenAndSaysSo)
{
    SettingsHarness h;
    h.seed(QStringLiteral("A bright walk by the sea"));
    h.seed(QStringLiteral("Rain all afternoon"));
    const QString path = h.dir.file(QStringLiteral("out.json"));
    h.panels.scriptAnswer(path);
    h.view->model().exportJournal();
    EXPECT_EQ(h.lastAlert(), QStringLiteral("Journal exported successfully."));
    EXPECT_EQ(h.dialogs.alerts().last().title, QStringLiteral("Settings"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    EXPECT_TRUE(written.contains("A bright walk by the sea"));
    EXPECT_TRUE(written.contains("Rain all afternoon"));

    // "OK" clears the message; the next outcome shows again.
    EXPECT_TRUE(h.dialogs.dismissAlert());
    EXPECT_FALSE(h.view->model().settingsMessage());
    h.panels.scriptAnswer(path);
    h.view->model().exportJournal();
    EXPECT_EQ(h.dialogs.alerts().size(), 2);
}

TEST(SettingsExport, AnEmptyJournalSaysSoAndACancelledPanelSaysNothing)
{
    SettingsHarness h;
    h.view->model().exportJournal();
    EXPECT_EQ(h.lastAlert(), QStringLiteral("There are no journal entries to export."));
    EXPECT_EQ(h.panels.requestCount(), 0);
    h.dialogs.dismissAlert();

    h.seed(QStringLiteral("Something to export"));
    h.panels.scriptCancel();
    h.view->model().exportJournal();
    EXPECT_EQ(h.dialogs.alerts().size(), 1);
    EXPECT_FALSE(h.view->model().settingsMessage());
}

TEST(SettingsExport, APressWhileThePanelIsUpOpensNoSecondPanel)
{
    SettingsHarness h;
    h.seed(QStringLiteral("One entry"));
    h.view->model().exportJournal(); // nothing scripted: the panel waits
    h.view->model().exportJournal();
    h.view->model().importJournal();
    EXPECT_EQ(h.panels.requestCount(), 1);
    EXPECT_TRUE(h.panels.answerNext(std::nullopt));
    EXPECT_FALSE(h.view->model().isExchanging());
    h.view->model().importJournal();
    EXPECT_EQ(h.panels.requestCount(), 2);
}

TEST(SettingsImport, QueuesReturnedEntriesInOrderBeforeTheSummary)
{
    SettingsHarness h;
    const QUuid first = h.seed(QStringLiteral("First morning"))->id();
    const QUuid second = h.seed(QStringLiteral("Second evening"))->id();
    const QString path = h.dir.file(QStringLiteral("journal.json"));
    h.panels.scriptAnswer(path);
    h.view->model().exportJournal();
    h.dialogs.dismissAlert();
    ASSERT_FALSE(deleteAllJournalData(h.context()).has_value());

    h.panels.scriptAnswer(path);
    h.view->model().importJournal();
    EXPECT_EQ(h.storedEntries(), 2);
    ASSERT_EQ(h.queue.ids.size(), 2);
    EXPECT_EQ(QSet<QUuid>(h.queue.ids.begin(), h.queue.ids.end()), (QSet<QUuid>{first, second}));
    // Every id was handed over while the summary was not up yet.
    EXPECT_EQ(h.queue.alertsAtEnqueue, (QList<int>{1, 1}));
    EXPECT_EQ(h.dialogs.alerts().size(), 2);
    EXPECT_TRUE(h.lastAlert().startsWith(QStringLiteral("Import complete: 2 added (2 in file)."))) << h.lastAlert().toStdString();

    // The same file again updates the two entries in place.
    h.dialogs.dismissAlert();
    h.panels.scriptAnswer(path);
    h.view->model().importJournal();
    EXPECT_TRUE(h.lastAlert().startsWith(QStringLiteral("Import complete: 2 updated (2 in file)."))) << h.lastAlert().toStdString();
    EXPECT_EQ(h.storedEntries(), 2);
}

TEST(SettingsImport, BadFilesShowTheirMessageQueueNothingAndLeaveTheStore)
{
    SettingsHarness h;
    h.seed(QStringLiteral("Kept as it is"));
    struct Case
    {
        const char *name;
        QByteArray bytes;
    };
    const QList<Case> cases = {
        {"not-json.json", "this is not json"},
        {"version.json", R"({"formatVersion":2,"exportedAt":"2024-03-01T08:00:00Z","app":"Zephyrnote",)"
                         R"("platform":"macOS","entryCount":0,"entries":[]})"},
        {"empty.json", R"({"formatVersion":1,"exportedAt":"2024-03-01T08:00:00Z","app":"Zephyrnote",)"
                       R"("platform":"macOS","entryCount":0,"entries":[]})"},
        {"blank.json", "   \n\t  "},
        {"zero.json", ""},
    };
    QStringList messages;
    for (const Case &c : cases) {
        h.panels.scriptAnswer(writeFile(h.dir, QString::fromLatin1(c.name), c.bytes));
        h.view->model().importJournal();
        ASSERT_TRUE(h.view->model().settingsMessage()) << c.name;
        messages << *h.view->model().settingsMessage();
        EXPECT_FALSE(messages.last().isEmpty()) << c.name;
        h.dialogs.dismissAlert();
    }
    // A file that is gone by the time it is read.
    h.panels.scriptAnswer(h.dir.file(QStringLiteral("missing.json")));
    h.view->model().importJournal();
    ASSERT_TRUE(h.view->model().settingsMessage());
    messages << *h.view->model().settingsMessage();
    h.dialogs.dismissAlert();

    EXPECT_EQ(h.dialogs.alerts().size(), cases.size() + 1) << messages.join(" | ").toStdString();
    EXPECT_TRUE(messages[1].contains(QStringLiteral("2"))) << messages[1].toStdString();
    EXPECT_TRUE(h.queue.ids.isEmpty());
    EXPECT_EQ(h.storedEntries(), 1);

    // Cancelled: silent, nothing queued.
    h.panels.scriptCancel();
    h.view->model().importJournal();
    EXPECT_EQ(h.dialogs.alerts().size(), cases.size() + 1);
    EXPECT_FALSE(h.view->model().settingsMessage());
}

TEST(SettingsDeleteAll, CancelLeavesEverythingAndShowsNothing)
{
    SettingsHarness h;
    h.seed(QStringLiteral("Still here"));
    int resets = 0;
    h.center.addObserver(QString::fromLatin1(Notifications::DataDidReset), h.view.get(),
                         [&resets](const QVariantMap &) { ++resets; });
    h.view->privacyTab()->button(QStringLiteral("Delete All Journal Data…"))->click();
    ASSERT_TRUE(h.dialogs.pendingConfirmation());
    const ConfirmationRequest asked = *h.dialogs.pendingConfirmation();
    EXPECT_EQ(asked.title, QStringLiteral("Delete all journal data?"));
    ASSERT_EQ(asked.buttons.size(), 2);
    EXPECT_EQ(asked.buttons[0].title, QStringLiteral("Delete Everything"));
    EXPECT_EQ(asked.buttons[0].role, DialogButtonRole::Destructive);
    EXPECT_EQ(asked.buttons[1].title, QStringLiteral("Cancel"));
    EXPECT_TRUE(h.dialogs.answer(QStringLiteral("Cancel")));
    EXPECT_FALSE(h.view->model().showDeleteConfirm());
    EXPECT_EQ(h.storedEntries(), 1);
    EXPECT_EQ(resets, 0);
    EXPECT_TRUE(h.dialogs.alerts().isEmpty());
}

TEST(SettingsDeleteAll, PostsTheResetOnceBeforeTheSuccessAlert)
{
    SettingsHarness h;
    h.seed(QStringLiteral("One"));
    h.seed(QStringLiteral("Two"));
    auto record = std::make_unique<WeeklyReflectionRecord>();
    record->setWeekKey(QStringLiteral("rolling7:2024-03-10"));
    h.context().insert(std::move(record));
    ASSERT_FALSE(h.context().save().has_value());

    QList<int> alertsAtReset;
    h.center.addObserver(QString::fromLatin1(Notifications::DataDidReset), h.view.get(),
                         [&](const QVariantMap &info) {
                             EXPECT_TRUE(info.isEmpty());
                             alertsAtReset << int(h.dialogs.alerts().size());
                         });
    h.view->model().requestDeleteAll();
    EXPECT_TRUE(h.dialogs.answer(QStringLiteral("Delete Everything")));
    EXPECT_EQ(alertsAtReset, QList<int>{0});
    EXPECT_EQ(h.lastAlert(), QStringLiteral("All journal data was deleted from this computer."));
    EXPECT_EQ(h.storedEntries(), 0);
    EXPECT_TRUE(fetchAllWeeklyRecords(h.context()).isEmpty());
    // A stale answer to the closed question deletes nothing more.
    h.view->model().answerDeleteConfirm(true);
    EXPECT_EQ(alertsAtReset.size(), 1);
}

TEST(SettingsDeleteAll, AFailedSaveKeepsTheJournalReportsAndPostsNothing)
{
    SettingsHarness h;
    JournalEntry *kept = h.seed(QStringLiteral("Must survive"));
    int resets = 0;
    h.center.addObserver(QString::fromLatin1(Notifications::DataDidReset), h.view.get(),
                         [&resets](const QVariantMap &) { ++resets; });
    h.container->setSaveFailureInjector(
        [] { return std::optional<StoreError>(StoreError(StoreError::Code::SaveFailed, QStringLiteral("disk full"))); });
    h.view->model().requestDeleteAll();
    h.dialogs.answer(0);
    EXPECT_EQ(resets, 0);
    EXPECT_TRUE(h.lastAlert().startsWith(QStringLiteral("Couldn’t delete data: "))) << h.lastAlert().toStdString();
    EXPECT_TRUE(h.lastAlert().contains(QStringLiteral("disk full"))) << h.lastAlert().toStdString();
    EXPECT_FALSE(kept->isDeleted());

    // The next unrelated save does not carry the deletion out after all.
    h.container->setSaveFailureInjector({});
    h.seed(QStringLiteral("Another"));
    ModelContext reader(h.container.get());
    EXPECT_EQ(fetchAllEntries(reader).size(), 2);
}

} // namespace
} // namespace zn::test
