#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QList>
#include <QString>

namespace zn::lm {

// JSON text of a string (with quotes) and of a number (shortest form that
// reads back to the same double; "null" for NaN and infinities).
QByteArray jsonQuoted(const QString &text);
QByteArray jsonNumber(double value);
// JSON text of any value, object keys as Qt orders them.
QByteArray jsonValue(const QJsonValue &value);
// A JSON array of already written values.
QByteArray jsonArray(const QList<QByteArray> &items);

// Writes a JSON object with its keys in the order they are added: QJsonObject
// sorts them, and a model should meet fields in their declared order.
class OrderedJsonObject
{
public:
    // `json` is already written JSON text.
    OrderedJsonObject &add(const QString &key, const QByteArray &json);
    OrderedJsonObject &addText(const QString &key, const QString &text) { return add(key, jsonQuoted(text)); }
    QByteArray toJson() const { return m_text + '}'; }

private:
    QByteArray m_text = QByteArrayLiteral("{");
};

} // namespace zn::lm
