#pragma once

// Names and SQL pieces the store's statements share: table and view names
// made from an entity, quoted identifiers, column lists. Identifiers in SQL
// text only ever come from the schema.

#include "platform/store/FieldValues.h"
#include "platform/store/Schema.h"

#include <QSqlError>
#include <QString>
#include <QStringList>

namespace zn::sql {

inline QString quoted(const QString &identifier)
{
    return QLatin1Char('"') + identifier + QLatin1Char('"');
}

inline QString sqlError(const QSqlError &e)
{
    QString text = e.databaseText();
    if (text.isEmpty())
        text = e.text();
    return text.isEmpty() ? QStringLiteral("unknown database error") : text;
}

// Long fields live beside their row, in a table keyed by the same row key:
// a list reads its columns from a table a tenth the size.
inline QString longTableName(const EntityDescriptor &entity)
{
    return QStringLiteral("zn_long_") + entity.name;
}

// A connection-local view that joins the two back into whole rows.
inline QString wholeViewName(const EntityDescriptor &entity)
{
    return QStringLiteral("zn_whole_") + entity.name;
}

// The columns of an entity's row table (`longFields` false: its row key,
// never given twice, and the fields a list reads) or of its long-field
// table (true: the same key and the deferred fields), as CREATE TABLE
// takes them.
inline QString tableDefinition(const EntityDescriptor &entity, bool longFields)
{
    QStringList columns{longFields ? QStringLiteral("pk INTEGER PRIMARY KEY")
                                   : QStringLiteral("pk INTEGER PRIMARY KEY AUTOINCREMENT")};
    for (const FieldDescriptor &f : entity.fields) {
        if (f.deferred == longFields)
            columns.append(quoted(f.name) + QLatin1Char(' ') + store::columnType(f.type));
    }
    return columns.join(QStringLiteral(", "));
}

inline QStringList fieldColumns(const EntityDescriptor &entity, bool deferred)
{
    QStringList names;
    for (const FieldDescriptor &f : entity.fields) {
        if (f.deferred == deferred)
            names.append(quoted(f.name));
    }
    return names;
}

} // namespace zn::sql
