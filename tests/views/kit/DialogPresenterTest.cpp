#include "views/kit/QtDialogPresenter.h"
#include "views/kit/testing/FakeDialogPresenter.h"

#include "support/TestSupport.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>

#include <gtest/gtest.h>

namespace zn {
namespace {

ConfirmationRequest discardQuestion()
{
    return {QStringLiteral("Discard this entry?"), QStringLiteral("Your words will be lost."),
            {{QStringLiteral("Discard"), DialogButtonRole::Destructive},
             {QStringLiteral("Keep Editing"), DialogButtonRole::Cancel}}};
}

} // namespace

TEST(FakeDialogPresenter, RecordsAlertsAndRunsTheDismissCallbackOnce)
{
    FakeDialogPresenter dialogs;
    int dismissed = 0;
    dialogs.showAlert({QStringLiteral("Journal file"), QStringLiteral("Imported 3 entries.")}, [&] { ++dismissed; });
    ASSERT_TRUE(dialogs.pendingAlert());
    EXPECT_EQ(dialogs.pendingAlert()->title, "Journal file");
    EXPECT_EQ(dialogs.pendingAlert()->buttonTitle, "OK");
    EXPECT_TRUE(dialogs.dismissAlert());
    EXPECT_FALSE(dialogs.dismissAlert());
    EXPECT_EQ(dismissed, 1);
    EXPECT_FALSE(dialogs.pendingAlert());
    EXPECT_EQ(dialogs.alerts().size(), 1);
}

TEST(FakeDialogPresenter, AnswersConfirmationsByTitleIndexOrEscape)
{
    FakeDialogPresenter dialogs;
    QList<int> answers;
    dialogs.confirm(discardQuestion(), [&](int i) { answers.append(i); });
    EXPECT_FALSE(dialogs.answer(QStringLiteral("Delete")));
    EXPECT_FALSE(dialogs.answer(5));
    EXPECT_TRUE(dialogs.pendingConfirmation());
    EXPECT_TRUE(dialogs.answer(QStringLiteral("Discard")));
    EXPECT_FALSE(dialogs.answer(0)); // nothing waits any more

    dialogs.confirm(discardQuestion(), [&](int i) { answers.append(i); });
    EXPECT_TRUE(dialogs.cancel());
    EXPECT_EQ(answers, (QList<int>{0, 1}));
    EXPECT_EQ(dialogs.confirmations().size(), 2);
}

TEST(FakeDialogPresenter, ANewQuestionCancelsTheOneWaiting)
{
    FakeDialogPresenter dialogs;
    QList<int> first;
    QList<int> second;
    dialogs.confirm(discardQuestion(), [&](int i) { first.append(i); });
    dialogs.confirm({QStringLiteral("Stop recording?"), {}, {{QStringLiteral("Stop"), DialogButtonRole::Default}}},
                    [&](int i) { second.append(i); });
    EXPECT_EQ(first, QList<int>{1});
    EXPECT_EQ(dialogs.pendingConfirmation()->title, "Stop recording?");
    // Without a Cancel button, Escape answers -1.
    dialogs.cancel();
    EXPECT_EQ(second, QList<int>{-1});
}

TEST(FakeDialogPresenter, SheetsOwnTheirContentAndMayChain)
{
    FakeDialogPresenter dialogs;
    QPointer<QWidget> content = new QWidget;
    int dismissed = 0;
    dialogs.presentSheet({QStringLiteral("Privacy Promise"), content, {}}, [&] {
        ++dismissed;
        // Presenting from the dismiss callback works.
        if (dismissed == 1)
            dialogs.presentSheet({QStringLiteral("Again"), new QWidget, {}});
    });
    EXPECT_TRUE(dialogs.isSheetPresented());
    EXPECT_EQ(dialogs.sheetContent(), content.data());
    dialogs.dismissSheet();
    EXPECT_TRUE(content.isNull());
    EXPECT_EQ(dismissed, 1);
    EXPECT_TRUE(dialogs.isSheetPresented());
    EXPECT_EQ(dialogs.sheetTitles(), (QStringList{"Privacy Promise", "Again"}));
}

class QtDialogPresenterTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window.resize(400, 300);
        window.show();
    }
    QWidget window;
    QtDialogPresenter dialogs{&window};
};

TEST_F(QtDialogPresenterTest, ConfirmationIsWindowModalAndAnswersWithoutBlocking)
{
    QList<int> answers;
    dialogs.confirm(discardQuestion(), [&](int i) { answers.append(i); });
    QMessageBox *box = dialogs.currentConfirmation();
    ASSERT_TRUE(box);
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    EXPECT_EQ(box->text(), "Discard this entry?");
    ASSERT_EQ(box->buttons().size(), 2);
    QPushButton *discard = nullptr;
    for (QAbstractButton *button : box->buttons())
        if (button->text() == "Discard")
            discard = qobject_cast<QPushButton *>(button);
    ASSERT_TRUE(discard);
    EXPECT_EQ(box->buttonRole(discard), QMessageBox::DestructiveRole);
    // Return must not confirm a destructive action: Cancel is the default.
    EXPECT_EQ(box->defaultButton()->text(), "Keep Editing");
    EXPECT_TRUE(answers.isEmpty());

    discard->click();
    ASSERT_TRUE(test::waitUntil([&] { return !answers.isEmpty(); }));
    EXPECT_EQ(answers, QList<int>{0});
}

