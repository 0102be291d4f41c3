#include "platform/model/GeneratedContent.h"

#include "platform/base/TextRepair.h"
#include "platform/model/LanguageModelError.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <cctype>

namespace zn::lm {

namespace {

LanguageModelError decodingError(const QString &text)
{
    return LanguageModelError(LanguageModelError::Kind::DecodingFailure, text);
}

QString kindName(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Null:
        return QStringLiteral("null");
    case QJsonValue::Bool:
        return QStringLiteral("a true/false value");
    case QJsonValue::Double:
        return QStringLiteral("a number");
    case QJsonValue::String:
        return QStringLiteral("text");
    case QJsonValue::Array:
        return QStringLiteral("a list");
    case QJsonValue::Object:
        return QStringLiteral("an object");
    case QJsonValue::Undefined:
        break;
    }
    return QStringLiteral("nothing");
}

LanguageModelError illTyped(const QString &name, const QString &wanted, const QJsonValue &found)
{
    return decodingError(QStringLiteral("The model’s answer holds %1 in “%2” where %3 belongs.")
                             .arg(kindName(found), name, wanted));
}

// Strips a Markdown code fence around a JSON answer, if there is one.
QByteArray stripCodeFence(const QByteArray &text)
{
    QByteArray body = text.trimmed();
    if (!body.startsWith("```"))
        return body;
    // Drop the opening fence with the language it may name, and the closing
    // fence if the answer got that far; the fence may share a line with
    // the JSON.
    qsizetype at = 3;
    while (at < body.size() && (std::isalnum(static_cast<unsigned char>(body[at])) || body[at] == '_' || body[at] == '-'))
        ++at;
    body = body.mid(at);
    const qsizetype close = body.lastIndexOf("```");
    if (close >= 0)
        body.truncate(close);
    return body.trimmed();
}

} // namespace

namespace {

// A JSON escape such as "\ud83d" decodes to a lone surrogate, which no
// regular expression will match: the output checks would then pass the text
// through unchecked. Every string of an answer is repaired on the way in.
QJsonValue repairedValue(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::String: {
        const QString text = value.toString();
        if (hasOnlyPairedSurrogates(text))
            return value;
        return QJsonValue(replacingUnpairedSurrogates(text));
    }
    case QJsonValue::Array: {
        QJsonArray array = value.toArray();
        for (qsizetype i = 0; i < array.size(); ++i)
            array[i] = repairedValue(array.at(i));
        return array;
    }
    case QJsonValue::Object: {
        const QJsonObject object = value.toObject();
        QJsonObject repaired;
        for (auto it = object.begin(); it != object.end(); ++it)
            repaired.insert(replacingUnpairedSurrogates(it.key()), repairedValue(it.value()));
        return repaired;
    }
    default:
        return value;
    }
}

} // namespace

GeneratedContent GeneratedContent::fromJson(const QByteArray &json)
{
    const QByteArray body = stripCodeFence(json);
    if (body.isEmpty())
        throw decodingError(QStringLiteral("The model gave an empty answer."));
    if (!body.startsWith('{'))
        throw decodingError(QStringLiteral("The model’s answer is not a JSON object."));
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        throw decodingError(QStringLiteral("The model’s answer is not valid JSON (%1 at offset %2).")
                                .arg(parseError.errorString())
                                .arg(parseError.offset));
    if (!document.isObject())
        throw decodingError(QStringLiteral("The model’s answer is not a JSON object."));
    GeneratedContent content;
    const QJsonObject object = document.object();
    content.m_fields.reserve(object.size());
    for (auto it = object.begin(); it != object.end(); ++it)
        content.m_fields.emplace_back(replacingUnpairedSurrogates(it.key()), repairedValue(it.value()));
    return content;
}

const QJsonValue *GeneratedContent::find(const QString &name) const
{
    for (const auto &[key, value] : m_fields)
        if (key == name)
            return &value;
    return nullptr;
}

bool GeneratedContent::contains(const QString &name) const
{
    return find(name) != nullptr;
}

QStringList GeneratedContent::names() const
{
    QStringList out;
    for (const auto &field : m_fields)
        out << field.first;
    return out;
}

QJsonValue GeneratedContent::value(const QString &name) const
{
    const QJsonValue *found = find(name);
    return found ? *found : QJsonValue(QJsonValue::Undefined);
}

const QJsonValue &GeneratedContent::require(const QString &name) const
{
    if (const QJsonValue *found = find(name))
        return *found;
    throw decodingError(QStringLiteral("The model’s answer lacks “%1”.").arg(name));
}

double GeneratedContent::number(const QString &name) const
{
    const QJsonValue &found = require(name);
    if (!found.isDouble())
        throw illTyped(name, QStringLiteral("a number"), found);
    return found.toDouble();
}

QString GeneratedContent::text(const QString &name) const
{
    const QJsonValue &found = require(name);
    if (!found.isString())
        throw illTyped(name, QStringLiteral("text"), found);
    return found.toString();
}

QStringList GeneratedContent::textList(const QString &name) const
{
    const QJsonValue &found = require(name);
    if (!found.isArray())
        throw illTyped(name, QStringLiteral("a list of texts"), found);
    QStringList out;
    const QJsonArray array = found.toArray();
    out.reserve(array.size());
    for (const QJsonValue &item : array) {
        if (!item.isString())
            throw illTyped(name, QStringLiteral("a list of texts"), item);
        out << item.toString();
    }
    return out;
}

void GeneratedContent::setValue(const QString &name, const QJsonValue &value)
{
    for (auto &field : m_fields) {
        if (field.first == name) {
            field.second = value;
            return;
        }
    }
    m_fields.emplace_back(name, value);
}

void GeneratedContent::setNumber(const QString &name, double value)
{
    setValue(name, QJsonValue(value));
}

void GeneratedContent::setText(const QString &name, const QString &value)
{
    setValue(name, QJsonValue(value));
}

void GeneratedContent::setTextList(const QString &name, const QStringList &value)
{
    setValue(name, QJsonArray::fromStringList(value));
}

QByteArray GeneratedContent::toJson() const
{
    OrderedJsonObject out;
    for (const auto &[key, value] : m_fields)
        out.add(key, jsonValue(value));
    return out.toJson();
}

} // namespace zn::lm
