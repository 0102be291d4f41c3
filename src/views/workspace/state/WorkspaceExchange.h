#pragma once

#include "reflections/CapabilityDetector.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QUuid>

#include <functional>

namespace zn {

class FilePanels;
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

// The journal file flows the workspace runs. Each asks for a file in a
// panel and calls `done` exactly once on the main thread, possibly before
// returning.
class WorkspaceExchange
{
public:
    using Done = std::function<void(const ExchangeOutcome &)>;

    virtual ~WorkspaceExchange() = default;
    // Writes the given entries (newest first, no drafts) to a chosen file.
    virtual void exportJournal(const QList<JournalEntry *> &entries, Done done) = 0;
    // Merges a chosen export file into the store behind `context`.
    virtual void importJournal(ModelContext &context, Done done) = 0;
};

// The JSON journal file export and import, through the given panels
// (which must outlive it); an import's summary gives the capability
// detector's reason when reflections cannot run.
class JournalFileExchange final : public WorkspaceExchange
{
public:
    explicit JournalFileExchange(FilePanels &panels, CapabilityDetector *capability = nullptr)
        : m_panels(&panels), m_capability(capability)
    {
    }

    void exportJournal(const QList<JournalEntry *> &entries, Done done) override;
    void importJournal(ModelContext &context, Done done) override;

private:
    FilePanels *m_panels;
    QPointer<CapabilityDetector> m_capability;
};

} // namespace zn