TEST_F(QtDialogPresenterTest, EscapeAnswersCancel)
{
    QList<int> answers;
    dialogs.confirm(discardQuestion(), [&](int i) { answers.append(i); });
    QTest::keyClick(dialogs.currentConfirmation(), Qt::Key_Escape);
    ASSERT_TRUE(test::waitUntil([&] { return !answers.isEmpty(); }));
    EXPECT_EQ(answers, QList<int>{1});
}

TEST_F(QtDialogPresenterTest, ANewQuestionCancelsTheOneUpEvenWithoutACancelButton)
{
    QList<int> first;
    QList<int> second;
    dialogs.confirm({QStringLiteral("Stop recording?"), {}, {{QStringLiteral("Stop"), DialogButtonRole::Default}}},
                    [&](int i) { first.append(i); });
    QPointer<QMessageBox> firstBox = dialogs.currentConfirmation();
    dialogs.confirm(discardQuestion(), [&](int i) { second.append(i); });
    EXPECT_EQ(first, QList<int>{-1});
    EXPECT_TRUE(test::waitUntil([&] { return firstBox.isNull(); }));
    ASSERT_TRUE(dialogs.currentConfirmation());
    EXPECT_EQ(dialogs.currentConfirmation()->text(), "Discard this entry?");
    EXPECT_TRUE(second.isEmpty());
}

TEST_F(QtDialogPresenterTest, TextsFromDataAreNeverReadAsMarkup)
{
    dialogs.showAlert({QStringLiteral("<b>Journal</b> file"), QStringLiteral("Couldn’t read <i>x</i>\nline two")});
    QMessageBox *box = dialogs.currentAlert();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    EXPECT_EQ(box->text(), "<b>Journal</b> file");
    auto *informative = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel"));
    ASSERT_TRUE(informative);
    QTextDocument doc;
    doc.setHtml(informative->text());
    EXPECT_EQ(doc.toPlainText(), QStringLiteral("Couldn’t read <i>x</i>\nline two"));
}

TEST_F(QtDialogPresenterTest, AnAlertIsWideEnoughForASentenceALineAndReadsItsTitle)
{
    const QString message = QStringLiteral(
        "Leaving Voice will stop the microphone. You can still edit and save your words.");
    dialogs.showAlert({QStringLiteral("Journal file"), message});
    QApplication::processEvents();
    QMessageBox *box = dialogs.currentAlert();
    ASSERT_TRUE(box);
    EXPECT_GE(box->width(), 420);
    EXPECT_LE(box->width(), 900);
    auto *text = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel"));
    ASSERT_TRUE(text);
    const QFontMetrics metrics = text->fontMetrics();
    EXPECT_LT(metrics.boundingRect(QRect(0, 0, text->width(), 10000), Qt::TextWordWrap, message).height(),
              3 * metrics.lineSpacing())
        << "two sentences on three lines at " << text->width() << " px";
    // The bold title is the alert's own, shown whole.
    auto *title = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
    ASSERT_TRUE(title);
    EXPECT_EQ(title->text(), QStringLiteral("Journal file"));
    EXPECT_TRUE(title->font().bold());
    EXPECT_GE(title->width(), title->fontMetrics().horizontalAdvance(title->text()));
}

TEST_F(QtDialogPresenterTest, AlertOkRunsTheCallbackAndANewAlertReplacesTheOld)
{
    int firstDismissed = 0;
    int secondDismissed = 0;
    dialogs.showAlert({QStringLiteral("Weather report"), QStringLiteral("Saved.")}, [&] { ++firstDismissed; });
    QPointer<QMessageBox> first = dialogs.currentAlert();
    dialogs.showAlert({QStringLiteral("Weather report"), QStringLiteral("Again.")}, [&] { ++secondDismissed; });
    EXPECT_EQ(firstDismissed, 1);
    ASSERT_NE(dialogs.currentAlert(), first.data());
    dialogs.currentAlert()->buttons().first()->click();
    ASSERT_TRUE(test::waitUntil([&] { return secondDismissed == 1; }));
    EXPECT_TRUE(test::waitUntil([&] { return first.isNull(); }));
}

TEST_F(QtDialogPresenterTest, SheetShowsItsContentUntilDismissed)
{
    int dismissed = 0;
    QPointer<QWidget> content = new QWidget;
    dialogs.presentSheet({QStringLiteral("Privacy Promise"), content, QSize(320, 200)}, [&] { ++dismissed; });
    EXPECT_TRUE(dialogs.isSheetPresented());
    QDialog *sheet = dialogs.currentSheet();
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    EXPECT_EQ(content->window(), sheet);
    EXPECT_GE(sheet->width(), 320);
    dialogs.dismissSheet();
    EXPECT_EQ(dismissed, 1);
    EXPECT_FALSE(dialogs.isSheetPresented());
    EXPECT_TRUE(test::waitUntil([&] { return content.isNull(); }));
}

TEST(QtDialogPresenter, DestroyingThePresenterDropsPendingCallbacks)
{
    QWidget window;
    window.show();
    int calls = 0;
    QPointer<QMessageBox> box;
    {
        QtDialogPresenter dialogs(&window);
        dialogs.confirm(discardQuestion(), [&](int) { ++calls; });
        box = dialogs.currentConfirmation();
    }
    EXPECT_TRUE(test::waitUntil([&] { return box.isNull(); }));
    EXPECT_EQ(calls, 0);
}

} // namespace zn
