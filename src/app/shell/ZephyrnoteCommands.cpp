#include "app/shell/ZephyrnoteCommands.h"

#include "platform/base/NotificationCenter.h"
#include "views/workspace/state/ShortcutRouter.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QShortcutEvent>
#include <QTextEdit>

namespace zn {
namespace {

constexpr auto kPostsProperty = "zephyrnotePosts";

enum class EditOp { Undo, Redo, Cut, Copy, Paste, Delete, SelectAll };

template<class Edit>
void applyToTextEdit(Edit *edit, EditOp op)
{
    switch (op) {
    case EditOp::Undo: edit->undo(); break;
    case EditOp::Redo: edit->redo(); break;
    case EditOp::Cut: edit->cut(); break;
    case EditOp::Copy: edit->copy(); break;
    case EditOp::Paste: edit->paste(); break;
    case EditOp::SelectAll: edit->selectAll(); break;
    case EditOp::Delete:
        if (!edit->isReadOnly()) {
            QTextCursor cursor = edit->textCursor();
            cursor.removeSelectedText();
        }
        break;
    }
}

// The Edit menu works on whichever text field has the keyboard focus.
void forwardEdit(EditOp op)
{
    QWidget *focus = QApplication::focusWidget();
    if (auto *line = qobject_cast<QLineEdit *>(focus)) {
        switch (op) {
        case EditOp::Undo: line->undo(); break;
        case EditOp::Redo: line->redo(); break;
        case EditOp::Cut: line->cut(); break;
        case EditOp::Copy: line->copy(); break;
        case EditOp::Paste: line->paste(); break;
        case EditOp::SelectAll: line->selectAll(); break;
        case EditOp::Delete:
            if (!line->isReadOnly() && line->hasSelectedText())
                line->del();
            break;
        }
    } else if (auto *text = qobject_cast<QTextEdit *>(focus)) {
        applyToTextEdit(text, op);
    } else if (auto *plain = qobject_cast<QPlainTextEdit *>(focus)) {
        applyToTextEdit(plain, op);
    }
}

// Whether `object` is a text field that takes typing.
bool isEditableTextField(QObject *object)
{
    if (auto *line = qobject_cast<QLineEdit *>(object))
        return !line->isReadOnly();
    if (auto *text = qobject_cast<QTextEdit *>(object))
        return !text->isReadOnly();
    if (auto *plain = qobject_cast<QPlainTextEdit *>(object))
        return !plain->isReadOnly();
    return false;
}

// Keys that edit text where the text fields of this Qt do not claim them
// first (Ctrl+Backspace deletes the previous word).
bool isTextEditingKey(const QKeyEvent &key)
{
    static const QKeySequence::StandardKey keys[] = {
        QKeySequence::DeleteStartOfWord, QKeySequence::DeleteEndOfWord, QKeySequence::DeleteCompleteLine,
        QKeySequence::Backspace,         QKeySequence::Delete,          QKeySequence::DeleteEndOfLine,
    };
    for (QKeySequence::StandardKey k : keys)
        if (key.matches(k))
            return true;
    return false;
}

} // namespace

ZephyrnoteCommands::ZephyrnoteCommands(QMenuBar *menuBar, ZephyrnoteMenuCallbacks callbacks,
                                       NotificationCenter *center, ShortcutRouter *router)
    : QObject(menuBar)
    , m_callbacks(std::move(callbacks))
    , m_center(center ? center : &NotificationCenter::defaultCenter())
    , m_router(router)
{
    using namespace Notifications;
    const auto ctrl = [](int key) { return QKeySequence(Qt::CTRL | key); };
    const auto name = [](const char *n) { return QString::fromLatin1(n); };

    m_appMenu = menuBar->addMenu(QStringLiteral("&Zephyrnote"));
    addCallback(m_appMenu, QStringLiteral("&About Zephyrnote"), m_callbacks.showAbout);
    addCallback(m_appMenu, QStringLiteral("Check for &Updates…"), m_callbacks.checkForUpdates);
    m_appMenu->addSeparator();
    addCallback(m_appMenu, QStringLiteral("&Settings…"), m_callbacks.showSettings, ctrl(Qt::Key_Comma));
    m_appMenu->addSeparator();
    addCallback(m_appMenu, QStringLiteral("&Quit"), [this] {
        if (m_callbacks.quit) {
            m_callbacks.quit();
            return;
        }
        // Closing first lets every window save what is being typed.
        QMetaObject::invokeMethod(qApp, [] {
            QApplication::closeAllWindows();
            QCoreApplication::quit();
        }, Qt::QueuedConnection);
    }, ctrl(Qt::Key_Q));

    m_fileMenu = menuBar->addMenu(QStringLiteral("&File"));
    addCommand(m_fileMenu, QStringLiteral("&New Entry"), name(NewEntry), ctrl(Qt::Key_N));
    addCommand(m_fileMenu, QStringLiteral("New &Voice Entry"), name(GoVoice), ctrl(Qt::Key_R));
    m_fileMenu->addSeparator();
    addCommand(m_fileMenu, QStringLiteral("&Save"), name(Save), ctrl(Qt::Key_S));
    m_fileMenu->addSeparator();
    addCommand(m_fileMenu, QStringLiteral("&Export Journal…"), name(ExportJournal),
               QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E));
    addCommand(m_fileMenu, QStringLiteral("&Import Journal…"), name(ImportJournal),
               QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_I));

    m_editMenu = menuBar->addMenu(QStringLiteral("&Edit"));
    buildEditItems();
    m_editMenu->addSeparator();
    addCommand(m_editMenu, QStringLiteral("&Find…"), name(FocusSearch), ctrl(Qt::Key_F));

    m_viewMenu = menuBar->addMenu(QStringLiteral("&View"));
    addCommand(m_viewMenu, QStringLiteral("&Timeline"), name(GoAll));
    addCommand(m_viewMenu, QStringLiteral("Today’s &Entries"), name(GoToday));
    addCommand(m_viewMenu, QStringLiteral("&Calendar"), name(GoCalendar));
    addCommand(m_viewMenu, QStringLiteral("Emotional &Weather"), name(GoWeather));
    addCommand(m_viewMenu, QStringLiteral("&Voice"), name(GoVoice));

    m_entryMenu = menuBar->addMenu(QStringLiteral("E&ntry"));
    addCommand(m_entryMenu, QStringLiteral("&Previous Entry"), name(PreviousEntry), ctrl(Qt::Key_BracketLeft));
    addCommand(m_entryMenu, QStringLiteral("&Next Entry"), name(NextEntry), ctrl(Qt::Key_BracketRight));
    m_entryMenu->addSeparator();
    addCommand(m_entryMenu, QStringLiteral("&Delete…"), name(DeleteEntry), ctrl(Qt::Key_Backspace));

    if (qApp)
        qApp->installEventFilter(this);

    m_helpMenu = menuBar->addMenu(QStringLiteral("&Help"));
    addCommand(m_helpMenu, QStringLiteral("Zephyrnote &Help"), name(ShowPrivacyPromise));
    addCommand(m_helpMenu, QStringLiteral("&Privacy Promise"), name(ShowPrivacyPromise));
}

