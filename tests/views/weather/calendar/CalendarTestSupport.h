#pragma once

#include "core/CalendarProvider.h"
#include "core/JournalEntry.h"

#include <QDateTime>
#include <QLocale>
#include <QTimeZone>

#include <memory>
#include <vector>

namespace zn::test {

inline const QLocale kUnitedStates(QLocale::English, QLocale::UnitedStates);
inline const QLocale kGermany(QLocale::German, QLocale::Germany);

// A wall-clock moment in `zone`.
inline QDateTime at(int y, int m, int d, int h = 12, int min = 0, const QTimeZone &zone = QTimeZone::utc())
{
    return QDateTime(QDate(y, m, d), QTime(h, min), zone);
}

// Journal entries that live only in memory, in the order they are made.
class Entries
{
public:
    JournalEntry *add(const QDateTime &when, double score)
    {
        m_owned.push_back(std::make_unique<JournalEntry>(QUuid::createUuid(), when, QStringLiteral("entry"),
                                                         std::nullopt, score, KeywordFrequencies{}, std::nullopt,
                                                         QStringList{}, false));
        m_list.append(m_owned.back().get());
        return m_owned.back().get();
    }
    const QList<JournalEntry *> &list() const { return m_list; }
    // Frees the entry as a store would on deleting it; the list keeps the
    // stale pointer, as a view's copy would until it is handed a new one.
    void destroy(JournalEntry *entry)
    {
        for (auto &owned : m_owned) {
            if (owned.get() == entry)
                owned.reset();
        }
    }

private:
    std::vector<std::unique_ptr<JournalEntry>> m_owned;
    QList<JournalEntry *> m_list;
};

} // namespace zn::test
