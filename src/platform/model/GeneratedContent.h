#pragma once

#include "platform/model/GenerationSchema.h"
#include "platform/model/OrderedJson.h"

#include <QByteArray>
#include <QJsonValue>
#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

namespace zn::lm {

// The named values of one structured answer, in the order they were set.
// Typed reads throw LanguageModelError(DecodingFailure) when the field is
// missing or holds another type; nothing is ever defaulted.
class GeneratedContent
{
public:
    GeneratedContent() = default;

    // Parses a model answer: a JSON object, optionally wrapped in a Markdown
    // code fence. Throws LanguageModelError(DecodingFailure) otherwise.
    static GeneratedContent fromJson(const QByteArray &json);

    bool contains(const QString &name) const;
    QStringList names() const;

    // Any JSON number (integer or real).
    double number(const QString &name) const;
    QString text(const QString &name) const;
    // A list holding only strings.
    QStringList textList(const QString &name) const;

    // Setting an existing name replaces its value in place.
    void setNumber(const QString &name, double value);
    void setText(const QString &name, const QString &value);
    void setTextList(const QString &name, const QStringList &value);
    void setValue(const QString &name, const QJsonValue &value);
    QJsonValue value(const QString &name) const;

    // Compact JSON object with the fields in order.
    QByteArray toJson() const;

    bool operator==(const GeneratedContent &) const = default;

private:
    const QJsonValue *find(const QString &name) const;
    // The value under `name`; throws when there is none.
    const QJsonValue &require(const QString &name) const;
    std::vector<std::pair<QString, QJsonValue>> m_fields;
};

} // namespace zn::lm
