// Qt's message boxes and sheets as the presenter opens them: texts shown as
// written (an "&" is an ampersand, not an access key), a sentence to a line,
// Escape to close a sheet.

#include "views/kit/Mnemonics.h"
#include "views/kit/PaintedButton.h"
#include "views/kit/QtDialogPresenter.h"

#include "support/TestSupport.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace zn {
namespace {

QString accessibleName(QWidget *widget)
{
    QAccessibleInterface *a11y = QAccessible::queryAccessibleInterface(widget);
    return a11y ? a11y->text(QAccessible::Name) : QString();
}

// The least a painted button is: it paints nothing.
class BareButton : public PaintedButton
{
protected:
    void paintEvent(QPaintEvent *) override {}
};

class Window : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window.resize(900, 600);
        window.show();
        window.activateWindow();
        QApplication::setActiveWindow(&window);
        QApplication::processEvents();
    }
    QWidget window;
    QtDialogPresenter presenter{&window};
};

TEST_F(Window, ButtonTitlesShowTheirAmpersandAndTakeNoAccessKey)
{
    int answer = -2;
    presenter.confirm({QStringLiteral("Stop recording?"),
                       QStringLiteral("Leaving Voice will stop the microphone. You can still edit and save your words."),
                       {{QStringLiteral("Stop & Keep Transcript"), DialogButtonRole::Default},
                        {QStringLiteral("Stay"), DialogButtonRole::Cancel}}},
                      [&](int i) { answer = i; });
    QApplication::processEvents();
    QMessageBox *box = presenter.currentConfirmation();
    ASSERT_NE(box, nullptr);
    auto *stop = qobject_cast<QPushButton *>(box->buttons().value(0));
    for (QAbstractButton *button : box->buttons())
        if (button->text().contains(QStringLiteral("Keep")))
            stop = qobject_cast<QPushButton *>(button);
    ASSERT_NE(stop, nullptr);
    EXPECT_EQ(accessibleName(stop), QStringLiteral("Stop & Keep Transcript"));
    EXPECT_TRUE(stop->shortcut().isEmpty()) << stop->shortcut().toString().toStdString();
    // Alt+Space (what "& " would have claimed) answers nothing.
    QTest::keyClick(box, Qt::Key_Space, Qt::AltModifier);
    QApplication::processEvents();
    EXPECT_EQ(answer, -2);
    // Return is the default answer, the one that keeps the transcript.
    QTest::keyClick(box, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(answer, 0);

    // A painted button keeps its title as written too.
    BareButton painted;
    painted.setTitle(QStringLiteral("Keep Text & Edit"));
    EXPECT_EQ(painted.title(), QStringLiteral("Keep Text & Edit"));
    EXPECT_EQ(accessibleName(&painted), QStringLiteral("Keep Text & Edit"));
    EXPECT_TRUE(painted.shortcut().isEmpty());
    EXPECT_EQ(literalMnemonicText(QStringLiteral("A && B & C")), QStringLiteral("A &&&& B && C"));
}

TEST_F(Window, AnAlertIsWideEnoughForASentenceALineAndReadsItsTitle)
{
    const QString message = QStringLiteral(
        "Leaving Voice will stop the microphone. You can still edit and save your words.");
    presenter.showAlert({QStringLiteral("Journal file"), message});
    QApplication::processEvents();
    QMessageBox *box = presenter.currentAlert();
    ASSERT_NE(box, nullptr);
    EXPECT_GE(box->width(), 420);
    EXPECT_LE(box->width(), 900);
    EXPECT_FALSE(box->windowTitle().isEmpty() && QApplication::applicationDisplayName().isEmpty());
    auto *text = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel"));
    ASSERT_NE(text, nullptr);
    // Two sentences, two lines at most.
    const QFontMetrics metrics = text->fontMetrics();
    const int lines = metrics.boundingRect(QRect(0, 0, text->width(), 10000), Qt::TextWordWrap, message).height()
        / metrics.lineSpacing();
    EXPECT_LE(lines, 2) << text->width() << " px wide, " << text->height() << " px high";
    // The bold title is the alert's own, shown whole.
    auto *title = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->text(), QStringLiteral("Journal file"));
    EXPECT_TRUE(title->font().bold());
    EXPECT_GE(title->width(), title->fontMetrics().horizontalAdvance(title->text()));
}

TEST_F(Window, EscapeClosesASheet)
{
    int dismissed = 0;
    auto *content = new QWidget;
    new QVBoxLayout(content);
    content->layout()->addWidget(new QPushButton(QStringLiteral("Done")));
    presenter.presentSheet({QStringLiteral("Privacy Promise"), content, QSize(440, 360)}, [&] { ++dismissed; });
    QApplication::processEvents();
    ASSERT_TRUE(presenter.isSheetPresented());
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : presenter.currentSheet(),
                    Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_FALSE(presenter.isSheetPresented());
    EXPECT_EQ(dismissed, 1);
}

} // namespace
} // namespace zn
