#pragma once

#include "platform/store/Schema.h"

#include <QList>
#include <QString>

namespace zn {

// The journal's versioned schema: version 2.0.0 with JournalEntry and
// WeeklyReflectionRecord, in that order.
struct ZephyrnoteSchemaV2
{
    static QString versionIdentifier(); // "2.0.0"
    static QList<const EntityDescriptor *> models();
    static const Schema &schema();
};

// No migration stages: a store that does not open under the current schema
// goes down the container's fallback chain instead.
struct ZephyrnoteMigrationPlan
{
    static QList<const Schema *> schemas();
    static int stageCount() { return 0; }
};

} // namespace zn
