#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <memory>

namespace zn {

class PersistentModel;

// Value kinds a model field can hold, and how each maps to a column.
// Optional kinds hold a null QVariant when absent.
enum class FieldType {
    Uuid,             // QUuid; TEXT, upper-case without braces
    Text,             // QString; TEXT
    OptionalText,     // QString or null; TEXT
    Real,             // double; REAL (NaN kept as the text "NaN")
    OptionalReal,     // double or null; REAL
    Integer,          // qint64; INTEGER
    Bool,             // bool; INTEGER 0/1
    Data,             // QByteArray; BLOB
    DateTime,         // QDateTime, held as a UTC instant; REAL seconds since 1970 (millisecond exact)
    OptionalDateTime, // QDateTime or null
    StringList,       // QStringList; TEXT holding a JSON array
};

struct FieldDescriptor
{
    QString name; // attribute and column name
    FieldType type;
    bool indexed = false;
    // Long texts a list does not show: a large fetch leaves them in the
    // store, and an object reads them (with those of the objects fetched
    // after it) when one of them is first read.
    bool deferred = false;
};

// One persistent model type: its table, its fields in declared order and a
// maker for a blank object holding the field defaults.
struct EntityDescriptor
{
    QString name;
    QList<FieldDescriptor> fields;
    std::function<std::unique_ptr<PersistentModel>()> make;

    int fieldIndex(const QString &fieldName) const;
    bool hasDeferredFields() const;
    QList<int> deferredFields() const;
};

// A versioned set of entities. A store file records the version it was
// made with and only opens under the same version.
struct Schema
{
    QString version;
    QList<const EntityDescriptor *> entities;

    const EntityDescriptor *entity(const QString &name) const;
};

} // namespace zn
