#include "views/workspace/window/WorkspaceToolbar.h"

#include "app/theme/ThemeScope.h"
#include "platform/symbols/SymbolLibrary.h"
#include "views/kit/FocusRing.h"
#include "views/kit/TextStyles.h"
#include "views/workspace/detail/DetailWidgets.h"
#include "views/workspace/state/WorkspaceViewModel.h"

#include <QAction>
#include <QEvent>
#include <QPainter>
#include <QToolButton>

namespace zn {

WorkspaceToolbar::WorkspaceToolbar(WorkspaceViewModel &workspace, QWidget *parent)
    : QToolBar(parent)
    , m_workspace(&workspace)
{
    setObjectName(QStringLiteral("workspaceToolbar"));
    setAccessibleName(QStringLiteral("Toolbar"));
    setMovable(false);
    setFloatable(false);
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    setIconSize(QSize(18, 18));
    setContentsMargins(8, 4, 8, 4);

    // A long import says that it works at the leading end; the window
    // stays in use meanwhile.
    m_importNote = new BusyNote(QStringLiteral("Importing journal…"), this);
    m_importNote->setContentsMargins(8, 0, 8, 0);
    m_importNoteItem = addWidget(m_importNote);
    const ImportActivity &imports = m_workspace->importActivity();
    m_importNoteItem->setVisible(imports.showsProgress());
    connect(&imports, &ImportActivity::showsProgressChanged, m_importNoteItem, &QAction::setVisible);

    // The items sit at the trailing end, where a window's primary actions go.
    auto *spacer = new QWidget(this);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    spacer->setAttribute(Qt::WA_TransparentForMouseEvents);
    addWidget(spacer);

    for (const ToolbarItemDefinition &definition : toolbarItems()) {
        QAction *action = addAction(definition.title);
        action->setToolTip(definition.toolTip.isEmpty() ? definition.title : definition.toolTip);
        action->setData(int(definition.item));
        const ToolbarItem item = definition.item;
        connect(action, &QAction::triggered, this, [this, item] { runToolbarItem(item, *m_workspace); });
        m_actions.insert(item, action);
        if (auto *button = qobject_cast<QToolButton *>(widgetForAction(action))) {
            button->setFocusPolicy(Qt::TabFocus);
            // The desktop style marks a focused item with a faint line; the
            // items wear the ring every other control wears.
            button->setStyle(FocusRingStyle::shared());
            button->setAccessibleName(definition.title);
            button->setFont(textStyleFont(TextStyle::Body));
            if (definition.symbol.isEmpty())
                button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        }
    }
    retint();
    updateItems();
    connect(m_workspace, &WorkspaceViewModel::toolbarChanged, this, &WorkspaceToolbar::updateItems);
    connect(m_workspace, &WorkspaceViewModel::destinationChanged, this, &WorkspaceToolbar::updateItems);
}

QStringList WorkspaceToolbar::shownTitles() const
{
    QStringList titles;
    for (const ToolbarItemDefinition &definition : toolbarItems())
        if (m_actions.value(definition.item)->isVisible()) {
            if (definition.item == ToolbarItem::Export && m_detailItem && m_detailItem->isVisible())
                titles << m_detailItem->text();
            titles << definition.title;
        }
    return titles;
}

void WorkspaceToolbar::updateItems()
{
    for (const ToolbarItemDefinition &definition : toolbarItems())
        m_actions.value(definition.item)->setVisible(toolbarItemShown(definition.item, *m_workspace));
    updateDetailItem();
}

void WorkspaceToolbar::setDetailAction(QAction *action)
{
    if (m_detailAction)
        disconnect(m_detailAction, nullptr, this, nullptr);
    m_detailAction = action;
    if (!m_detailItem) {
        m_detailItem = new QAction(this);
        insertAction(m_actions.value(ToolbarItem::Export), m_detailItem);
        connect(m_detailItem, &QAction::triggered, this, [this] {
            if (m_detailAction)
                m_detailAction->trigger();
        });
        if (auto *button = qobject_cast<QToolButton *>(widgetForAction(m_detailItem))) {
            button->setFocusPolicy(Qt::TabFocus);
            button->setStyle(FocusRingStyle::shared());
            button->setFont(textStyleFont(TextStyle::Body));
            button->setToolButtonStyle(Qt::ToolButtonTextOnly);
            // Made after the window's other controls, it would come last in
            // the Tab chain; it goes where it shows, before Export.
            const QList<QAction *> items = actions();
            const qsizetype at = items.indexOf(m_detailItem);
            if (QWidget *before = at > 0 ? widgetForAction(items.at(at - 1)) : nullptr)
                QWidget::setTabOrder(before, button);
        }
    }
    if (action)
        connect(action, &QAction::changed, this, &WorkspaceToolbar::updateDetailItem);
    updateDetailItem();
}

void WorkspaceToolbar::updateDetailItem()
{
    if (!m_detailItem)
        return;
    const bool shown = m_detailAction && m_detailAction->isVisible() && m_detailAction->isEnabled()
        && m_workspace->destination() == WorkspaceDestination::Timeline;
    if (m_detailAction) {
        m_detailItem->setText(m_detailAction->text());
        m_detailItem->setToolTip(m_detailAction->toolTip());
    }
    m_detailItem->setVisible(shown);
}

void WorkspaceToolbar::retint()
{
    const ZephyrTheme theme = ThemeScope::themeFor(this);
    for (const ToolbarItemDefinition &definition : toolbarItems()) {
        if (!definition.symbol.isEmpty())
            m_actions.value(definition.item)->setIcon(
                symbolIcon(definition.symbol, theme.accent(), SymbolRendering::Hierarchical));
    }
}

void WorkspaceToolbar::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        retint();
    QToolBar::changeEvent(event);
}

void WorkspaceToolbar::paintEvent(QPaintEvent *)
{
    const ZephyrTheme theme = ThemeScope::themeFor(this);
    QPainter p(this);
    p.fillRect(rect(), theme.background());
    p.fillRect(QRect(0, height() - 1, width(), 1), theme.hairline());
}

} // namespace zn
