// What opens in windows of its own (alerts, menus, the file dialog) wears
// the journal's palette and scheme, and every stop of the journal window's
// Tab chain, on each destination, shows a focus ring of at least 3:1
// against what is behind it, in each palette and scheme.

#include "AppTestHarness.h"

#include "app/shell/ZephyrnoteCommands.h"
#include "app/theme/ZephyrTheme.h"
#include "platform/store/ModelContext.h"
#include "support/FocusWalk.h"
#include "support/Screenshots.h"
#include "views/kit/QtFilePanel.h"
#include "views/workspace/state/WorkspaceViewModel.h"
#include "views/workspace/window/JournalWorkspaceView.h"
#include "views/workspace/window/WorkspaceToolbar.h"

#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QTest>

namespace zn::test {
namespace {

// The journal window, shown with four entries, in `theme`.
class ThemedApp
{
public:
    explicit ThemedApp(const ZephyrTheme &theme)
    {
        h.completeOnboarding();
        h.defaults.setValue(QString::fromLatin1(AppSettings::kPaletteKey), rawValue(theme.palette));
        h.defaults.setValue(QString::fromLatin1(AppSettings::kAppearanceKey),
                            theme.isDark() ? QStringLiteral("dark") : QStringLiteral("light"));
        ZephyrnoteApp &app = h.start();
        ModelContext *context = app.container()->mainContext();
        const QDateTime now = QDateTime::currentDateTime();
        for (int i = 0; i < 4; ++i)
            context->insert(std::make_unique<JournalEntry>(
                QUuid::createUuid(), now.addSecs(-3600 * (2 + 20 * i)),
                QStringLiteral("Walked by the river, day %1, and felt calm.").arg(i), std::nullopt, 0.3 * (i - 1),
                KeywordFrequencies{}, std::nullopt, QStringList{}, false));
        EXPECT_FALSE(context->save().has_value());
        window = app.mainWindow();
        window->show();
        window->activateWindow();
        QApplication::setActiveWindow(window);
        settleEvents();
    }

    AppHarness h;
    MainWindow *window = nullptr;
};

// Shows `widget`'s window colour is the theme's and keeps a picture of it.
void expectWornAndShoot(QWidget &widget, const ZephyrTheme &theme, const QString &name)
{
    EXPECT_EQ(widget.palette().color(QPalette::Window), theme.background()) << name.toStdString();
    EXPECT_TRUE(widget.grab().save(screenshotPath(name + QStringLiteral("-%1-dark.png").arg(rawValue(theme.palette)))));
}

TEST(DialogScheme, EveryFocusStopIsRingedAndTheDarkLookReachesAlertMenuAndFileDialog)
{
    for (const ZephyrTheme &theme : everyTheme()) {
        ThemedApp run(theme);
        MainWindow *window = run.window;
        // An entry open, so the toolbar offers Edit and the reading page
        // shows; then the stops of every other destination.
        JournalWorkspaceView *view = window->rootView()->workspace();
        WorkspaceViewModel &workspace = view->workspace();
        workspace.selectEntry(workspace.journalEntries().first(), false);
        settleEvents();
        QList<FocusStop> stops = walkTabStops(window, 160);
        // The walk ends where it began, on Write.
        const QString look = rawValue(theme.palette) + (theme.isDark() ? QStringLiteral("-dark") : QStringLiteral("-light"));
        EXPECT_TRUE(view->toolbar()->grab().save(screenshotPath(QStringLiteral("toolbar-focused-%1.png").arg(look))));
        for (WorkspaceDestination destination :
             {WorkspaceDestination::Calendar, WorkspaceDestination::Weather, WorkspaceDestination::Voice}) {
            workspace.navigate(destination);
            QTest::qWait(50);
            stops += walkTabStops(window, 160);
        }
        EXPECT_GE(stops.size(), 8);
        EXPECT_EQ(stopsWithoutRing(stops).join(QStringLiteral(", ")).toStdString(), "")
            << rawValue(theme.palette).toStdString() << (theme.isDark() ? " dark" : " light");
        if (!theme.isDark())
            continue;

        // An alert: the About box, from the application menu.
        window->commands()->applicationMenu()->actions().first()->trigger();
        settleEvents();
        auto *box = window->findChild<QMessageBox *>();
        ASSERT_NE(box, nullptr);
        expectWornAndShoot(*box, theme, QStringLiteral("alert"));
        box->done(0);

        QMenu *file = window->commands()->fileMenu();
        file->popup(window->mapToGlobal(QPoint(12, 28)));
        settleEvents();
        expectWornAndShoot(*file, theme, QStringLiteral("menu"));
        file->hide();

        // The file dialog, as the export opens it.
        QtFilePanel panels(window);
        panels.chooseSaveLocation({QStringLiteral("Export Journal"), QStringLiteral("Choose where to save the file."),
                                   QStringLiteral("Export"), QStringLiteral("Zephyrnote Journal.json"),
                                   {QStringLiteral("JSON"), {QStringLiteral("json")}}},
                                  [](std::optional<QString>) {});
        settleEvents();
        auto *dialog = window->findChild<QFileDialog *>();
        ASSERT_NE(dialog, nullptr);
        dialog->resize(760, 480);
        settleEvents();
        expectWornAndShoot(*dialog, theme, QStringLiteral("file-dialog"));
        dialog->reject();
        settleEvents();
    }
}

} // namespace
} // namespace zn::test
