#include "exchange/JournalImport.h"

#include "core/JournalEntry.h"
#include "core/TextUnits.h"
#include "exchange/ExportFormat.h"
#include "platform/base/SystemLog.h"
#include "platform/panels/FilePanels.h"
#include "platform/store/ModelContext.h"
#include "platform/store/UuidKey.h"
#include "reflections/CapabilityDetector.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QPointer>
#include <QSet>

#include <utility>
#include <vector>

namespace zn {
namespace {

JournalImportError importError(JournalImportError::Kind kind, QString detail = {})
{
    return {kind, std::move(detail), 0};
}

// Every field an import writes, so a refused save can put an entry back
// exactly as it was, unsaved edits of other code included.
struct EntryState
{
    QDateTime timestamp;
    QString rawText;
    std::optional<double> duration;
    double sentimentScore = 0;
    QByteArray keywordFrequenciesData;
    bool isDraft = false;
    std::optional<QString> insightText;
    std::optional<QDateTime> insightGeneratedAt;
    QString insightStatusRaw;
    std::optional<QString> insightFailureMessage;
    QByteArray themesData;
    std::optional<QString> insightEmotionalTone;
    QByteArray insightKeyPointsData;
    std::optional<QString> insightOverallSentiment;
    std::optional<QString> insightClosingFocus;
    std::optional<double> insightOverallScore;
    int insightSchemaVersion = 0;

    static EntryState of(const JournalEntry &e)
    {
        return {e.timestamp(),
                e.rawText(),
                e.duration(),
                e.sentimentScore(),
                e.keywordFrequenciesData(),
                e.isDraft(),
                e.insightText(),
                e.insightGeneratedAt(),
                e.insightStatusRaw(),
                e.insightFailureMessage(),
                e.themesData(),
                e.insightEmotionalTone(),
                e.insightKeyPointsData(),
                e.insightOverallSentiment(),
                e.insightClosingFocus(),
                e.insightOverallScore(),
                e.insightSchemaVersion()};
    }

    void restore(JournalEntry &e) const
    {
        e.setTimestamp(timestamp);
        e.setRawText(rawText);
        e.setDuration(duration);
        e.setSentimentScore(sentimentScore);
        e.setKeywordFrequenciesData(keywordFrequenciesData);
        e.setIsDraft(isDraft);
        e.setInsightText(insightText);
        e.setInsightGeneratedAt(insightGeneratedAt);
        e.setInsightStatusRaw(insightStatusRaw);
        e.setInsightFailureMessage(insightFailureMessage);
        e.setThemesData(themesData);
        e.setInsightEmotionalTone(insightEmotionalTone);
        e.setInsightKeyPointsData(insightKeyPointsData);
        e.setInsightOverallSentiment(insightOverallSentiment);
        e.setInsightClosingFocus(insightClosingFocus);
        e.setInsightOverallScore(insightOverallScore);
        e.setInsightSchemaVersion(insightSchemaVersion);
    }
};

// What one merge changed in the context, to take back when the save fails.
class MergeUndo
{
public:
    explicit MergeUndo(ModelContext &context) : m_context(context) {}

    void willChange(JournalEntry *entry)
    {
        if (!m_seen.contains(entry)) {
            m_seen.insert(entry);
            m_changed.emplace_back(entry, EntryState::of(*entry));
        }
    }
    void didInsert(JournalEntry *entry) { m_inserted.append(entry); }

