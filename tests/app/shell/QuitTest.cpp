// Ending the program: a quit whose save the store refuses asks first;
// termination signals arrive in the event loop; one copy runs per journal.

#include "AppTestHarness.h"

#include "app/shell/QuitController.h"
#include "app/shell/SingleInstance.h"
#include "app/shell/TerminationSignals.h"
#include "core/EditorSession.h"
#include "core/UnsavedTextFile.h"
#include "support/Screenshots.h"
#include "views/workspace/window/JournalWorkspaceView.h"

#include <QAbstractButton>
#include <QFileInfo>
#include <QMessageBox>
#include <QSignalSpy>

#include <csignal>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace zn::test {
namespace {

const QString kWords = QStringLiteral("The kettle sang while the snow came down on the quiet street");

// Clicks the button titled `title` of the question over `window`.
void answer(MainWindow *window, const QString &title)
{
    auto *box = window->findChild<QMessageBox *>();
    ASSERT_TRUE(box);
    for (QAbstractButton *b : box->buttons())
        if (b->text() == title)
            b->click();
    settleEvents();
}

TEST(QuitTest, ARefusedSaveOnQuitAsksAndCancelKeepsTheWindowAndTheText)
{
    AppHarness h;
    h.completeOnboarding();
    MainWindow *window = h.start().mainWindow();
    int ended = 0;
    h.app->quitController()->setEndProgram([&] { ++ended; });
    window->show();
    settleEvents();
    WorkspaceViewModel &workspace = window->rootView()->workspace()->workspace();
    workspace.startNewEntry();
    EditorSession &editor = workspace.editor();
    editor.setDraftText(kWords);
    h.app->container()->setSaveFailureInjector([] {
        return std::optional<StoreError>(StoreError(StoreError::Code::DiskFull, QStringLiteral("No space left on device")));
    });

    EXPECT_FALSE(window->close());
    settleEvents();
    auto *question = window->findChild<QMessageBox *>();
    ASSERT_TRUE(question);
    EXPECT_EQ(question->text(), QStringLiteral("The journal could not be saved: No space left on device"));
    QStringList buttons;
    for (QAbstractButton *b : question->buttons())
        buttons << b->text();
    buttons.sort();
    EXPECT_EQ(buttons, QStringList({QStringLiteral("Cancel"), QStringLiteral("Quit Anyway")}));
    shoot(*question, QStringLiteral("quit-question.png"));
    // Quitting again while it asks changes nothing.
    EXPECT_FALSE(window->close());

    answer(window, QStringLiteral("Cancel"));
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(editor.draftText(), kWords);
    EXPECT_EQ(editor.mode(), DetailMode::ComposingDraft);
    EXPECT_EQ(ended, 0);

    // Asked again; this time the person lets the words go.
    EXPECT_FALSE(window->close());
    settleEvents();
    answer(window, QStringLiteral("Quit Anyway"));
    EXPECT_EQ(ended, 1);
    EXPECT_TRUE(window->close());
    EXPECT_EQ(h.app->unsavedText()->pendingCount(), 0);
}

TEST(TerminationSignalsTest, SignalsArriveInTheEventLoopAndTheOldHandlersComeBack)
{
    struct sigaction before {};
    ::sigaction(SIGHUP, nullptr, &before);
    {
        TerminationSignals watcher;
        ASSERT_TRUE(watcher.isWatching());
        QSignalSpy received(&watcher, &TerminationSignals::received);
        const int raised[] = {SIGTERM, SIGHUP, SIGINT};
        for (const int signal : raised)
            ::raise(signal);
        EXPECT_TRUE(received.isEmpty()); // nothing happens inside the handler
        ASSERT_TRUE(waitUntil([&] { return received.size() == 3; }));
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(received.at(i).at(0).toInt(), raised[i]);
    }
    struct sigaction after {};
    ::sigaction(SIGHUP, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
}

TEST(SingleInstanceTest, TheSocketIsNamedForTheFolderOwnerOnlyAndALeftOverOneIsReplaced)
{
    TempDir dir;
    const QString runtime = dir.file(QStringLiteral("run"));
    ASSERT_TRUE(QDir().mkpath(runtime));
    const QString folder = dir.file(QStringLiteral("data/Zephyrnote"));
    const QString path = SingleInstance::socketPathFor(folder, runtime);
    EXPECT_EQ(SingleInstance::socketPathFor(folder + QStringLiteral("/"), runtime), path);
    EXPECT_EQ(SingleInstance::socketPathFor(dir.file(QStringLiteral("data/x/../Zephyrnote")), runtime), path);
    EXPECT_NE(SingleInstance::socketPathFor(dir.file(QStringLiteral("other")), runtime), path);
    EXPECT_TRUE(QFileInfo(path).fileName().startsWith(QStringLiteral("zephyrnote-")));

    // A socket file left by a copy that was killed: bound, never listened on.
    const int left = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(path);
    std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
    ASSERT_EQ(::bind(left, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ::close(left);

    SingleInstance first(folder, runtime);
    EXPECT_EQ(first.claim(), SingleInstance::Claim::First);
    EXPECT_TRUE(first.isListening());
    struct stat st {};
    ASSERT_EQ(::stat(native.constData(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_EQ(st.st_mode & 0077, 0u);
}

} // namespace
} // namespace zn::test
