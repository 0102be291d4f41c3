#include "platform/language/TextBoundaries.h"

#include <gtest/gtest.h>

#include <QtConcurrent/QtConcurrentRun>

#include <vector>

namespace zn::language {
namespace {

std::vector<qsizetype> boundaries(TextBoundaries::Kind kind, const QString &text)
{
    std::vector<qsizetype> out;
    TextBoundaries finder(kind, text);
    for (qsizetype b = finder.next(); b >= 0; b = finder.next())
        out.push_back(b);
    return out;
}

using Ends = std::vector<qsizetype>;

TEST(TextBoundaries, CharactersAreExtendedGraphemeClusters)
{
    using K = TextBoundaries::Kind;
    EXPECT_EQ(boundaries(K::Grapheme, QStringLiteral("ab")), (Ends{1, 2}));
    EXPECT_EQ(boundaries(K::Grapheme, QStringLiteral("\r\nx")), (Ends{2, 3}));
    EXPECT_EQ(boundaries(K::Grapheme, QStringLiteral("e\u0301\u0301x")), (Ends{3, 4}));
    // Family (joined by ZWJ), two flags, a thumb with a skin tone.
    EXPECT_EQ(boundaries(K::Grapheme, QStringLiteral("👨‍👩‍👧🇫🇷🇩🇪👍🏽")), (Ends{8, 12, 16, 20}));
    // Thai vowel signs and tone marks join their consonant.
    EXPECT_EQ(boundaries(K::Grapheme, QStringLiteral("ดี่ก")), (Ends{3, 4}));
    // A lone surrogate is a character of its own.
    QString lone = QStringLiteral("a");
    lone += QChar(0xD800);
    lone += u'b';
    EXPECT_EQ(boundaries(K::Grapheme, lone), (Ends{1, 2, 3}));
    EXPECT_TRUE(boundaries(K::Grapheme, QString()).empty());
}

TEST(TextBoundaries, FollowingStartsFromAnyOffset)
{
    const QString text = QStringLiteral("a🇫🇷b");
    TextBoundaries finder(TextBoundaries::Kind::Grapheme, text);
    EXPECT_EQ(finder.following(1), 5);
    EXPECT_EQ(finder.following(2), 5); // inside the flag
    EXPECT_EQ(finder.next(), 6);
    EXPECT_EQ(finder.next(), -1);
    EXPECT_EQ(finder.following(6), -1);
}

TEST(TextBoundaries, SentencesKeepAnEmoticonAfterTheStop)
{
    using K = TextBoundaries::Kind;
    EXPECT_EQ(boundaries(K::Sentence, QStringLiteral("Yes! :D")), (Ends{7}));
    EXPECT_EQ(boundaries(K::Sentence, QStringLiteral("It rained. We stayed in.")), (Ends{11, 24}));
    EXPECT_EQ(boundaries(K::Sentence, QStringLiteral("Is it? Yes.")), (Ends{7, 11}));
}

TEST(TextBoundaries, ParallelUseOnSeveralThreads)
{
    // Each thread keeps its own iterators; nested finders on one thread
    // do not share one either.
    const QString text = QStringLiteral("One. Two! Three? 👍🏽 Four.").repeated(200);
    const auto expected = boundaries(TextBoundaries::Kind::Sentence, text);
    QList<QFuture<bool>> runs;
    for (int i = 0; i < 8; ++i) {
        runs.append(QtConcurrent::run([&] {
            TextBoundaries outer(TextBoundaries::Kind::Sentence, text);
            bool same = true;
            for (size_t k = 0; k < expected.size(); ++k) {
                TextBoundaries inner(TextBoundaries::Kind::Sentence, QStringLiteral("A. B."));
                same = same && inner.next() == 3;
                same = same && outer.next() == expected[k];
            }
            return same && outer.next() == -1;
        }));
    }
    for (auto &run : runs)
        EXPECT_TRUE(run.result());
}

TEST(TextBoundaries, ComposedIsCanonicalComposition)
{
    EXPECT_EQ(composed(QStringLiteral("cafe\u0301")), QStringLiteral("caf\u00e9"));
    EXPECT_EQ(composed(QStringLiteral("A\u030a ring")), QStringLiteral("\u00c5 ring"));
    // Canonical reordering of marks: below (220) before above (230).
    EXPECT_EQ(composed(QStringLiteral("a\u0301\u0316")), QStringLiteral("\u00e1\u0316"));
    // Some characters decompose for good and grow the text.
    EXPECT_EQ(composed(QStringLiteral("q\u0344")), QStringLiteral("q\u0308\u0301"));
    // Hangul jamo compose into a syllable.
    EXPECT_EQ(composed(QStringLiteral("\u1100\u1161")), QStringLiteral("\uac00"));
    // Text in composed form comes back as it is.
    const QString plain = QStringLiteral("Already composed: é, 😀, 한");
    EXPECT_EQ(composed(plain), plain);
    EXPECT_EQ(composed(QString()), QString());
    QString lone = QStringLiteral("e\u0301");
    lone += QChar(0xDC00);
    EXPECT_EQ(composed(lone).size(), 2);
    // Agrees with Qt's own composition on a long mixed text.
    const QString mixed = QStringLiteral("Cafe\u0301 Ö o\u0308 n\u0303 \u1100\u1161 q\u0344 ").repeated(100);
    EXPECT_EQ(composed(mixed), mixed.normalized(QString::NormalizationForm_C));
}

} // namespace
} // namespace zn::language
