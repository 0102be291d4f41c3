#include "views/kit/FlowLayout.h"

#include <QWidget>

#include <gtest/gtest.h>

namespace zn {
namespace {

// A box of a fixed preferred size.
class Box : public QWidget
{
public:
    Box(int w, int h, QWidget *parent) : QWidget(parent), m_size(w, h) {}
    QSize sizeHint() const override { return m_size; }
    QSize minimumSizeHint() const override { return QSize(qMin(20, m_size.width()), m_size.height()); }

private:
    QSize m_size;
};

struct Flow {
    QWidget host;
    FlowLayout *layout = new FlowLayout(&host, 6, 4);
    QList<Box *> boxes;

    Box *add(int w, int h = 20)
    {
        auto *box = new Box(w, h, &host);
        layout->addWidget(box);
        boxes.append(box);
        return box;
    }
    void layOut(int width)
    {
        layout->setGeometry(QRect(0, 0, width, layout->heightForWidth(width)));
    }
};

} // namespace

TEST(FlowLayout, WrapsWhenTheNextItemWouldCrossTheEdge)
{
    Flow f;
    f.add(50);
    f.add(50);
    f.add(50);
    // 50 + 6 + 50 = 106 fits in 110; the third would end at 162.
    f.layOut(110);
    EXPECT_EQ(f.boxes[0]->geometry(), QRect(0, 0, 50, 20));
    EXPECT_EQ(f.boxes[1]->geometry(), QRect(56, 0, 50, 20));
    EXPECT_EQ(f.boxes[2]->geometry(), QRect(0, 24, 50, 20));
    EXPECT_EQ(f.layout->heightForWidth(110), 44);
    // Exactly fitting is still one row.
    EXPECT_EQ(f.layout->heightForWidth(162), 20);
    EXPECT_EQ(f.layout->heightForWidth(161), 44);
    // Narrower: one per row.
    EXPECT_EQ(f.layout->heightForWidth(60), 3 * 20 + 2 * 4);
}

TEST(FlowLayout, RowHeightIsItsTallestItemAndMarginsCount)
{
    Flow f;
    f.layout->setContentsMargins(10, 8, 10, 8);
    f.add(40, 20);
    f.add(40, 30);
    f.add(40, 10);
    f.layOut(20 + 86);
    EXPECT_EQ(f.boxes[0]->geometry().topLeft(), QPoint(10, 8));
    EXPECT_EQ(f.boxes[2]->geometry().topLeft(), QPoint(10, 8 + 30 + 4));
    EXPECT_EQ(f.layout->heightForWidth(106), 8 + 30 + 4 + 10 + 8);
}

TEST(FlowLayout, WideItemIsCappedToTheRowAndHiddenItemsTakeNoRoom)
{
    Flow f;
    Box *hidden = f.add(30);
    hidden->hide();
    f.add(300);
    f.add(30);
    f.layOut(120);
    EXPECT_EQ(f.boxes[1]->geometry(), QRect(0, 0, 120, 20));
    EXPECT_EQ(f.boxes[2]->geometry().topLeft(), QPoint(0, 24));
    // Never narrower than the item's own minimum, even in a sliver.
    f.layOut(5);
    EXPECT_EQ(f.boxes[1]->geometry().width(), 20);
}

TEST(FlowLayout, EmptyLayoutHasNoHeightAndSizeHintIsOneRow)
{
    Flow f;
    EXPECT_EQ(f.layout->heightForWidth(200), 0);
    EXPECT_TRUE(f.layout->hasHeightForWidth());
    f.add(50, 20);
    f.add(70, 26);
    EXPECT_EQ(f.layout->sizeHint(), QSize(126, 26));
    EXPECT_EQ(f.layout->minimumSize(), QSize(20, 26));
    f.layout->clear();
    EXPECT_EQ(f.layout->count(), 0);
    EXPECT_EQ(f.layout->heightForWidth(200), 0);
}

TEST(FlowLayout, ParentWidgetTakesTheWrappedHeight)
{
    QWidget window;
    auto *flow = new FlowLayout(&window, 6, 4);
    for (int i = 0; i < 10; ++i)
        flow->addWidget(new Box(50, 20, &window));
    window.resize(170, 10);
    window.show();
    // Three per row at 170 wide (50+6+50+6+50 = 162): four rows.
    EXPECT_EQ(window.heightForWidth(170), 4 * 20 + 3 * 4);
}

} // namespace zn
