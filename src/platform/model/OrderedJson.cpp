#include "platform/model/OrderedJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <charconv>
#include <cmath>
#include <cstdio>

namespace zn::lm {

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
        QList<QByteArray> items;
        for (const QJsonValue &item : value.toArray())
            items << jsonValue(item);
        return jsonArray(items);
    }
    case QJsonValue::Object:
        return QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact);
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        break;
    }
    return QByteArrayLiteral("null");
}

QByteArray jsonArray(const QList<QByteArray> &items)
{
    QByteArray out("[");
    for (const QByteArray &item : items) {
        if (out.size() > 1)
            out += ',';
        out += item;
    }
    out += ']';
    return out;
}

OrderedJsonObject &OrderedJsonObject::add(const QString &key, const QByteArray &json)
{
    if (m_text.size() > 1)
        m_text += ',';
    m_text += jsonQuoted(key);
    m_text += ':';
    m_text += json;
    return *this;
}

} // namespace zn::lm
