#include "exchange/JournalExport.h"

#include "core/CalendarProvider.h"
#include "core/JournalEntry.h"
#include "core/WeatherLabel.h"
#include "exchange/ExportFormat.h"
#include "platform/panels/FilePanels.h"

#include <QFile>
#include <QFileDevice>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <cmath>
#include <utility>

namespace zn {
namespace {

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

QJsonArray stringArray(const QStringList &list)
{
    QJsonArray out;
    for (const QString &s : list)
        out.append(s);
    return out;
}

// The record as a JSON object; an error names the entry. JSON has no NaN or
// infinity, and Qt would write them as null, which reads back as no value.
std::variant<QJsonObject, JournalExportError> encodeRecord(const JournalEntryExportDTO &r)
{
    const QString who = QStringLiteral("The entry %1").arg(formatId(r.id));
    QJsonObject o;
    o.insert(u"id", formatId(r.id));
    const auto timestamp = formatDate(r.timestamp);
    if (!timestamp)
        return encodingError(who + QStringLiteral(" has a date that the file format cannot hold."));
    o.insert(u"timestamp", *timestamp);
    o.insert(u"text", r.text);
    if (!std::isfinite(r.sentiment))
        return encodingError(who + QStringLiteral(" has a sentiment score that is not a finite number."));
    o.insert(u"sentiment", r.sentiment);
    if (r.weatherLabel)
        o.insert(u"weatherLabel", *r.weatherLabel);
    if (r.keywords) {
        QJsonObject table;
        for (auto it = r.keywords->constBegin(); it != r.keywords->constEnd(); ++it)
            table.insert(it.key(), it.value());
        o.insert(u"keywords", table);
    }
    if (r.duration) {
        if (!std::isfinite(*r.duration))
            return encodingError(who + QStringLiteral(" has a duration that is not a finite number."));
        o.insert(u"duration", *r.duration);
    }
    if (r.themes)
        o.insert(u"themes", stringArray(*r.themes));
    if (r.insight)
        o.insert(u"insight", *r.insight);
    if (r.insightEmotionalTone)
        o.insert(u"insightEmotionalTone", *r.insightEmotionalTone);
    if (r.insightKeyPoints)
        o.insert(u"insightKeyPoints", stringArray(*r.insightKeyPoints));
    if (r.insightOverallSentiment)
        o.insert(u"insightOverallSentiment", *r.insightOverallSentiment);
    if (r.insightClosingFocus)
        o.insert(u"insightClosingFocus", *r.insightClosingFocus);
    if (r.insightGeneratedAt) {
        const auto generated = formatDate(*r.insightGeneratedAt);
        if (!generated)
            return encodingError(who + QStringLiteral(" has a reflection date that the file format cannot hold."));
        o.insert(u"insightGeneratedAt", *generated);
    }
    return o;
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
    QJsonArray records;
    for (const JournalEntryExportDTO &r : document.entries) {
        auto encoded = encodeRecord(r);
        if (auto *error = std::get_if<JournalExportError>(&encoded))
            return *error;
        records.append(std::get<QJsonObject>(std::move(encoded)));
    }
    const auto exportedAt = formatDate(document.exportedAt);
    if (!exportedAt)
        return encodingError(QStringLiteral("The export date cannot be written."));
    // QJsonObject keeps its keys sorted, which is the order the file wants.
    QJsonObject root;
    root.insert(u"app", document.app);
    root.insert(u"entries", records);
    root.insert(u"entryCount", document.entryCount);
    root.insert(u"exportedAt", *exportedAt);
    root.insert(u"formatVersion", document.formatVersion);
    root.insert(u"platform", document.platform);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
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
    const auto failed = [](const QString &why) {
        return JournalExportError{JournalExportError::Kind::WriteFailed, why};
    };
    QSaveFile file(path);
    const bool existed = QFile::exists(path);
    if (!file.open(QIODevice::WriteOnly))
        return failed(file.errorString());
    // The journal is private: a new export is the owner's alone. An existing
    // file keeps the permissions its owner gave it.
    if (!existed)
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (file.write(bytes) != bytes.size()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return failed(why);
    }
    if (!file.commit())
        return failed(file.errorString());
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
