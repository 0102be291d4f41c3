#include "app/shell/MainWindow.h"

#include "app/settings/AppSettings.h"
#include "app/shell/MainWindowFrame.h"
#include "app/shell/RootView.h"
#include "app/shell/ZephyrnoteCommands.h"
#include "app/theme/ThemeScope.h"
#include "core/EditorSession.h"
#include "platform/base/UserDefaults.h"
#include "views/workspace/state/ShortcutRouter.h"
#include "views/workspace/window/JournalWorkspaceView.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QShortcut>
#include <QWindow>

namespace zn {

namespace {

// Frames are written a moment after the last move or resize, as a drag
// sends hundreds of them.
constexpr int kSaveDelayMs = 400;

} // namespace

MainWindow::MainWindow(AppSettings &settings, UserDefaults &defaults, ZephyrnoteMenuCallbacks callbacks,
                       ContentFactory makeContent, NotificationCenter *center, QWidget *parent)
    : QMainWindow(parent)
    , m_defaults(&defaults)
    , m_router(new ShortcutRouter(this))
    , m_scope(new ThemeScope(this, &settings))
{
    setObjectName(QStringLiteral("ZephyrnoteMainWindow"));
    m_commands = new ZephyrnoteCommands(menuBar(), std::move(callbacks), center, m_router);
    m_root = makeContent(this);
    setCentralWidget(m_root);
    // The content chose its title while it was made, before this window listened.
    setWindowTitle(m_root->title());
    connect(m_root, &RootView::titleChanged, this, &QWidget::setWindowTitle);

    // F10 opens the menus from the keyboard, as elsewhere on this desktop;
    // the arrow keys then walk them.
    auto *menuKey = new QShortcut(QKeySequence(Qt::Key_F10), this);
    menuKey->setContext(Qt::WindowShortcut);
    connect(menuKey, &QShortcut::activated, this, [this] {
        const QList<QAction *> menus = menuBar()->actions();
        if (!menus.isEmpty()) {
            menuBar()->setFocus(Qt::ShortcutFocusReason);
            menuBar()->setActiveAction(menus.first());
        }
    });

    m_saveTimer.setSingleShot(true);
    m_saveTimer.setInterval(kSaveDelayMs);
    connect(&m_saveTimer, &QTimer::timeout, this, &MainWindow::saveFrame);
    applyMinimumSize();
}

MainWindow::~MainWindow() = default;

void MainWindow::applyMinimumSize(const QMargins &decoration)
{
    // A screen smaller than the minimum, title bar and border included, wins over it.
    QSize minimum = MainWindowFrame::kMinimumSize;
    if (QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen())
        minimum = minimum.boundedTo(screen->availableGeometry().marginsRemoved(decoration).size());
    setMinimumSize(minimum);
}

void MainWindow::fitFrameIntoScreen()
{
    if (!m_fitPending || !isVisible())
        return;
    // The desktop adds its title bar and border outside the window once it
    // has taken the window in; until then there is nothing to fit, and a
    // desktop that draws none keeps the size the window was given.
    const QMargins decoration = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    if (decoration.isNull())
        return;
    // Once only: later moves and resizes are the person's own.
    m_fitPending = false;
    windowHandle()->removeEventFilter(this);
    if (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))
        return;
    QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    applyMinimumSize(decoration);
    if (const auto fitted = MainWindowFrame::insideWithDecoration(geometry(), decoration, screen->availableGeometry()))
        setGeometry(*fitted);
}

void MainWindow::restoreFrame()
{
    const QByteArray saved = m_defaults->value(QString::fromLatin1(MainWindowFrame::kAutosaveKey)).toByteArray();
    // The frame is judged as it was saved; the minimum would quietly stretch
    // a small one to 900 × 620 instead of the repaired size.
    setMinimumSize(0, 0);
    if (saved.isEmpty() || !restoreGeometry(saved)) {
        // Only the size: where the window goes is the desktop's choice.
        QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
        resize(MainWindowFrame::firstSize(screen ? std::optional<QRect>(screen->availableGeometry()) : std::nullopt));
    }
    m_restored = true;
    if (saved.isEmpty()) {
        applyMinimumSize();
        return;
    }
    QScreen *screen = QGuiApplication::screenAt(geometry().center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    std::optional<QRect> area;
    if (screen)
        area = screen->availableGeometry();
    if (const auto fixed = MainWindowFrame::repaired(geometry(), area)) {
        setGeometry(*fixed);
        saveFrame();
    }
    applyMinimumSize();
}

void MainWindow::saveFrame()
{
    if (!m_restored)
        return;
    m_defaults->setValue(QString::fromLatin1(MainWindowFrame::kAutosaveKey), saveGeometry());
    m_defaults->sync();
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_shownBefore)
        return;
    m_shownBefore = true;
    m_fitPending = true;
    // The desktop may have framed the window already; if not, it shows the
    // window once it has (and may move it), and the frame is known then.
    if (QWindow *handle = windowHandle())
        handle->installEventFilter(this);
    QTimer::singleShot(0, this, &MainWindow::fitFrameIntoScreen);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == windowHandle() && event->type() == QEvent::Expose)
        fitFrameIntoScreen();
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    if (isVisible())
        m_saveTimer.start();
    fitFrameIntoScreen();
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    if (isVisible())
        m_saveTimer.start();
    fitFrameIntoScreen();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // Nothing typed is lost: an edited entry is saved, a new one kept as a
    // draft that the next start brings back.
    if (m_closeGuard) {
        if (!m_closeGuard()) {
            event->ignore();
            return;
        }
    } else if (JournalWorkspaceView *workspace = m_root ? m_root->workspace() : nullptr) {
        workspace->workspace().editor().flushPendingEdits();
    }
    m_saveTimer.stop();
    saveFrame();
    QMainWindow::closeEvent(event);
}

} // namespace zn
