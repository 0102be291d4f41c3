#include "app/shell/ZephyrnoteCommands.h"

#include "platform/base/NotificationCenter.h"
#include "support/TestSupport.h"
#include "views/workspace/state/ShortcutRouter.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace zn {
namespace {

struct Item
{
    QString title;
    QString shortcut;
    QString posts;
    friend bool operator==(const Item &, const Item &) = default;
    friend std::ostream &operator<<(std::ostream &os, const Item &i)
    {
        return os << '{' << i.title.toStdString() << ", " << i.shortcut.toStdString() << ", "
                  << i.posts.toStdString() << '}';
    }
};

const Item kSeparator{QStringLiteral("-"), {}, {}};

// A title as the menu shows it: without the mark of its access key.
QString shown(const QAction *action)
{
    QString text = action->text();
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text.at(i) == QLatin1Char('&'))
            text.remove(i, 1); // "&&" leaves one "&", skipped next
    return text;
}

QList<Item> itemsOf(const QMenu *menu)
{
    QList<Item> out;
    for (const QAction *action : menu->actions()) {
        if (action->isSeparator())
            out.append(kSeparator);
        else
            out.append({shown(action), action->shortcut().toString(QKeySequence::PortableText),
                        ZephyrnoteCommands::postedName(action)});
    }
    return out;
}

QList<QAction *> allActions(const QMenuBar &bar)
{
    QList<QAction *> out;
    for (QAction *menuAction : bar.actions())
        for (QAction *action : menuAction->menu()->actions())
            if (!action->isSeparator())
                out.append(action);
    return out;
}

class CommandsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        callbacks.showAbout = [this] { ++about; };
        callbacks.checkForUpdates = [this] { ++updates; };
        callbacks.showSettings = [this] { ++settings; };
        callbacks.quit = [this] { ++quits; };
        commands = new ZephyrnoteCommands(window.menuBar(), callbacks, &center, &router);
        connect();
    }

    void connect()
    {
        QObject::connect(&center, &NotificationCenter::posted,
                         [this](const QString &name, const QVariantMap &info) {
                             posted.append(name);
                             EXPECT_TRUE(info.isEmpty()) << name.toStdString();
                         });
    }

    QMainWindow window;
    NotificationCenter center;
    ShortcutRouter router;
    ZephyrnoteMenuCallbacks callbacks;
    ZephyrnoteCommands *commands = nullptr;
    QStringList posted;
    int about = 0, updates = 0, settings = 0, quits = 0;
};

TEST_F(CommandsTest, MenusHoldTheirItemsInOrderWithNativeShortcuts)
{
    QStringList titles;
    for (QAction *menu : window.menuBar()->actions())
        titles.append(shown(menu));
    EXPECT_EQ(titles, (QStringList{QStringLiteral("Zephyrnote"), QStringLiteral("File"), QStringLiteral("Edit"),
                                   QStringLiteral("View"), QStringLiteral("Entry"), QStringLiteral("Help")}));

    EXPECT_EQ(itemsOf(commands->applicationMenu()),
              (QList<Item>{{QStringLiteral("About Zephyrnote"), {}, {}},
                           {QStringLiteral("Check for Updates…"), {}, {}},
                           kSeparator,
                           {QStringLiteral("Settings…"), QStringLiteral("Ctrl+,"), {}},
                           kSeparator,
                           {QStringLiteral("Quit"), QStringLiteral("Ctrl+Q"), {}}}));
    EXPECT_EQ(itemsOf(commands->fileMenu()),
              (QList<Item>{{QStringLiteral("New Entry"), QStringLiteral("Ctrl+N"), QStringLiteral("zep.command.newEntry")},
                           {QStringLiteral("New Voice Entry"), QStringLiteral("Ctrl+R"), QStringLiteral("zep.command.goVoice")},
                           kSeparator,
                           {QStringLiteral("Save"), QStringLiteral("Ctrl+S"), QStringLiteral("zep.command.save")},
                           kSeparator,
                           {QStringLiteral("Export Journal…"), QStringLiteral("Ctrl+Shift+E"),
                            QStringLiteral("zep.command.exportJournal")},
                           {QStringLiteral("Import Journal…"), QStringLiteral("Ctrl+Shift+I"),
                            QStringLiteral("zep.command.importJournal")}}));
    const QList<Item> edit = itemsOf(commands->editMenu());
    ASSERT_GE(edit.size(), 2);
    EXPECT_EQ(edit.last(), (Item{QStringLiteral("Find…"), QStringLiteral("Ctrl+F"), QStringLiteral("zep.command.focusSearch")}));
    EXPECT_EQ(edit.at(edit.size() - 2), kSeparator);
    EXPECT_EQ(edit.first().title, QStringLiteral("Undo"));
    EXPECT_EQ(itemsOf(commands->viewMenu()),
              (QList<Item>{{QStringLiteral("Timeline"), {}, QStringLiteral("zep.command.goAll")},
                           {QStringLiteral("Today’s Entries"), {}, QStringLiteral("zep.command.goToday")},
                           {QStringLiteral("Calendar"), {}, QStringLiteral("zep.command.goCalendar")},
                           {QStringLiteral("Emotional Weather"), {}, QStringLiteral("zep.command.goWeather")},
                           {QStringLiteral("Voice"), {}, QStringLiteral("zep.command.goVoice")}}));
    EXPECT_EQ(itemsOf(commands->entryMenu()),
              (QList<Item>{{QStringLiteral("Previous Entry"), QStringLiteral("Ctrl+["),
                            QStringLiteral("zep.command.previousEntry")},
                           {QStringLiteral("Next Entry"), QStringLiteral("Ctrl+]"), QStringLiteral("zep.command.nextEntry")},
                           kSeparator,
                           {QStringLiteral("Delete…"), QStringLiteral("Ctrl+Backspace"),
                            QStringLiteral("zep.command.deleteEntry")}}));
    EXPECT_EQ(itemsOf(commands->helpMenu()),
              (QList<Item>{{QStringLiteral("Zephyrnote Help"), {}, QStringLiteral("zep.command.showPrivacyPromise")},
                           {QStringLiteral("Privacy Promise"), {}, QStringLiteral("zep.command.showPrivacyPromise")}}));
}

