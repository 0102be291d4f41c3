#include "JournalExchangeSupport.h"

#include "core/JournalQueries.h"
#include "core/WeeklyReflectionRecord.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>

namespace zn::test {

void JournalStoreTest::SetUp()
{
    StoreError error;
    auto made = makeStoreContainerIn(m_dir.path(), &error);
    ASSERT_TRUE(made.has_value()) << error.description().toStdString();
    m_container = made->container;
    m_context = m_container->mainContext();
}

JournalEntry *JournalStoreTest::seed(const QString &text, bool draft)
{
    auto entry = std::make_unique<JournalEntry>(QUuid::createUuid(),
                                                QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC), text,
                                                std::nullopt, 0.3, KeywordFrequencies{{QStringLiteral("tea"), 2}},
                                                QStringLiteral("calm"), QStringList{QStringLiteral("home")}, draft);
    entry->setInsightText(QStringLiteral("A quiet day."));
    entry->setInsightStatus(InsightStatus::Ready);
    entry->setInsightEmotionalTone(QStringLiteral("calm"));
    entry->setInsightSchemaVersion(6);
    entry->setInsightOverallScore(0.4);
    JournalEntry *inserted = m_context->insert(std::move(entry));
    EXPECT_FALSE(m_context->save().has_value());
    return inserted;
}

JournalEntry *JournalStoreTest::seedFull(int variant)
{
    auto entry = std::make_unique<JournalEntry>();
    JournalEntry &e = *entry;
    e.setTimestamp(QDateTime::fromSecsSinceEpoch(1'600'000'000 + variant * 86'401, Qt::UTC));
    e.setRawText(QStringLiteral("Entry %1 with “quotes”, a \\ backslash, / slash, tab\t and emoji 👩‍👩‍👧\nline two")
                     .arg(variant));
    e.setDuration(variant % 2 ? std::optional<double>(12.75) : std::nullopt);
    e.setSentimentScore(-0.45 + 0.1 * variant);
    e.setKeywordFrequencies({{QStringLiteral("rain"), 3}, {QStringLiteral("ćwierć"), 1}});
    e.setThemes({QStringLiteral("work"), QStringLiteral("Sleep")});
    e.setInsightText(QStringLiteral("Reflection %1").arg(variant));
    e.setInsightEmotionalTone(QStringLiteral("steady"));
    e.setInsightKeyPoints({QStringLiteral("one"), QStringLiteral("two")});
    e.setInsightOverallSentiment(QStringLiteral("mixed"));
    e.setInsightClosingFocus(QStringLiteral("rest"));
    e.setInsightGeneratedAt(QDateTime::fromSecsSinceEpoch(1'600'000'100 + variant, Qt::UTC));
    e.setInsightStatus(InsightStatus::Ready);
    e.setInsightSchemaVersion(6);
    JournalEntry *inserted = m_context->insert(std::move(entry));
    EXPECT_FALSE(m_context->save().has_value());
    return inserted;
}

void JournalStoreTest::seedWeekly(const QString &key)
{
    auto record = std::make_unique<WeeklyReflectionRecord>(key, QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC));
    record->setSummary(QStringLiteral("A week."));
    m_context->insert(std::move(record));
    EXPECT_FALSE(m_context->save().has_value());
}

QByteArray JournalStoreTest::storeDump()
{
    m_readers.push_back(std::make_unique<ModelContext>(m_container.get()));
    ModelContext &reader = *m_readers.back();
    QStringList rows;
    const auto dumpRow = [&](const PersistentModel &m) {
        QStringList fields;
        for (int f = 0; f < int(m.entity().fields.size()); ++f)
            fields.append(m.value(f).toString() + u'|' + QString::fromLatin1(m.value(f).toByteArray().toHex()));
        rows.append(m.entity().name + u':' + fields.join(u';'));
    };
    for (const JournalEntry *e : reader.fetch<JournalEntry>())
        dumpRow(*e);
    for (const WeeklyReflectionRecord *r : reader.fetch<WeeklyReflectionRecord>())
        dumpRow(*r);
    std::sort(rows.begin(), rows.end());
    return rows.join(u'\n').toUtf8();
}

void JournalStoreTest::refuseSaves()
{
    m_container->setSaveFailureInjector([] {
        return std::optional<StoreError>(StoreError(StoreError::Code::SaveFailed, QStringLiteral("disk full")));
    });
}

void JournalStoreTest::allowSaves() { m_container->setSaveFailureInjector({}); }

QString JournalStoreTest::writeFile(const QString &name, const QByteArray &bytes)
{
    const QString path = m_dir.file(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
    return path;
}

QList<const JournalEntry *> JournalStoreTest::allEntries()
{
    const auto found = fetchAllEntries(*m_context);
    return QList<const JournalEntry *>(found.begin(), found.end());
}

QJsonObject validDocument(int count)
{
    QJsonArray entries;
    for (int i = 0; i < count; ++i) {
        QJsonObject r;
        r.insert(u"id", QStringLiteral("6F9619FF-8B86-D011-B42D-00CF4FC964F%1").arg(i % 10));
        r.insert(u"timestamp", QStringLiteral("2024-03-0%1T08:15:30Z").arg(1 + i % 9));
        r.insert(u"text", QStringLiteral("Record %1").arg(i));
        r.insert(u"sentiment", 0.25);
        r.insert(u"weatherLabel", QStringLiteral("Partly cloudy"));
        r.insert(u"keywords", QJsonObject{{QStringLiteral("walk"), 2}});
        r.insert(u"themes", QJsonArray{QStringLiteral("outdoors")});
        r.insert(u"insightKeyPoints", QJsonArray{});
        r.insert(u"insight", QStringLiteral("Felt lighter."));
        r.insert(u"insightEmotionalTone", QStringLiteral("hopeful"));
        r.insert(u"insightGeneratedAt", QStringLiteral("2024-03-01T09:00:00Z"));
        entries.append(r);
    }
    QJsonObject doc;
    doc.insert(u"app", QStringLiteral("Zephyrnote"));
    doc.insert(u"platform", QStringLiteral("macOS"));
    doc.insert(u"formatVersion", 1);
    doc.insert(u"exportedAt", QStringLiteral("2024-03-10T10:00:00Z"));
    doc.insert(u"entryCount", count);
    doc.insert(u"entries", entries);
    return doc;
}

QByteArray toBytes(const QJsonObject &document) { return QJsonDocument(document).toJson(); }

JournalExportDocument decodeOrFail(const QByteArray &bytes)
{
    auto decoded = decodeJournalExport(bytes);
    if (auto *error = std::get_if<JournalImportError>(&decoded)) {
        ADD_FAILURE() << "did not decode: " << error->message().toStdString();
        return {};
    }
    return std::get<JournalExportDocument>(decoded);
}

JournalImportError decodeError(const QByteArray &bytes)
{
    auto decoded = decodeJournalExport(bytes);
    if (auto *error = std::get_if<JournalImportError>(&decoded))
        return *error;
    ADD_FAILURE() << "decoded although it should not: " << bytes.left(200).toStdString();
    return {};
}

} // namespace zn::test
