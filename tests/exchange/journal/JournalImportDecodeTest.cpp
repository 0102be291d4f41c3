#include "JournalExchangeSupport.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <functional>

using namespace zn;
using namespace zn::test;

namespace {

using Edit = std::function<void(QJsonObject &doc)>;

// Applies `edit` to the first record of a valid document.
Edit onRecord(std::function<void(QJsonObject &record)> edit)
{
    return [edit](QJsonObject &doc) {
        QJsonArray entries = doc.value(u"entries").toArray();
        QJsonObject r = entries.at(0).toObject();
        edit(r);
        entries.replace(0, r);
        doc.insert(u"entries", entries);
    };
}

Edit setRecord(const QString &key, const QJsonValue &value)
{
    return onRecord([key, value](QJsonObject &r) {
        if (value.isUndefined())
            r.remove(key);
        else
            r.insert(key, value);
    });
}

Edit setDoc(const QString &key, const QJsonValue &value)
{
    return [key, value](QJsonObject &doc) {
        if (value.isUndefined())
            doc.remove(key);
        else
            doc.insert(key, value);
    };
}

struct BadCase
{
    const char *name;
    Edit edit;
    const char *mentions; // a piece of the reason the user reads
};

TEST(JournalImportDecodeTest, RejectsEveryMalformedDocumentWithAReason)
{
    const QJsonValue missing = QJsonValue(QJsonValue::Undefined);
    const QList<BadCase> cases{
        {"no formatVersion", setDoc("formatVersion", missing), "formatVersion"},
        {"null formatVersion", setDoc("formatVersion", QJsonValue::Null), "formatVersion"},
        {"string formatVersion", setDoc("formatVersion", "1"), "formatVersion"},
        {"fractional formatVersion", setDoc("formatVersion", 1.5), "whole number"},
        {"huge formatVersion", setDoc("formatVersion", 1e12), "whole number"},
        {"no exportedAt", setDoc("exportedAt", missing), "exportedAt"},
        {"date-only exportedAt", setDoc("exportedAt", "2024-03-10"), "exportedAt"},
        {"no app", setDoc("app", missing), "app"},
        {"numeric app", setDoc("app", 7), "app"},
        {"null platform", setDoc("platform", QJsonValue::Null), "platform"},
        {"no entryCount", setDoc("entryCount", missing), "entryCount"},
        {"fractional entryCount", setDoc("entryCount", 2.5), "entryCount"},
        {"string entryCount", setDoc("entryCount", "2"), "entryCount"},
        {"no entries", setDoc("entries", missing), "entries"},
        {"object entries", setDoc("entries", QJsonObject()), "entries"},
        {"record not an object", setDoc("entries", QJsonArray{1}), "Entry 1"},
        {"no id", setRecord("id", missing), "id"},
        {"null id", setRecord("id", QJsonValue::Null), "id"},
        {"garbage id", setRecord("id", "not-a-uuid"), "identifier"},
        {"braced id", setRecord("id", "{6F9619FF-8B86-D011-B42D-00CF4FC964F0}"), "identifier"},
        {"id without hyphens", setRecord("id", "6F9619FF8B86D011B42D00CF4FC964F0"), "identifier"},
        {"numeric id", setRecord("id", 12), "id"},
        {"no timestamp", setRecord("timestamp", missing), "timestamp"},
        {"timestamp without zone", setRecord("timestamp", "2024-03-01T08:15:30"), "timestamp"},
        {"timestamp with offset", setRecord("timestamp", "2024-03-01T08:15:30+01:00"), "timestamp"},
        {"timestamp with fraction", setRecord("timestamp", "2024-03-01T08:15:30.5Z"), "timestamp"},
        {"date-only timestamp", setRecord("timestamp", "2024-03-01"), "timestamp"},
        {"impossible day", setRecord("timestamp", "2024-02-30T08:15:30Z"), "timestamp"},
        {"hour 24", setRecord("timestamp", "2024-02-03T24:00:00Z"), "timestamp"},
        {"lower-case z", setRecord("timestamp", "2024-03-01T08:15:30z"), "timestamp"},
        {"numeric timestamp", setRecord("timestamp", 1700000000), "timestamp"},
        {"no text", setRecord("text", missing), "text"},
        {"null text", setRecord("text", QJsonValue::Null), "text"},
        {"numeric text", setRecord("text", 5), "text"},
        {"string sentiment", setRecord("sentiment", "0.5"), "sentiment"},
        {"fractional keyword count", setRecord("keywords", QJsonObject{{"walk", 2.5}}), "keywords"},
        {"string keyword count", setRecord("keywords", QJsonObject{{"walk", "3"}}), "keywords"},
        {"keywords as list", setRecord("keywords", QJsonArray{"walk"}), "keywords"},
        {"themes with a number", setRecord("themes", QJsonArray{"a", 2}), "themes"},
        {"themes as text", setRecord("themes", "a"), "themes"},
        {"key points as object", setRecord("insightKeyPoints", QJsonObject()), "insightKeyPoints"},
        {"numeric insight", setRecord("insight", 1), "insight"},
        {"numeric weather label", setRecord("weatherLabel", 1), "weatherLabel"},
        {"string duration", setRecord("duration", "12"), "duration"},
        {"bad reflection date", setRecord("insightGeneratedAt", "yesterday"), "insightGeneratedAt"},
        {"boolean tone", setRecord("insightEmotionalTone", true), "insightEmotionalTone"},
    };
    for (const BadCase &c : cases) {
        QJsonObject doc = validDocument(2);
        c.edit(doc);
        const JournalImportError error = decodeError(toBytes(doc));
        EXPECT_EQ(error.kind, JournalImportError::Kind::InvalidJSON) << c.name;
        EXPECT_TRUE(error.message().startsWith(QStringLiteral("This doesn’t look like a Zephyrnote journal export. ")))
            << c.name;
        EXPECT_TRUE(error.detail.contains(QLatin1String(c.mentions))) << c.name << ": " << error.detail.toStdString();
    }
}

TEST(JournalImportDecodeTest, RejectsWhatIsNotAnExportDocument)
{
    const QList<QByteArray> inputs{
        "", "not json", "[]", "[{\"formatVersion\":1}]", "{\"formatVersion\":1,", "\"text\"", "42", "null",
        QByteArray(2000, '[') + QByteArray(2000, ']'), // nested beyond any sane file
        QByteArray("{\"a\":") + QByteArray(5000, '{') + QByteArray(5000, '}') + "}",
        "{\"formatVersion\":1e999}",
    };
    for (const QByteArray &input : inputs) {
        const JournalImportError error = decodeError(input);
        EXPECT_EQ(error.kind, JournalImportError::Kind::InvalidJSON) << input.left(40).toStdString();
        EXPECT_FALSE(error.detail.isEmpty());
    }
    EXPECT_TRUE(decodeError("[]").detail.contains(QStringLiteral("list")));
}

TEST(JournalImportDecodeTest, ReadsOptionalKeysAbsentOrNullAsNoValue)
{
    QJsonObject doc = validDocument(1);
    onRecord([](QJsonObject &r) {
        for (const char *key : {"weatherLabel", "keywords", "themes", "insightKeyPoints", "insight",
                                "insightEmotionalTone", "insightGeneratedAt"})
            r.remove(QLatin1String(key));
        r.insert(u"sentiment", QJsonValue::Null);
        r.insert(u"duration", QJsonValue::Null);
        r.insert(u"insightClosingFocus", QJsonValue::Null);
        r.insert(u"somethingNew", QJsonArray{1, 2}); // unknown keys are ignored
    })(doc);
    doc.insert(u"producer", QStringLiteral("another tool"));
    doc.insert(u"entryCount", 99); // read, never compared
    const JournalExportDocument d = decodeOrFail(toBytes(doc));
    ASSERT_EQ(d.entries.size(), 1);
    const JournalEntryExportDTO &r = d.entries.first();
    EXPECT_EQ(r.sentiment, 0.0);
    EXPECT_FALSE(r.duration || r.keywords || r.themes || r.insightKeyPoints || r.insight || r.insightEmotionalTone
                 || r.insightClosingFocus || r.insightGeneratedAt || r.weatherLabel);
    EXPECT_EQ(d.entryCount, 99);
}

TEST(JournalImportDecodeTest, ToleratesOtherWritersSpacingEscapesBomAndCase)
{
    // As another JSON writer lays it out: two-space indent, " : ", escaped
    // slashes, a byte order mark, lower-case ids and integral numbers.
    const QByteArray file = "\xEF\xBB\xBF{\n"
                            "  \"app\" : \"Zephyrnote\",\n"
                            "  \"entries\" : [\n"
                            "    {\n"
                            "      \"id\" : \"6f9619ff-8b86-d011-b42d-00cf4fc964ff\",\n"
                            "      \"keywords\" : {\"and\\/or\" : 2.0},\n"
                            "      \"sentiment\" : 1,\n"
                            "      \"text\" : \"Path a\\/b \\u00e9t\\u00e9 \\ud83c\\udf27\",\n"
                            "      \"timestamp\" : \"2024-03-01T08:15:30Z\"\n"
                            "    }\n"
                            "  ],\n"
                            "  \"entryCount\" : 1,\n"
                            "  \"exportedAt\" : \"2024-03-10T10:00:00Z\",\n"
                            "  \"formatVersion\" : 1,\n"
                            "  \"platform\" : \"Linux\"\n"
                            "}\n";
    const JournalExportDocument d = decodeOrFail(file);
    ASSERT_EQ(d.entries.size(), 1);
    const JournalEntryExportDTO &r = d.entries.first();
    EXPECT_EQ(r.id, QUuid::fromString(QStringLiteral("6F9619FF-8B86-D011-B42D-00CF4FC964FF")));
    EXPECT_EQ(r.text, QStringLiteral("Path a/b été 🌧"));
    EXPECT_EQ(r.sentiment, 1.0);
    EXPECT_EQ(r.keywords->value(QStringLiteral("and/or")), 2);
    EXPECT_EQ(r.timestamp, QDateTime(QDate(2024, 3, 1), QTime(8, 15, 30), Qt::UTC));
    EXPECT_EQ(d.platform, QStringLiteral("Linux"));
}

TEST(JournalImportDecodeTest, ReadsBackWhatTheExportWrites)
{
    JournalExportDocument doc;
    doc.exportedAt = QDateTime(QDate(2024, 3, 10), QTime(10, 0), Qt::UTC);
    JournalEntryExportDTO r;
    r.id = QUuid::createUuid();
    r.timestamp = QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59), Qt::UTC);
    // Every control character, quotes, backslashes, line separators, emoji.
    for (char16_t c = 0; c < 0x20; ++c)
        r.text += QChar(c);
    r.text += QStringLiteral("line\n\"quoted\"\t\\ / \u2028\u2029 \U0001F327 end \u007f");
    r.sentiment = -0.123456789012345;
    r.keywords = QMap<QString, int>{{QStringLiteral("zebra"), 1}, {QStringLiteral("Apple"), 2147483647}};
    r.duration = 0.1 + 0.2;
    r.themes = QStringList{};
    r.insight = QString();
    r.insightKeyPoints = QStringList{QStringLiteral("a")};
    doc.entries = {r};
    doc.entryCount = 1;
    auto encoded = encodeJournalExport(doc);
    ASSERT_TRUE(std::holds_alternative<QByteArray>(encoded));
    const JournalExportDocument back = decodeOrFail(std::get<QByteArray>(encoded));
    ASSERT_EQ(back.entries.size(), 1);
    const JournalEntryExportDTO &b = back.entries.first();
    EXPECT_EQ(b.id, r.id);
    EXPECT_EQ(b.timestamp, r.timestamp);
    EXPECT_EQ(b.text, r.text);
    EXPECT_EQ(b.sentiment, r.sentiment); // shortest round-trip digits
    EXPECT_EQ(b.keywords, r.keywords);
    EXPECT_EQ(b.duration, r.duration);
    EXPECT_EQ(b.themes, r.themes);
    EXPECT_EQ(b.insight, QString(""));
    EXPECT_EQ(b.insightKeyPoints, r.insightKeyPoints);
    EXPECT_FALSE(b.insightEmotionalTone.has_value());
}

} // namespace
