#include "views/kit/PaintedButton.h"

#include "views/kit/Mnemonics.h"

#include <QAccessible>
#include <QApplication>
#include <QEnterEvent>
#include <QHBoxLayout>
#include <QTest>

#include <gtest/gtest.h>

namespace zn {
namespace {

// The smallest painted button: a fixed size, and a count of its paints.
class CountingButton : public PaintedButton
{
public:
    using PaintedButton::PaintedButton;
    QSize sizeHint() const override { return {57, 23}; }
    int paints = 0;

protected:
    void paintEvent(QPaintEvent *) override { ++paints; }
};

struct Row {
    QWidget window;
    CountingButton *first = new CountingButton;
    CountingButton *second = new CountingButton;

    Row()
    {
        auto *layout = new QHBoxLayout(&window);
        layout->addWidget(first);
        layout->addWidget(second);
        layout->addStretch();
        first->setFocusPolicy(Qt::StrongFocus);
        second->setFocusPolicy(Qt::StrongFocus);
        window.resize(300, 60);
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    // Paints of `button` that a hover change asked for.
    static int paintsAfter(CountingButton *button, QEvent::Type type)
    {
        QCoreApplication::processEvents();
        button->paints = 0;
        const QPointF inside(5, 5);
        if (type == QEvent::Enter) {
            QEnterEvent enter(inside, inside, button->mapToGlobal(inside));
            QApplication::sendEvent(button, &enter);
        } else {
            QEvent leave(QEvent::Leave);
            QApplication::sendEvent(button, &leave);
        }
        QCoreApplication::processEvents();
        return button->paints;
    }
};

} // namespace

TEST(PaintedButton, HoldsItsSizeHintAndRepaintsWhenThePointerComesAndGoes)
{
    Row row;
    EXPECT_EQ(row.first->minimumSizeHint(), QSize(57, 23));
    EXPECT_EQ(row.first->size(), QSize(57, 23));
    EXPECT_EQ(row.first->cursor().shape(), Qt::PointingHandCursor);

    EXPECT_FALSE(row.first->isHovered());
    EXPECT_GT(Row::paintsAfter(row.first, QEvent::Enter), 0);
    EXPECT_TRUE(row.first->isHovered());
    EXPECT_FALSE(row.second->isHovered());
    EXPECT_GT(Row::paintsAfter(row.first, QEvent::Leave), 0);
    EXPECT_FALSE(row.first->isHovered());
}

TEST(PaintedButton, KeyboardFocusIsOnlyFocusTheKeyboardBrought)
{
    Row row;
    // The window's first show hands focus to its first button: no ring.
    ASSERT_TRUE(row.first->hasFocus());
    EXPECT_FALSE(row.first->hasKeyboardFocus());

    row.second->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(row.second->hasKeyboardFocus());
    row.first->setFocus(Qt::MouseFocusReason);
    EXPECT_FALSE(row.first->hasKeyboardFocus());
    EXPECT_FALSE(row.second->hasKeyboardFocus());

    row.second->setFocus(Qt::ShortcutFocusReason);
    EXPECT_TRUE(row.second->hasKeyboardFocus());
    row.first->setFocus(Qt::BacktabFocusReason);
    EXPECT_TRUE(row.first->hasKeyboardFocus());

    // Focus gone and back by a click: the earlier Tab no longer counts.
    row.first->clearFocus();
    EXPECT_FALSE(row.first->hasKeyboardFocus());
    row.first->setFocus(Qt::MouseFocusReason);
    EXPECT_FALSE(row.first->hasKeyboardFocus());
}

TEST(PaintedButton, ATitleShowsItsAmpersandAndTakesNoAccessKey)
{
    CountingButton button;
    button.setTitle(QStringLiteral("Keep Text & Edit"));
    EXPECT_EQ(button.title(), QStringLiteral("Keep Text & Edit"));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(&button)->text(QAccessible::Name), QStringLiteral("Keep Text & Edit"));
    EXPECT_TRUE(button.shortcut().isEmpty()) << "\"& \" claims Alt+Space";
    EXPECT_EQ(literalMnemonicText(QStringLiteral("A && B & C")), QStringLiteral("A &&&& B && C"));
}

} // namespace zn
