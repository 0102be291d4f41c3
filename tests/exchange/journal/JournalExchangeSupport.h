#pragma once

#include "core/JournalEntry.h"
#include "core/StoreFactory.h"
#include "exchange/JournalExport.h"
#include "exchange/JournalImport.h"
#include "platform/panels/FakeFilePanels.h"
#include "support/TestSupport.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace zn::test {

// A journal store in a temporary folder, its main context, and helpers to
// fill it, read it back and break its saves.
class JournalStoreTest : public ::testing::Test
{
protected:
    void SetUp() override;

    // A saved, finished entry with a reflection (or a draft).
    JournalEntry *seed(const QString &text, bool draft = false);
    // An entry with every exported field set to an awkward value.
    JournalEntry *seedFull(int variant);
    void seedWeekly(const QString &key);

    // Every row of the store, read through a fresh context: equal dumps mean
    // the store holds exactly the same data.
    QByteArray storeDump();

    // Saves refuse until allowSaves().
    void refuseSaves();
    void allowSaves();

    // Writes `bytes` to a file in the temp folder and returns its path.
    QString writeFile(const QString &name, const QByteArray &bytes);

    QList<const JournalEntry *> allEntries();

    TempDir m_dir;
    std::shared_ptr<ModelContainer> m_container;
    ModelContext *m_context = nullptr;
    std::vector<std::unique_ptr<ModelContext>> m_readers;
};

// A decodable export file with `count` records, as a JSON object to edit.
QJsonObject validDocument(int count = 2);
QByteArray toBytes(const QJsonObject &document);

// The decoded document; fails the test when the bytes do not decode.
JournalExportDocument decodeOrFail(const QByteArray &bytes);
JournalImportError decodeError(const QByteArray &bytes);

} // namespace zn::test
