#include "views/kit/SegmentedControl.h"

#include <QAccessible>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace zn {
namespace {

struct Periods {
    SegmentedControl control{{"7 days", "30 days", "365 days"}};
    QSignalSpy changed{&control, &SegmentedControl::currentIndexChanged};
    QSignalSpy activated{&control, &SegmentedControl::activated};

    Periods()
    {
        control.resize(control.sizeHint());
        control.show();
    }
    QPoint centreOf(int index) const { return control.segmentRect(index).center().toPoint(); }
};

} // namespace

TEST(SegmentedControl, StartsOnTheFirstSegmentAndCodeChangesAreNotActivations)
{
    Periods p;
    EXPECT_EQ(p.control.currentIndex(), 0);
    p.control.setCurrentIndex(2);
    p.control.setCurrentIndex(2);
    p.control.setCurrentIndex(7);
    p.control.setCurrentIndex(-1);
    EXPECT_EQ(p.control.currentIndex(), 2);
    ASSERT_EQ(p.changed.count(), 1);
    EXPECT_EQ(p.changed.at(0).at(0).toInt(), 2);
    EXPECT_EQ(p.activated.count(), 0);
    EXPECT_EQ(p.control.accessibleDescription(), "365 days, 3 of 3");
}

TEST(SegmentedControl, ClickChoosesTheSegmentUnderThePointer)
{
    Periods p;
    QTest::mouseClick(&p.control, Qt::LeftButton, {}, p.centreOf(1));
    EXPECT_EQ(p.control.currentIndex(), 1);
    EXPECT_EQ(p.changed.count(), 1);
    ASSERT_EQ(p.activated.count(), 1);
    // Clicking the chosen segment again activates without a change.
    QTest::mouseClick(&p.control, Qt::LeftButton, {}, p.centreOf(1));
    EXPECT_EQ(p.changed.count(), 1);
    EXPECT_EQ(p.activated.count(), 2);
    // A press dragged to another segment chooses nothing.
    QTest::mousePress(&p.control, Qt::LeftButton, {}, p.centreOf(0));
    QTest::mouseRelease(&p.control, Qt::LeftButton, {}, p.centreOf(2));
    EXPECT_EQ(p.control.currentIndex(), 1);
    EXPECT_EQ(p.activated.count(), 2);
    // Right clicks do nothing.
    QTest::mouseClick(&p.control, Qt::RightButton, {}, p.centreOf(2));
    EXPECT_EQ(p.control.currentIndex(), 1);
}

