#include "core/JournalSchema.h"

#include "core/JournalEntry.h"
#include "core/WeeklyReflectionRecord.h"

namespace zn {

QString ZephyrnoteSchemaV2::versionIdentifier()
{
    return QStringLiteral("2.0.0");
}

QList<const EntityDescriptor *> ZephyrnoteSchemaV2::models()
{
    return {&JournalEntry::entityDescriptor(), &WeeklyReflectionRecord::entityDescriptor()};
}

const Schema &ZephyrnoteSchemaV2::schema()
{
    static const Schema s{versionIdentifier(), models()};
    return s;
}

QList<const Schema *> ZephyrnoteMigrationPlan::schemas()
{
    return {&ZephyrnoteSchemaV2::schema()};
}

} // namespace zn
