#include "views/workspace/detail/InsightCardView.h"

#include "core/JournalEntry.h"
#include "reflections/CapabilityDetector.h"
#include "views/workspace/detail/InsightCardPresenter.h"

namespace zn {

InsightCardView::InsightCardView(CapabilityDetector *capability, QWidget *parent)
    : ReflectionPanel(insightcard::title(), insightcard::symbolName(), parent), m_capability(capability)
{
    if (capability) {
        connect(capability, &CapabilityDetector::availabilityChanged, this, &InsightCardView::scheduleRefresh);
        connect(capability, &CapabilityDetector::statusDetailChanged, this, &InsightCardView::scheduleRefresh);
    }
}

void InsightCardView::setEntry(JournalEntry *entry)
{
    if (entry && entry->isDeleted())
        entry = nullptr;
    if (m_entry == entry)
        return;
    disconnect(m_changed);
    disconnect(m_deleted);
    m_entry = entry;
    if (entry) {
        // A reflection is written field by field; one redraw shows them all.
        m_changed = connect(entry, &PersistentModel::changed, this, &InsightCardView::scheduleRefresh);
        m_deleted = connect(entry, &PersistentModel::deleted, this, [this] { setEntry(nullptr); });
    }
    refresh();
}

void InsightCardView::setOnRetry(std::function<void()> onRetry)
{
    setActionHandler(std::move(onRetry));
    refresh();
}

void InsightCardView::scheduleRefresh()
{
    if (m_refreshQueued)
        return;
    m_refreshQueued = true;
    QMetaObject::invokeMethod(this, &InsightCardView::refresh, Qt::QueuedConnection);
}

void InsightCardView::refresh()
{
    m_refreshQueued = false;
    if (!m_entry || m_entry->isDeleted()) {
        setItems({});
        return;
    }
    const auto availability =
        m_capability ? m_capability->availability() : CapabilityDetector::Availability::FrameworkUnavailable;
    const QString detail = m_capability ? m_capability->statusDetail() : QString();
    setItems(insightcard::items(InsightSnapshot::of(*m_entry), availability, detail, hasActionHandler()));
}

} // namespace zn
