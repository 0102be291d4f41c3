#pragma once

#include "exchange/JournalExport.h"
#include "platform/store/StoreError.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUuid>

#include <functional>
#include <optional>
#include <variant>

namespace zn {

class CapabilityDetector;

class FilePanels;
class JournalEntry;
class ModelContext;

struct JournalImportError
{
    enum class Kind {
        Unreadable,
        InvalidJSON,
        UnsupportedVersion,
        Cancelled,
        EmptyFile,
        NotZephyrnoteExport, // never raised: any "app" value is accepted
        StoreFailed,         // the store refused the merge; nothing was kept
    };

    Kind kind = Kind::Unreadable;
    QString detail;  // the underlying reason
    int version = 0; // for UnsupportedVersion

    // The user-facing message.
    QString message() const;
};

struct ImportResult
{
    int added = 0;
    int updated = 0;
    int inFile = 0;
    // Entries whose reflection must be made again, each once, in the order
    // they were first written.
    QList<QUuid> pending;
};

// Largest file the import reads: the largest the export writes.
inline constexpr qint64 kJournalImportMaxFileBytes = kJournalFileMaxBytes;

// Strict decoding of an export file: the document's six keys and each
// record's id, timestamp and text present with the right types, every
// other key absent, null or of its type, integral counts, dates only as
// yyyy-MM-ddTHH:mm:ssZ. Tolerates a UTF-8 BOM and lower-case ids.
std::variant<JournalExportDocument, JournalImportError> decodeJournalExport(const QByteArray &bytes);

// Merges the document into the store by entry id and saves once. The merge
// is all or nothing: when the save fails, every entry it touched returns to
// what it was and the error (StoreFailed) is returned.
std::variant<ImportResult, JournalImportError> mergeJournalImport(const JournalExportDocument &document,
                                                                  ModelContext &context);

// Reads, decodes, checks the version and that there are entries: every
// check before the merge. Touches no store, so any thread may call it. Only
// regular files up to kJournalImportMaxFileBytes are read (a pipe could
// block).
std::variant<JournalExportDocument, JournalImportError> readJournalImportDocument(const QString &path);

// readJournalImportDocument(), then the merge. The first failing check
// leaves the store untouched.
std::variant<ImportResult, JournalImportError> readJournalImportFile(const QString &path, ModelContext &context);

using JournalImportCompletion = std::function<void(std::variant<ImportResult, JournalImportError>)>;

// readJournalImportFile() into the store behind `context` while the main
// thread goes on: reading, decoding, the merge and its one save run on a
// worker with a connection of their own (on the main thread where the
// store has no second connection), and the store's contexts and live
// queries then learn which rows changed. `done` is called once, on the
// main thread, after that.
void importInBackground(const QString &path, ModelContext &context, JournalImportCompletion done);

// The import flow: asks for a file, then importInBackground(). `started`
// is called once a file was chosen, as the work begins. `done` is called
// exactly once, on the main thread, possibly before this returns;
// Cancelled when the panel was dismissed.
void runJournalImport(ModelContext &context, FilePanels &panels, JournalImportCompletion done,
                      std::function<void()> started = {});

// The line shown after a successful import. When entries wait for
// reflections that cannot run now, the capability detector's reason follows,
// the same sentence the reflection cards give.
QString importSummaryMessage(int added, int updated, int inFile, const QList<QUuid> &pending,
                             const CapabilityDetector *capability = nullptr);
inline QString importSummaryMessage(const ImportResult &r, const CapabilityDetector *capability = nullptr)
{
    return importSummaryMessage(r.added, r.updated, r.inFile, r.pending, capability);
}

// Deletes every entry (drafts too) and every weekly record, and saves. On a
// failure nothing is deleted, in the store or in the context.
std::optional<StoreError> deleteAllJournalData(ModelContext &context);

} // namespace zn
