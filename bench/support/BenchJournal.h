#pragma once

// A real journal store in a temporary folder, for benchmarks that measure
// work over one. Each benchmark still writes its own entries: their texts
// and spread are part of what it measures.

#include "core/JournalEntry.h"
#include "core/StoreFactory.h"
#include "platform/store/ModelContainer.h"

#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace zn::bench {

struct BenchStore
{
    // A benchmark over a store that could not be made would measure nothing.
    BenchStore()
    {
        StoreError error;
        auto made = makeStoreContainerIn(dir.path(), &error);
        if (!made) {
            std::fprintf(stderr, "no benchmark store: %s\n", qPrintable(error.description()));
            std::abort();
        }
        container = made->container;
        context = container->mainContext();
    }

    // A saved entry with no title or reflection, not yet written to disk.
    JournalEntry *add(const QDateTime &when, const QString &text, double score,
                      const KeywordFrequencies &keywords = {})
    {
        return context->insert(std::make_unique<JournalEntry>(QUuid::createUuid(), when, text, std::nullopt, score,
                                                              keywords, std::nullopt, QStringList{}, false));
    }

    // Writes what was added; a failed write ends the run.
    void save()
    {
        if (context->save()) {
            std::fprintf(stderr, "benchmark store not saved\n");
            std::abort();
        }
    }

    QTemporaryDir dir;
    std::shared_ptr<ModelContainer> container;
    ModelContext *context = nullptr;
};

} // namespace zn::bench