    void undo()
    {
        for (JournalEntry *e : std::as_const(m_inserted))
            m_context.remove(e); // drops the pending insert
        for (auto &[entry, state] : m_changed)
            state.restore(*entry);
    }

private:
    ModelContext &m_context;
    QSet<JournalEntry *> m_seen;
    std::vector<std::pair<JournalEntry *, EntryState>> m_changed;
    QList<JournalEntry *> m_inserted;
};

bool hasReadyInsight(const JournalEntry &e)
{
    return e.insightStatus() == InsightStatus::Ready && !text::isBlank(e.insightText().value_or(QString()));
}

void applyImportedInsight(const JournalEntryExportDTO &record, JournalEntry &entry)
{
    entry.setThemes(record.themes.value_or(QStringList()));
    entry.setInsightText(record.insight);
    entry.setInsightEmotionalTone(record.insightEmotionalTone);
    entry.setInsightKeyPoints(record.insightKeyPoints.value_or(QStringList()));
    entry.setInsightOverallSentiment(record.insightOverallSentiment);
    entry.setInsightClosingFocus(record.insightClosingFocus);
    entry.setInsightGeneratedAt(record.insightGeneratedAt);
    if (record.insight && !text::isBlank(*record.insight)) {
        entry.setInsightStatus(InsightStatus::Ready);
        entry.setInsightFailureMessage(std::nullopt);
        const bool hasTone = record.insightEmotionalTone && !record.insightEmotionalTone->isEmpty();
        entry.setInsightSchemaVersion(hasTone ? kCurrentInsightSchemaVersion : 0);
        return;
    }
    entry.setInsightStatus(InsightStatus::Pending);
    entry.setInsightFailureMessage(std::nullopt);
    entry.setInsightSchemaVersion(0);
    entry.setInsightText(std::nullopt);
    entry.setInsightEmotionalTone(std::nullopt);
    entry.setInsightOverallSentiment(std::nullopt);
    entry.setInsightClosingFocus(std::nullopt);
    entry.setInsightOverallScore(std::nullopt);
    entry.setInsightGeneratedAt(std::nullopt);
    entry.setInsightKeyPoints({});
}

void applyImportedFields(const JournalEntryExportDTO &record, JournalEntry &entry)
{
    entry.setTimestamp(record.timestamp);
    entry.setRawText(text::trimmed(record.text));
    entry.setDuration(record.duration);
    entry.setSentimentScore(record.sentiment);
    entry.setKeywordFrequencies(record.keywords.value_or(KeywordFrequencies()));
    entry.setIsDraft(false);
    applyImportedInsight(record, entry);
}

} // namespace

QString JournalImportError::message() const
{
    switch (kind) {
    case Kind::Unreadable:
        return QStringLiteral("Couldn’t read file: ") + detail;
    case Kind::InvalidJSON:
        return QStringLiteral("This doesn’t look like a Zephyrnote journal export. ") + detail;
    case Kind::UnsupportedVersion:
        return QStringLiteral("Unsupported export format version %1.").arg(version);
    case Kind::Cancelled:
        return QStringLiteral("Import cancelled.");
    case Kind::EmptyFile:
        return QStringLiteral("That file has no journal entries.");
    case Kind::NotZephyrnoteExport:
        return QStringLiteral("This JSON isn’t a Zephyrnote journal export.");
    case Kind::StoreFailed:
        return detail;
    }
    return {};
}

std::variant<ImportResult, JournalImportError> mergeJournalImport(const JournalExportDocument &document,
                                                                  ModelContext &context)
{
    StoreError fetchError(StoreError::Code::FetchFailed, QString());
    const QList<JournalEntry *> stored = context.fetch<JournalEntry>({}, &fetchError);
    if (!fetchError.message.isEmpty())
        return importError(JournalImportError::Kind::StoreFailed, fetchError.description());

    // Finished entries by id (a later duplicate wins); drafts are never
    // matched, and their ids are never given to a second entry.
    QHash<UuidKey, JournalEntry *> index;
    QSet<UuidKey> draftIds;
    for (JournalEntry *e : stored) {
        if (e->isDraft())
            draftIds.insert({e->id()});
        else
            index.insert({e->id()}, e);
    }

    ImportResult result;
    result.inFile = int(document.entries.size());
    MergeUndo undo(context);
    QList<JournalEntry *> written; // each once, in first-written order
    QSet<JournalEntry *> writtenSet;

    for (const JournalEntryExportDTO &record : document.entries) {
        const QString text = text::trimmed(record.text);
        if (text.isEmpty())
            continue;
        JournalEntry *entry = index.value({record.id}, nullptr);
        if (entry) {
            undo.willChange(entry);
            applyImportedFields(record, *entry);
            ++result.updated;
        } else if (draftIds.contains({record.id})) {
            systemLog(QStringLiteral("Zephyrnote: import skipped entry %1: its id belongs to an entry being composed")
                          .arg(exportformat::formatId(record.id)));
            continue;
        } else {
            auto created = std::make_unique<JournalEntry>(record.id, record.timestamp, text, record.duration,
                                                          record.sentiment,
                                                          record.keywords.value_or(KeywordFrequencies()),
                                                          std::nullopt, QStringList(), false);
            applyImportedInsight(record, *created);
            entry = context.insert(std::move(created));
            undo.didInsert(entry);
            index.insert({record.id}, entry);
            ++result.added;
        }
        if (!hasReadyInsight(*entry)) {
            entry->setInsightStatus(InsightStatus::Pending);
            entry->setInsightFailureMessage(std::nullopt);
        }
        if (!writtenSet.contains(entry)) {
            writtenSet.insert(entry);
            written.append(entry);
        }
    }

    if (const auto saveError = context.save()) {
        undo.undo();
        return importError(JournalImportError::Kind::StoreFailed, saveError->description());
    }
    // Judged on each entry's final state: a later record of the same id may
    // have brought a reflection the earlier one lacked.
    for (const JournalEntry *e : std::as_const(written)) {
        if (!hasReadyInsight(*e))
            result.pending.append(e->id());
    }
    return result;
}

std::variant<ImportResult, JournalImportError> readJournalImportFile(const QString &path, ModelContext &context)
{
    using Kind = JournalImportError::Kind;
    QFile file(path);
    const QFileInfo info(path);
    if (info.isDir())
        return importError(Kind::Unreadable, QStringLiteral("That is a folder, not a file."));
    // A pipe or device could keep the read waiting, or never end.
    if (info.exists() && !info.isFile())
        return importError(Kind::Unreadable, QStringLiteral("That is not a regular file."));
    if (!file.open(QIODevice::ReadOnly))
        return importError(Kind::Unreadable, file.errorString());
    const auto tooLarge = [] {
        return importError(Kind::Unreadable, QStringLiteral("The file is larger than %1 MB, too large for a "
                                                            "journal export.")
                                                 .arg(kJournalImportMaxFileBytes / (1024 * 1024)));
    };
    if (file.size() > kJournalImportMaxFileBytes)
        return tooLarge();
    // At most one byte past the limit, should the file grow meanwhile.
    const QByteArray bytes = file.read(kJournalImportMaxFileBytes + 1);
    if (bytes.size() > kJournalImportMaxFileBytes)
        return tooLarge();
    if (file.error() != QFileDevice::NoError)
        return importError(Kind::Unreadable, file.errorString());
    file.close();

    auto decoded = decodeJournalExport(bytes);
    if (auto *error = std::get_if<JournalImportError>(&decoded))
        return *error;
    const JournalExportDocument &document = std::get<JournalExportDocument>(decoded);
    if (document.formatVersion != kJournalExportFormatVersion)
        return JournalImportError{Kind::UnsupportedVersion, {}, document.formatVersion};
    if (document.entries.isEmpty())
        return importError(Kind::EmptyFile);
    return mergeJournalImport(document, context);
}

void runJournalImport(ModelContext &context, FilePanels &panels, JournalImportCompletion done)
{
    OpenPanelRequest request;
    request.title = QStringLiteral("Import Journal");
    request.message = QStringLiteral("Choose a Zephyrnote journal export (JSON). Entries merge by ID — nothing is "
                                     "uploaded.");
    request.prompt = QStringLiteral("Import");
    request.fileTypes = {jsonFileType()};
    QPointer<ModelContext> guard(&context);
    panels.chooseFileToOpen(request, [guard, done = std::move(done)](std::optional<QString> path) {
        if (!path || path->isEmpty()) {
            done(importError(JournalImportError::Kind::Cancelled));
            return;
        }
        if (!guard) {
            done(importError(JournalImportError::Kind::StoreFailed, QStringLiteral("The journal store is closed.")));
            return;
        }
        done(readJournalImportFile(*path, *guard));
    });
}

QString importSummaryMessage(int added, int updated, int inFile, const QList<QUuid> &pending,
                             const CapabilityDetector *capability)
{
    if (added == 0 && updated == 0)
        return QStringLiteral("No changes — all %1 entries were already up to date.").arg(inFile);
    QStringList parts;
    if (added >= 1)
        parts.append(QStringLiteral("%1 added").arg(added));
    if (updated >= 1)
        parts.append(QStringLiteral("%1 updated").arg(updated));
    QString message = QStringLiteral("Import complete: %1 (%2 in file).").arg(parts.join(QStringLiteral(", ")))
                          .arg(inFile);
    if (!pending.isEmpty()) {
        message += QStringLiteral(" %1 will get reflections when the local language model is available.")
                       .arg(pending.size());
        if (capability && capability->availability() != CapabilityDetector::Availability::Available)
            message += QLatin1Char(' ') + capability->statusDetail();
    }
    return message;
}

} // namespace zn
