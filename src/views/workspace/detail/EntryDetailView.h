#pragma once

#include "core/JournalEntry.h"
#include "views/workspace/detail/DetailPresenter.h"

#include <QPointer>
#include <QUuid>
#include <QWidget>

#include <functional>
#include <optional>

class QAction;
class QStackedLayout;

namespace zn {

class CapabilityDetector;
class EditorSession;
class EmptyDeskView;
class InsightCoordinator;
class ModelContext;
class ReadingPage;
class WritingSurface;

// The detail column on the journal screens: where one entry is read, written
// or edited. Its face follows the editor session's mode: the empty desk, the
// reading page of a saved entry, or the writing surface. It owns no editing
// rules: typing goes to the session's draft text, and it shows the session's
// live mood and save state as they change.
//
// The window gives it the entry selected in the timeline with setEntry()
// (the workspace's detailEntry(), again whenever that may have changed) and
// calls handleAppear() each time the journal screen comes on screen. The
// reading page's "Edit" is editAction(), for the window's toolbar; it is
// visible only while the reading page shows.
class EntryDetailView : public QWidget
{
    Q_OBJECT
public:
    static constexpr qreal kDefaultMeasure = 680;

    // `editor` must outlive the view; the others are watched and may go.
    // `coordinator` may be null: no stale check and no queueing on Retry.
    EntryDetailView(EditorSession &editor, ModelContext *context, InsightCoordinator *coordinator,
                    CapabilityDetector *capability, std::function<void()> onRequestVoice,
                    QWidget *parent = nullptr, qreal measureMax = kDefaultMeasure);
    ~EntryDetailView() override;

    // The selected saved entry, or null. A new id runs the stale check.
    void setEntry(JournalEntry *entry);
    JournalEntry *entry() const;

    // The pane came on screen: the editor gets the store and the
    // coordinator, and a reflection of the entry stuck for more than 70
    // seconds is given up.
    void handleAppear();

    // The reflection card's Retry for the shown entry.
    void retryReflection();

    QAction *editAction() const { return m_editAction; }
    detail::Face face() const { return m_face; }
    EmptyDeskView *emptyDesk() const { return m_emptyDesk; }
    ReadingPage *readingPage() const { return m_reading; }
    WritingSurface *writingSurface() const { return m_writing; }
    qreal measureMax() const { return m_measureMax; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void updateFace();
    void scheduleRefresh();
    void refresh();
    void runStaleCheck();
    void onEntryDeleted();

    EditorSession &m_editor;
    QPointer<ModelContext> m_context;
    QPointer<InsightCoordinator> m_coordinator;
    QPointer<CapabilityDetector> m_capability;
    qreal m_measureMax;

    QPointer<JournalEntry> m_entry;
    std::optional<QUuid> m_entryId;
    QMetaObject::Connection m_entryChanged;
    QMetaObject::Connection m_entryDeleted;

    QStackedLayout *m_faces;
    EmptyDeskView *m_emptyDesk;
    ReadingPage *m_reading;
    WritingSurface *m_writing;
    QAction *m_editAction;
    detail::Face m_face = detail::Face::EmptyDesk;
    bool m_refreshQueued = false;
};

} // namespace zn
