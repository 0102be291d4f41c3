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

// Largest file the import reads, so a wrong pick cannot exhaust memory. An
// export of 10,000 entries of 150 words with reflections is about 17 MB.
inline constexpr qint64 kJournalImportMaxFileBytes = 96LL * 1024 * 1024;

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

// Reads, decodes, checks the version and that there are entries, then
// merges. The first failing check leaves the store untouched. Only regular
// files up to kJournalImportMaxFileBytes are read (a pipe could block).
std::variant<ImportResult, JournalImportError> readJournalImportFile(const QString &path, ModelContext &context);

// The import flow: asks for a file, then readJournalImportFile. `done` is
// called exactly once, on the main thread, possibly before this returns;
// Cancelled when the panel was dismissed.
using JournalImportCompletion = std::function<void(std::variant<ImportResult, JournalImportError>)>;
void runJournalImport(ModelContext &context, FilePanels &panels, JournalImportCompletion done);

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
