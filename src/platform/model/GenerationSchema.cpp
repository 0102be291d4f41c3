#include "platform/model/GenerationSchema.h"

#include "platform/model/GeneratedContent.h"

namespace zn::lm {

namespace {

QByteArray kindSchema(ValueKind kind)
{
    switch (kind) {
    case ValueKind::Number:
        return QByteArrayLiteral("\"type\":\"number\"");
    case ValueKind::Text:
        return QByteArrayLiteral("\"type\":\"string\"");
    case ValueKind::TextList:
        return QByteArrayLiteral("\"type\":\"array\",\"items\":{\"type\":\"string\"}");
    }
    return {};
}

} // namespace

// Written by hand: QJsonObject would sort the properties, and the model
// should meet them in declared order.
QByteArray GenerationSchema::toJsonSchema() const
{
    QByteArray out;
    out.reserve(4096);
    out += "{\"title\":";
    out += jsonQuoted(typeName);
    out += ",\"description\":";
    out += jsonQuoted(description);
    out += ",\"type\":\"object\",\"properties\":{";
    bool first = true;
    for (const PropertySchema &property : properties) {
        if (!first)
            out += ',';
        first = false;
        out += jsonQuoted(property.name);
        out += ":{\"description\":";
        out += jsonQuoted(property.description);
        out += ',';
        out += kindSchema(property.kind);
        out += '}';
    }
    out += "},\"required\":[";
    first = true;
    for (const PropertySchema &property : properties) {
        if (!first)
            out += ',';
        first = false;
        out += jsonQuoted(property.name);
    }
    out += "],\"additionalProperties\":false}";
    return out;
}

} // namespace zn::lm
