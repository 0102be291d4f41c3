// Start-up: the objects in their order, a store that cannot be opened, the
// hook that runs when the window's content shows, and the onboarding switch.

#include "AppTestHarness.h"

#include "app/shell/CloudSyncStatus.h"
#include "views/onboarding/OnboardingView.h"
#include "views/settings/SettingsRootView.h"
#include "views/workspace/detail/DetailWidgets.h"
#include "app/shell/SoftwareUpdater.h"
#include "app/shell/ZephyrnoteCommands.h"
#include "platform/base/SystemLog.h"
#include "reflections/CapabilityDetector.h"
#include "reflections/InsightCoordinator.h"
#include "views/workspace/window/JournalWorkspaceView.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QProcess>
#include <QPushButton>

namespace zn::test {
namespace {

TEST(ZephyrnoteAppTest, MakesItsObjectsInOrderAndTheStoreLast)
{
    AppHarness h;
    ZephyrnoteApp &app = h.start();
    EXPECT_EQ(h.made, QStringList({"settings", "capability", "insightCoordinator", "cloudSync", "updater",
                                   "container"}));
    EXPECT_EQ(app.capability().statusDetail(), QStringLiteral("Checking…"));
    EXPECT_TRUE(app.capability().isChecking());
    EXPECT_EQ(app.storeNote(), QString::fromUtf8(kLocalOnlyStoreNote));
    EXPECT_EQ(&app.updater(), &SoftwareUpdater::shared());
    // Nothing is told to the cloud-sync status before the window shows.
    EXPECT_FALSE(app.cloudSync().storeNote());
}

TEST(ZephyrnoteAppTest, AStoreThatCannotBeMadeGivesTheMessageAndNoApp)
{
    AppHarness h;
    AppEnvironment env = h.environment();
    env.makeContainer = [](StoreError *error) -> std::optional<StoreContainerResult> {
        *error = StoreError(StoreError::Code::CannotOpen, QStringLiteral("unable to open database file"));
        return std::nullopt;
    };
    QString failure;
    EXPECT_FALSE(ZephyrnoteApp::create(env, &failure));
    EXPECT_EQ(failure,
              QStringLiteral("Could not create ModelContainer even after store recovery: unable to open database file"));

    // A lock held by another program is said plainly: nothing was recovered.
    env.makeContainer = [](StoreError *error) -> std::optional<StoreContainerResult> {
        *error = StoreError(StoreError::Code::Busy, QStringLiteral("Another program is using the journal."));
        return std::nullopt;
    };
    EXPECT_FALSE(ZephyrnoteApp::create(env, &failure));
    EXPECT_EQ(failure, QStringLiteral("Another program is using the journal."));
}

TEST(ZephyrnoteAppTest, AFailedStartIsReportedToTheLogAndEndsWithStatusOne)
{
    SystemLogCapture log;
    EXPECT_EQ(reportStartupFailure(QStringLiteral("Could not create ModelContainer even after store recovery: x"),
                                   false),
              1);
    ASSERT_FALSE(log.lines().isEmpty());
    EXPECT_EQ(log.lines().last(),
              QStringLiteral("Zephyrnote: Could not create ModelContainer even after store recovery: x"));
}

TEST(ZephyrnoteAppTest, ShowingTheContentRunsTheStartUpHook)
{
    AppHarness h;
    h.completeOnboarding();
    ZephyrnoteApp &app = h.start();
    MainWindow *window = app.mainWindow();
    window->show();
    settleEvents();
    EXPECT_EQ(app.cloudSync().storeNote(), app.storeNote());
    EXPECT_FALSE(app.capability().isChecking());
    EXPECT_EQ(app.insightCoordinator().settings(), &app.settings());
    EXPECT_EQ(app.insightCoordinator().capability(), &app.capability());
    EXPECT_EQ(app.insightCoordinator().modelContainer(), app.container());
}

TEST(ZephyrnoteAppTest, OnboardingUntilDoneThenTheJournalWithoutARestart)
{
    AppHarness h;
    ZephyrnoteApp &app = h.start();
    MainWindow *window = app.mainWindow();
    window->show();
    settleEvents();
    RootView *root = window->rootView();
    ASSERT_TRUE(root->onboarding());
    EXPECT_FALSE(root->workspace());
    // Commands during the onboarding reach no one.
    h.center.post(QString::fromLatin1(Notifications::NewEntry));

    auto *onboarding = qobject_cast<OnboardingView *>(root->onboarding());
    ASSERT_TRUE(onboarding);
    for (int step = 0; step < 3; ++step)
        onboarding->primaryButton()->click();
    settleEvents();
    EXPECT_TRUE(app.settings().hasCompletedOnboarding()); // finishing never sets it back
    ASSERT_TRUE(root->workspace());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Timeline"));

    // And the next start opens the journal directly.
    UserDefaults reread(h.dir.file(QStringLiteral("defaults.ini")));
    EXPECT_TRUE(reread.boolean(QString::fromLatin1(AppSettings::kOnboardingCompletedKey)));
}

TEST(ZephyrnoteAppTest, TheTitleFollowsTheScreen)
{
    AppHarness h;
    h.completeOnboarding();
    ZephyrnoteApp &app = h.start();
    MainWindow *window = app.mainWindow();
    // Named for the journal before it is ever shown or painted.
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Timeline"));
    window->show();
    settleEvents();
    ZephyrnoteCommands::postCommand(QString::fromLatin1(Notifications::GoWeather), &h.center);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Emotional Weather"));
    ZephyrnoteCommands::postCommand(QString::fromLatin1(Notifications::GoVoice), &h.center);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Voice"));
}

TEST(ZephyrnoteAppTest, CheckForUpdatesSitsBelowAboutAndSaysWhereUpdatesComeFrom)
{
    AppHarness h;
    ZephyrnoteApp &app = h.start();
    MainWindow *window = app.mainWindow();
    const QList<QAction *> items = window->commands()->applicationMenu()->actions();
    ASSERT_GE(items.size(), 2);
    EXPECT_EQ(items[0]->text(), QStringLiteral("&About Zephyrnote"));
    EXPECT_EQ(items[1]->text(), QStringLiteral("Check for &Updates…"));
    EXPECT_TRUE(items[1]->isEnabled());
    EXPECT_TRUE(items[1]->shortcut().isEmpty());
    EXPECT_TRUE(SoftwareUpdater::updateMessage().contains(QStringLiteral("package manager")));
}

TEST(ZephyrnoteAppTest, SettingsOpenAsAWindowOfItsOwnAtItsDefaultSize)
{
    AppHarness h;
    ZephyrnoteApp &app = h.start();
    app.showSettings();
    ASSERT_TRUE(app.settingsWindow());
    EXPECT_TRUE(app.settingsWindow()->isWindow());
    EXPECT_EQ(app.settingsWindow()->size(), SettingsRootView::kDefaultSize);
    QWidget *first = app.settingsWindow();
    app.showSettings();
    EXPECT_EQ(app.settingsWindow(), first);
}

} // namespace
} // namespace zn::test
