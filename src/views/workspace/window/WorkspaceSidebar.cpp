#include "views/workspace/window/WorkspaceSidebar.h"

#include "app/theme/ThemeScope.h"
#include "core/DayWatch.h"
#include "platform/base/Clock.h"
#include "platform/symbols/SymbolLibrary.h"
#include "views/kit/FocusRing.h"
#include "views/kit/TextStyles.h"
#include "views/workspace/state/WorkspaceViewModel.h"
#include "views/workspace/window/DestinationPages.h"
#include "views/workspace/window/InsightsTeaserCard.h"
#include "views/workspace/window/WorkspaceLayout.h"

#include <QPainter>
#include <QPainterPath>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace zn {

namespace {

constexpr int kDestinationRole = Qt::UserRole + 1;
constexpr int kHeadingRole = Qt::UserRole + 2;
constexpr int kRowHeight = 30;
constexpr int kHeadingHeight = 28;

// Paints headings as small upper-case captions and rows as a tinted symbol
// and title, with a rounded highlight in the accent for the shown screen.
class SidebarDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem &, const QModelIndex &index) const override
    {
        return {180, index.data(kHeadingRole).toBool() ? kHeadingHeight : kRowHeight};
    }

    void paint(QPainter *p, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const ZephyrTheme theme = ThemeScope::themeFor(option.widget);
        p->save();
        p->setRenderHint(QPainter::Antialiasing);
        const QRectF r = QRectF(option.rect).adjusted(8, 1, -8, -1);
        if (index.data(kHeadingRole).toBool()) {
            QFont font = textStyleFont(TextStyle::Caption, FontWeight::Semibold);
            p->setFont(font);
            p->setPen(theme.inkTertiary());
            p->drawText(r.adjusted(8, 0, 0, -3), Qt::AlignLeft | Qt::AlignBottom, index.data().toString());
            p->restore();
            return;
        }
        const bool selected = option.state & QStyle::State_Selected;
        if (selected) {
            QColor fill = theme.accent();
            fill.setAlphaF(theme.isDark() ? 0.30 : 0.18);
            p->setPen(Qt::NoPen);
            p->setBrush(fill);
            p->drawRoundedRect(r, 7, 7);
        } else if (option.state & QStyle::State_MouseOver) {
            QColor hover = theme.ink();
            hover.setAlphaF(0.05);
            p->setPen(Qt::NoPen);
            p->setBrush(hover);
            p->drawRoundedRect(r, 7, 7);
        }
        if (option.state & QStyle::State_HasFocus && option.widget && option.widget->hasFocus()) {
            paintFocusRing(*p, r, 7, theme);
        }
        const qreal icon = 18;
        const QRectF iconRect(r.left() + 8, r.center().y() - icon / 2, icon, icon);
        drawSymbol(*p, index.data(Qt::DecorationRole + 100).toString(), iconRect, theme.accent(),
                   SymbolRendering::Hierarchical);
        p->setFont(textStyleFont(TextStyle::Body, selected ? FontWeight::Medium : FontWeight::Regular));
        p->setPen(theme.ink());
        const QRectF textRect(iconRect.right() + 8, r.top(), r.right() - iconRect.right() - 12, r.height());
        p->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                    p->fontMetrics().elidedText(index.data().toString(), Qt::ElideRight, int(textRect.width())));
        p->restore();
    }
};

} // namespace

SidebarList::SidebarList(WorkspaceViewModel &workspace, QWidget *parent)
    : QListWidget(parent)
    , m_workspace(&workspace)
{
    setItemDelegate(new SidebarDelegate(this));
    setFrameShape(QFrame::NoFrame);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setMouseTracking(true);
    setAttribute(Qt::WA_TranslucentBackground);
    viewport()->setAutoFillBackground(false);
    setAutoFillBackground(false);
    setAccessibleName(QStringLiteral("Sidebar"));
    setUniformItemSizes(false);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);

    for (const SidebarSection &section : sidebarSections()) {
        auto *heading = new QListWidgetItem(section.title, this);
        heading->setFlags(Qt::NoItemFlags);
        heading->setData(kHeadingRole, true);
        heading->setData(Qt::AccessibleTextRole, section.title);
        for (const SidebarRow &row : section.rows) {
            auto *item = new QListWidgetItem(row.title, this);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            item->setData(kDestinationRole, int(row.destination));
            item->setData(Qt::DecorationRole + 100, row.symbol);
            item->setData(Qt::AccessibleTextRole, row.title);
        }
    }

    syncHighlight();
    connect(this, &QListWidget::itemSelectionChanged, this, &SidebarList::onChosen);
    connect(m_workspace, &WorkspaceViewModel::destinationChanged, this, &SidebarList::syncHighlight);
    // A parked choice that the user then drops leaves the screen as it was.
    connect(m_workspace, &WorkspaceViewModel::pendingNavigationChanged, this, &SidebarList::syncHighlight);
}

