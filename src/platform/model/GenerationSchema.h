#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

namespace zn::lm {

enum class ValueKind { Number, Text, TextList };

// One field the model must fill. No guides (ranges, counts, patterns):
// limits reach the model only through the description.
struct PropertySchema
{
    QString name;
    ValueKind kind = ValueKind::Text;
    QString description;

    bool operator==(const PropertySchema &) const = default;
};

// A structured answer: a type description and its fields in declared order.
struct GenerationSchema
{
    QString typeName;
    QString description;
    std::vector<PropertySchema> properties;

    bool operator==(const GenerationSchema &) const = default;

    // JSON Schema of the type with properties in declared order, every field
    // required and no additional properties. Compact, UTF-8.
    QByteArray toJsonSchema() const;
};

} // namespace zn::lm
