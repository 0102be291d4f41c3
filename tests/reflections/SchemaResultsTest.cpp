#include "reflections/EntryInsightResult.h"
#include "reflections/WeeklyReflectionResult.h"

#include "platform/model/LanguageModelError.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace zn {

using lm::GeneratedContent;
using lm::LanguageModelError;
using lm::ValueKind;

namespace {

QByteArray fullEntryJson(const QByteArray &keyPoints = "[]")
{
    return "{\"overallScore\":0.25,\"summary\":\"A calm day.\",\"emotionalTone\":\"Partly cloudy.\","
           "\"keyPoints\":" + keyPoints + ",\"overallSentiment\":\"steady\",\"closingFocus\":\"Rest.\","
           "\"themes\":[\"Work\"]}";
}

void expectDecodingFailure(const QByteArray &json)
{
    try {
        EntryInsightResult::fromContent(GeneratedContent::fromJson(json));
        ADD_FAILURE() << "read succeeded: " << json.constData();
    } catch (const LanguageModelError &error) {
        EXPECT_EQ(error.kind(), LanguageModelError::Kind::DecodingFailure) << json.constData();
        EXPECT_FALSE(error.description().isEmpty());
    }
}

} // namespace

TEST(EntryInsightResultSchema, ListsSevenPropertiesInDeclaredOrderWithExactTexts)
{
    const lm::GenerationSchema &schema = EntryInsightResult::generationSchema();
    EXPECT_EQ(schema.typeName, "EntryInsightResult");
    ASSERT_EQ(schema.properties.size(), 7u);
    QStringList names;
    for (const auto &p : schema.properties)
        names << p.name;
    EXPECT_EQ(names, (QStringList{"overallScore", "summary", "emotionalTone", "keyPoints", "overallSentiment",
                                  "closingFocus", "themes"}));
    EXPECT_EQ(schema.properties[0].kind, ValueKind::Number);
    EXPECT_EQ(schema.properties[3].kind, ValueKind::TextList);
    EXPECT_EQ(schema.properties[6].kind, ValueKind::TextList);
    EXPECT_EQ(schema.properties[1].kind, ValueKind::Text);
    // The typographic characters are part of the contract.
    EXPECT_TRUE(schema.properties[1].description.contains(QString::fromUtf8("(3\u20136 sentences)")));
    EXPECT_TRUE(schema.properties[2].description.contains(QString::fromUtf8("entry alone \u2014 tone")));
    EXPECT_TRUE(schema.properties[5].description.contains("Second person 'you' is allowed only here."));
    EXPECT_EQ(schema.description.toUtf8(),
              QByteArray("A detailed, multi-part reflection on a single personal journal entry. Third-person or "
                         "impersonal voice. Grounded only in the entry. No invented facts. Never first-person as "
                         "the diarist."));
    EXPECT_EQ(schema.properties[4].description, "Overall tone in a few words: e.g. heavy, mixed, hopeful, stormy, steady");
}

TEST(WeeklyReflectionResultSchema, ListsFivePropertiesInDeclaredOrderWithExactTexts)
{
    const lm::GenerationSchema &schema = WeeklyReflectionResult::generationSchema();
    EXPECT_EQ(schema.typeName, "WeeklyReflectionResult");
    ASSERT_EQ(schema.properties.size(), 5u);
    QStringList names;
    for (const auto &p : schema.properties)
        names << p.name;
    EXPECT_EQ(names, (QStringList{"summary", "emotionalArc", "notableMoments", "overallSentiment", "recommendedFocus"}));
    EXPECT_EQ(schema.properties[2].kind, ValueKind::TextList);
    EXPECT_TRUE(schema.properties[1].description.startsWith(QString::fromUtf8("ONLY emotional weather movement (Sunny\u2026Stormy words).")));
    EXPECT_TRUE(schema.description.contains(QString::fromUtf8("distinct job \u2014 never copy")));
}

