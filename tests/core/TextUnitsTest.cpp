#include "core/TextUnits.h"

#include <gtest/gtest.h>

namespace zn::text {

TEST(TextUnits, CountsUserPerceivedCharacters)
{
    EXPECT_EQ(graphemeCount(""), 0);
    EXPECT_EQ(graphemeCount("abc"), 3);
    // Thumbs up with a skin tone, a family joined by ZWJs, a flag, e + combining acute.
    EXPECT_EQ(graphemeCount(QString::fromUtf8("\U0001F44D\U0001F3FD")), 1);
    EXPECT_EQ(graphemeCount(QString::fromUtf8("\U0001F468\u200D\U0001F469\u200D\U0001F467")), 1);
    EXPECT_EQ(graphemeCount(QString::fromUtf8("\U0001F1EB\U0001F1F7")), 1);
    EXPECT_EQ(graphemeCount(QString::fromUtf8("e\u0301")), 1);
    EXPECT_EQ(graphemeCount(QString::fromUtf8("\r\n")), 1);
    // The plain-text fast path and the boundary finder agree.
    for (const char *s : {"a\r\nb", "\r\r\n", "\n\r", "caf\xC3\xA9\r\n", "\xCA\xBC\r"})
        EXPECT_EQ(graphemeCount(QString::fromUtf8(s)), graphemes(QString::fromUtf8(s)).size()) << s;
}

TEST(TextUnits, PrefixAndSuffixNeverSplitAGrapheme)
{
    const QString s = QString::fromUtf8("a\U0001F44D\U0001F3FDb");
    EXPECT_EQ(graphemePrefix(s, 2), QString::fromUtf8("a\U0001F44D\U0001F3FD"));
    EXPECT_EQ(graphemeSuffix(s, 2), QString::fromUtf8("\U0001F44D\U0001F3FDb"));
    EXPECT_EQ(graphemePrefix(s, 0), "");
    EXPECT_EQ(graphemePrefix(s, -3), "");
    EXPECT_EQ(graphemePrefix(s, 99), s);
    EXPECT_EQ(graphemeSuffix(s, 99), s);
    EXPECT_EQ(graphemes(s).size(), 3);
}

TEST(TextUnits, LoneSurrogatesAndNulAreCharacters)
{
    QString s;
    s.append(QChar(0xD800));
    s.append(QChar(0));
    s.append(QChar('x'));
    EXPECT_GE(graphemeCount(s), 2);
    EXPECT_EQ(graphemePrefix(s, graphemeCount(s)), s);
}

TEST(TextUnits, TrimAndBlankUseUnicodeWhitespace)
{
    EXPECT_EQ(trimmed(QString::fromUtf8("\u00A0\t hi\u2003\n\u0085")), "hi");
    EXPECT_TRUE(isBlank(QString::fromUtf8(" \n\u2028\t")));
    EXPECT_FALSE(isBlank(" x "));
    EXPECT_TRUE(isBlank(""));
}

TEST(TextUnits, ScalarOrderIgnoresUtf16LayoutAndNormalisation)
{
    // U+FF5E is one UTF-16 unit, U+1F600 is a surrogate pair: by scalar value U+FF5E is smaller.
    EXPECT_TRUE(scalarLess(QString::fromUtf8("\uFF5E"), QString::fromUtf8("\U0001F600")));
    EXPECT_EQ(compareScalars(QString::fromUtf8("\u00E9"), QString::fromUtf8("e\u0301")), 0);
    EXPECT_TRUE(scalarLess("ab", "abc"));
    EXPECT_FALSE(scalarLess("b", "a"));
}

} // namespace zn::text

namespace zn::text {

TEST(TextUnits, AlphanumericCoversEveryScriptPerCodePoint)
{
    for (char32_t c : {U'a', U'Z', U'7', U'é', U'ж', U'五', U'٣', U'Ⅻ', U'½', U'\u0301', U'𝔸'})
        EXPECT_TRUE(isAlphanumeric(c)) << unsigned(c);
    for (char32_t c : {U' ', U'\'', U'-', U'!', U'\u2019', U'😀', U'\0', char32_t(0xD800)})
        EXPECT_FALSE(isAlphanumeric(c)) << unsigned(c);
}

} // namespace zn::text
