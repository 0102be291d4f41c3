#include "platform/model/GeneratedContent.h"

#include "platform/model/LanguageModelError.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <charconv>
#include <cstdio>
#include <cmath>

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

} // namespace

QByteArray stripCodeFence(const QByteArray &text)
{
    QByteArray body = text.trimmed();
    if (!body.startsWith("```"))
        return body;
    // Drop the opening fence line (it may name a language) and the closing
    // fence, if the answer got that far.
    const qsizetype lineEnd = body.indexOf('\n');
    if (lineEnd < 0)
        return {};
    body = body.mid(lineEnd + 1);
    const qsizetype close = body.lastIndexOf("```");
    if (close >= 0)
        body.truncate(close);
    return body.trimmed();
}

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
        content.m_fields.emplace_back(it.key(), it.value());
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

double GeneratedContent::number(const QString &name) const
{
    const QJsonValue *found = find(name);
    if (!found)
        throw decodingError(QStringLiteral("The model’s answer lacks “%1”.").arg(name));
    if (!found->isDouble())
        throw illTyped(name, QStringLiteral("a number"), *found);
    return found->toDouble();
}

QString GeneratedContent::text(const QString &name) const
{
    const QJsonValue *found = find(name);
    if (!found)
        throw decodingError(QStringLiteral("The model’s answer lacks “%1”.").arg(name));
    if (!found->isString())
        throw illTyped(name, QStringLiteral("text"), *found);
    return found->toString();
}

QStringList GeneratedContent::textList(const QString &name) const
{
    const QJsonValue *found = find(name);
    if (!found)
        throw decodingError(QStringLiteral("The model’s answer lacks “%1”.").arg(name));
    if (!found->isArray())
        throw illTyped(name, QStringLiteral("a list of texts"), *found);
    QStringList out;
    const QJsonArray array = found->toArray();
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
    QByteArray out("{");
    bool first = true;
    for (const auto &[key, value] : m_fields) {
        if (!first)
            out += ',';
        first = false;
        out += jsonQuoted(key);
        out += ':';
        out += jsonValue(value);
    }
    out += '}';
    return out;
}

QByteArray jsonQuoted(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    QByteArray out;
    out.reserve(utf8.size() + 2);
    out += '"';
    for (const char c : utf8) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char buffer[8];
                std::snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned>(c));
                out += buffer;
            } else {
                out += c;
            }
        }
    }
    out += '"';
    return out;
}

QByteArray jsonNumber(double value)
{
    if (!std::isfinite(value))
        return QByteArrayLiteral("null");
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QByteArray(buffer, result.ptr - buffer);
}

QByteArray jsonValue(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Double:
        return jsonNumber(value.toDouble());
    case QJsonValue::String:
        return jsonQuoted(value.toString());
    case QJsonValue::Bool:
        return value.toBool() ? QByteArrayLiteral("true") : QByteArrayLiteral("false");
    case QJsonValue::Array: {
        QByteArray out("[");
        bool first = true;
        for (const QJsonValue &item : value.toArray()) {
            if (!first)
                out += ',';
            first = false;
            out += jsonValue(item);
        }
        out += ']';
        return out;
    }
    case QJsonValue::Object:
        return QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact);
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        break;
    }
    return QByteArrayLiteral("null");
}

} // namespace zn::lm
