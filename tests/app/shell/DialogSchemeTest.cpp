// What opens in windows of its own (alerts, menus, context menus, the file
// dialog) wears the journal's palette and scheme, and every stop of the
// journal window's Tab chain shows a focus ring, in each palette and scheme.

#include "AppTestHarness.h"

#include "app/shell/ZephyrnoteCommands.h"
#include "app/theme/ThemeScope.h"
#include "app/theme/ZephyrTheme.h"
#include "platform/base/NotificationCenter.h"
#include "platform/store/ModelContext.h"
#include "support/FocusWalk.h"
#include "views/kit/QtFilePanel.h"
#include "views/workspace/window/JournalWorkspaceView.h"

#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>

namespace zn::test {
namespace {

ZephyrTheme themeOf(const QString &palette, const QString &appearance)
{
    return {palette == u"cool" ? ColorPalettePreference::Cool : ColorPalettePreference::Warm,
            appearance == u"dark" ? ColorScheme::Dark : ColorScheme::Light};
}

class ThemedApp
{
public:
    ThemedApp(const QString &palette, const QString &appearance)
    {
        h.completeOnboarding();
        h.defaults.setValue(QString::fromLatin1(AppSettings::kPaletteKey), palette);
        h.defaults.setValue(QString::fromLatin1(AppSettings::kAppearanceKey), appearance);
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

QColor windowColour(const QWidget *widget)
{
    return widget->palette().color(QPalette::Window);
}

void shootDarkDialogs(const QString &palette)
{
    ThemedApp run(palette, QStringLiteral("dark"));
    const ZephyrTheme theme = themeOf(palette, QStringLiteral("dark"));
    MainWindow *window = run.window;

    // An alert: the About box, from the application menu.
    window->commands()->applicationMenu()->actions().first()->trigger();
    settleEvents();
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box)
        box = window->findChild<QMessageBox *>();
    ASSERT_NE(box, nullptr);
    settleEvents();
    EXPECT_EQ(windowColour(box), theme.background());
    EXPECT_GE(box->width(), 420) << "an alert is as wide as a desktop alert";
    EXPECT_TRUE(box->grab().save(screenshotPath(QStringLiteral("alert-%1-dark.png").arg(palette))));
    box->done(0);
    settleEvents();

    // The File menu, and a card's context menu.
    QMenu *file = window->commands()->fileMenu();
    file->popup(window->mapToGlobal(QPoint(12, 28)));
    settleEvents();
    EXPECT_EQ(windowColour(file), theme.background());
    EXPECT_TRUE(file->grab().save(screenshotPath(QStringLiteral("menu-%1-dark.png").arg(palette))));
    file->hide();
    QMenu context(window->rootView()->workspace());
    context.addAction(QStringLiteral("Open"));
    EXPECT_EQ(windowColour(&context), theme.background());

    // The file dialog, as the export opens it.
    QtFilePanel panels(window);
    bool answered = false;
    panels.chooseSaveLocation({QStringLiteral("Export Journal"), QStringLiteral("Choose where to save the file."),
                               QStringLiteral("Export"), QStringLiteral("Zephyrnote Journal.json"),
                               {QStringLiteral("JSON"), {QStringLiteral("json")}}},
                              [&](std::optional<QString>) { answered = true; });
    settleEvents();
    auto *dialog = window->findChild<QFileDialog *>();
    ASSERT_NE(dialog, nullptr);
    dialog->resize(760, 480);
    settleEvents();
    EXPECT_EQ(windowColour(dialog), theme.background());
    EXPECT_TRUE(dialog->grab().save(screenshotPath(QStringLiteral("file-dialog-%1-dark.png").arg(palette))));
    dialog->reject();
    settleEvents();
    EXPECT_TRUE(answered);
}

TEST(DialogScheme, AlertMenuAndFileDialogWearTheWarmDarkLook) { shootDarkDialogs(QStringLiteral("warm")); }
TEST(DialogScheme, AlertMenuAndFileDialogWearTheCoolDarkLook) { shootDarkDialogs(QStringLiteral("cool")); }

TEST(DialogScheme, TheLookFollowsAChangeOfAppearanceWhileTheJournalRuns)
{
    ThemedApp run(QStringLiteral("warm"), QStringLiteral("light"));
    QMenu menu;
    EXPECT_EQ(windowColour(&menu), themeOf(QStringLiteral("warm"), QStringLiteral("light")).background());
    run.h.app->settings().setAppearance(AppearancePreference::Dark);
    run.h.app->settings().setPalette(ColorPalettePreference::Cool);
    settleEvents();
    QMenu later;
    EXPECT_EQ(windowColour(&later), themeOf(QStringLiteral("cool"), QStringLiteral("dark")).background());
    EXPECT_EQ(windowColour(&menu), themeOf(QStringLiteral("cool"), QStringLiteral("dark")).background());
}

TEST(JournalWindowFocus, EveryStopShowsARingInBothPalettesAndSchemes)
{
    for (const char *palette : {"warm", "cool"}) {
        for (const char *appearance : {"light", "dark"}) {
            ThemedApp run(QString::fromLatin1(palette), QString::fromLatin1(appearance));
            const QList<FocusStop> stops = walkTabStops(run.window, 160);
            QStringList names;
            for (const FocusStop &stop : stops)
                names << stop.name;
            EXPECT_GE(stops.size(), 8) << names.join(", ").toStdString();
            // The column reads from the top: search, chips, then the cards.
            const qsizetype search = names.indexOf(QStringLiteral("QLineEdit \"Search your journal\""));
            ASSERT_GE(search, 0) << names.join(", ").toStdString();
            EXPECT_TRUE(names.value(search + 4).startsWith(QStringLiteral("zn::FilterChip \"Heavier")));
            EXPECT_EQ(names.value(search + 5), QStringLiteral("zn::TimelineListView \"Timeline\""))
                << names.join(", ").toStdString();
            EXPECT_EQ(stopsWithoutRing(stops).join(QStringLiteral(", ")).toStdString(), "")
                << palette << " " << appearance;
        }
    }
}

} // namespace
} // namespace zn::test
