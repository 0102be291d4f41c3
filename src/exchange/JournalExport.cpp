#include "exchange/JournalExport.h"

#include "core/CalendarProvider.h"
#include "core/JournalEntry.h"
#include "core/WeatherLabel.h"
#include "exchange/AtomicFile.h"
#include "exchange/ExportFormat.h"
#include "exchange/JsonWriter.h"
#include "platform/panels/FilePanels.h"

#include <cmath>
#include <utility>

namespace zn {
namespace {

using namespace Qt::Literals::StringLiterals;

using exportformat::formatDate;
using exportformat::formatId;

JournalExportError encodingError(QString detail)
{
    return {JournalExportError::Kind::EncodingFailed, std::move(detail)};
}

JournalEntryExportDTO makeRecord(const JournalEntry &entry)
{
    JournalEntryExportDTO r;
    r.id = entry.id();
    r.timestamp = entry.timestamp();
    r.text = entry.rawText();
    r.sentiment = entry.sentimentScore();
    r.weatherLabel = displayName(weatherLabelForScore(r.sentiment));
    r.keywords = entry.keywordFrequencies();
    r.duration = entry.duration();
    r.themes = entry.themes();
    r.insight = entry.insightText();
    r.insightEmotionalTone = entry.insightEmotionalTone();
    r.insightKeyPoints = entry.insightKeyPoints();
    r.insightOverallSentiment = entry.insightOverallSentiment();
    r.insightClosingFocus = entry.insightClosingFocus();
    r.insightGeneratedAt = entry.insightGeneratedAt();
    return r;
}

// Writes one record, its keys in sorted order; an error names the entry.
// JSON has no NaN or infinity (Qt's own writer would put null, which reads
// back as no value), so such a number fails the export instead.
std::optional<JournalExportError> writeRecord(JsonWriter &w, const JournalEntryExportDTO &r)
{
    const QString who = QStringLiteral("The entry %1").arg(formatId(r.id));
    const auto timestamp = formatDate(r.timestamp);
    if (!timestamp)
        return encodingError(who + QStringLiteral(" has a date that the file format cannot hold."));
    std::optional<QString> generated;
    if (r.insightGeneratedAt) {
        generated = formatDate(*r.insightGeneratedAt);
        if (!generated)
            return encodingError(who + QStringLiteral(" has a reflection date that the file format cannot hold."));
    }
    if (!std::isfinite(r.sentiment))
        return encodingError(who + QStringLiteral(" has a sentiment score that is not a finite number."));
    if (r.duration && !std::isfinite(*r.duration))
        return encodingError(who + QStringLiteral(" has a duration that is not a finite number."));

    const auto optionalText = [&w](QLatin1StringView key, const std::optional<QString> &text) {
        if (text) {
            w.key(key);
            w.value(*text);
        }
    };
    w.beginObject();
    if (r.duration) {
        w.key("duration"_L1);
        w.value(*r.duration);
    }
    w.key("id"_L1);
    w.value(formatId(r.id));
    optionalText("insight"_L1, r.insight);
    optionalText("insightClosingFocus"_L1, r.insightClosingFocus);
    optionalText("insightEmotionalTone"_L1, r.insightEmotionalTone);
    optionalText("insightGeneratedAt"_L1, generated);
    if (r.insightKeyPoints) {
        w.key("insightKeyPoints"_L1);
        w.value(*r.insightKeyPoints);
    }
    optionalText("insightOverallSentiment"_L1, r.insightOverallSentiment);
    if (r.keywords) {
        w.key("keywords"_L1);
        w.beginObject();
        for (auto it = r.keywords->constBegin(); it != r.keywords->constEnd(); ++it) {
            w.key(it.key());
            w.value(it.value());
        }
        w.endObject();
    }
    w.key("sentiment"_L1);
    w.value(r.sentiment);
    w.key("text"_L1);
    w.value(r.text);
    if (r.themes) {
        w.key("themes"_L1);
        w.value(*r.themes);
    }
    w.key("timestamp"_L1);
    w.value(*timestamp);
    optionalText("weatherLabel"_L1, r.weatherLabel);
    w.endObject();
    return std::nullopt;
}

QList<const JournalEntry *> finished(const QList<const JournalEntry *> &entries)
{
    QList<const JournalEntry *> kept;
    kept.reserve(entries.size());
    for (const JournalEntry *e : entries) {
        if (e && !e->isDraft())
            kept.append(e);
    }
    return kept;
}

} // namespace

QString JournalExportError::message() const
{
    switch (kind) {
    case Kind::EncodingFailed:
        return QStringLiteral("Couldn’t encode journal: ") + detail;
    case Kind::WriteFailed:
        return QStringLiteral("Couldn’t write file: ") + detail;
    case Kind::Cancelled:
        return QStringLiteral("Export cancelled.");
    case Kind::NoEntries:
        return QStringLiteral("There are no journal entries to export.");
    }
    return {};
}

JournalExportDocument makeJournalExportDocument(const QList<const JournalEntry *> &entries, const QDateTime &now)
{
    JournalExportDocument doc;
    doc.exportedAt = now;
    const auto kept = finished(entries);
    doc.entries.reserve(kept.size());
    for (const JournalEntry *e : kept)
        doc.entries.append(makeRecord(*e));
    doc.entryCount = int(doc.entries.size());
    return doc;
}

std::variant<QByteArray, JournalExportError> encodeJournalExport(const JournalExportDocument &document)
{
    const auto exportedAt = formatDate(document.exportedAt);
    if (!exportedAt)
        return encodingError(QStringLiteral("The export date cannot be written."));
    qsizetype estimate = 256;
    for (const JournalEntryExportDTO &r : document.entries)
        estimate += 600 + 3 * (r.text.size() + r.insight.value_or(QString()).size());
    JsonWriter w(estimate);
    // Keys in ascending order, as a sorted-keys encoder writes them.
    w.beginObject();
    w.key("app"_L1);
    w.value(document.app);
    w.key("entries"_L1);
    w.beginArray();
    for (const JournalEntryExportDTO &r : document.entries) {
        if (auto error = writeRecord(w, r))
            return *error;
    }
    w.endArray();
    w.key("entryCount"_L1);
    w.value(document.entryCount);
    w.key("exportedAt"_L1);
    w.value(*exportedAt);
    w.key("formatVersion"_L1);
    w.value(document.formatVersion);
    w.key("platform"_L1);
    w.value(document.platform);
    w.endObject();
    QByteArray bytes = w.take();
    bytes.append('\n');
    return bytes;
}

std::variant<QByteArray, JournalExportError> encodeJournalExport(const QList<const JournalEntry *> &entries,
                                                                 const QDateTime &now)
{
    return encodeJournalExport(makeJournalExportDocument(entries, now));
}

QString defaultJournalExportFileName(const QDateTime &now)
{
    const QDate day = now.toTimeZone(CalendarProvider::shared().timeZone()).date();
    return QStringLiteral("Zephyrnote-Journal-%1.json").arg(day.toString(u"yyyy-MM-dd"));
}

std::optional<JournalExportError> writeJournalExportFile(const QString &path, const QByteArray &bytes)
{
    if (auto why = writeFileAtomically(path, bytes))
        return JournalExportError{JournalExportError::Kind::WriteFailed, *why};
    return std::nullopt;
}

void runJournalExport(const QList<const JournalEntry *> &entries, FilePanels &panels, JournalExportCompletion done)
{
    const auto kept = finished(entries);
    if (kept.isEmpty()) {
        done(JournalExportError{JournalExportError::Kind::NoEntries, {}});
        return;
    }
    auto encoded = encodeJournalExport(kept);
    if (auto *error = std::get_if<JournalExportError>(&encoded)) {
        done(*error);
        return;
    }
    SavePanelRequest request;
    request.title = QStringLiteral("Export Journal");
    request.message = QStringLiteral("Your journal stays private. This file is written only where you choose.");
    request.prompt = QStringLiteral("Export");
    request.defaultFileName = defaultJournalExportFileName(QDateTime::currentDateTimeUtc());
    request.fileType = jsonFileType();
    request.canCreateDirectories = true;
    // The bytes travel with the completion: the entries may be gone by the
    // time the user answers.
    panels.chooseSaveLocation(request, [bytes = std::get<QByteArray>(std::move(encoded)),
                                        done = std::move(done)](std::optional<QString> path) {
        if (!path || path->isEmpty()) {
            done(JournalExportError{JournalExportError::Kind::Cancelled, {}});
            return;
        }
        done(writeJournalExportFile(*path, bytes));
    });
}

void runJournalExport(const QList<JournalEntry *> &entries, FilePanels &panels, JournalExportCompletion done)
{
    runJournalExport(QList<const JournalEntry *>(entries.begin(), entries.end()), panels, std::move(done));
}

} // namespace zn
