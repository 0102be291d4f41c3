// Pictures of the whole window over a seeded journal, in both palettes and
// both schemes, and once at twice the pixel density on a small screen.

#include "AppTestHarness.h"

#include "app/shell/MainWindowFrame.h"
#include "platform/store/ModelContext.h"
#include "views/workspace/window/JournalWorkspaceView.h"

#include <QProcess>
#include <QScreen>
#include <QTimeZone>

namespace zn::test {
namespace {

void seedJournal(ZephyrnoteApp &app)
{
    struct Seed
    {
        const char *text;
        double score;
        int hoursAgo;
    };
    static const Seed seeds[] = {
        {"Walked along the river before work. The air was cold and for once my head felt quiet.", 0.55, 2},
        {"Long meeting that went nowhere. Tired, a little flat, but dinner with Sam helped.", -0.1, 7},
        {"Finished the garden bed! Tomatoes in, hands dirty, very happy.", 0.85, 26},
        {"Couldn’t sleep. Worried about the move and everything that still needs doing.", -0.55, 30},
        {"Rain all day. Read half a novel on the sofa and did not feel guilty about it.", 0.25, 50},
        {"Argument with my brother about nothing. Stormy evening.", -0.8, 75},
        {"Quiet Sunday: coffee, a long call with Mum, soup.", 0.4, 98},
    };
    ModelContext *context = app.container()->mainContext();
    const QDateTime now = QDateTime::currentDateTime();
    for (const Seed &s : seeds) {
        context->insert(std::make_unique<JournalEntry>(QUuid::createUuid(), now.addSecs(-qint64(s.hoursAgo) * 3600),
                                                       QString::fromUtf8(s.text), std::nullopt, s.score,
                                                       KeywordFrequencies{}, std::nullopt, QStringList{}, false));
    }
    ASSERT_FALSE(context->save().has_value());
}

void shoot(const QString &palette, const QString &appearance, const QString &name)
{
    AppHarness h;
    h.completeOnboarding();
    h.defaults.setValue(QString::fromLatin1(AppSettings::kPaletteKey), palette);
    h.defaults.setValue(QString::fromLatin1(AppSettings::kAppearanceKey), appearance);
    ZephyrnoteApp &app = h.start();
    seedJournal(app);
    MainWindow *window = app.mainWindow();
    window->show();
    settleEvents();
    WorkspaceViewModel &workspace = window->rootView()->workspace()->workspace();
    ASSERT_EQ(workspace.journalEntries().size(), 7);
    workspace.selectEntry(workspace.journalEntries().first(), false);
    settleEvents();
    const QImage picture = window->grab().toImage();
    const QSize first = MainWindowFrame::firstSize(window->screen()->availableGeometry());
    EXPECT_EQ(picture.size(), first * window->devicePixelRatioF());
    EXPECT_TRUE(picture.save(screenshotPath(name)));
}

TEST(WindowScreenshotTest, WarmLight) { shoot(QStringLiteral("warm"), QStringLiteral("light"), QStringLiteral("window-warm-light.png")); }
TEST(WindowScreenshotTest, WarmDark) { shoot(QStringLiteral("warm"), QStringLiteral("dark"), QStringLiteral("window-warm-dark.png")); }
TEST(WindowScreenshotTest, CoolLight) { shoot(QStringLiteral("cool"), QStringLiteral("light"), QStringLiteral("window-cool-light.png")); }
TEST(WindowScreenshotTest, CoolDark) { shoot(QStringLiteral("cool"), QStringLiteral("dark"), QStringLiteral("window-cool-dark.png")); }

// The scale factor is read once per process: the picture is taken by this
// same program started again with QT_SCALE_FACTOR=2, on a laptop's screen of
// 1366 × 768 points, which the first frame fits.
TEST(WindowScreenshotTest, TwiceTheDensityIsSharpAndInPlace)
{
    if (qEnvironmentVariableIsSet("ZN_HIGH_DENSITY_CHILD")) {
        ASSERT_EQ(qgetenv("QT_SCALE_FACTOR"), QByteArray("2"));
        shoot(QStringLiteral("warm"), QStringLiteral("light"), QStringLiteral("window-warm-light-2x.png"));
        return;
    }
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("2"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"),
               QStringLiteral("offscreen:configfile=") + sourcePath(QStringLiteral("tests/app/shell/offscreen-screen-2x.json")));
    env.insert(QStringLiteral("ZN_HIGH_DENSITY_CHILD"), QStringLiteral("1"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=WindowScreenshotTest.TwiceTheDensityIsSharpAndInPlace")});
    ASSERT_TRUE(child.waitForFinished(60000));
    EXPECT_EQ(child.exitCode(), 0) << child.readAll().toStdString();
    const QImage picture(screenshotPath(QStringLiteral("window-warm-light-2x.png")));
    EXPECT_EQ(picture.size(), QSize(2360, 1536));
}

} // namespace
} // namespace zn::test