int SidebarList::rowOf(WorkspaceDestination destination) const
{
    for (int i = 0; i < count(); ++i)
        if (destinationAt(i) == destination)
            return i;
    return -1;
}

std::optional<WorkspaceDestination> SidebarList::destinationAt(int row) const
{
    const QListWidgetItem *it = item(row);
    if (!it || it->data(kHeadingRole).toBool())
        return std::nullopt;
    return WorkspaceDestination(it->data(kDestinationRole).toInt());
}

std::optional<WorkspaceDestination> SidebarList::highlighted() const
{
    const QList<QListWidgetItem *> selected = selectedItems();
    if (selected.isEmpty())
        return std::nullopt;
    return destinationAt(row(selected.first()));
}

QSize SidebarList::sizeHint() const
{
    int height = 8;
    for (int i = 0; i < count(); ++i)
        height += sizeHintForRow(i);
    return {kSidebarColumnWidths.ideal, height};
}

void SidebarList::onChosen()
{
    const std::optional<WorkspaceDestination> chosen = highlighted();
    // Choosing the shown screen, or nothing, changes nothing and asks nothing.
    m_workspace->setSidebarDestination(chosen);
    // The guard may have parked or refused the move: show what is on screen.
    syncHighlight();
}

void SidebarList::syncHighlight()
{
    const int target = rowOf(m_workspace->destination());
    const QSignalBlocker blocker(this);
    if (target >= 0 && !(item(target)->isSelected() && currentRow() == target)) {
        setCurrentRow(target, QItemSelectionModel::ClearAndSelect);
    }
    viewport()->update();
}

WorkspaceSidebar::WorkspaceSidebar(WorkspaceViewModel &workspace, QWidget *parent)
    : QWidget(parent)
    , m_workspace(&workspace)
    , m_teaser(new InsightsTeaserCard(this))
{
    setMinimumWidth(kSidebarColumnWidths.minimum);
    setMaximumWidth(kSidebarColumnWidths.maximum);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *teaserBox = new QVBoxLayout;
    teaserBox->setContentsMargins(12, 8, 12, 6);
    teaserBox->addWidget(m_teaser);
    layout->addLayout(teaserBox);

    m_miniCalendar = makeSidebarMiniCalendar(workspace, this);
    if (m_miniCalendar) {
        auto *calendarBox = new QVBoxLayout;
        calendarBox->setContentsMargins(12, 4, 12, 10);
        calendarBox->addWidget(m_miniCalendar);
        layout->addLayout(calendarBox);
    }
    // Made after the month so Tab visits the sidebar top to bottom.
    m_list = new SidebarList(workspace, this);
    layout->addWidget(m_list, 1);

    connect(m_teaser, &QAbstractButton::clicked, this,
            [this] { m_workspace->requestNavigate(WorkspaceDestination::Weather); });
    connect(m_workspace, &WorkspaceViewModel::journalEntriesChanged, this, &WorkspaceSidebar::refreshTeaser);
    connect(m_workspace, &WorkspaceViewModel::filteredEntriesUpdated, this, &WorkspaceSidebar::refreshTeaser);
    // The week ends with today: a new day drops its oldest day.
    connect(&m_workspace->dayWatch(), &DayWatch::dayChanged, this, &WorkspaceSidebar::refreshTeaser);
    refreshTeaser();
}

void WorkspaceSidebar::refreshTeaser()
{
    m_teaser->setContent(teaserCardContent(m_workspace->journalEntries(), m_workspace->calendar(),
                                           m_workspace->clock().now()));
}

void WorkspaceSidebar::paintEvent(QPaintEvent *)
{
    const ZephyrTheme theme = ThemeScope::themeFor(this);
    QColor fill = theme.surface();
    fill.setAlphaF(kSidebarSurfaceOpacity);
    QPainter p(this);
    p.fillRect(rect(), fill);
    // A hairline where the sidebar meets the columns beside it.
    p.fillRect(QRect(width() - 1, 0, 1, height()), theme.hairline());
}

} // namespace zn
