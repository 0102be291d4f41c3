#pragma once

#include <QList>
#include <QUuid>

namespace zn {

// Where the editor hands every committed entry so its reflection gets
// written. The reflection coordinator implements it; the editor works the
// same with none set.
class InsightQueue
{
public:
    virtual ~InsightQueue() = default;
    virtual void enqueueEntry(const QUuid &entryId) = 0;
    // Many entries at once (an import's), with the same outcome as handing
    // them over one by one in this order.
    virtual void enqueueEntries(const QList<QUuid> &entryIds)
    {
        for (const QUuid &id : entryIds)
            enqueueEntry(id);
    }
};

} // namespace zn