TEST(SegmentedControl, ArrowHomeAndEndKeysMoveWithoutWrapping)
{
    Periods p;
    QTest::keyClick(&p.control, Qt::Key_Left);
    EXPECT_EQ(p.control.currentIndex(), 0);
    EXPECT_EQ(p.activated.count(), 0);
    QTest::keyClick(&p.control, Qt::Key_Right);
    QTest::keyClick(&p.control, Qt::Key_Right);
    QTest::keyClick(&p.control, Qt::Key_Right);
    EXPECT_EQ(p.control.currentIndex(), 2);
    EXPECT_EQ(p.activated.count(), 2);
    QTest::keyClick(&p.control, Qt::Key_Home);
    EXPECT_EQ(p.control.currentIndex(), 0);
    QTest::keyClick(&p.control, Qt::Key_End);
    EXPECT_EQ(p.control.currentIndex(), 2);
    QTest::keyClick(&p.control, Qt::Key_Up);
    EXPECT_EQ(p.control.currentIndex(), 1);
    // Space re-announces the current choice.
    const int before = int(p.activated.count());
    QTest::keyClick(&p.control, Qt::Key_Space);
    EXPECT_EQ(p.activated.count(), before + 1);
    // Shortcuts with Ctrl are not ours.
    QTest::keyClick(&p.control, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(p.control.currentIndex(), 1);
}

TEST(SegmentedControl, RightToLeftMirrorsSegmentsAndArrows)
{
    Periods p;
    p.control.setLayoutDirection(Qt::RightToLeft);
    EXPECT_GT(p.control.segmentRect(0).left(), p.control.segmentRect(2).left());
    QTest::keyClick(&p.control, Qt::Key_Left);
    EXPECT_EQ(p.control.currentIndex(), 1);
    QTest::mouseClick(&p.control, Qt::LeftButton, {}, p.centreOf(2));
    EXPECT_EQ(p.control.currentIndex(), 2);
    EXPECT_EQ(p.control.segmentAt(QPoint(3, p.control.height() / 2)), 2);
}

TEST(SegmentedControl, DisabledControlIgnoresInput)
{
    Periods p;
    p.control.setEnabled(false);
    QTest::mouseClick(&p.control, Qt::LeftButton, {}, p.centreOf(2));
    QTest::keyClick(&p.control, Qt::Key_End);
    EXPECT_EQ(p.control.currentIndex(), 0);
    EXPECT_EQ(p.activated.count(), 0);
}

TEST(SegmentedControl, TitleChangesKeepOrClampTheSelection)
{
    Periods p;
    p.control.setCurrentIndex(1);
    p.control.setTitles({"Light", "Dark"});
    EXPECT_EQ(p.control.currentIndex(), 1);
    p.control.setTitles({"Only"});
    EXPECT_EQ(p.control.currentIndex(), 0);
    p.control.setTitles({});
    EXPECT_EQ(p.control.currentIndex(), -1);
    EXPECT_EQ(p.control.segmentAt(QPoint(5, 5)), -1);
    EXPECT_TRUE(p.control.accessibleDescription().isEmpty());
    // Keys on an empty control do nothing.
    QTest::keyClick(&p.control, Qt::Key_Right);
    EXPECT_EQ(p.control.currentIndex(), -1);
}

TEST(SegmentedControl, ScreenReadersSeeSelectableSegmentsTheyCanPress)
{
    Periods p;
    p.control.setAccessibleName(QStringLiteral("Period"));
    QAccessibleInterface *list = QAccessible::queryAccessibleInterface(&p.control);
    ASSERT_TRUE(list);
    EXPECT_EQ(list->role(), QAccessible::PageTabList);
    EXPECT_EQ(list->text(QAccessible::Name), "Period");
    ASSERT_EQ(list->childCount(), 3);
    QAccessibleInterface *month = list->child(1);
    ASSERT_TRUE(month);
    EXPECT_EQ(month->text(QAccessible::Name), "30 days");
    EXPECT_EQ(month->role(), QAccessible::PageTab);
    EXPECT_EQ(list->indexOfChild(month), 1);
    EXPECT_TRUE(list->child(0)->state().selected);
    EXPECT_FALSE(month->state().selected);

    ASSERT_TRUE(month->actionInterface());
    month->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(p.control.currentIndex(), 1);
    EXPECT_EQ(p.activated.count(), 1);
    EXPECT_TRUE(month->state().selected);

    // Fewer segments: the dropped one goes invalid instead of dangling.
    QAccessibleInterface *year = list->child(2);
    p.control.setTitles({"Light", "Dark"});
    EXPECT_EQ(list->childCount(), 2);
    EXPECT_FALSE(year->isValid());
    EXPECT_EQ(list->child(2), nullptr);
}

TEST(SegmentedControl, SegmentsShareTheWidthEvenly)
{
    Periods p;
    p.control.resize(302, p.control.sizeHint().height());
    const qreal first = p.control.segmentRect(0).width();
    EXPECT_DOUBLE_EQ(p.control.segmentRect(1).width(), first);
    EXPECT_DOUBLE_EQ(p.control.segmentRect(2).right(), 300);
    EXPECT_EQ(p.control.segmentAt(p.centreOf(1)), 1);
    EXPECT_EQ(p.control.segmentAt(QPoint(-1, 5)), -1);
}

} // namespace zn
