#include "views/settings/SettingsModel.h"

#include "core/InsightQueue.h"
#include "core/JournalQueries.h"
#include "exchange/JournalExport.h"
#include "exchange/ImportActivity.h"
#include "exchange/JournalImport.h"
#include "platform/base/Clock.h"
#include "platform/base/NotificationCenter.h"
#include "reflections/CapabilityDetector.h"


#include <variant>

namespace zn {

SettingsModel::SettingsModel(SettingsServices services, QObject *parent)
    : QObject(parent)
    , m_services(services)
    , m_capabilityGuard(services.capability)
    , m_importActivity(new ImportActivity(services.clock ? *services.clock : Clock::system(), this))
{
}

NotificationCenter &SettingsModel::center() const
{
    return m_services.notificationCenter ? *m_services.notificationCenter : NotificationCenter::defaultCenter();
}

void SettingsModel::appeared()
{
    refreshCapability();
}

void SettingsModel::refreshCapability()
{
    if (m_capabilityGuard)
        m_capabilityGuard->refresh();
}

void SettingsModel::exportJournal()
{
    if (m_exchanging || !m_services.context || !m_services.panels)
        return;
    StoreError error;
    error.message.clear();
    const QList<JournalEntry *> entries = fetchAllEntries(*m_services.context, &error);
    if (!error.message.isEmpty()) {
        setSettingsMessage(error.description());
        return;
    }
    m_exchanging = true;
    QPointer<SettingsModel> self(this);
    runJournalExport(entries, *m_services.panels, [self](std::optional<JournalExportError> failure) {
        if (!self)
            return;
        self->m_exchanging = false;
        if (!failure)
            self->setSettingsMessage(QString::fromLatin1(kExportedMessage));
        else if (failure->kind != JournalExportError::Kind::Cancelled)
            self->setSettingsMessage(failure->message());
    });
}

void SettingsModel::importJournal()
{
    if (m_exchanging || !m_services.context || !m_services.panels)
        return;
    m_exchanging = true;
    QPointer<SettingsModel> self(this);
    runJournalImport(
        *m_services.context, *m_services.panels,
        [self](std::variant<ImportResult, JournalImportError> outcome) {
            if (!self)
                return;
            self->m_exchanging = false;
            self->m_importActivity->finish();
            if (const auto *result = std::get_if<ImportResult>(&outcome)) {
                if (InsightQueue *queue = self->m_services.insightQueue)
                    queue->enqueueEntries(result->pending);
                self->setSettingsMessage(importSummaryMessage(*result, self->m_services.capability));
                return;
            }
            const auto &error = std::get<JournalImportError>(outcome);
            if (error.kind != JournalImportError::Kind::Cancelled)
                self->setSettingsMessage(error.message());
        },
        [self] {
            if (self)
                self->m_importActivity->start();
        });
}

void SettingsModel::answerDeleteConfirm(bool deleteEverything)
{
    if (!m_showDeleteConfirm)
        return; // an answer to a question no longer asked
    setShowDeleteConfirm(false);
    if (deleteEverything)
        deleteAllData();
}

void SettingsModel::deleteAllData()
{
    if (!m_services.context)
        return;
    // A failed delete is rolled back by the store: nothing is gone, the
    // workspace is not told, and the user reads why.
    if (const std::optional<StoreError> error = deleteAllJournalData(*m_services.context)) {
        setSettingsMessage(QStringLiteral("Couldn’t delete data: ") + error->description());
        return;
    }
    center().post(QString::fromLatin1(Notifications::DataDidReset));
    setSettingsMessage(QString::fromLatin1(kDeletedMessage));
}

void SettingsModel::setSettingsMessage(const std::optional<QString> &message)
{
    if (m_settingsMessage == message)
        return;
    m_settingsMessage = message;
    Q_EMIT settingsMessageChanged();
}

void SettingsModel::setShowDeleteConfirm(bool shown)
{
    if (m_showDeleteConfirm == shown)
        return;
    m_showDeleteConfirm = shown;
    Q_EMIT showDeleteConfirmChanged(shown);
}

void SettingsModel::setShowPrivacy(bool shown)
{
    if (m_showPrivacy == shown)
        return;
    m_showPrivacy = shown;
    Q_EMIT showPrivacyChanged(shown);
}

} // namespace zn
