#include "core/JournalQueries.h"

namespace zn {
namespace {

template<class T>
T *first(const QList<T *> &list)
{
    return list.isEmpty() ? nullptr : list.first();
}

} // namespace

FetchDescriptor entryByIdDescriptor(const QUuid &id)
{
    FetchDescriptor d;
    d.predicate = Predicate::where(JournalEntry::Id, CompareOp::Equal, QVariant::fromValue(id));
    d.sortBy = {{JournalEntry::Timestamp, SortOrder::Forward}};
    d.fetchLimit = 1;
    return d;
}

FetchDescriptor weeklyRecordByKeyDescriptor(const QString &weekKey)
{
    FetchDescriptor d;
    d.predicate = Predicate::where(WeeklyReflectionRecord::WeekKey, CompareOp::Equal, weekKey);
    d.sortBy = {{WeeklyReflectionRecord::GeneratedAt, SortOrder::Reverse}};
    d.fetchLimit = 1;
    return d;
}

FetchDescriptor entriesInRangeDescriptor(const QDateTime &start, const QDateTime &end)
{
    FetchDescriptor d;
    d.predicate = Predicate::where(JournalEntry::IsDraft, CompareOp::Equal, false);
    d.predicate.andWhere(JournalEntry::Timestamp, CompareOp::GreaterOrEqual, start)
        .andWhere(JournalEntry::Timestamp, CompareOp::Less, end);
    d.sortBy = {{JournalEntry::Timestamp, SortOrder::Forward}};
    return d;
}

FetchDescriptor allEntriesNewestFirstDescriptor()
{
    FetchDescriptor d;
    d.sortBy = {{JournalEntry::Timestamp, SortOrder::Reverse}};
    return d;
}

FetchDescriptor finishedEntriesNewestFirstDescriptor()
{
    FetchDescriptor d = allEntriesNewestFirstDescriptor();
    d.predicate = Predicate::where(JournalEntry::IsDraft, CompareOp::Equal, false);
    return d;
}

FetchDescriptor allWeeklyRecordsDescriptor()
{
    return {};
}

JournalEntry *fetchEntry(ModelContext &context, const QUuid &id, StoreError *error)
{
    return first(context.fetch<JournalEntry>(entryByIdDescriptor(id), error));
}

WeeklyReflectionRecord *fetchWeeklyRecord(ModelContext &context, const QString &weekKey, StoreError *error)
{
    return first(context.fetch<WeeklyReflectionRecord>(weeklyRecordByKeyDescriptor(weekKey), error));
}

QList<JournalEntry *> fetchEntries(ModelContext &context, const QDateTime &start, const QDateTime &end,
                                   StoreError *error)
{
    return context.fetch<JournalEntry>(entriesInRangeDescriptor(start, end), error);
}

QList<JournalEntry *> fetchAllEntries(ModelContext &context, StoreError *error)
{
    return context.fetch<JournalEntry>(allEntriesNewestFirstDescriptor(), error);
}

QList<WeeklyReflectionRecord *> fetchAllWeeklyRecords(ModelContext &context, StoreError *error)
{
    return context.fetch<WeeklyReflectionRecord>(allWeeklyRecordsDescriptor(), error);
}

} // namespace zn
