#pragma once

// A journal on a real store in a temporary folder, read by a hand-moved
// clock: the ground every screen and workspace harness stands on.

#include "core/JournalEntry.h"
#include "core/JournalQueries.h"
#include "core/StoreFactory.h"
#include "platform/base/Clock.h"
#include "platform/store/ModelContainer.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDateTime>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace zn::test {

// Runs a few turns of the event loop, enough for queued signals and posted
// layouts, without waiting for anything.
inline void drainEvents(int rounds = 5)
{
    for (int i = 0; i < rounds; ++i)
        QCoreApplication::processEvents();
}

class JournalTestStore
{
public:
    JournalTestStore()
    {
        StoreError error;
        auto made = makeStoreContainerIn(dir.path(), &error);
        if (!made) {
            ADD_FAILURE() << error.description().toStdString();
            return;
        }
        container = made->container;
        context = container->mainContext();
    }

    // The moment `hours` before the clock's now.
    QDateTime hoursBeforeNow(double hours) const { return clock.now().addSecs(qint64(-hours * 3600)); }

    // An entry as a fresh one is made, not yet in the store.
    static std::unique_ptr<JournalEntry> makeEntry(const QDateTime &when, const QString &text, double score,
                                                   const KeywordFrequencies &keywords = {}, bool draft = false)
    {
        return std::make_unique<JournalEntry>(QUuid::createUuid(), when, text, std::nullopt, score, keywords,
                                              std::nullopt, QStringList{}, draft);
    }

    // Inserts `object` and saves; the save must succeed.
    template <typename T>
    T *keep(std::unique_ptr<T> object)
    {
        T *inserted = context->insert(std::move(object));
        EXPECT_FALSE(context->save().has_value());
        return inserted;
    }

    JournalEntry *saveEntry(const QDateTime &when, const QString &text, double score,
                            const KeywordFrequencies &keywords = {}, bool draft = false)
    {
        return keep(makeEntry(when, text, score, keywords, draft));
    }

    // What reached the store, through a context of its own (each read gets a
    // fresh one, so nothing cached in `context` answers).
    JournalEntry *stored(const QUuid &id) { return fetchEntry(freshReader(), id); }
    QList<JournalEntry *> storedAll() { return fetchAllEntries(freshReader()); }

    TempDir dir;
    ManualClock clock;
    std::shared_ptr<ModelContainer> container;
    ModelContext *context = nullptr;

private:
    ModelContext &freshReader()
    {
        m_readers.push_back(std::make_unique<ModelContext>(container.get()));
        return *m_readers.back();
    }

    // Kept to the end: the entries they fetched stay readable.
    std::vector<std::unique_ptr<ModelContext>> m_readers;
};

} // namespace zn::test
