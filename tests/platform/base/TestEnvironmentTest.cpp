#include <QDir>
#include <QFileInfo>
#include <QtGlobal>

#include <gtest/gtest.h>

// Every entry a test folder gives its tests must arrive, not just the first:
// some suites rely on theirs to stay off a real sound server.
TEST(TestEnvironment, EveryEntryArrivesWithItsValueIntact)
{
    EXPECT_EQ(qEnvironmentVariable("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    const QString sourceDir = qEnvironmentVariable("ZN_SOURCE_DIR");
    ASSERT_FALSE(sourceDir.isEmpty());
    EXPECT_TRUE(QFileInfo(QDir(sourceDir).filePath(QStringLiteral("CMakeLists.txt"))).isFile());
    EXPECT_EQ(qEnvironmentVariable("ZN_TEST_ENV_FIRST"), QStringLiteral("one"));
    EXPECT_EQ(qEnvironmentVariable("ZN_TEST_ENV_SECOND"), QStringLiteral("two words 'quoted'"));
}
