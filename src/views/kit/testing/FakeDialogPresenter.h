#pragma once

#include "views/kit/DialogPresenter.h"

#include <QList>
#include <QStringList>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

namespace zn {

// Records what a screen presents and lets a test answer it, without any
// window or event loop.
class FakeDialogPresenter : public DialogPresenter
{
public:
    FakeDialogPresenter() = default;
    ~FakeDialogPresenter() override;

    void showAlert(const AlertRequest &request, std::function<void()> onDismissed = {}) override;
    void confirm(const ConfirmationRequest &request, std::function<void(int)> onAnswer) override;
    void presentSheet(const SheetRequest &request, std::function<void()> onDismissed = {}) override;
    void dismissSheet() override;
    bool isSheetPresented() const override;

    // Everything ever presented, oldest first.
    const QList<AlertRequest> &alerts() const { return m_alerts; }
    const QList<ConfirmationRequest> &confirmations() const { return m_confirmations; }
    QStringList sheetTitles() const { return m_sheetTitles; }

    // What is waiting for an answer now.
    std::optional<AlertRequest> pendingAlert() const;
    std::optional<ConfirmationRequest> pendingConfirmation() const;
    QWidget *sheetContent() const { return m_sheetContent; }

    // Answers; each returns false when nothing matching is waiting. An
    // unknown button title or index answers nothing.
    bool dismissAlert();
    bool answer(int buttonIndex);
    bool answer(const QString &buttonTitle);
    bool cancel(); // as Escape would

private:
    QList<AlertRequest> m_alerts;
    QList<ConfirmationRequest> m_confirmations;
    QStringList m_sheetTitles;
    bool m_alertPending = false;
    bool m_confirmationPending = false;
    std::function<void()> m_onAlertDismissed;
    std::function<void(int)> m_onAnswer;
    bool m_sheetPending = false;
    QPointer<QWidget> m_sheetContent; // owned while presented, like the real sheet
    std::function<void()> m_onSheetDismissed;
};

} // namespace zn
