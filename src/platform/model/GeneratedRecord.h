#pragma once

#include "platform/model/GeneratedContent.h"
#include "platform/model/GenerationSchema.h"

#include <QJsonArray>
#include <QString>
#include <QStringList>

#include <variant>
#include <vector>

namespace zn::lm {

// One field of a structured result: its name and description in the schema
// and the member that holds it (the member's type gives the value kind).
template <typename Record>
struct RecordField
{
    QString name;
    std::variant<double Record::*, QString Record::*, QStringList Record::*> member;
    QString description;
};

// The schema of a plain result record together with the reading and writing
// of generated content, all from one list of fields so they cannot drift
// apart.
template <typename Record>
class RecordSchema
{
public:
    RecordSchema(QString typeName, QString description, std::vector<RecordField<Record>> fields)
        : m_fields(std::move(fields))
    {
        m_schema.typeName = std::move(typeName);
        m_schema.description = std::move(description);
        for (const RecordField<Record> &field : m_fields)
            m_schema.properties.push_back(
                {field.name, std::visit([](auto member) { return kindOf(member); }, field.member), field.description});
    }

    const GenerationSchema &schema() const { return m_schema; }

    // Reads every field by name in declared order; the first missing or
    // ill-typed one throws LanguageModelError(DecodingFailure).
    Record read(const GeneratedContent &content) const
    {
        Record record;
        for (const RecordField<Record> &field : m_fields)
            std::visit([&](auto member) { readValue(content, field.name, record.*member); }, field.member);
        return record;
    }

    GeneratedContent write(const Record &record) const
    {
        GeneratedContent content;
        for (const RecordField<Record> &field : m_fields)
            std::visit([&](auto member) { content.setValue(field.name, toJson(record.*member)); }, field.member);
        return content;
    }

private:
    static ValueKind kindOf(double Record::*) { return ValueKind::Number; }
    static ValueKind kindOf(QString Record::*) { return ValueKind::Text; }
    static ValueKind kindOf(QStringList Record::*) { return ValueKind::TextList; }
    static void readValue(const GeneratedContent &c, const QString &name, double &out) { out = c.number(name); }
    static void readValue(const GeneratedContent &c, const QString &name, QString &out) { out = c.text(name); }
    static void readValue(const GeneratedContent &c, const QString &name, QStringList &out) { out = c.textList(name); }
    static QJsonValue toJson(double value) { return value; }
    static QJsonValue toJson(const QString &value) { return value; }
    static QJsonValue toJson(const QStringList &value) { return QJsonArray::fromStringList(value); }

    GenerationSchema m_schema;
    std::vector<RecordField<Record>> m_fields;
};

} // namespace zn::lm
