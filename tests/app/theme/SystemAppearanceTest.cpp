#include "app/theme/DesktopAppearance.h"
#include "app/theme/SystemAppearance.h"
#include "FakePortal.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace zn {

namespace {

const QString kAppearance = QStringLiteral("org.freedesktop.appearance");
const QString kGnome = QStringLiteral("org.gnome.desktop.interface");
const QString kGnomeA11y = QStringLiteral("org.gnome.desktop.a11y.interface");
const QString kKde = QStringLiteral("org.kde.kdeglobals.KDE");

QVariant u(uint value)
{
    return QVariant::fromValue(value);
}

// One private bus for the whole program: the process keeps its first session
// bus connection, so every test must find the same daemon there.
class BusEnvironment : public ::testing::Environment
{
public:
    static test::PrivateSessionBus *bus() { return s_bus; }
    void SetUp() override { s_bus = new test::PrivateSessionBus; }
    void TearDown() override
    {
        delete s_bus;
        s_bus = nullptr;
    }

private:
    static inline test::PrivateSessionBus *s_bus = nullptr;
};

[[maybe_unused]] const auto *const kBusEnvironment = ::testing::AddGlobalTestEnvironment(new BusEnvironment);

QPalette darkPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(30, 30, 30));
    palette.setColor(QPalette::WindowText, QColor(230, 230, 230));
    return palette;
}

class DesktopAppearanceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!BusEnvironment::bus() || !BusEnvironment::bus()->isRunning())
            GTEST_SKIP() << "dbus-daemon is not available";
    }
    void TearDown() override { QApplication::setPalette(m_original); }

    QPalette m_original = QApplication::palette();
};

} // namespace

TEST(ManualSystemAppearance, TellsOnlyOfRealChangesAndCanStandInForTheDesktop)
{
    ManualSystemAppearance manual;
    QSignalSpy changed(&manual, &SystemAppearance::changed);
    manual.setColorScheme(ColorScheme::Light);
    manual.setReduceMotion(false);
    manual.setReduceTransparency(false);
    manual.setIncreasedContrast(false);
    EXPECT_EQ(changed.count(), 0);
    manual.setColorScheme(ColorScheme::Dark);
    manual.setReduceMotion(true);
    manual.setReduceTransparency(true);
    manual.setIncreasedContrast(true);
    manual.setIncreasedContrast(true);
    EXPECT_EQ(changed.count(), 4);
    EXPECT_EQ(manual.colorScheme(), ColorScheme::Dark);
    EXPECT_TRUE(manual.reduceMotion() && manual.reduceTransparency() && manual.increasedContrast());

    SystemAppearance::setShared(&manual);
    EXPECT_EQ(&SystemAppearance::shared(), &manual);
    SystemAppearance::setShared(nullptr);
    EXPECT_NE(&SystemAppearance::shared(), &manual);
    {
        // A destroyed stand-in is never handed out.
        ManualSystemAppearance shortLived;
        SystemAppearance::setShared(&shortLived);
    }
    EXPECT_NE(dynamic_cast<DesktopAppearance *>(&SystemAppearance::shared()), nullptr);
}

TEST_F(DesktopAppearanceTest, PortalSchemePreferenceWinsOverThePaletteAndNoPreferenceFallsBack)
{
    QApplication::setPalette(darkPalette());
    DesktopAppearance desktop;
    EXPECT_EQ(desktop.colorScheme(), ColorScheme::Dark); // palette lightness
    QSignalSpy changed(&desktop, &SystemAppearance::changed);

    desktop.applySetting(kAppearance, "color-scheme", u(2)); // prefers light
    EXPECT_EQ(desktop.colorScheme(), ColorScheme::Light);
    desktop.applySetting(kAppearance, "color-scheme", u(1)); // prefers dark
    EXPECT_EQ(desktop.colorScheme(), ColorScheme::Dark);
    EXPECT_EQ(changed.count(), 2);
    desktop.applySetting(kAppearance, "color-scheme", u(0)); // no preference: the palette's dark again
    EXPECT_EQ(desktop.colorScheme(), ColorScheme::Dark);
    EXPECT_EQ(changed.count(), 2); // what we report did not move
    // Values of the wrong type or out of range state no preference.
    desktop.applySetting(kAppearance, "color-scheme", u(7));
    desktop.applySetting(kAppearance, "color-scheme", QStringLiteral("light"));
    EXPECT_EQ(desktop.colorScheme(), ColorScheme::Dark);
    EXPECT_EQ(changed.count(), 2);
}