TEST(ResultSchemaJson, KeepsDeclaredOrderAndCarriesNoGuides)
{
    const QByteArray json = EntryInsightResult::generationSchema().toJsonSchema();
    const QJsonDocument doc = QJsonDocument::fromJson(json);
    ASSERT_TRUE(doc.isObject()) << json.constData();
    const QJsonObject root = doc.object();
    EXPECT_EQ(root.value("type").toString(), "object");
    EXPECT_FALSE(root.value("additionalProperties").toBool(true));
    EXPECT_EQ(root.value("required").toArray().size(), 7);
    const QJsonObject props = root.value("properties").toObject();
    EXPECT_EQ(props.value("overallScore").toObject().value("type").toString(), "number");
    EXPECT_EQ(props.value("themes").toObject().value("items").toObject().value("type").toString(), "string");
    // Declared order survives in the text even though Qt's reader would sort.
    const qsizetype score = json.indexOf("\"overallScore\":{");
    const qsizetype summary = json.indexOf("\"summary\":{");
    const qsizetype themes = json.indexOf("\"themes\":{");
    EXPECT_TRUE(score > 0 && score < summary && summary < themes);
    for (const char *guide : {"minItems", "maxItems", "minimum", "maximum", "pattern", "enum"})
        EXPECT_FALSE(json.contains(guide)) << guide;
    // Descriptions reach the model unchanged, non-ASCII included.
    EXPECT_EQ(props.value("summary").toObject().value("description").toString(),
              EntryInsightResult::generationSchema().properties[1].description);
}

TEST(EntryInsightResultRead, ReadsAllFieldsWithEmptyKeyPointsAndOutOfRangeScore)
{
    const EntryInsightResult result = EntryInsightResult::fromContent(GeneratedContent::fromJson(fullEntryJson()));
    EXPECT_TRUE(result.keyPoints.isEmpty());
    EXPECT_EQ(result.themes, QStringList{"Work"});
    EXPECT_EQ(result.summary, "A calm day.");

    QByteArray high = fullEntryJson();
    high.replace("0.25", "1.7");
    EXPECT_DOUBLE_EQ(EntryInsightResult::fromContent(GeneratedContent::fromJson(high)).overallScore, 1.7);
    QByteArray integer = fullEntryJson();
    integer.replace("0.25", "-1");
    EXPECT_DOUBLE_EQ(EntryInsightResult::fromContent(GeneratedContent::fromJson(integer)).overallScore, -1.0);
}

TEST(EntryInsightResultRead, MissingOrIllTypedFieldFailsTheWholeRead)
{
    QByteArray noThemes = fullEntryJson();
    noThemes.replace(",\"themes\":[\"Work\"]", "");
    expectDecodingFailure(noThemes);
    expectDecodingFailure(QByteArray(fullEntryJson()).replace("0.25", "\"0.25\""));          // number as text
    expectDecodingFailure(QByteArray(fullEntryJson()).replace("\"A calm day.\"", "null"));   // null field
    expectDecodingFailure(fullEntryJson("[\"one\",2]"));                                       // non-string item
    expectDecodingFailure(fullEntryJson("\"one\""));                                           // text for a list
    expectDecodingFailure(QByteArray(fullEntryJson()).replace("\"steady\"", "[\"steady\"]")); // list for text
}

TEST(EntryInsightResultRead, ExtraFieldsAreIgnored)
{
    QByteArray json = fullEntryJson();
    json.insert(1, "\"confidence\":0.9,");
    EXPECT_NO_THROW(EntryInsightResult::fromContent(GeneratedContent::fromJson(json)));
}

TEST(ResultContent, RoundTripsThroughContentAndJson)
{
    EntryInsightResult entry;
    entry.overallScore = -0.35;
    entry.summary = QString::fromUtf8("Rain \u2014 then \"light\".\nNew line \U0001F327\uFE0F");
    entry.emotionalTone = "Overcast";
    entry.keyPoints = {"One", "Two"};
    entry.overallSentiment = "mixed";
    entry.closingFocus = "Be gentle.";
    entry.themes = {"Family", "Health", "Joy"};
    const GeneratedContent content = entry.generatedContent();
    EXPECT_EQ(content.names(), (QStringList{"overallScore", "summary", "emotionalTone", "keyPoints",
                                            "overallSentiment", "closingFocus", "themes"}));
    EXPECT_EQ(EntryInsightResult::fromContent(content), entry);
    EXPECT_EQ(EntryInsightResult::fromContent(GeneratedContent::fromJson(content.toJson())), entry);
    EXPECT_TRUE(content.toJson().startsWith("{\"overallScore\":-0.35,\"summary\":"));

    WeeklyReflectionResult weekly{"S", "Sunny to rainy.", {}, "heavy", "Rest."};
    EXPECT_EQ(WeeklyReflectionResult::fromContent(GeneratedContent::fromJson(weekly.generatedContent().toJson())),
              weekly);
}

TEST(WeeklyReflectionResultRead, MissingFieldFails)
{
    EXPECT_THROW(WeeklyReflectionResult::fromContent(GeneratedContent::fromJson(
                     "{\"summary\":\"s\",\"emotionalArc\":\"a\",\"notableMoments\":[],\"overallSentiment\":\"o\"}")),
                 LanguageModelError);
}

} // namespace zn
