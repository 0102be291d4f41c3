#pragma once

#include "core/JournalEntry.h"
#include "views/workspace/detail/ReflectionPanel.h"

#include <QPointer>

#include <functional>

namespace zn {

class CapabilityDetector;

// An entry's reflection card: a "Reflection" panel whose content follows the
// entry's reflection status and the model's availability (see
// insightcard::items). Every button calls the Retry action; without one the
// card shows no buttons. Redraws as soon as the entry or the availability
// changes; an entry that is deleted shows nothing more and is let go.
class InsightCardView : public ReflectionPanel
{
    Q_OBJECT
public:
    explicit InsightCardView(CapabilityDetector *capability, QWidget *parent = nullptr);

    void setEntry(JournalEntry *entry);
    JournalEntry *entry() const { return m_entry; }
    void setOnRetry(std::function<void()> onRetry);

    // Recomputes the content now (changes are otherwise gathered and shown
    // once control returns to the event loop).
    void refresh();

private:
    void scheduleRefresh();

    QPointer<JournalEntry> m_entry;
    QPointer<CapabilityDetector> m_capability;
    QMetaObject::Connection m_changed;
    QMetaObject::Connection m_deleted;
    bool m_refreshQueued = false;
};

} // namespace zn