TEST_F(CommandsTest, EveryKeyHasOneOwnerAndCtrlEAndCtrlIAreFree)
{
    QMap<QString, QString> owners;
    for (QAction *action : allActions(*window.menuBar())) {
        const QString key = action->shortcut().toString(QKeySequence::PortableText);
        if (key.isEmpty())
            continue;
        EXPECT_FALSE(owners.contains(key)) << key.toStdString() << " on " << action->text().toStdString()
                                           << " and " << owners.value(key).toStdString();
        owners.insert(key, shown(action));
        EXPECT_TRUE(action->isEnabled());
    }
    EXPECT_FALSE(owners.contains(QStringLiteral("Ctrl+E")));
    EXPECT_FALSE(owners.contains(QStringLiteral("Ctrl+I")));
    EXPECT_EQ(owners.value(QStringLiteral("Ctrl+R")), QStringLiteral("New Voice Entry"));
    EXPECT_TRUE(router.isMenuKey(QKeySequence(QStringLiteral("Ctrl+S"))));
}

TEST_F(CommandsTest, EachItemPostsItsNameOnceWithNoPayload)
{
    QStringList expected;
    for (QAction *action : allActions(*window.menuBar())) {
        const QString name = ZephyrnoteCommands::postedName(action);
        if (name.isEmpty())
            continue;
        posted.clear();
        action->trigger();
        EXPECT_EQ(posted, QStringList{name}) << action->text().toStdString();
        expected.append(name);
    }
    // All fourteen names, two of them from two items each.
    EXPECT_EQ(expected.size(), 16);
    EXPECT_EQ(QSet<QString>(expected.begin(), expected.end()).size(), 14);
    EXPECT_EQ(about + updates + settings + quits, 0);
}

TEST_F(CommandsTest, ApplicationItemsCallTheWindowsCallbacks)
{
    for (QAction *action : commands->applicationMenu()->actions())
        if (!action->isSeparator())
            action->trigger();
    EXPECT_EQ(about, 1);
    EXPECT_EQ(updates, 1);
    EXPECT_EQ(settings, 1);
    EXPECT_EQ(quits, 1);
    EXPECT_TRUE(posted.isEmpty());
}

TEST_F(CommandsTest, PostCommandUsesTheDefaultCentreWhenNoneIsGiven)
{
    QSignalSpy spy(&NotificationCenter::defaultCenter(), &NotificationCenter::posted);
    ZephyrnoteCommands::postCommand(QStringLiteral("zep.command.save"));
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toString(), QStringLiteral("zep.command.save"));
    EXPECT_TRUE(spy.at(0).at(1).toMap().isEmpty());
}

class ShownWindowTest : public CommandsTest
{
protected:
    void SetUp() override
    {
        CommandsTest::SetUp();
        auto *central = new QWidget;
        auto *layout = new QVBoxLayout(central);
        line = new QLineEdit;
        screen = new QWidget;
        layout->addWidget(line);
        layout->addWidget(screen);
        window.setCentralWidget(central);
        window.show();
        window.activateWindow();
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        screen->setFocusPolicy(Qt::StrongFocus);
        screen->setFocus();
    }

    QAction *item(const QString &name) const { return commands->actionPosting(name); }

    QLineEdit *line = nullptr;
    QWidget *screen = nullptr;
};

