#include "platform/language/WordNetTagger.h"

#include "platform/base/SystemLog.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTextBoundaryFinder>
#include <QtConcurrent/QtConcurrentRun>

namespace zn::language {
namespace {

struct Tagged {
    QString text;
    std::optional<LexicalClass> cls;
    std::optional<QString> lemma;
};

QList<Tagged> tagged(const WordTagger &tagger, const QString &text, const QString &language = QStringLiteral("en"))
{
    QList<Tagged> out;
    for (const auto &t : tagger.tag(text, language))
        out.append({text.mid(t.start, t.length), t.lexicalClass, t.lemma});
    return out;
}

const Tagged *find(const QList<Tagged> &tokens, const QString &word)
{
    for (const auto &t : tokens) {
        if (t.text == word)
            return &t;
    }
    return nullptr;
}

const WordNetTagger &sharedTagger()
{
    static const WordNetTagger tagger;
    return tagger;
}

TEST(WordNetTagger, LoadsTheInstalledData)
{
    EXPECT_TRUE(sharedTagger().isLoaded());
    EXPECT_EQ(sharedTagger().baseForms(QStringLiteral("dogs"), LexicalClass::Noun).value(0), QStringLiteral("dog"));
    EXPECT_EQ(sharedTagger().baseForms(QStringLiteral("geese"), LexicalClass::Noun).value(0), QStringLiteral("goose"));
    EXPECT_EQ(sharedTagger().baseForms(QStringLiteral("happier"), LexicalClass::Adjective).value(0), QStringLiteral("happy"));
    EXPECT_EQ(sharedTagger().baseForms(QStringLiteral("running"), LexicalClass::Verb).value(0), QStringLiteral("run"));
    EXPECT_TRUE(sharedTagger().baseForms(QStringLiteral("zorblax"), LexicalClass::Noun).isEmpty());
}

TEST(WordNetTagger, InflectionsFoldToOneLemma)
{
    const auto tokens = tagged(sharedTagger(), QStringLiteral("The dogs barked at another dog. Two happier children played."));
    const Tagged *dogs = find(tokens, QStringLiteral("dogs"));
    const Tagged *dog = find(tokens, QStringLiteral("dog"));
    ASSERT_TRUE(dogs && dog);
    EXPECT_EQ(dogs->cls, LexicalClass::Noun);
    EXPECT_EQ(dogs->lemma, QStringLiteral("dog"));
    EXPECT_EQ(dog->lemma, QStringLiteral("dog"));
    const Tagged *children = find(tokens, QStringLiteral("children"));
    ASSERT_TRUE(children);
    EXPECT_EQ(children->cls, LexicalClass::Noun);
    EXPECT_EQ(children->lemma, QStringLiteral("child"));
    const Tagged *happier = find(tokens, QStringLiteral("happier"));
    ASSERT_TRUE(happier);
    EXPECT_EQ(happier->cls, LexicalClass::Adjective);
    EXPECT_EQ(happier->lemma, QStringLiteral("happy"));
}

TEST(WordNetTagger, VerbsAndFunctionWordsFallOutsideTheKeptClasses)
{
    const auto tokens = tagged(sharedTagger(),
                               QStringLiteral("I walked to the park because we'll meet there and I don't want to wait."));
    for (const char *w : {"walked", "meet", "want", "wait"}) {
        const Tagged *t = find(tokens, QString::fromLatin1(w));
        ASSERT_TRUE(t) << w;
        EXPECT_EQ(t->cls, LexicalClass::Verb) << w;
    }
    EXPECT_EQ(find(tokens, QStringLiteral("the"))->cls, LexicalClass::Determiner);
    EXPECT_EQ(find(tokens, QStringLiteral("because"))->cls, LexicalClass::Conjunction);
    EXPECT_EQ(find(tokens, QStringLiteral("we'll"))->cls, LexicalClass::Pronoun);
    EXPECT_EQ(find(tokens, QStringLiteral("don't"))->cls, LexicalClass::Verb);
    EXPECT_EQ(find(tokens, QStringLiteral("park"))->cls, LexicalClass::Noun);
    // Punctuation and spaces are never tokens.
    for (const auto &t : tokens)
        EXPECT_FALSE(t.text.trimmed().isEmpty() || t.text == QStringLiteral("."));
}

TEST(WordNetTagger, ContextDecidesBetweenNounAndVerb)
{
    const auto a = tagged(sharedTagger(), QStringLiteral("The walk was long."));
    EXPECT_EQ(find(a, QStringLiteral("walk"))->cls, LexicalClass::Noun);
    const auto b = tagged(sharedTagger(), QStringLiteral("We walk every morning."));
    EXPECT_EQ(find(b, QStringLiteral("walk"))->cls, LexicalClass::Verb);
    const auto c = tagged(sharedTagger(), QStringLiteral("I am tired."));
    EXPECT_EQ(find(c, QStringLiteral("tired"))->cls, LexicalClass::Adjective);
}

TEST(WordNetTagger, NumbersNamesAndPossessives)
{
    const auto tokens = tagged(sharedTagger(), QStringLiteral("On 2024 I met Zorblax at 12ab with Mum’s friends, 3.5 times."));
    EXPECT_EQ(find(tokens, QStringLiteral("2024"))->cls, LexicalClass::Number);
    EXPECT_EQ(find(tokens, QStringLiteral("3.5"))->cls, LexicalClass::Number);
    EXPECT_EQ(find(tokens, QStringLiteral("12ab"))->cls, LexicalClass::OtherWord);
    const Tagged *name = find(tokens, QStringLiteral("Zorblax"));
    ASSERT_TRUE(name);
    EXPECT_EQ(name->cls, LexicalClass::OtherWord);
    EXPECT_FALSE(name->lemma.has_value());
    // The clitic is not part of the word.
    const Tagged *mum = find(tokens, QStringLiteral("Mum"));
    ASSERT_TRUE(mum);
    EXPECT_EQ(mum->cls, LexicalClass::Noun);
    EXPECT_EQ(mum->lemma, QStringLiteral("mum"));
}

TEST(WordNetTagger, OtherLanguagesGetPlainWords)
{
    const auto tokens = tagged(sharedTagger(), QStringLiteral("Les chiens sont heureux en 2024"), QStringLiteral("fr"));
    ASSERT_EQ(tokens.size(), 6);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(tokens[i].cls, LexicalClass::OtherWord);
        EXPECT_FALSE(tokens[i].lemma.has_value());
    }
    EXPECT_EQ(tokens[5].cls, LexicalClass::Number);
}

TEST(WordNetTagger, MissingDataDegradesWithOneLogLine)
{
    test::TempDir empty;
    SystemLogCapture log;
    const WordNetTagger tagger(empty.path());
    const auto first = tagged(tagger, QStringLiteral("The dogs ran to the park."));
    const auto second = tagged(tagger, QStringLiteral("Cats sleep."));
    EXPECT_FALSE(tagger.isLoaded());
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines().first().startsWith(QStringLiteral("Zephyrnote: ")));
    // Function words still known; everything else a plain other word.
    EXPECT_EQ(find(first, QStringLiteral("The"))->cls, LexicalClass::Determiner);
    const Tagged *dogs = find(first, QStringLiteral("dogs"));
    EXPECT_EQ(dogs->cls, LexicalClass::OtherWord);
    EXPECT_FALSE(dogs->lemma.has_value());
    EXPECT_EQ(second.size(), 2);
}

