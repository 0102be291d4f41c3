// Every file the program writes is its owner's alone from the start: the
// journal store, the settings, the file dialogs' memory of folders, the
// journal export and the weather report. The program runs in a child of
// this test program with a home, config, data, cache and temporary folder
// of its own and a umask that lets others read; the test then walks those
// folders and looks at every file that is there.

#include "AppTestHarness.h"

#include "platform/base/NotificationCenter.h"

#include <QAbstractButton>
#include <QDirIterator>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>

#include <sys/stat.h>

namespace zn::test {
namespace {

constexpr auto kExportsVariable = "ZN_PRIVATE_FILES_EXPORTS";

// The shown window of type T, once there is one.
template <typename T>
T *shownWindow(std::chrono::milliseconds timeout = std::chrono::milliseconds(5000))
{
    T *found = nullptr;
    waitUntil([&] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *t = qobject_cast<T *>(w); t && t->isVisible())
                found = t;
        return found != nullptr;
    }, timeout);
    return found;
}

// Saves to `path` through the file dialog the program has just opened.
void answerSaveDialog(const QString &path)
{
    QFileDialog *dialog = shownWindow<QFileDialog>();
    ASSERT_TRUE(dialog) << "no file dialog for " << path.toStdString();
    dialog->selectFile(path);
    static_cast<QDialog *>(dialog)->accept(); // as the confirm button does
    ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(path); })) << path.toStdString();
    // The outcome's alert is read and closed.
    if (QMessageBox *box = shownWindow<QMessageBox>(std::chrono::milliseconds(2000)))
        box->accept();
    settleEvents();
}

// The child's part: the real program, its settings and panels, writing
// through every writer it has.
void runEveryWriter(const QString &exports)
{
    lm::ScriptedLanguageModel model;
    NotificationCenter center;
    AppEnvironment env;
    env.languageModel = &model;
    env.notificationCenter = &center;
    env.voiceServices = [] { return scriptedVoiceServices(); };
    QString failure;
    std::unique_ptr<ZephyrnoteApp> app = ZephyrnoteApp::create(env, &failure);
    ASSERT_TRUE(app) << failure.toStdString();
    MainWindow *window = app->mainWindow();
    window->show();
    app->settings().setHasCompletedOnboarding(true); // a settings write
    settleEvents();

    ModelContext *context = app->container()->mainContext();
    context->insert(std::make_unique<JournalEntry>(QUuid::createUuid(), QDateTime::currentDateTimeUtc().addSecs(-3600),
                                                   QStringLiteral("A private morning by the sea."), std::nullopt, 0.4,
                                                   KeywordFrequencies{{QStringLiteral("sea"), 1}}, std::nullopt,
                                                   QStringList{}, false));
    ASSERT_FALSE(context->save());
    settleEvents();

    center.post(QString::fromLatin1(Notifications::ExportJournal));
    answerSaveDialog(exports + QStringLiteral("/journal.json"));

    center.post(QString::fromLatin1(Notifications::GoWeather));
    settleEvents();
    QAbstractButton *exportPdf = nullptr;
    ASSERT_TRUE(waitUntil([&] {
        for (QAbstractButton *b : window->findChildren<QAbstractButton *>())
            if (b->text() == QStringLiteral("Export PDF") && b->isVisible() && b->isEnabled())
                exportPdf = b;
        return exportPdf != nullptr;
    }));
    exportPdf->click();
    answerSaveDialog(exports + QStringLiteral("/report.pdf"));

    // Closed dialogs write what they remember when they go.
    window->close();
    app.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    settleEvents();
}

TEST(PrivateFiles, EveryFileARunWritesIsItsOwnersAloneFromTheStart)
{
    if (const QString exports = qEnvironmentVariable(kExportsVariable); !exports.isEmpty()) {
        runEveryWriter(exports);
        return;
    }

    TempDir dir;
    const QString home = dir.path();
    const QString exports = dir.file(QStringLiteral("Exports"));
    const QString tmp = dir.file(QStringLiteral("tmp"));
    ASSERT_TRUE(QDir().mkpath(exports));
    ASSERT_TRUE(QDir().mkpath(tmp));
    ::chmod(QFile::encodeName(home).constData(), 0755);
    ::chmod(QFile::encodeName(exports).constData(), 0755); // a folder the person chose
    ::chmod(QFile::encodeName(tmp).constData(), 01777);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const auto &[name, value] : {std::pair{"HOME", home}, {"XDG_CONFIG_HOME", home + "/.config"},
                                      {"XDG_DATA_HOME", home + "/.local/share"}, {"XDG_CACHE_HOME", home + "/.cache"},
                                      {"XDG_STATE_HOME", home + "/.local/state"}, {"TMPDIR", tmp},
                                      {kExportsVariable, exports}})
        env.insert(QString::fromLatin1(name), value);
    QProcess run;
    run.setProcessEnvironment(env);
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.setChildProcessModifier([] { ::umask(022); });
    run.start(QCoreApplication::applicationFilePath(),
              {QStringLiteral("--gtest_filter=PrivateFiles.EveryFileARunWritesIsItsOwnersAloneFromTheStart")});
    ASSERT_TRUE(run.waitForFinished(60'000));
    const QString output = QString::fromUtf8(run.readAll());
    ASSERT_EQ(run.exitCode(), 0) << output.toStdString();
    ASSERT_TRUE(output.contains(QStringLiteral("[  PASSED  ] 1 test"))) << output.toStdString();

    // Every file under the folders the program was given; the folders the
    // test made are the person's own and keep their modes.
    const QStringList ours{QDir(home).absolutePath(), QDir(exports).absolutePath(), QDir(tmp).absolutePath()};
    QStringList written;
    QDirIterator files(home, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        const QString name = QDir(home).relativeFilePath(path);
        written.append(name);
        struct stat st {};
        ASSERT_EQ(::lstat(QFile::encodeName(path).constData(), &st), 0) << name.toStdString();
        EXPECT_EQ(st.st_mode & 077, 0u) << name.toStdString() << " has mode " << std::oct << (st.st_mode & 07777);
        const QString folder = QFileInfo(path).absolutePath();
        if (!ours.contains(folder)) {
            ASSERT_EQ(::stat(QFile::encodeName(folder).constData(), &st), 0);
            EXPECT_EQ(st.st_mode & 077, 0u) << QDir(home).relativeFilePath(folder).toStdString() << " has mode "
                                            << std::oct << (st.st_mode & 07777);
        }
    }
    // Each writer did write: the store, the settings, the dialogs' memory
    // (kept beside the settings, not in the file every Qt program shares),
    // the export and the report.
    for (const char *expected : {".local/share/Zephyrnote/default.store", ".config/Zephyrnote/Zephyrnote.ini",
                                 ".config/Zephyrnote/QtProject.conf", "Exports/journal.json", "Exports/report.pdf"})
        EXPECT_TRUE(written.contains(QString::fromLatin1(expected))) << expected << " in " << written.join(u' ').toStdString();
    EXPECT_FALSE(written.contains(QStringLiteral(".config/QtProject.conf")));
    QFile dialogs(home + QStringLiteral("/.config/Zephyrnote/QtProject.conf"));
    ASSERT_TRUE(dialogs.open(QIODevice::ReadOnly));
    EXPECT_TRUE(dialogs.readAll().contains("lastVisited"));
}

} // namespace
} // namespace zn::test
