#include "views/workspace/detail/EntryDetailView.h"

#include "app/theme/ThemeScope.h"
#include "core/EditorSession.h"
#include "platform/store/ModelContext.h"
#include "reflections/CapabilityDetector.h"
#include "reflections/InsightCoordinator.h"
#include "views/workspace/detail/EmptyDeskView.h"
#include "views/workspace/detail/ReadingPage.h"
#include "views/workspace/detail/WritingSurface.h"

#include <QAction>
#include <QPainter>
#include <QStackedLayout>

namespace zn {

EntryDetailView::EntryDetailView(EditorSession &editor, ModelContext *context, InsightCoordinator *coordinator,
                                 CapabilityDetector *capability, std::function<void()> onRequestVoice,
                                 QWidget *parent, qreal measureMax)
    : QWidget(parent)
    , m_editor(editor)
    , m_context(context)
    , m_coordinator(coordinator)
    , m_capability(capability)
    , m_measureMax(measureMax)
    , m_faces(new QStackedLayout(this))
{
    m_emptyDesk = new EmptyDeskView(tr("Your desk is clear"),
                                    tr("Write or speak when you’re ready. Everything stays on your computer."),
                                    [this] { m_editor.startNewDraft(QString()); },
                                    [onRequestVoice] {
                                        if (onRequestVoice)
                                            onRequestVoice();
                                    },
                                    this);
    m_reading = new ReadingPage(capability, measureMax, this);
    m_reading->setOnRetry([this] { retryReflection(); });
    m_writing = new WritingSurface(editor, measureMax, this);
    m_faces->addWidget(m_emptyDesk);
    m_faces->addWidget(m_reading);
    m_faces->addWidget(m_writing);

    m_editAction = new QAction(tr("Edit"), this);
    m_editAction->setVisible(false);
    connect(m_editAction, &QAction::triggered, this, [this] { m_editor.beginEditing(); });

    connect(&editor, &EditorSession::modeChanged, this, &EntryDetailView::updateFace);
    // What the faces show; each signal redraws only the face on screen.
    connect(&editor, &EditorSession::draftTextChanged, this, &EntryDetailView::refresh);
    connect(&editor, &EditorSession::liveSentimentChanged, this, &EntryDetailView::refresh);
    connect(&editor, &EditorSession::liveWeatherChanged, this, &EntryDetailView::refresh);
    connect(&editor, &EditorSession::saveStatusChanged, this, &EntryDetailView::refresh);
    connect(&editor, &EditorSession::selectedEntryIDChanged, this, &EntryDetailView::refresh);
    updateFace();
}

EntryDetailView::~EntryDetailView() = default;

JournalEntry *EntryDetailView::entry() const
{
    return m_entry && !m_entry->isDeleted() ? m_entry.data() : nullptr;
}

void EntryDetailView::setEntry(JournalEntry *entry)
{
    if (entry && entry->isDeleted())
        entry = nullptr;
    if (m_entry != entry) {
        disconnect(m_entryChanged);
        disconnect(m_entryDeleted);
        m_entry = entry;
        if (entry) {
            m_entryChanged = connect(entry, &PersistentModel::changed, this, &EntryDetailView::scheduleRefresh);
            m_entryDeleted = connect(entry, &PersistentModel::deleted, this, &EntryDetailView::onEntryDeleted);
        }
    }
    const std::optional<QUuid> id = entry ? std::optional<QUuid>(entry->id()) : std::nullopt;
    if (id != m_entryId) {
        m_entryId = id;
        runStaleCheck();
    }
    refresh();
}

void EntryDetailView::onEntryDeleted()
{
    // The title and mood fall back to the editor's text and live score.
    disconnect(m_entryChanged);
    disconnect(m_entryDeleted);
    m_entry = nullptr;
    refresh();
}

void EntryDetailView::handleAppear()
{
    m_editor.setModelContext(m_context);
    if (m_coordinator) {
        m_editor.setInsightCoordinator(m_coordinator);
        runStaleCheck();
    }
}

void EntryDetailView::runStaleCheck()
{
    if (JournalEntry *shown = entry(); shown && m_coordinator)
        m_coordinator->failStaleInFlightEntry(shown->id(), detail::kStaleReflectionSeconds);
}

void EntryDetailView::retryReflection()
{
    if (JournalEntry *shown = entry())
        detail::retryReflection(*shown, m_coordinator, m_context);
}

void EntryDetailView::updateFace()
{
    m_face = detail::faceFor(m_editor.mode());
    switch (m_face) {
    case detail::Face::EmptyDesk:
        m_faces->setCurrentWidget(m_emptyDesk);
        break;
    case detail::Face::Reading:
        m_faces->setCurrentWidget(m_reading);
        break;
    case detail::Face::Writing:
        m_faces->setCurrentWidget(m_writing);
        break;
    }
    m_writing->setActive(m_face == detail::Face::Writing);
    m_editAction->setVisible(m_face == detail::Face::Reading);
    refresh();
}

void EntryDetailView::scheduleRefresh()
{
    // An entry is written field by field; one redraw shows them all.
    if (m_refreshQueued)
        return;
    m_refreshQueued = true;
    QMetaObject::invokeMethod(this, &EntryDetailView::refresh, Qt::QueuedConnection);
}

void EntryDetailView::refresh()
{
    m_refreshQueued = false;
    switch (m_face) {
    case detail::Face::EmptyDesk:
        break;
    case detail::Face::Reading:
        m_reading->refresh(entry(), m_editor);
        break;
    case detail::Face::Writing:
        m_writing->refresh(entry());
        break;
    }
}

void EntryDetailView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), ThemeScope::themeFor(this).paper());
}

} // namespace zn
