// Saves journal entries one by one into the store in argv[1] and prints the
// id of each entry once its save has returned, until killed.
#include "core/JournalEntry.h"
#include "core/StoreFactory.h"

#include <QCoreApplication>

#include <cstdio>
#include <unistd.h>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    zn::StoreError error;
    auto store = zn::makeStoreContainerIn(QString::fromLocal8Bit(argv[1]), false, &error);
    if (!store) {
        std::fprintf(stderr, "%s\n", qPrintable(error.description()));
        return 1;
    }
    zn::ModelContext *context = store->container->mainContext();
    for (int i = 0;; ++i) {
        auto entry = std::make_unique<zn::JournalEntry>();
        entry->setRawText(QStringLiteral("entry %1 ").arg(i).repeated(40));
        entry->setSentimentScore(i * 0.01);
        const QByteArray id = entry->id().toString(QUuid::WithoutBraces).toUpper().toLatin1() + '\n';
        context->insert(std::move(entry));
        if (auto e = context->save()) {
            std::fprintf(stderr, "%s\n", qPrintable(e->description()));
            return 1;
        }
        // Unbuffered, so the parent never sees an id before its save returned
        // nor misses one that did.
        if (::write(STDOUT_FILENO, id.constData(), size_t(id.size())) < 0)
            return 1;
    }
}
