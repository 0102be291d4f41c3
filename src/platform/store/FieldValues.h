#pragma once

#include "platform/store/Schema.h"

#include <QByteArray>
#include <QStringList>
#include <QVariant>

namespace zn::store {

// The one in-memory form of each field type (see FieldType): absent optionals
// are an invalid QVariant, texts are never null QStrings, numbers are
// double/qlonglong. Every value entering a model passes through here so that
// comparisons in memory agree with those in SQL.
QVariant normalize(FieldType type, const QVariant &value);

// Column value for binding; an invalid QVariant binds NULL.
QVariant toSql(FieldType type, const QVariant &value);
QVariant fromSql(FieldType type, const QVariant &column, bool isNull);

// SQLite's declared column type for a field.
QString columnType(FieldType type);

bool isAbsent(FieldType type, const QVariant &value);
bool sameValue(FieldType type, const QVariant &a, const QVariant &b);
int compareValues(FieldType type, const QVariant &a, const QVariant &b);

// Orders by Unicode scalar value, as SQLite's BINARY collation on UTF-8 does.
int compareCodePoints(const QString &a, const QString &b);

QString uuidText(const QUuid &id);

// The one rule for text entering the store: every unpaired surrogate
// becomes U+FFFD, so what is stored (as UTF-8) is what is shown. Everything
// else, byte-order marks included, stays as written. Returns `text` itself
// when it is already well formed.
QString wellFormedText(const QString &text);

// UTF-8 from the store, with a leading U+FEFF kept (QString::fromUtf8 drops
// it as a byte-order mark).
QString textFromUtf8(const char *utf8, qsizetype size);

// Qt's JSON reader drops a U+FEFF at the start of a string value, taking it
// for a byte-order mark. Inside a JSON text the mark's UTF-8 bytes can only
// stand in a string, so writing them as the escape \ufeff keeps the
// character; done on writing and, for data written before, on reading.
QByteArray escapeByteOrderMarks(const QByteArray &json);

// A JSON array of strings. Empty data, malformed JSON or any element that is
// not a string reads as an empty list, never a partial one.
QStringList decodeStringArray(const QByteArray &json);
QByteArray encodeStringArray(const QStringList &list);

} // namespace zn::store
