#include "views/workspace/timeline/EntryListView.h"

#include "app/marks/TextStyles.h"
#include "app/theme/ThemeScope.h"
#include "core/DayWatch.h"
#include "core/JournalEntry.h"
#include "views/workspace/state/WorkspaceViewModel.h"
#include "views/workspace/timeline/EmptyStateView.h"
#include "views/workspace/timeline/EntryListControls.h"
#include "views/workspace/timeline/FilterChip.h"
#include "views/workspace/timeline/TimelineListModel.h"
#include "views/workspace/timeline/TimelineListView.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace zn {
namespace {

// The faint line under the list's header.
class Divider : public QWidget
{
public:
    explicit Divider(QWidget *parent)
        : QWidget(parent)
    {
        setFixedHeight(1);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QColor line = ThemeScope::themeFor(this).ink();
        line.setAlphaF(line.alphaF() * 0.2f);
        QPainter(this).fillRect(rect(), line);
    }
};

// "HOW DID IT FEEL?": the small upper-case caption over the chips.
class CaptionLabel : public QLabel
{
public:
    CaptionLabel(const QString &text, QWidget *parent)
        : QLabel(parent)
    {
        QFont font = textStyleFont(TextStyle::Caption2, FontWeight::Semibold);
        font.setLetterSpacing(QFont::AbsoluteSpacing, 0.4);
        setFont(font);
        setTextFormat(Qt::PlainText);
        setText(QLocale().toUpper(text));
        setAccessibleName(text);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        const bool dark = ThemeScope::themeFor(this).isDark();
        QPainter painter(this);
        painter.setFont(font());
        painter.setPen(dark ? QColor::fromRgbF(1, 1, 1, 0.38f) : QColor::fromRgbF(0, 0, 0, 0.34f));
        painter.drawText(contentsRect(), Qt::AlignLeft | Qt::AlignVCenter, text());
    }
};

} // namespace

EntryListActions EntryListView::workspaceActions(WorkspaceViewModel &workspace)
{
    WorkspaceViewModel *vm = &workspace;
    EntryListActions actions;
    actions.onSelect = [vm](JournalEntry *entry) { vm->requestSelectEntry(entry, false); };
    actions.onEdit = [vm](JournalEntry *entry) { vm->requestSelectEntry(entry, true); };
    actions.onDelete = [vm](JournalEntry *entry) { vm->requestDelete(entry); };
    actions.onClearDayFilter = [vm] { vm->clearDayFilter(); };
    actions.onNewEntry = [vm] { vm->requestNewEntry(); };
    actions.onVoice = [vm] { vm->requestNavigate(WorkspaceDestination::Voice); };
    return actions;
}

EntryListView::EntryListView(WorkspaceViewModel &workspace, QWidget *parent)
    : EntryListView(workspace, workspaceActions(workspace), parent)
{
}

