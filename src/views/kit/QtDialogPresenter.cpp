#include "views/kit/QtDialogPresenter.h"

#include "views/kit/Mnemonics.h"

#include <QDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

namespace zn {

namespace {

// The text column of an alert, about as wide as the desktop's own alerts.
constexpr int kAlertTextWidth = 420;
// What a small screen keeps free beside an alert.
constexpr int kAlertScreenMargin = 120;

} // namespace

void fitAlertWidth(QMessageBox *box)
{
    if (!box)
        return;
    const QWidget *anchor = box->parentWidget() ? box->parentWidget() : box;
    QScreen *screen = anchor->screen() ? anchor->screen() : QGuiApplication::primaryScreen();
    int width = kAlertTextWidth;
    if (screen)
        width = std::clamp(screen->availableGeometry().width() - kAlertScreenMargin, 160, kAlertTextWidth);
    // The box sizes itself to its labels' minimum widths each time it is
    // shown; a wrapped message alone asks for almost nothing.
    for (const char *name : {"qt_msgbox_label", "qt_msgbox_informativelabel"})
        if (auto *label = box->findChild<QLabel *>(QLatin1String(name)))
            label->setMinimumWidth(width);
}

namespace {

// Texts come from data as often as not (file names, error messages), so they
// are always shown as plain text, never read as markup.
QMessageBox *makeBox(QWidget *window, const QString &title, const QString &message)
{
    auto *box = new QMessageBox(window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
    box->setIcon(QMessageBox::NoIcon);
    box->setTextFormat(Qt::PlainText);
    box->setText(title);
    if (!message.isEmpty()) {
        box->setInformativeText(message.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>")));
        // Over a message the title reads as a heading, as on any desktop.
        if (auto *heading = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"))) {
            QFont bold = heading->font();
            bold.setBold(true);
            heading->setFont(bold);
        }
    }
    fitAlertWidth(box);
    return box;
}

void closeQuietly(QDialog *dialog)
{
    if (!dialog)
        return;
    dialog->disconnect();
    dialog->close();
    dialog->deleteLater();
}

} // namespace

QtDialogPresenter::QtDialogPresenter(QWidget *window)
    : QObject(window), m_window(window)
{
}

QtDialogPresenter::~QtDialogPresenter()
{
    // The callbacks may point into the window that is going away.
    closeQuietly(m_alert);
    closeQuietly(m_confirmation);
    closeQuietly(m_sheet);
}

void QtDialogPresenter::showAlert(const AlertRequest &request, std::function<void()> onDismissed)
{
    if (m_alert)
        m_alert->done(QDialog::Rejected); // answers the earlier alert as dismissed
    QMessageBox *box = makeBox(m_window, request.title, request.message);
    QPushButton *ok = box->addButton(literalMnemonicText(request.buttonTitle), QMessageBox::AcceptRole);
    box->setDefaultButton(ok);
    box->setEscapeButton(ok);
    connect(box, &QDialog::finished, this, [onDismissed = std::move(onDismissed)] {
        if (onDismissed)
            onDismissed();
    });
    m_alert = box;
    box->open();
}

void QtDialogPresenter::confirm(const ConfirmationRequest &request, std::function<void(int)> onAnswer)
{
    // done() rather than close(): a box without an Escape button refuses to
    // close. No button was clicked, so the earlier question reads as cancelled.
    if (m_confirmation)
        m_confirmation->done(QDialog::Rejected);
    QMessageBox *box = makeBox(m_window, request.title, request.message);
    QList<QAbstractButton *> buttons;
    bool defaultChosen = false;
    for (const DialogButton &button : request.buttons) {
        QMessageBox::ButtonRole role = QMessageBox::AcceptRole;
        if (button.role == DialogButtonRole::Cancel)
            role = QMessageBox::RejectRole;
        else if (button.role == DialogButtonRole::Destructive)
            role = QMessageBox::DestructiveRole;
        QPushButton *pushButton = box->addButton(literalMnemonicText(button.title), role);
        buttons.append(pushButton);
        // Return never confirms a destructive action by accident.
        if (!defaultChosen && button.role == DialogButtonRole::Default) {
            box->setDefaultButton(pushButton);
            defaultChosen = true;
        }
    }
    const int cancel = cancelButtonIndex(request);
    if (cancel >= 0) {
        box->setEscapeButton(buttons.at(cancel));
        if (!defaultChosen)
            box->setDefaultButton(static_cast<QPushButton *>(buttons.at(cancel)));
    }
    connect(box, &QDialog::finished, this, [box, buttons, cancel, onAnswer = std::move(onAnswer)] {
        const int chosen = int(buttons.indexOf(box->clickedButton()));
        if (onAnswer)
            onAnswer(chosen >= 0 ? chosen : cancel);
    });
    m_confirmation = box;
    box->open();
}

void QtDialogPresenter::presentSheet(const SheetRequest &request, std::function<void()> onDismissed)
{
    if (m_sheet)
        m_sheet->reject();
    auto *dialog = new QDialog(m_window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(m_window ? Qt::WindowModal : Qt::ApplicationModal);
    dialog->setWindowTitle(request.title);
    auto *layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    if (request.content)
        layout->addWidget(request.content);
    if (request.minimumSize.isValid())
        dialog->setMinimumSize(request.minimumSize);
    connect(dialog, &QDialog::finished, this, [onDismissed = std::move(onDismissed)] {
        if (onDismissed)
            onDismissed();
    });
    m_sheet = dialog;
    dialog->open();
}

void QtDialogPresenter::dismissSheet()
{
    if (m_sheet)
        m_sheet->reject();
}

bool QtDialogPresenter::isSheetPresented() const
{
    return m_sheet && m_sheet->isVisible();
}

} // namespace zn