ZephyrnoteCommands::~ZephyrnoteCommands() = default;

void ZephyrnoteCommands::postCommand(const QString &name, NotificationCenter *center)
{
    (center ? *center : NotificationCenter::defaultCenter()).post(name);
}

QAction *ZephyrnoteCommands::addCommand(QMenu *menu, const QString &title, const QString &name,
                                        const QKeySequence &key)
{
    QAction *action = menu->addAction(title);
    action->setProperty(kPostsProperty, name);
    if (!key.isEmpty()) {
        action->setShortcut(key);
        if (m_router)
            m_router->registerMenuKey(key);
        action->installEventFilter(this);
    }
    connect(action, &QAction::triggered, this, [this, name] { postCommand(name, m_center); });
    m_commandActions.append(action);
    return action;
}

QAction *ZephyrnoteCommands::addCallback(QMenu *menu, const QString &title, std::function<void()> callback,
                                         const QKeySequence &key)
{
    QAction *action = menu->addAction(title);
    if (!key.isEmpty())
        action->setShortcut(key);
    connect(action, &QAction::triggered, this, [callback = std::move(callback)] {
        if (callback)
            callback();
    });
    return action;
}

void ZephyrnoteCommands::buildEditItems()
{
    struct Item
    {
        const char *title;
        EditOp op;
        QKeySequence::StandardKey key;
    };
    // Text fields take these keys themselves while focused, so the menu's
    // shortcuts never double an edit.
    const Item items[] = {
        {"&Undo", EditOp::Undo, QKeySequence::Undo},
        {"&Redo", EditOp::Redo, QKeySequence::Redo},
        {nullptr, EditOp::Undo, QKeySequence::UnknownKey},
        {"Cu&t", EditOp::Cut, QKeySequence::Cut},
        {"&Copy", EditOp::Copy, QKeySequence::Copy},
        {"&Paste", EditOp::Paste, QKeySequence::Paste},
        {"&Delete", EditOp::Delete, QKeySequence::UnknownKey},
        {"Select &All", EditOp::SelectAll, QKeySequence::SelectAll},
    };
    for (const Item &item : items) {
        if (!item.title) {
            m_editMenu->addSeparator();
            continue;
        }
        QAction *action = m_editMenu->addAction(QString::fromLatin1(item.title));
        if (item.key != QKeySequence::UnknownKey)
            action->setShortcut(QKeySequence(item.key));
        const EditOp op = item.op;
        connect(action, &QAction::triggered, this, [op] { forwardEdit(op); });
    }
}

QAction *ZephyrnoteCommands::actionPosting(const QString &name) const
{
    for (QAction *action : m_commandActions)
        if (postedName(action) == name)
            return action;
    return nullptr;
}

QString ZephyrnoteCommands::postedName(const QAction *action)
{
    return action ? action->property(kPostsProperty).toString() : QString();
}

bool ZephyrnoteCommands::eventFilter(QObject *watched, QEvent *event)
{
    // While typing, a key that edits text edits it: Ctrl+Backspace deletes
    // a word instead of asking to delete the entry. Accepting the override
    // hands the key to the field before any shortcut sees it.
    if (event->type() == QEvent::ShortcutOverride) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (isEditableTextField(watched) && isTextEditingKey(*key)) {
            key->accept();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
    // Only this menu's own items: the filter also sees every shortcut of
    // every other window (Escape closing the settings window, a dialog's
    // keys), and those belong to the window they were pressed in.
    if (event->type() != QEvent::Shortcut || !m_commandActions.contains(qobject_cast<QAction *>(watched)))
        return QObject::eventFilter(watched, event);
    const QKeySequence key = static_cast<QShortcutEvent *>(event)->key();

    // A key claimed by the screen on show does that screen's work; the
    // item itself, chosen with the mouse, still posts its command.
    if (m_router && m_router->dispatch(key))
        return true;
    return QObject::eventFilter(watched, event);
}

} // namespace zn