EntryListView::EntryListView(WorkspaceViewModel &workspace, EntryListActions actions, QWidget *parent)
    : QWidget(parent)
    , m_workspace(&workspace)
    , m_actions(std::move(actions))
{
    WorkspaceViewModel *vm = &workspace;
    m_bindings.setMoodFilter = [vm](MoodFilter filter) { vm->setMoodFilter(filter); };
    m_bindings.setSearchText = [vm](const QString &text) { vm->setSearchText(text); };

    setMinimumWidth(280);
    setMaximumWidth(440);
    setAttribute(Qt::WA_OpaquePaintEvent, false);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto *header = new QWidget(this);
    column->addWidget(header);
    column->addWidget(new Divider(this));

    auto *headerColumn = new QVBoxLayout(header);
    headerColumn->setContentsMargins(12, 12, 12, 12);
    headerColumn->setSpacing(10);
    m_search = new SearchField(header);
    headerColumn->addWidget(m_search);
    m_banner = new DayBanner(header);
    headerColumn->addWidget(m_banner);

    auto *mood = new QVBoxLayout;
    mood->setSpacing(6);
    m_moodCaption = new CaptionLabel(QCoreApplication::translate("EntryListView", "How did it feel?"), header);
    mood->addWidget(m_moodCaption);
    m_moodScroller = new QScrollArea(header);
    m_moodScroller->setAccessibleName(QCoreApplication::translate("EntryListView", "Mood filters"));
    m_moodScroller->setFrameShape(QFrame::NoFrame);
    m_moodScroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_moodScroller->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The chips are the stops; the strip that holds them is not one.
    m_moodScroller->setFocusPolicy(Qt::NoFocus);
    m_moodScroller->setWidgetResizable(true);
    m_moodScroller->viewport()->setAutoFillBackground(false);
    auto *chipRow = new QWidget;
    auto *chips = new QHBoxLayout(chipRow);
    chips->setContentsMargins(0, 0, 0, 0);
    chips->setSpacing(8);
    for (MoodFilter filter : allMoodFilters()) {
        auto *chip = new FilterChip(moodChipTitle(filter), chipRow);
        connect(chip, &QAbstractButton::clicked, this, [vm, filter] { vm->setMoodFilter(filter); });
        chips->addWidget(chip);
        m_chips.append(chip);
    }
    chips->addStretch(1);
    m_moodScroller->setWidget(chipRow);
    chipRow->setAutoFillBackground(false); // setWidget() turned it on
    m_moodScroller->setFixedHeight(chipRow->sizeHint().height());
    mood->addWidget(m_moodScroller);
    headerColumn->addLayout(mood);

    // Made after the header, so Tab reads the column from the top: the
    // search, the day banner, the chips, then the entries.
    m_stack = new QStackedWidget(this);
    m_empty = new EmptyStateView(m_stack);
    m_model = new TimelineListModel(workspace.dayWatch(), this);
    m_timeline = new TimelineListView(*m_model, m_stack);
    m_timeline->setActions(m_actions);
    m_stack->addWidget(m_timeline);
    m_stack->addWidget(m_empty);
    column->addWidget(m_stack, 1);

    // Bindings both ways: the workspace's state in, the user's changes out.
    connect(m_search, &SearchField::textEdited, this, [vm](const QString &text) { vm->setSearchText(text); });
    connect(m_search, &SearchField::focusChanged, this, [vm](bool focused) { vm->setSearchFocused(focused); });
    connect(m_banner, &DayBanner::clearRequested, this, [this] {
        if (m_actions.onClearDayFilter)
            m_actions.onClearDayFilter();
    });
    connect(m_empty, &EmptyStateView::actionTriggered, this, &EntryListView::runEmptyStateAction);

    connect(vm, &WorkspaceViewModel::filteredEntriesChanged, this, &EntryListView::refreshEntries);
    connect(vm, &WorkspaceViewModel::filteredEntriesUpdated, m_model, &TimelineListModel::entriesUpdated);
    connect(vm, &WorkspaceViewModel::selectionChanged, this, &EntryListView::refreshSelection);
    connect(vm, &WorkspaceViewModel::searchTextChanged, this, &EntryListView::filtersChanged);
    connect(vm, &WorkspaceViewModel::moodFilterChanged, this, &EntryListView::filtersChanged);
    connect(vm, &WorkspaceViewModel::dayFilterChanged, this, &EntryListView::filtersChanged);
    connect(vm, &WorkspaceViewModel::searchFocusRequested, this, &EntryListView::focusSearchField);
    connect(&vm->dayWatch(), &DayWatch::timeZoneChanged, this, [this] {
        m_model->regroup(m_workspace->filteredEntries());
        refreshSelection();
    });
    connect(vm, &WorkspaceViewModel::searchFocusedChanged, this, [this](bool focused) {
        if (focused)
            focusSearchField();
        else if (m_search->lineEdit()->hasFocus())
            m_search->lineEdit()->clearFocus();
    });

    refreshFilters();
    refreshEntries();
}