TEST(WordNetTagger, AFormHasABaseFormInAClassOnlyWhereItIsTheOnlyOne)
{
    const WordNetTagger &wn = sharedTagger();
    EXPECT_EQ(wn.soleBaseForm(QStringLiteral("Wines"), LexicalClass::Noun), QStringLiteral("wine"));
    EXPECT_TRUE(wn.soleBaseForm(QStringLiteral("wines"), LexicalClass::Verb).isEmpty()); // "wine" and "win"
    EXPECT_TRUE(wn.soleBaseForm(QStringLiteral("wines"), LexicalClass::Adjective).isEmpty());
}

TEST(WordNetTagger, ConcurrentFirstUseAndTaggingAgree)
{
    const WordNetTagger tagger; // fresh: all threads race to load it
    const QString text = QStringLiteral("Walking the dogs by the river made the children happier than ever. ").repeated(20);
    QList<QFuture<std::vector<WordToken>>> futures;
    for (int i = 0; i < 8; ++i)
        futures.append(QtConcurrent::run([&] { return tagger.tag(text, QStringLiteral("en")); }));
    const auto expected = tagger.tag(text, QStringLiteral("en"));
    for (auto &f : futures) {
        const auto got = f.result();
        ASSERT_EQ(got.size(), expected.size());
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].start, expected[i].start);
            EXPECT_EQ(got[i].lexicalClass, expected[i].lexicalClass);
            EXPECT_EQ(got[i].lemma, expected[i].lemma);
        }
    }
}

} // namespace
} // namespace zn::language

