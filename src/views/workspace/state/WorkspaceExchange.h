#pragma once

#include <QList>
#include <QString>
#include <QUuid>

namespace zn {

class JournalEntry;
class ModelContext;

// How an export or import ended, as the workspace shows it.
struct ExchangeOutcome
{
    enum class Kind { Succeeded, Cancelled, Failed };

    Kind kind = Kind::Cancelled;
    // The error's message for Failed; the summary for a finished import;
    // empty otherwise.
    QString message;
    // After an import: the entries whose reflection must be written, in
    // file order.
    QList<QUuid> pendingReflections;

    static ExchangeOutcome succeeded(QString message = {}, QList<QUuid> pending = {})
    {
        return {Kind::Succeeded, std::move(message), std::move(pending)};
    }
    static ExchangeOutcome cancelled() { return {Kind::Cancelled, {}, {}}; }
    static ExchangeOutcome failed(QString message) { return {Kind::Failed, std::move(message), {}}; }
};

// The journal file flows the workspace runs: each asks for a file in a modal
// panel on the main thread and returns once the file was written or merged.
class WorkspaceExchange
{
public:
    virtual ~WorkspaceExchange() = default;
    // Writes the given entries (newest first, no drafts) to a chosen file.
    virtual ExchangeOutcome exportJournal(const QList<JournalEntry *> &entries) = 0;
    // Merges a chosen export file into the store behind `context`.
    virtual ExchangeOutcome importJournal(ModelContext &context) = 0;
};

} // namespace zn
