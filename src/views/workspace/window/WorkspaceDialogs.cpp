#include "views/workspace/window/WorkspaceDialogs.h"

#include "core/JournalEntry.h"
#include "views/kit/DateFormats.h"
#include "views/kit/DialogPresenter.h"
#include "views/workspace/state/WorkspaceViewModel.h"
#include "views/workspace/window/PrivacyPromiseView.h"

namespace zn {

WorkspaceDialogs::WorkspaceDialogs(WorkspaceViewModel &workspace, DialogPresenter &presenter, QObject *parent)
    : QObject(parent)
    , m_workspace(&workspace)
    , m_presenter(&presenter)
{
    connect(&workspace, &WorkspaceViewModel::showDiscardConfirmChanged, this, [this](bool shown) {
        if (shown)
            askDiscard();
    });
    connect(&workspace, &WorkspaceViewModel::showStopRecordingConfirmChanged, this, [this](bool shown) {
        if (shown)
            askStopRecording();
    });
    connect(&workspace, &WorkspaceViewModel::entryPendingDeleteChanged, this, &WorkspaceDialogs::askDelete);
    connect(&workspace, &WorkspaceViewModel::showPrivacyPromiseChanged, this, [this](bool shown) {
        if (shown)
            showPrivacy();
        else if (m_sheetUp)
            m_presenter->dismissSheet();
    });
    connect(&workspace, &WorkspaceViewModel::exportStatusMessageChanged, this,
            &WorkspaceDialogs::showExportStatus);
}

void WorkspaceDialogs::askDiscard()
{
    const quint64 question = ++m_question;
    ConfirmationRequest request{QStringLiteral("Discard this entry?"),
                                QStringLiteral("Your words haven’t been saved to the library yet."),
                                {{QStringLiteral("Discard"), DialogButtonRole::Destructive},
                                 {QStringLiteral("Keep Writing"), DialogButtonRole::Cancel}}};
    m_presenter->confirm(request, [this, question, self = QPointer<WorkspaceDialogs>(this)](int answer) {
        if (!self || question != m_question || !m_workspace || !m_workspace->showDiscardConfirm())
            return;
        if (answer == 0)
            m_workspace->confirmDiscard();
        else
            m_workspace->cancelPendingNavigation();
    });
}

void WorkspaceDialogs::askStopRecording()
{
    const quint64 question = ++m_question;
    ConfirmationRequest request{
        QStringLiteral("Stop recording?"),
        QStringLiteral("Leaving Voice will stop the microphone. You can still edit and save your words."),
        {{QStringLiteral("Stop & Keep Transcript"), DialogButtonRole::Default},
         {QStringLiteral("Stay"), DialogButtonRole::Cancel}}};
    m_presenter->confirm(request, [this, question, self = QPointer<WorkspaceDialogs>(this)](int answer) {
        if (!self || question != m_question || !m_workspace || !m_workspace->showStopRecordingConfirm())
            return;
        if (answer == 0)
            m_workspace->stopRecordingAndContinue();
        else
            m_workspace->cancelPendingNavigation();
    });
}

void WorkspaceDialogs::askDelete()
{
    JournalEntry *entry = m_workspace ? m_workspace->entryPendingDelete() : nullptr;
    if (!entry)
        return;
    const quint64 question = ++m_question;
    ConfirmationRequest request{QStringLiteral("Delete this entry?"),
                                DateFormats::format(entry->timestamp(), DateStyle::AbbreviatedWithTime),
                                {{QStringLiteral("Delete"), DialogButtonRole::Destructive},
                                 {QStringLiteral("Cancel"), DialogButtonRole::Cancel}}};
    QPointer<JournalEntry> asked(entry);
    m_presenter->confirm(request, [this, question, asked, self = QPointer<WorkspaceDialogs>(this)](int answer) {
        if (!self || question != m_question || !m_workspace || !asked
            || m_workspace->entryPendingDelete() != asked.data())
            return;
        if (answer == 0)
            m_workspace->confirmDelete();
        else
            m_workspace->cancelDelete();
    });
}

void WorkspaceDialogs::showPrivacy()
{
    DialogPresenter *presenter = m_presenter;
    auto *view = new PrivacyPromiseView([presenter] { presenter->dismissSheet(); });
    m_sheetUp = true;
    m_presenter->presentSheet({QStringLiteral("Privacy Promise"), view, PrivacyPromiseView::kMinimumSize},
                              [this, self = QPointer<WorkspaceDialogs>(this)] {
                                  if (!self)
                                      return;
                                  m_sheetUp = false;
                                  if (m_workspace)
                                      m_workspace->dismissPrivacyPromise();
                              });
}

void WorkspaceDialogs::showExportStatus()
{
    if (!m_workspace)
        return;
    const std::optional<QString> message = m_workspace->exportStatusMessage();
    if (!message)
        return;
    m_presenter->showAlert({QStringLiteral("Journal file"), *message, QStringLiteral("OK")},
                           [self = QPointer<WorkspaceDialogs>(this), shown = *message] {
                               // Only the alert for the message still held clears it.
                               if (self && self->m_workspace && self->m_workspace->exportStatusMessage() == shown)
                                   self->m_workspace->dismissExportStatus();
                           });
}

} // namespace zn