namespace zn::language {
namespace {

TEST(WordNetTagger, FastWordSegmentsMatchTheUnicodeSegmenter)
{
    QStringList texts = {
        QStringLiteral("Plain words, and punctuation! Don't stop: it’s 3.14 or 1,000,000 (ok?) e.g. U.S.A."),
        QStringLiteral("snake_case_word a_1 _x_ 12_ab x.y.z a:b a::b a..b 1..2 1.a a.1 ‘quoted’ — dash – 2020–2021"),
        QStringLiteral("café naïve Ærøskøbing ŁÓDŹ ſ ǅ ª º µ 5×3 ÷ ·middle·dot a·b"),
        QStringLiteral("trailing. 'lead \"double\" end' it's' ''x'' …and… 10% $5 #tag @name"),
        QStringLiteral("\n\ttabs\r\nand\u00a0nbsp lines\u2026"),
    };
    // Review sentences give a broad sample of ordinary English.
    for (const char *name : {"amazon.json", "imdb.json", "yelp.json"}) {
        QFile file(test::sourcePath(QStringLiteral("tests/platform/language/data/") + QLatin1String(name)));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        texts.append(QString::fromUtf8(file.readAll()));
    }
    for (const QString &text : texts)
        EXPECT_EQ(WordNetTagger::wordSegments(text), WordNetTagger::unicodeWordSegments(text)) << text.left(80).toStdString();
    // Text outside the fast path still segments (through the general one).
    const QString mixed = QStringLiteral("日本語 text with ع and 😀 emoji");
    EXPECT_EQ(WordNetTagger::wordSegments(mixed), WordNetTagger::unicodeWordSegments(mixed));
}

} // namespace
} // namespace zn::language

namespace zn::language {
namespace {

// One boundary finder over the whole text, as a reference.
std::vector<std::pair<qsizetype, qsizetype>> referenceSegments(const QString &text)
{
    std::vector<std::pair<qsizetype, qsizetype>> out;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, text);
    qsizetype from = 0;
    for (qsizetype to = finder.toNextBoundary(); to > from; to = finder.toNextBoundary()) {
        for (QChar c : QStringView(text).mid(from, to - from)) {
            if (c.isLetterOrNumber() || c.isMark()) {
                out.emplace_back(from, to);
                break;
            }
        }
        from = to;
    }
    return out;
}

TEST(WordNetTagger, LongTextIsSegmentedInPiecesWithoutChangingWords)
{
    // Pieces end before spaces, so the words are those of one pass.
    const QString mixed = QStringLiteral("Café naïve 日本語 text, it’s 3.14 — 😀 emoji\u00a0and  tabs\t"
                                         "e\u0301 marks! ").repeated(400);
    ASSERT_GT(mixed.size(), 16000);
    EXPECT_EQ(WordNetTagger::unicodeWordSegments(mixed), referenceSegments(mixed));
    // A long run without spaces is cut somewhere, but every unit of its
    // letters still lands in some word, in order, without overlap.
    const QString thai = QStringLiteral("วันนี้อากาศดีมากฉันไปเดินเล่น").repeated(600);
    const auto segments = WordNetTagger::unicodeWordSegments(thai);
    ASSERT_FALSE(segments.empty());
    qsizetype covered = 0, last = 0;
    for (const auto &[from, to] : segments) {
        EXPECT_GE(from, last);
        EXPECT_GT(to, from);
        covered += to - from;
        last = to;
    }
    EXPECT_EQ(covered, thai.size());
}

TEST(WordNetTagger, CliticIsCutWhereLowerCasingChangesLengths)
{
    // "İ" lower-cases to two code units; the cut must still fall on the
    // apostrophe of the original text.
    const QString text = QStringLiteral("İİİ’s dog, İzmir's cat");
    const auto tokens = tagged(sharedTagger(), text);
    ASSERT_FALSE(tokens.isEmpty());
    EXPECT_EQ(tokens.first().text, QStringLiteral("İİİ"));
    EXPECT_TRUE(find(tokens, QStringLiteral("İzmir")));
    EXPECT_TRUE(find(tokens, QStringLiteral("dog")));
    for (const auto &t : tokens)
        EXPECT_FALSE(t.text.contains(u'\'') || t.text.contains(QChar(0x2019)) || t.text.contains(u' ')) << t.text.toStdString();
}

} // namespace
} // namespace zn::language