TEST_F(DesktopAppearanceTest, ApplicationPaletteDecidesWhenThePortalIsSilent)
{
    QApplication::setPalette(QPalette(Qt::white));
    DesktopAppearance desktop;
    EXPECT_EQ(desktop.colorScheme(), ColorScheme::Light);
    QSignalSpy changed(&desktop, &SystemAppearance::changed);
    QApplication::setPalette(darkPalette());
    EXPECT_EQ(desktop.colorScheme(), ColorScheme::Dark);
    EXPECT_EQ(changed.count(), 1);
}

TEST_F(DesktopAppearanceTest, AccessibilityWishesFromEachDesktopAndOffOtherwise)
{
    DesktopAppearance desktop;
    EXPECT_FALSE(desktop.reduceMotion());
    EXPECT_FALSE(desktop.reduceTransparency());
    EXPECT_FALSE(desktop.increasedContrast());

    desktop.applySetting(kAppearance, "reduced-motion", u(1));
    EXPECT_TRUE(desktop.reduceMotion());
    desktop.applySetting(kAppearance, "reduced-motion", u(0));
    EXPECT_FALSE(desktop.reduceMotion());
    desktop.applySetting(kGnome, "enable-animations", false);
    EXPECT_TRUE(desktop.reduceMotion());
    desktop.applySetting(kGnome, "enable-animations", true);
    EXPECT_FALSE(desktop.reduceMotion());
    desktop.applySetting(kKde, "AnimationDurationFactor", 0.0);
    EXPECT_TRUE(desktop.reduceMotion());
    desktop.applySetting(kKde, "AnimationDurationFactor", QStringLiteral("0.5"));
    EXPECT_FALSE(desktop.reduceMotion());
    // Junk leaves animations on.
    desktop.applySetting(kKde, "AnimationDurationFactor", QStringLiteral("slow"));
    desktop.applySetting(kGnome, "enable-animations", QStringLiteral("no"));
    EXPECT_FALSE(desktop.reduceMotion());

    QSignalSpy changed(&desktop, &SystemAppearance::changed);
    desktop.applySetting(kAppearance, "contrast", u(1));
    EXPECT_TRUE(desktop.increasedContrast());
    desktop.applySetting(kGnomeA11y, "high-contrast", true);
    desktop.applySetting(kAppearance, "contrast", u(0));
    EXPECT_TRUE(desktop.increasedContrast()); // GNOME still asks for it
    EXPECT_EQ(changed.count(), 1);
    desktop.applySetting(kGnomeA11y, "high-contrast", false);
    EXPECT_FALSE(desktop.increasedContrast());
    EXPECT_EQ(changed.count(), 2);

    // Settings we do not read change nothing.
    desktop.applySetting(kAppearance, "accent-color", u(1));
    desktop.applySetting(QStringLiteral("org.example"), "contrast", u(1));
    EXPECT_EQ(changed.count(), 2);
    EXPECT_FALSE(desktop.reduceTransparency());
}

TEST_F(DesktopAppearanceTest, ReadsARunningPortalWithoutWaitingAndFollowsItsChanges)
{
    QApplication::setPalette(QPalette(Qt::white));
    test::FakeSettingsPortal portal(/*wrapTwice=*/true);
    ASSERT_TRUE(portal.publish(BusEnvironment::bus()->address()));
    portal.set(kAppearance, "color-scheme", u(1));
    portal.set(kGnome, "enable-animations", false);

    DesktopAppearance desktop;
    // The constructor returns before the portal is heard.
    EXPECT_EQ(desktop.colorScheme(), ColorScheme::Light);
    EXPECT_FALSE(desktop.reduceMotion());
    ASSERT_TRUE(test::waitUntil([&] { return desktop.colorScheme() == ColorScheme::Dark && desktop.reduceMotion(); }));
    EXPECT_GE(portal.reads(), 2);

    QSignalSpy changed(&desktop, &SystemAppearance::changed);
    portal.announce(kAppearance, "contrast", u(1));
    ASSERT_TRUE(test::waitUntil([&] { return desktop.increasedContrast(); }));
    portal.announce(kAppearance, "color-scheme", u(2));
    ASSERT_TRUE(test::waitUntil([&] { return desktop.colorScheme() == ColorScheme::Light; }));
    EXPECT_EQ(changed.count(), 2);
}

TEST_F(DesktopAppearanceTest, WithNoPortalOnTheBusItKeepsThePaletteAndWishesOff)
{
    QApplication::setPalette(darkPalette());
    DesktopAppearance desktop;
    QSignalSpy changed(&desktop, &SystemAppearance::changed);
    // Long enough for every query to fail or time out.
    QTest::qWait(DesktopAppearance::kPortalTimeoutMs + 300);
    EXPECT_EQ(desktop.colorScheme(), ColorScheme::Dark);
    EXPECT_FALSE(desktop.reduceMotion());
    EXPECT_FALSE(desktop.increasedContrast());
    EXPECT_EQ(changed.count(), 0);
}

} // namespace zn
