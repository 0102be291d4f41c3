#pragma once

// The timeline column on a real workspace and store (the workspace's own
// test harness), with the English locale so dates read the same everywhere.

#include "views/workspace/state/WorkspaceTestHarness.h"

#include "views/workspace/timeline/TimelineListModel.h"

#include <QLocale>

namespace zn::test {

class TimelineHarness : public WorkspaceHarness
{
public:
    TimelineHarness() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    // A saved entry at an exact moment.
    JournalEntry *seedAt(const QString &text, const QDateTime &when, double score = 0.0,
                         const KeywordFrequencies &keywords = {})
    {
        auto entry = std::make_unique<JournalEntry>(QUuid::createUuid(), when, text, std::nullopt, score, keywords,
                                                    std::nullopt, QStringList{}, false);
        JournalEntry *inserted = context->insert(std::move(entry));
        EXPECT_FALSE(context->save().has_value());
        return inserted;
    }

    // What the model shows: "#key" for a heading, the entry's text for a card.
    static QStringList rows(const TimelineListModel &model)
    {
        QStringList out;
        for (int row = 0; row < model.rowCount(); ++row) {
            if (model.isHeader(row))
                out << QStringLiteral("#") + model.headerTitle(row);
            else
                out << model.entryAt(row)->rawText();
        }
        return out;
    }
};

} // namespace zn::test
