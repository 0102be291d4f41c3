#include "views/kit/QtFilePanel.h"

#include "support/TestSupport.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace zn;

namespace {

QFileDialog *openDialog()
{
    QFileDialog *found = nullptr;
    test::waitUntil([&] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *d = qobject_cast<QFileDialog *>(w); d && d->isVisible())
                found = d;
        return found != nullptr;
    });
    return found;
}

QString acceptLabel(QFileDialog *dialog)
{
    const auto *box = dialog->findChild<QDialogButtonBox *>();
    if (!box)
        return {};
    const QPushButton *button = box->button(QDialogButtonBox::Save) ? box->button(QDialogButtonBox::Save)
                                                                   : box->button(QDialogButtonBox::Open);
    return button ? button->text() : QString();
}

class QtFilePanelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_window.resize(900, 640);
        m_window.show();
    }

    QWidget m_window;
    test::TempDir m_dir;
};

TEST_F(QtFilePanelTest, SavePanelShowsTheRequestAndAnswersWithTheChosenPath)
{
    QtFilePanel panels(&m_window);
    SavePanelRequest request;
    request.title = QStringLiteral("Export Journal");
    request.message = QStringLiteral("Your journal stays private. This file is written only where you choose.");
    request.prompt = QStringLiteral("Export");
    request.defaultFileName = QStringLiteral("Zephyrnote-Journal-2026-12-07.json");
    request.fileType = jsonFileType();
    int calls = 0;
    std::optional<QString> answer;
    panels.chooseSaveLocation(request, [&](std::optional<QString> p) {
        ++calls;
        answer = p;
    });
    EXPECT_EQ(calls, 0); // returns at once; the dialog answers later

    QFileDialog *dialog = openDialog();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->windowTitle(), request.title);
    EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(acceptLabel(dialog), QStringLiteral("Export"));
    EXPECT_EQ(dialog->defaultSuffix(), QStringLiteral("json"));
    const auto *message = dialog->findChild<QLabel *>(QStringLiteral("panelMessage"));
    ASSERT_TRUE(message);
    EXPECT_EQ(message->text(), request.message);
    const auto *nameField = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    ASSERT_TRUE(nameField);
    EXPECT_EQ(nameField->text(), request.defaultFileName);
    dialog->resize(760, 480);
    dialog->setDirectory(m_dir.path());
    dialog->grab().save(test::screenshotPath(QStringLiteral("file-panel-save.png")));

    // A name typed without its extension gets it.
    dialog->selectFile(m_dir.file(QStringLiteral("mine")));
    static_cast<QDialog *>(dialog)->accept(); // as the confirm button does
    ASSERT_TRUE(test::waitUntil([&] { return calls == 1; }));
    EXPECT_EQ(answer, m_dir.file(QStringLiteral("mine.json")));
    QApplication::processEvents();
    EXPECT_EQ(calls, 1);

    // The next panel opens where the user went last.
    panels.chooseFileToOpen({}, [&](std::optional<QString>) { ++calls; });
    QFileDialog *next = openDialog();
    ASSERT_TRUE(next);
    EXPECT_EQ(next->directory().absolutePath(), QDir(m_dir.path()).absolutePath());
    next->close();
    ASSERT_TRUE(test::waitUntil([&] { return calls == 2; }));
}

TEST_F(QtFilePanelTest, OpenPanelCancelAndClosingTheWindowAnswerNothingOnce)
{
    QtFilePanel panels(&m_window);
    OpenPanelRequest request;
    request.title = QStringLiteral("Import Journal");
    request.prompt = QStringLiteral("Import");
    request.fileTypes = {jsonFileType()};
    int calls = 0;
    std::optional<QString> answer = QStringLiteral("unset");
    panels.chooseFileToOpen(request, [&](std::optional<QString> p) {
        ++calls;
        answer = p;
    });
    QFileDialog *dialog = openDialog();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
    EXPECT_EQ(dialog->nameFilters(), QStringList{QStringLiteral("JSON (*.json)")});
    EXPECT_EQ(acceptLabel(dialog), QStringLiteral("Import"));
    dialog->reject();
    ASSERT_TRUE(test::waitUntil([&] { return calls == 1; }));
    EXPECT_FALSE(answer.has_value());

    // A dialog destroyed with its window still answers, once.
    auto window = std::make_unique<QWidget>();
    window->show();
    QtFilePanel owned(window.get());
    int ownedCalls = 0;
    owned.chooseFileToOpen(request, [&](std::optional<QString> p) {
        ++ownedCalls;
        EXPECT_FALSE(p.has_value());
    });
    window.reset();
    EXPECT_EQ(ownedCalls, 1);
}

} // namespace
