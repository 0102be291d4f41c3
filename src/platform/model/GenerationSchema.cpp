#include "platform/model/GenerationSchema.h"

#include "platform/model/OrderedJson.h"

namespace zn::lm {

namespace {

void addKind(OrderedJsonObject &object, ValueKind kind)
{
    switch (kind) {
    case ValueKind::Number:
        object.add(QStringLiteral("type"), QByteArrayLiteral("\"number\""));
        return;
    case ValueKind::Text:
        object.add(QStringLiteral("type"), QByteArrayLiteral("\"string\""));
        return;
    case ValueKind::TextList:
        object.add(QStringLiteral("type"), QByteArrayLiteral("\"array\""))
            .add(QStringLiteral("items"), QByteArrayLiteral("{\"type\":\"string\"}"));
        return;
    }
}

} // namespace

QByteArray GenerationSchema::toJsonSchema() const
{
    OrderedJsonObject fields;
    QList<QByteArray> required;
    for (const PropertySchema &property : properties) {
        OrderedJsonObject field;
        field.addText(QStringLiteral("description"), property.description);
        addKind(field, property.kind);
        fields.add(property.name, field.toJson());
        required << jsonQuoted(property.name);
    }
    return OrderedJsonObject()
        .addText(QStringLiteral("title"), typeName)
        .addText(QStringLiteral("description"), description)
        .add(QStringLiteral("type"), QByteArrayLiteral("\"object\""))
        .add(QStringLiteral("properties"), fields.toJson())
        .add(QStringLiteral("required"), jsonArray(required))
        .add(QStringLiteral("additionalProperties"), QByteArrayLiteral("false"))
        .toJson();
}

} // namespace zn::lm
