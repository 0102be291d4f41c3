#pragma once

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
};

} // namespace zn
