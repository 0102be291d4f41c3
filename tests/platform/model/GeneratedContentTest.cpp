#include "platform/model/GeneratedContent.h"

#include "platform/model/LanguageModelError.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <limits>

namespace zn::lm {

namespace {

LanguageModelError::Kind parseFailure(const QByteArray &json)
{
    try {
        GeneratedContent::fromJson(json);
    } catch (const LanguageModelError &e) {
        EXPECT_FALSE(e.description().isEmpty());
        return e.kind();
    }
    ADD_FAILURE() << "parsed: " << json.constData();
    return LanguageModelError::Kind::Other;
}

} // namespace

TEST(GeneratedContentParse, AcceptsObjectsWithOrWithoutCodeFences)
{
    EXPECT_EQ(GeneratedContent::fromJson(" {\"a\":\"x\"} \n").text("a"), "x");
    EXPECT_EQ(GeneratedContent::fromJson("```json\n{\"a\":\"x\"}\n```").text("a"), "x");
    EXPECT_EQ(GeneratedContent::fromJson("```\n{\"a\":\"x\"}\n```\n").text("a"), "x");
    // An answer cut before its closing fence still reads when the JSON is whole.
    EXPECT_EQ(GeneratedContent::fromJson("```json\n{\"a\":\"x\"}").text("a"), "x");
    // The fences may share the line with the JSON.
    EXPECT_EQ(GeneratedContent::fromJson("```json{\"a\":\"x\"}```").text("a"), "x");
    EXPECT_EQ(GeneratedContent::fromJson("``` {\"a\":\"x\"} ```").text("a"), "x");
}

TEST(GeneratedContentParse, RejectsAnythingButAnObject)
{
    for (const char *bad : {"", "   ", "[1,2]", "\"text\"", "42", "null", "{\"a\":", "{'a':1}", "```", "```json\n```",
                            "{\"a\":1} trailing"})
        EXPECT_EQ(parseFailure(bad), LanguageModelError::Kind::DecodingFailure) << bad;
}

TEST(GeneratedContentRead, TypedReadsFailOnMissingOrIllTypedFields)
{
    const GeneratedContent content = GeneratedContent::fromJson(
        R"({"n":1,"r":-0.25,"s":"t","l":["a","b"],"nul":null,"ns":"0.5","mixed":["a",1],"nested":[["a"]],"b":true})");
    EXPECT_DOUBLE_EQ(content.number("n"), 1.0);
    EXPECT_DOUBLE_EQ(content.number("r"), -0.25);
    EXPECT_EQ(content.text("s"), "t");
    EXPECT_EQ(content.textList("l"), (QStringList{"a", "b"}));
    EXPECT_THROW(content.number("missing"), LanguageModelError);
    EXPECT_THROW(content.number("ns"), LanguageModelError);
    EXPECT_THROW(content.number("nul"), LanguageModelError);
    EXPECT_THROW(content.number("b"), LanguageModelError);
    EXPECT_THROW(content.text("nul"), LanguageModelError);
    EXPECT_THROW(content.text("n"), LanguageModelError);
    EXPECT_THROW(content.text("l"), LanguageModelError);
    EXPECT_THROW(content.textList("s"), LanguageModelError);
    EXPECT_THROW(content.textList("mixed"), LanguageModelError);
    EXPECT_THROW(content.textList("nested"), LanguageModelError);
    EXPECT_THROW(content.textList("nul"), LanguageModelError);
    try {
        content.textList("mixed");
    } catch (const LanguageModelError &e) {
        EXPECT_EQ(e.kind(), LanguageModelError::Kind::DecodingFailure);
        EXPECT_TRUE(e.description().contains("mixed"));
    }
}

TEST(GeneratedContentWrite, KeepsInsertionOrderAndEscapesText)
{
    GeneratedContent content;
    content.setText("zeta", QString::fromUtf8("quote \" back \\ nl \n tab \t bell \x07 \u2014 \U0001F327"));
    content.setNumber("alpha", 0.1);
    content.setTextList("mid", {"x", ""});
    content.setNumber("alpha", 2); // replaced in place
    const QByteArray json = content.toJson();
    EXPECT_TRUE(json.startsWith("{\"zeta\":")) << json.constData();
    EXPECT_LT(json.indexOf("\"alpha\":2"), json.indexOf("\"mid\""));
    EXPECT_TRUE(json.contains("\\u0007"));
    const GeneratedContent back = GeneratedContent::fromJson(json);
    EXPECT_EQ(back.text("zeta"), content.text("zeta"));
    EXPECT_EQ(back.textList("mid"), (QStringList{"x", ""}));
    EXPECT_DOUBLE_EQ(back.number("alpha"), 2.0);
}

TEST(GeneratedContentWrite, NumbersUseTheShortestExactFormAndNeverInvalidJson)
{
    EXPECT_EQ(jsonNumber(0.1), "0.1");
    EXPECT_EQ(jsonNumber(-1), "-1");
    EXPECT_EQ(jsonNumber(1.7), "1.7");
    EXPECT_EQ(jsonNumber(std::nan("")), "null");
    EXPECT_EQ(jsonNumber(std::numeric_limits<double>::infinity()), "null");
    const double awkward = 0.1 + 0.2;
    EXPECT_EQ(QJsonDocument::fromJson("[" + jsonNumber(awkward) + "]").array().at(0).toDouble(), awkward);
}

TEST(GenerationSchemaJson, RendersEveryKindInOrderAsValidJson)
{
    const GenerationSchema schema{"T", "Type \"quoted\".",
                                  {{"z", ValueKind::TextList, "list"}, {"a", ValueKind::Number, "num"},
                                   {"m", ValueKind::Text, QString::fromUtf8("caf\u00e9")}}};
    const QByteArray json = schema.toJsonSchema();
    const QJsonDocument doc = QJsonDocument::fromJson(json);
    ASSERT_TRUE(doc.isObject()) << json.constData();
    EXPECT_EQ(doc.object().value("required").toArray(), (QJsonArray{"z", "a", "m"}));
    EXPECT_LT(json.indexOf("\"z\":{"), json.indexOf("\"a\":{"));
    EXPECT_LT(json.indexOf("\"a\":{"), json.indexOf("\"m\":{"));
    EXPECT_EQ(doc.object().value("description").toString(), "Type \"quoted\".");
    EXPECT_EQ(doc.object().value("properties").toObject().value("m").toObject().value("description").toString(),
              QString::fromUtf8("caf\u00e9"));
}

TEST(LanguageModelErrors, OverflowDescriptionNamesTheContextWindow)
{
    const LanguageModelError error = LanguageModelError::exceededContextWindow("(5000 tokens)");
    EXPECT_EQ(error.kind(), LanguageModelError::Kind::ExceededContextWindow);
    const QString lower = error.description().toLower();
    EXPECT_TRUE(lower.contains("context") && lower.contains("exceed") && lower.contains("window"));
    EXPECT_TRUE(error.description().endsWith("(5000 tokens)"));
    EXPECT_EQ(QString::fromUtf8(error.what()), error.description());
}

} // namespace zn::lm