TEST_F(ShownWindowTest, AClaimedKeyGoesToTheScreenWhileTheMenuItemStillPosts)
{
    int screenSaves = 0;
    const int claim = router.claim(QKeySequence(QStringLiteral("Ctrl+S")), screen, [&] { ++screenSaves; });
    QTest::keyClick(&window, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(screenSaves, 1);
    EXPECT_TRUE(posted.isEmpty());

    item(QStringLiteral("zep.command.save"))->trigger(); // chosen with the mouse
    EXPECT_EQ(posted, QStringList{QStringLiteral("zep.command.save")});

    screen->hide(); // the screen is gone: the key is the menu's again
    QTest::keyClick(&window, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(posted.size(), 2);
    screen->show();
    router.release(claim);
    QTest::keyClick(&window, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(posted.size(), 3);
    EXPECT_EQ(screenSaves, 1);
}

TEST_F(ShownWindowTest, AKeyTheMenuDoesNotOwnGetsOneShortcutOnTheScreen)
{
    int escapes = 0;
    router.claim(QKeySequence(Qt::Key_Escape), screen, [&] { ++escapes; });
    QTest::keyClick(screen, Qt::Key_Escape);
    EXPECT_EQ(escapes, 1);
    delete screen; // the claim ends with its screen
    screen = nullptr;
    EXPECT_FALSE(router.hasLiveClaim(QKeySequence(Qt::Key_Escape)));
    EXPECT_FALSE(router.dispatch(QKeySequence(Qt::Key_Escape)));
}

TEST_F(ShownWindowTest, EditItemsWorkOnTheFocusedTextField)
{
    line->setText(QStringLiteral("hello"));
    line->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), line);
    auto editItem = [&](const QString &title) {
        for (QAction *action : commands->editMenu()->actions())
            if (shown(action) == title)
                return action;
        return static_cast<QAction *>(nullptr);
    };
    editItem(QStringLiteral("Select All"))->trigger();
    EXPECT_EQ(line->selectedText(), QStringLiteral("hello"));
    editItem(QStringLiteral("Delete"))->trigger();
    EXPECT_EQ(line->text(), QString());
    editItem(QStringLiteral("Undo"))->trigger();
    EXPECT_EQ(line->text(), QStringLiteral("hello"));

    // While typing, Ctrl+Backspace deletes a word, never asks to delete
    // the entry; elsewhere it is "Delete…".
    line->setText(QStringLiteral("two words"));
    line->end(false);
    QTest::keyClick(line, Qt::Key_Backspace, Qt::ControlModifier);
    EXPECT_TRUE(posted.isEmpty());
    EXPECT_EQ(line->text(), QStringLiteral("two "));
    line->undo();

    screen->setFocus();
    editItem(QStringLiteral("Paste"))->trigger(); // no text field: nothing happens
    EXPECT_EQ(line->text(), QStringLiteral("two words"));
    QTest::keyClick(screen, Qt::Key_Backspace, Qt::ControlModifier);
    EXPECT_EQ(posted, QStringList{QStringLiteral("zep.command.deleteEntry")});
}

TEST_F(ShownWindowTest, EveryMenuAndItemHasItsOwnAccessKeyAndAltOpensTheMenu)
{
    // One key per menu title across the bar, one per item within a menu.
    QSet<QChar> titleKeys;
    for (QAction *menuAction : window.menuBar()->actions()) {
        const QKeySequence title = QKeySequence::mnemonic(menuAction->text());
        ASSERT_FALSE(title.isEmpty()) << shown(menuAction).toStdString();
        const QChar key = QChar(title[0].key()).toUpper();
        EXPECT_FALSE(titleKeys.contains(key)) << shown(menuAction).toStdString();
        titleKeys.insert(key);
        QSet<QChar> itemKeys;
        for (QAction *action : menuAction->menu()->actions()) {
            if (action->isSeparator())
                continue;
            const qsizetype mark = action->text().indexOf(QLatin1Char('&'));
            ASSERT_GE(mark, 0) << shown(action).toStdString() << " has no access key";
            const QChar itemKey = action->text().at(mark + 1).toUpper();
            EXPECT_FALSE(itemKeys.contains(itemKey)) << shown(action).toStdString() << " repeats " << itemKey.toLatin1();
            itemKeys.insert(itemKey);
        }
    }

    // Alt+F opens File, where N is "New Entry"; Escape closes it again.
    QTest::keyClick(&window, Qt::Key_F, Qt::AltModifier);
    QCoreApplication::processEvents();
    auto *popup = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    ASSERT_NE(popup, nullptr) << "Alt+F opened no menu";
    EXPECT_EQ(popup, commands->fileMenu());
    QTest::keyClick(popup, Qt::Key_N);
    QCoreApplication::processEvents();
    EXPECT_EQ(posted, QStringList{QString::fromLatin1(Notifications::NewEntry)});
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

} // namespace
} // namespace zn
