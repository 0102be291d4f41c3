#pragma once

#include "core/JournalEntry.h"
#include "core/WeeklyReflectionRecord.h"
#include "platform/store/FetchDescriptor.h"
#include "platform/store/ModelContext.h"

#include <QDateTime>
#include <QList>
#include <QUuid>

namespace zn {

// The fetches the journal needs. Each gives no result on a store error;
// pass `error` to learn about it.

// The entry with this id (the first by timestamp should ids ever repeat).
JournalEntry *fetchEntry(ModelContext &context, const QUuid &id, StoreError *error = nullptr);

// The record with this key (the newest by generatedAt should keys repeat).
WeeklyReflectionRecord *fetchWeeklyRecord(ModelContext &context, const QString &weekKey,
                                          StoreError *error = nullptr);

// Non-draft entries with start <= timestamp < end, oldest first.
QList<JournalEntry *> fetchEntries(ModelContext &context, const QDateTime &start, const QDateTime &end,
                                   StoreError *error = nullptr);

// Every entry, drafts included, newest first.
QList<JournalEntry *> fetchAllEntries(ModelContext &context, StoreError *error = nullptr);

// Every weekly record, in store order.
QList<WeeklyReflectionRecord *> fetchAllWeeklyRecords(ModelContext &context, StoreError *error = nullptr);

// Descriptors behind the fetches above, for StoreQuery.
FetchDescriptor entryByIdDescriptor(const QUuid &id);
FetchDescriptor weeklyRecordByKeyDescriptor(const QString &weekKey);
FetchDescriptor entriesInRangeDescriptor(const QDateTime &start, const QDateTime &end);
FetchDescriptor allEntriesNewestFirstDescriptor();
// The journal as it is read: every entry but the drafts, newest first.
FetchDescriptor finishedEntriesNewestFirstDescriptor();
FetchDescriptor allWeeklyRecordsDescriptor();

} // namespace zn
