#include "platform/store/FieldValues.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>
#include <QUuid>

#include <cmath>
#include <cstring>

namespace zn::store {
namespace {

QString nonNullText(QString text)
{
    // A null QString binds as SQL NULL; an empty text must stay a value.
    if (text.isNull())
        return QString::fromLatin1("", 0);
    return text;
}

QByteArray nonNullData(QByteArray data)
{
    if (data.isNull())
        return QByteArray("", 0);
    return data;
}

double toDouble(const QVariant &v)
{
    if (v.typeId() == QMetaType::QString) {
        const QString s = v.toString();
        if (s == QLatin1String("NaN"))
            return std::nan("");
    }
    return v.toDouble();
}

int compareDoubles(double a, double b)
{
    // NaN is kept as text in SQLite, which sorts after every number.
    const bool na = std::isnan(a), nb = std::isnan(b);
    if (na || nb)
        return na == nb ? 0 : (na ? 1 : -1);
    return a < b ? -1 : (a > b ? 1 : 0);
}

QDateTime utcInstant(const QVariant &value)
{
    // Every date in memory is a UTC instant, however it was set: comparing
    // and converting local-time values asks the time zone database each time.
    QDateTime when = value.toDateTime();
    return when.isValid() && when.timeSpec() != Qt::UTC ? when.toUTC() : when;
}

} // namespace

QByteArray escapeByteOrderMarks(const QByteArray &json)
{
    static const QByteArray mark("\xEF\xBB\xBF");
    if (json.indexOf(mark, 1) < 0)
        return json;
    // One at the very start is a real byte-order mark, left to the reader.
    QByteArray out = json.left(1);
    out += json.mid(1).replace(mark, QByteArrayLiteral("\\ufeff"));
    return out;
}

QStringList decodeStringArray(const QByteArray &json)
{
    if (json.isEmpty())
        return {};
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(escapeByteOrderMarks(json), &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isArray())
        return {};
    QStringList out;
    for (const QJsonValue &v : doc.array()) {
        if (!v.isString())
            return {};
        out.append(v.toString());
    }
    return out;
}

QByteArray encodeStringArray(const QStringList &list)
{
    return escapeByteOrderMarks(QJsonDocument(QJsonArray::fromStringList(list)).toJson(QJsonDocument::Compact));
}

QString wellFormedText(const QString &text)
{
    const auto *begin = text.utf16();
    const qsizetype n = text.size();
    qsizetype i = 0;
    // Fast scan: most texts hold no surrogate at all.
    while (i < n && !QChar::isSurrogate(begin[i]))
        ++i;
    if (i == n)
        return text;
    QString out = text;
    char16_t *p = reinterpret_cast<char16_t *>(out.data());
    for (; i < n; ++i) {
        if (QChar::isHighSurrogate(p[i]) && i + 1 < n && QChar::isLowSurrogate(p[i + 1])) {
            ++i;
            continue;
        }
        if (QChar::isSurrogate(p[i]))
            p[i] = QChar::ReplacementCharacter;
    }
    return out;
}

QString textFromUtf8(const char *utf8, qsizetype size)
{
    if (size <= 0)
        return QString::fromLatin1("", 0);
    QString text = QString::fromUtf8(utf8, size);
    if (size >= 3 && std::memcmp(utf8, "\xEF\xBB\xBF", 3) == 0 && !text.startsWith(QChar(0xFEFF)))
        text.prepend(QChar(0xFEFF));
    return text;
}

QString uuidText(const QUuid &id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

int compareCodePoints(const QString &a, const QString &b)
{
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t x = a.at(i).unicode();
        const char16_t y = b.at(i).unicode();
        if (x == y)
            continue;
        // Surrogates stand for scalars above every BMP unit.
        const bool sx = QChar::isSurrogate(x), sy = QChar::isSurrogate(y);
        if (sx != sy)
            return sx ? 1 : -1;
        return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool isAbsent(FieldType type, const QVariant &value)
{
    if (!value.isValid())
        return true;
    if ((type == FieldType::DateTime || type == FieldType::OptionalDateTime) && !value.toDateTime().isValid())
        return true;
    return false;
}

QVariant normalize(FieldType type, const QVariant &value)
{
    switch (type) {
    case FieldType::Uuid:
        if (value.typeId() == QMetaType::QUuid)
            return value;
        return QVariant::fromValue(QUuid::fromString(value.toString()));
    case FieldType::Text:
        return nonNullText(wellFormedText(value.toString()));
    case FieldType::OptionalText:
        return value.isValid() ? QVariant(nonNullText(wellFormedText(value.toString()))) : QVariant();
    case FieldType::Real:
        return value.isValid() ? toDouble(value) : 0.0;
    case FieldType::OptionalReal:
        return value.isValid() ? QVariant(toDouble(value)) : QVariant();
    case FieldType::Integer:
        return value.toLongLong();
    case FieldType::Bool:
        return value.toBool();
    case FieldType::Data:
        return value.toByteArray();
    case FieldType::DateTime:
        return utcInstant(value);
    case FieldType::OptionalDateTime: {
        // An invalid date is stored as absent, so read it back as absent now.
        const QDateTime when = utcInstant(value);
        return when.isValid() ? QVariant(when) : QVariant();
    }
    case FieldType::StringList: {
        QStringList list = value.toStringList();
        for (QString &item : list)
            item = wellFormedText(item);
        return list;
    }
    }
    return value;
}

QVariant toSql(FieldType type, const QVariant &value)
{
    if (isAbsent(type, value))
        return QVariant();
    switch (type) {
    case FieldType::Uuid:
        return uuidText(value.toUuid());
    case FieldType::Text:
    case FieldType::OptionalText:
        return nonNullText(value.toString());
    case FieldType::Real:
    case FieldType::OptionalReal: {
        const double d = value.toDouble();
        // SQLite stores NaN as NULL; keep it distinguishable from "absent".
        if (std::isnan(d))
            return QStringLiteral("NaN");
        return d;
    }
    case FieldType::Integer:
        return value.toLongLong();
    case FieldType::Bool:
        return value.toBool() ? 1 : 0;
    case FieldType::Data:
        return nonNullData(value.toByteArray());
    case FieldType::DateTime:
    case FieldType::OptionalDateTime:
        return double(value.toDateTime().toMSecsSinceEpoch()) / 1000.0;
    case FieldType::StringList:
        return QString::fromUtf8(encodeStringArray(value.toStringList()));
    }
    return QVariant();
}

QVariant fromSql(FieldType type, const QVariant &column, bool isNull)
{
    switch (type) {
    case FieldType::Uuid:
        return QVariant::fromValue(isNull ? QUuid() : QUuid::fromString(column.toString()));
    case FieldType::Text:
        return nonNullText(isNull ? QString() : column.toString());
    case FieldType::OptionalText:
        return isNull ? QVariant() : QVariant(nonNullText(column.toString()));
    case FieldType::Real:
        return isNull ? 0.0 : toDouble(column);
    case FieldType::OptionalReal:
        return isNull ? QVariant() : QVariant(toDouble(column));
    case FieldType::Integer:
        return isNull ? qlonglong(0) : column.toLongLong();
    case FieldType::Bool:
        return isNull ? false : column.toLongLong() != 0;
    case FieldType::Data:
        return isNull ? QByteArray() : column.toByteArray();
    case FieldType::DateTime:
    case FieldType::OptionalDateTime: {
        if (isNull)
            return type == FieldType::DateTime ? QVariant(QDateTime()) : QVariant();
        const qint64 ms = std::llround(column.toDouble() * 1000.0);
        // UTC: building a local time asks the time zone database every
        // time, which dominated loading a large journal. Models convert on
        // access.
        return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
    }
    case FieldType::StringList:
        return isNull ? QStringList() : decodeStringArray(column.toString().toUtf8());
    }
    return QVariant();
}

QString columnType(FieldType type)
{
    switch (type) {
    case FieldType::Uuid:
    case FieldType::Text:
    case FieldType::OptionalText:
    case FieldType::StringList:
        return QStringLiteral("TEXT");
    case FieldType::Real:
    case FieldType::OptionalReal:
    case FieldType::DateTime:
    case FieldType::OptionalDateTime:
        return QStringLiteral("REAL");
    case FieldType::Integer:
    case FieldType::Bool:
        return QStringLiteral("INTEGER");
    case FieldType::Data:
        return QStringLiteral("BLOB");
    }
    return QStringLiteral("BLOB");
}

int compareValues(FieldType type, const QVariant &a, const QVariant &b)
{
    const bool na = isAbsent(type, a), nb = isAbsent(type, b);
    if (na || nb)
        return na == nb ? 0 : (na ? -1 : 1);
    switch (type) {
    case FieldType::Uuid:
        return compareCodePoints(uuidText(a.toUuid()), uuidText(b.toUuid()));
    case FieldType::Text:
    case FieldType::OptionalText:
        return compareCodePoints(a.toString(), b.toString());
    case FieldType::Real:
    case FieldType::OptionalReal:
        return compareDoubles(a.toDouble(), b.toDouble());
    case FieldType::Integer:
    case FieldType::Bool: {
        const qlonglong x = a.toLongLong(), y = b.toLongLong();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    case FieldType::Data: {
        const QByteArray x = a.toByteArray(), y = b.toByteArray();
        const int c = std::memcmp(x.constData(), y.constData(), size_t(std::min(x.size(), y.size())));
        if (c != 0)
            return c < 0 ? -1 : 1;
        return x.size() == y.size() ? 0 : (x.size() < y.size() ? -1 : 1);
    }
    case FieldType::DateTime:
    case FieldType::OptionalDateTime: {
        const qint64 x = a.toDateTime().toMSecsSinceEpoch(), y = b.toDateTime().toMSecsSinceEpoch();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    case FieldType::StringList:
        return compareCodePoints(QString::fromUtf8(encodeStringArray(a.toStringList())),
                                 QString::fromUtf8(encodeStringArray(b.toStringList())));
    }
    return 0;
}

bool sameValue(FieldType type, const QVariant &a, const QVariant &b)
{
    const bool na = isAbsent(type, a), nb = isAbsent(type, b);
    if (na || nb)
        return na == nb;
    switch (type) {
    case FieldType::Real:
    case FieldType::OptionalReal: {
        const double x = a.toDouble(), y = b.toDouble();
        return x == y || (std::isnan(x) && std::isnan(y));
    }
    case FieldType::Text:
    case FieldType::OptionalText:
        return a.toString() == b.toString();
    case FieldType::Data:
        return a.toByteArray() == b.toByteArray();
    case FieldType::StringList:
        return a.toStringList() == b.toStringList();
    default:
        return compareValues(type, a, b) == 0;
    }
}

} // namespace zn::store
