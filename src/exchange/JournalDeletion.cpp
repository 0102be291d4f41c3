#include "exchange/JournalImport.h"

#include "core/JournalEntry.h"
#include "core/WeeklyReflectionRecord.h"
#include "platform/base/SystemLog.h"
#include "platform/store/ModelContext.h"

namespace zn {
namespace {

// Objects of `context` never saved yet; they have no row to delete.
template<class T>
QList<T *> unsaved(const QList<T *> &objects)
{
    QList<T *> out;
    for (T *m : objects) {
        if (m->persistentModelID().isTemporary() && !m->isDeleted())
            out.append(m);
    }
    return out;
}

} // namespace

std::optional<StoreError> deleteAllJournalData(ModelContext &context)
{
    ModelContainer *container = context.container();
    if (!container)
        return StoreError(StoreError::Code::Closed, QStringLiteral("The journal store is closed."));

    StoreError error(StoreError::Code::FetchFailed, QString());
    const auto pendingEntries = unsaved(context.fetch<JournalEntry>({}, &error));
    const auto pendingRecords = unsaved(context.fetch<WeeklyReflectionRecord>({}, &error));
    if (!error.message.isEmpty())
        return error;

    // The rows go in a context of their own: when the save is refused it is
    // simply dropped, and the caller's context, unsaved work included, stays
    // exactly as it was. A successful save reaches the caller's context
    // before save() returns.
    {
        ModelContext scratch(container);
        const QList<JournalEntry *> entries = scratch.fetch<JournalEntry>({}, &error);
        const QList<WeeklyReflectionRecord *> records = scratch.fetch<WeeklyReflectionRecord>({}, &error);
        if (!error.message.isEmpty())
            return error;
        for (JournalEntry *e : entries)
            scratch.remove(e);
        for (WeeklyReflectionRecord *r : records)
            scratch.remove(r);
        if (auto saveError = scratch.save())
            return saveError;
    }
    // The deleted pages are zeroed, but the file keeps its size and the log
    // its frames until they are given back: done now, so that when the
    // caller says the journal is gone, nothing of it is left on disk.
    if (auto reclaimError = container->reclaimFreePages())
        systemLog(QStringLiteral("Zephyrnote: The space of the deleted journal could not be given back (%1).")
                      .arg(reclaimError->description()));
    for (JournalEntry *e : pendingEntries)
        context.remove(e);
    for (WeeklyReflectionRecord *r : pendingRecords)
        context.remove(r);
    return std::nullopt;
}

} // namespace zn
