#pragma once

#include "views/kit/DialogPresenter.h"

#include <QDialog>
#include <QMessageBox>
#include <QObject>
#include <QPointer>

namespace zn {

// Gives a message box the width of a desktop alert, so a sentence of its
// message takes one line (or two) rather than five and its window title
// reads in full. Narrow screens keep a margin around it. Call before the
// box is shown.
void fitAlertWidth(QMessageBox *box);

// Window-modal message boxes and dialogs over `window`, opened with open()
// so the event loop keeps running while they are up.
class QtDialogPresenter : public QObject, public DialogPresenter
{
    Q_OBJECT

public:
    explicit QtDialogPresenter(QWidget *window);
    ~QtDialogPresenter() override;

    void showAlert(const AlertRequest &request, std::function<void()> onDismissed = {}) override;
    void confirm(const ConfirmationRequest &request, std::function<void(int)> onAnswer) override;
    void presentSheet(const SheetRequest &request, std::function<void()> onDismissed = {}) override;
    void dismissSheet() override;
    bool isSheetPresented() const override;

    // The boxes on screen, for window tests; null when none.
    QMessageBox *currentAlert() const { return m_alert; }
    QMessageBox *currentConfirmation() const { return m_confirmation; }
    QDialog *currentSheet() const { return m_sheet; }

private:
    QPointer<QWidget> m_window;
    QPointer<QMessageBox> m_alert;
    QPointer<QMessageBox> m_confirmation;
    QPointer<QDialog> m_sheet;
};

} // namespace zn