void EntryListView::refreshSelection()
{
    const std::optional<QUuid> id = m_workspace->selection();
    const bool moved = m_model->selection() != id;
    m_model->setSelection(id);
    // The view's own selection mirrors the workspace's so assistive tools
    // hear which card is selected; the user never changes it directly.
    JournalEntry *entry = id ? m_workspace->journalEntry(*id) : nullptr;
    const int row = entry ? m_model->rowOf(entry) : -1;
    QItemSelectionModel *selection = m_timeline->selectionModel();
    if (row >= 0) {
        selection->select(m_model->index(row), QItemSelectionModel::ClearAndSelect);
        // The keyboard's place follows a new selection (Ctrl+] or Ctrl+[, a
        // day picked, an entry saved), so Return and the arrows go on from
        // the card now selected, not from the one before.
        if (moved)
            selection->setCurrentIndex(m_model->index(row), QItemSelectionModel::NoUpdate);
    } else {
        selection->clearSelection();
    }
}

EntryListView::~EntryListView() = default;

QSize EntryListView::sizeHint() const
{
    return QSize(340, QWidget::sizeHint().height());
}

bool EntryListView::showsEmptyState() const
{
    return m_stack->currentWidget() == m_empty;
}

void EntryListView::refreshEntries()
{
    m_model->setEntries(m_workspace->filteredEntries());
    refreshSelection();
    refreshEmptyState();
    // The workspace narrows its list right after announcing the new
    // filter: the new list, too, shows from its top.
    if (m_showFromTop) {
        m_showFromTop = false;
        m_timeline->scrollToTop();
    }
}

void EntryListView::filtersChanged()
{
    refreshFilters();
    // Results of another search or filter read from the first one, not
    // from where the old list was scrolled to.
    m_timeline->scrollToTop();
    m_showFromTop = true;
    QTimer::singleShot(0, this, [this] { m_showFromTop = false; });
}

void EntryListView::refreshFilters()
{
    m_search->setText(m_workspace->searchText());
    const MoodFilter mood = m_workspace->moodFilter();
    for (qsizetype i = 0; i < m_chips.size(); ++i)
        m_chips[i]->setSelected(allMoodFilters().at(i) == mood);
    const std::optional<QDateTime> day = m_workspace->dayFilter();
    const bool banner = showsDayBanner(day, m_actions);
    if (banner)
        m_banner->setDay(*day);
    m_banner->setVisible(banner);
    refreshEmptyState();
}

void EntryListView::refreshEmptyState()
{
    const bool empty = m_workspace->filteredEntries().isEmpty();
    if (empty) {
        const bool active = entryListFiltersActive(m_workspace->searchText(), m_workspace->moodFilter(),
                                                   m_workspace->dayFilter().has_value());
        m_empty->setContent(emptyStateContent(active, bool(m_actions.onNewEntry), bool(m_actions.onVoice)));
    }
    m_stack->setCurrentWidget(empty ? static_cast<QWidget *>(m_empty) : m_timeline);
}

void EntryListView::focusSearchField()
{
    // A field not yet on screen cannot take focus: try again once shown.
    if (!m_search->isVisible()) {
        QTimer::singleShot(0, this, [this] {
            if (m_search->isVisible())
                m_search->lineEdit()->setFocus(Qt::ShortcutFocusReason);
        });
        return;
    }
    m_search->lineEdit()->setFocus(Qt::ShortcutFocusReason);
    m_search->lineEdit()->selectAll();
}

void EntryListView::runEmptyStateAction(EmptyStateAction action)
{
    switch (action) {
    case EmptyStateAction::ClearFilters:
        clearEntryListFilters(m_bindings, m_actions);
        return;
    case EmptyStateAction::Write:
        if (m_actions.onNewEntry)
            m_actions.onNewEntry();
        return;
    case EmptyStateAction::Voice:
        if (m_actions.onVoice)
            m_actions.onVoice();
        return;
    }
}

void EntryListView::paintEvent(QPaintEvent *)
{
    QColor fill = ThemeScope::themeFor(this).surface();
    fill.setAlphaF(0.35f);
    QPainter(this).fillRect(rect(), fill);
}

} // namespace zn
