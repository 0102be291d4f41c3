#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <functional>
#include <optional>
#include <variant>

namespace zn {

class FilePanels;
class JournalEntry;

// One entry as the journal export file holds it.
struct JournalEntryExportDTO
{
    QUuid id;
    QDateTime timestamp;
    QString text;
    double sentiment = 0.0;
    std::optional<QString> weatherLabel;
    std::optional<QMap<QString, int>> keywords;
    std::optional<double> duration;
    std::optional<QStringList> themes;
    std::optional<QString> insight;
    std::optional<QString> insightEmotionalTone;
    std::optional<QStringList> insightKeyPoints;
    std::optional<QString> insightOverallSentiment;
    std::optional<QString> insightClosingFocus;
    std::optional<QDateTime> insightGeneratedAt;
};

inline constexpr int kJournalExportFormatVersion = 1;

struct JournalExportDocument
{
    int formatVersion = kJournalExportFormatVersion;
    QDateTime exportedAt;
    QString app = QStringLiteral("Zephyrnote");
    // Files move between machines; readers ignore this value.
    QString platform = QStringLiteral("Linux");
    int entryCount = 0;
    QList<JournalEntryExportDTO> entries;
};

struct JournalExportError
{
    enum class Kind { EncodingFailed, WriteFailed, Cancelled, NoEntries };

    Kind kind = Kind::EncodingFailed;
    QString detail; // the underlying reason, for the first two kinds

    // The user-facing message.
    QString message() const;
};

// The non-draft entries, in the order given, as one document made at `now`.
JournalExportDocument makeJournalExportDocument(const QList<const JournalEntry *> &entries,
                                                const QDateTime &now = QDateTime::currentDateTimeUtc());

// The document as pretty-printed UTF-8 JSON with sorted keys, upper-case
// ids and whole-second UTC dates. Fails (EncodingFailed, naming the entry)
// on a score or duration that is not a finite number.
std::variant<QByteArray, JournalExportError> encodeJournalExport(const JournalExportDocument &document);
std::variant<QByteArray, JournalExportError> encodeJournalExport(const QList<const JournalEntry *> &entries,
                                                                 const QDateTime &now = QDateTime::currentDateTimeUtc());

// "Zephyrnote-Journal-<local yyyy-MM-dd>.json".
QString defaultJournalExportFileName(const QDateTime &now = QDateTime::currentDateTime());

// Writes `bytes` to `path` atomically (writeFileAtomically()): on failure an
// existing file there is left as it was. A new file is its owner's alone.
std::optional<JournalExportError> writeJournalExportFile(const QString &path, const QByteArray &bytes);

// The export flow: keeps the non-drafts, encodes them (both before any
// panel), asks for a place and writes the file there. `done` gets no value on
// success, else the error (Cancelled when the panel was dismissed); it is
// called exactly once, on the main thread, possibly before this returns.
// The entries are read only before the panel opens.
using JournalExportCompletion = std::function<void(std::optional<JournalExportError>)>;
void runJournalExport(const QList<const JournalEntry *> &entries, FilePanels &panels, JournalExportCompletion done);
void runJournalExport(const QList<JournalEntry *> &entries, FilePanels &panels, JournalExportCompletion done);

} // namespace zn
