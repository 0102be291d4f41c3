#include "views/kit/testing/FakeDialogPresenter.h"

namespace zn {

FakeDialogPresenter::~FakeDialogPresenter()
{
    delete m_sheetContent.data();
}

void FakeDialogPresenter::showAlert(const AlertRequest &request, std::function<void()> onDismissed)
{
    dismissAlert(); // a new alert replaces the one up
    m_alerts.append(request);
    m_alertPending = true;
    m_onAlertDismissed = std::move(onDismissed);
}

void FakeDialogPresenter::confirm(const ConfirmationRequest &request, std::function<void(int)> onAnswer)
{
    cancel(); // a new question replaces the one up
    m_confirmations.append(request);
    m_confirmationPending = true;
    m_onAnswer = std::move(onAnswer);
}

void FakeDialogPresenter::presentSheet(const SheetRequest &request, std::function<void()> onDismissed)
{
    dismissSheet();
    m_sheetTitles.append(request.title);
    m_sheetContent = request.content;
    m_onSheetDismissed = std::move(onDismissed);
    m_sheetPending = true;
}

void FakeDialogPresenter::dismissSheet()
{
    if (!m_sheetPending)
        return;
    m_sheetPending = false;
    delete m_sheetContent.data();
    // The callback may present again; take it out first.
    auto callback = std::exchange(m_onSheetDismissed, {});
    if (callback)
        callback();
}

bool FakeDialogPresenter::isSheetPresented() const
{
    return m_sheetPending;
}

std::optional<AlertRequest> FakeDialogPresenter::pendingAlert() const
{
    if (!m_alertPending)
        return std::nullopt;
    return m_alerts.last();
}

std::optional<ConfirmationRequest> FakeDialogPresenter::pendingConfirmation() const
{
    if (!m_confirmationPending)
        return std::nullopt;
    return m_confirmations.last();
}

bool FakeDialogPresenter::dismissAlert()
{
    if (!m_alertPending)
        return false;
    m_alertPending = false;
    auto callback = std::exchange(m_onAlertDismissed, {});
    if (callback)
        callback();
    return true;
}

bool FakeDialogPresenter::answer(int buttonIndex)
{
    if (!m_confirmationPending || buttonIndex < 0 || buttonIndex >= m_confirmations.last().buttons.size())
        return false;
    m_confirmationPending = false;
    auto callback = std::exchange(m_onAnswer, {});
    if (callback)
        callback(buttonIndex);
    return true;
}

bool FakeDialogPresenter::answer(const QString &buttonTitle)
{
    if (!m_confirmationPending)
        return false;
    const auto &buttons = m_confirmations.last().buttons;
    for (int i = 0; i < buttons.size(); ++i)
        if (buttons.at(i).title == buttonTitle)
            return answer(i);
    return false;
}

bool FakeDialogPresenter::cancel()
{
    if (!m_confirmationPending)
        return false;
    m_confirmationPending = false;
    const int index = cancelButtonIndex(m_confirmations.last());
    auto callback = std::exchange(m_onAnswer, {});
    if (callback)
        callback(index);
    return true;
}

} // namespace zn
