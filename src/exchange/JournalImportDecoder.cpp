#include "exchange/JournalImport.h"

#include "exchange/ExportFormat.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <cmath>
#include <limits>

// Qt's JSON reader accepts more than the export format allows (any top-level
// value, strings where numbers belong, 2.5 as a count, dates without a
// zone), so every value is checked here before anything reaches the store.

namespace zn {
namespace {

struct DecodeFailure
{
    QString why;
};

[[noreturn]] void fail(const QString &why)
{
    throw DecodeFailure{why};
}

QString quoted(QStringView key) { return u'“' + key.toString() + u'”'; }

// Names where a value sits, for the error text: the document or one record.
class Place
{
public:
    static Place document() { return Place(-1); }
    static Place entry(qsizetype index) { return Place(index); }

    QString of(QStringView key) const
    {
        if (m_index < 0)
            return quoted(key);
        return QStringLiteral("%1 of entry %2").arg(quoted(key)).arg(m_index + 1);
    }

private:
    explicit Place(qsizetype index) : m_index(index) {}
    qsizetype m_index;
};

bool absent(const QJsonValue &v) { return v.isUndefined() || v.isNull(); }

QJsonValue required(const QJsonObject &o, QStringView key, const Place &place)
{
    const QJsonValue v = o.value(key);
    if (v.isUndefined())
        fail(place.of(key) + QStringLiteral(" is missing."));
    if (v.isNull())
        fail(place.of(key) + QStringLiteral(" is empty (null)."));
    return v;
}

QString stringValue(const QJsonValue &v, QStringView key, const Place &place)
{
    if (!v.isString())
        fail(place.of(key) + QStringLiteral(" must be text."));
    return v.toString();
}

double finiteNumber(const QJsonValue &v, QStringView key, const Place &place)
{
    if (!v.isDouble())
        fail(place.of(key) + QStringLiteral(" must be a number."));
    const double d = v.toDouble();
    if (!std::isfinite(d))
        fail(place.of(key) + QStringLiteral(" is too large a number."));
    return d;
}

bool isIntegral(double d)
{
    return std::isfinite(d) && d == std::floor(d) && d >= double(std::numeric_limits<int>::min())
        && d <= double(std::numeric_limits<int>::max());
}

int integer(const QJsonValue &v, QStringView key, const Place &place)
{
    if (!v.isDouble() || !isIntegral(v.toDouble()))
        fail(place.of(key) + QStringLiteral(" must be a whole number."));
    return int(v.toDouble());
}

QDateTime date(const QJsonValue &v, QStringView key, const Place &place)
{
    const auto parsed = v.isString() ? exportformat::parseDate(v.toString()) : std::nullopt;
    if (!parsed)
        fail(place.of(key) + QStringLiteral(" must be a date like 2024-01-31T09:30:00Z."));
    return *parsed;
}

QStringList stringList(const QJsonValue &v, QStringView key, const Place &place)
{
    if (!v.isArray())
        fail(place.of(key) + QStringLiteral(" must be a list of texts."));
    QStringList out;
    const QJsonArray array = v.toArray();
    out.reserve(array.size());
    for (const QJsonValue &item : array) {
        if (!item.isString())
            fail(place.of(key) + QStringLiteral(" must be a list of texts."));
        out.append(item.toString());
    }
    return out;
}

QMap<QString, int> countTable(const QJsonValue &v, QStringView key, const Place &place)
{
    if (!v.isObject())
        fail(place.of(key) + QStringLiteral(" must be a table of words and counts."));
    QMap<QString, int> out;
    const QJsonObject table = v.toObject();
    for (auto it = table.constBegin(); it != table.constEnd(); ++it) {
        if (!it.value().isDouble() || !isIntegral(it.value().toDouble()))
            fail(place.of(key) + QStringLiteral(" must count each word with a whole number."));
        out.insert(it.key(), int(it.value().toDouble()));
    }
    return out;
}

// An optional key: absent and null both read as no value.
template<class T, class Read>
std::optional<T> optionalValue(const QJsonObject &o, QStringView key, const Place &place, Read read)
{
    const QJsonValue v = o.value(key);
    if (absent(v))
        return std::nullopt;
    return read(v, key, place);
}

JournalEntryExportDTO decodeRecord(const QJsonValue &value, qsizetype index)
{
    const Place place = Place::entry(index);
    if (!value.isObject())
        fail(QStringLiteral("Entry %1 is not a record.").arg(index + 1));
    const QJsonObject o = value.toObject();
    JournalEntryExportDTO r;
    const auto id = exportformat::parseId(stringValue(required(o, u"id", place), u"id", place));
    if (!id)
        fail(place.of(u"id") + QStringLiteral(" is not an entry identifier."));
    r.id = *id;
    r.timestamp = date(required(o, u"timestamp", place), u"timestamp", place);
    r.text = stringValue(required(o, u"text", place), u"text", place);
    r.sentiment = optionalValue<double>(o, u"sentiment", place, finiteNumber).value_or(0.0);
    r.weatherLabel = optionalValue<QString>(o, u"weatherLabel", place, stringValue);
    r.keywords = optionalValue<QMap<QString, int>>(o, u"keywords", place, countTable);
    r.duration = optionalValue<double>(o, u"duration", place, finiteNumber);
    r.themes = optionalValue<QStringList>(o, u"themes", place, stringList);
    r.insight = optionalValue<QString>(o, u"insight", place, stringValue);
    r.insightEmotionalTone = optionalValue<QString>(o, u"insightEmotionalTone", place, stringValue);
    r.insightKeyPoints = optionalValue<QStringList>(o, u"insightKeyPoints", place, stringList);
    r.insightOverallSentiment = optionalValue<QString>(o, u"insightOverallSentiment", place, stringValue);
    r.insightClosingFocus = optionalValue<QString>(o, u"insightClosingFocus", place, stringValue);
    r.insightGeneratedAt = optionalValue<QDateTime>(o, u"insightGeneratedAt", place, date);
    return r;
}

JournalExportDocument decodeDocument(const QByteArray &bytes)
{
    // Other writers may start the file with a byte order mark; Qt rejects it.
    QByteArray json = bytes;
    if (json.startsWith("\xEF\xBB\xBF"))
        json.remove(0, 3);
    // Any other U+FEFF can only be inside a string, where it is text (an
    // entry may begin with one). Qt's reader drops it raw at a string's
    // start, so it is read in its escaped form.
    if (json.contains("\xEF\xBB\xBF"))
        json.replace("\xEF\xBB\xBF", "\\ufeff");
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        fail(QStringLiteral("The file is not valid JSON (%1 at byte %2).")
                 .arg(parseError.errorString())
                 .arg(parseError.offset));
    if (!doc.isObject())
        fail(QStringLiteral("The file holds a JSON list, not an export document."));
    const QJsonObject o = doc.object();
    const Place place = Place::document();

    JournalExportDocument d;
    d.formatVersion = integer(required(o, u"formatVersion", place), u"formatVersion", place);
    d.exportedAt = date(required(o, u"exportedAt", place), u"exportedAt", place);
    d.app = stringValue(required(o, u"app", place), u"app", place);
    d.platform = stringValue(required(o, u"platform", place), u"platform", place);
    d.entryCount = integer(required(o, u"entryCount", place), u"entryCount", place);
    const QJsonValue entries = required(o, u"entries", place);
    if (!entries.isArray())
        fail(place.of(u"entries") + QStringLiteral(" must be a list of entries."));
    const QJsonArray array = entries.toArray();
    d.entries.reserve(array.size());
    for (qsizetype i = 0; i < array.size(); ++i)
        d.entries.append(decodeRecord(array.at(i), i));
    return d;
}

} // namespace

std::variant<JournalExportDocument, JournalImportError> decodeJournalExport(const QByteArray &bytes)
{
    try {
        return decodeDocument(bytes);
    } catch (const DecodeFailure &failure) {
        return JournalImportError{JournalImportError::Kind::InvalidJSON, failure.why, 0};
    }
}

} // namespace zn
