#include "views/workspace/state/WorkspaceExchange.h"

#include "exchange/JournalExport.h"
#include "exchange/JournalImport.h"

#include <variant>

namespace zn {

void JournalFileExchange::exportJournal(const QList<JournalEntry *> &entries, Done done)
{
    runJournalExport(entries, *m_panels, [done = std::move(done)](std::optional<JournalExportError> error) {
        if (!error)
            done(ExchangeOutcome::succeeded());
        else if (error->kind == JournalExportError::Kind::Cancelled)
            done(ExchangeOutcome::cancelled());
        else
            done(ExchangeOutcome::failed(error->message()));
    });
}

void JournalFileExchange::importJournal(ModelContext &context, Done done)
{
    runJournalImport(context, *m_panels,
                     [done = std::move(done),
                      capability = m_capability](std::variant<ImportResult, JournalImportError> outcome) {
                         if (const auto *result = std::get_if<ImportResult>(&outcome)) {
                             done(ExchangeOutcome::succeeded(importSummaryMessage(*result, capability.data()),
                                                             result->pending));
                             return;
                         }
                         const auto &error = std::get<JournalImportError>(outcome);
                         if (error.kind == JournalImportError::Kind::Cancelled)
                             done(ExchangeOutcome::cancelled());
                         else
                             done(ExchangeOutcome::failed(error.message()));
                     });
}

} // namespace zn
