#include "views/workspace/window/JournalWorkspaceView.h"

#include "app/theme/ClimateBackground.h"
#include "views/kit/QtDialogPresenter.h"
#include "views/workspace/detail/EntryDetailView.h"
#include "views/workspace/timeline/EntryListView.h"
#include "views/workspace/window/DestinationPages.h"
#include "views/workspace/window/WorkspaceDialogs.h"
#include "views/workspace/window/WorkspaceLayout.h"
#include "views/workspace/window/WorkspaceSidebar.h"
#include "views/workspace/window/WorkspaceToolbar.h"

#include <QShowEvent>
#include <QSplitter>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace zn {

namespace {

constexpr int kAppearFallbackMs = 200;

} // namespace

JournalWorkspaceView::JournalWorkspaceView(WorkspaceServices services, DialogPresenter *presenter, QWidget *parent)
    : QWidget(parent)
    , m_workspace(std::make_unique<WorkspaceViewModel>(std::move(services)))
{
    if (presenter) {
        m_presenter = presenter;
    } else {
        m_ownedPresenter = std::make_unique<QtDialogPresenter>(this);
        m_presenter = m_ownedPresenter.get();
    }
    setAccessibleName(QStringLiteral("Journal"));

    m_background = new ClimateBackground(this);
    m_background->lower();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_toolbar = new WorkspaceToolbar(*m_workspace, this);
    layout->addWidget(m_toolbar);

    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_splitter->setChildrenCollapsible(false);
    m_splitter->setHandleWidth(1);
    layout->addWidget(m_splitter, 1);

    m_sidebar = new WorkspaceSidebar(*m_workspace);
    m_splitter->addWidget(m_sidebar);

    m_list = new EntryListView(*m_workspace);
    m_list->setMinimumWidth(kListColumnWidths.minimum);
    m_list->setMaximumWidth(kListColumnWidths.maximum);
    m_splitter->addWidget(m_list);

    m_detail = new QStackedWidget;
    m_detail->setMinimumWidth(260);
    m_timelinePage = makeEntryDetailPage(*m_workspace, m_detail);
    m_detail->addWidget(m_timelinePage);
    if (auto *entryDetail = qobject_cast<EntryDetailView *>(m_timelinePage))
        m_toolbar->setDetailAction(entryDetail->editAction());
    m_splitter->addWidget(m_detail);
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 0);
    m_splitter->setStretchFactor(2, 1);
    m_splitter->setSizes({kSidebarColumnWidths.ideal, kListColumnWidths.ideal, 600});

    m_dialogs = new WorkspaceDialogs(*m_workspace, *m_presenter, this);

    connect(m_workspace.get(), &WorkspaceViewModel::destinationChanged, this,
            &JournalWorkspaceView::showDestination);
    // A command before the first frame sets the shown workspace up at once.
    connect(m_workspace.get(), &WorkspaceViewModel::setUpWanted, this, [this] {
        if (m_appearScheduled)
            appear();
    });
    showDestination(m_workspace->destination());
}

JournalWorkspaceView::~JournalWorkspaceView()
{
    // The pages read the view-model: they go first.
    delete m_splitter;
    m_splitter = nullptr;
    delete m_dialogs;
}

QWidget *JournalWorkspaceView::detailPage() const
{
    return m_detail->currentWidget();
}

void JournalWorkspaceView::showDestination(WorkspaceDestination destination)
{
    m_list->setVisible(showsEntryList(destination));
    QWidget *page = nullptr;
    switch (destination) {
    case WorkspaceDestination::Timeline:
        page = m_timelinePage;
        break;
    case WorkspaceDestination::Calendar:
        if (!m_calendarPage) {
            m_calendarPage = makeCalendarPage(*m_workspace, m_detail);
            m_detail->addWidget(m_calendarPage);
        }
        page = m_calendarPage;
        break;
    case WorkspaceDestination::Weather:
        // The weather screen starts at its defaults every time it is shown.
        if (m_weatherPage) {
            m_detail->removeWidget(m_weatherPage);
            m_weatherPage->deleteLater();
        }
        m_weatherPage = makeWeatherPage(*m_workspace, m_detail);
        m_detail->addWidget(m_weatherPage);
        page = m_weatherPage;
        break;
    case WorkspaceDestination::Voice:
        if (!m_voicePage) {
            m_voicePage = makeVoicePage(*m_workspace, m_presenter, m_detail);
            m_detail->addWidget(m_voicePage);
        }
        m_workspace->configureVoiceSession();
        page = m_voicePage;
        break;
    }
    m_detail->setCurrentWidget(page);
    Q_EMIT titleChanged(m_workspace->windowTitle());
}

void JournalWorkspaceView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // A window coming back from the taskbar is the same workspace: only the
    // first real show sets it up.
    if (m_appeared || m_appearScheduled || event->spontaneous())
        return;
    m_appearScheduled = true;
    m_background->installEventFilter(this);
    // Should no frame come (a window shown minimised), set up anyway.
    QTimer::singleShot(kAppearFallbackMs, this, &JournalWorkspaceView::appear);
}

bool JournalWorkspaceView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_background && event->type() == QEvent::Paint && !m_appeared) {
        m_background->removeEventFilter(this);
        // After this paint pass, before anything else.
        QTimer::singleShot(0, this, &JournalWorkspaceView::appear);
    }
    return QWidget::eventFilter(watched, event);
}

void JournalWorkspaceView::appear()
{
    if (m_appeared)
        return;
    m_appeared = true;
    m_background->removeEventFilter(this);
    m_workspace->handleAppear();
    m_sidebar->refreshTeaser();
    Q_EMIT titleChanged(m_workspace->windowTitle());
}

void JournalWorkspaceView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_background->setGeometry(rect());
}

} // namespace zn
