#pragma once

#include "views/workspace/state/WorkspaceTypes.h"

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>

#include <functional>
#include <optional>

namespace zn {

class JournalEntry;

// What the entry list can ask of its owner. Optional actions may be empty;
// what depends on an empty one is not offered.
struct EntryListActions
{
    std::function<void(JournalEntry *)> onSelect;
    std::function<void(JournalEntry *)> onEdit;   // optional: falls back to onSelect
    std::function<void(JournalEntry *)> onDelete;
    std::function<void()> onClearDayFilter;       // optional: no banner without it
    std::function<void()> onNewEntry;             // optional: "Write"
    std::function<void()> onVoice;                // optional: "Voice"
};

// The list's two-way state, as its owner keeps it.
struct EntryListBindings
{
    std::function<void(MoodFilter)> setMoodFilter;
    std::function<void(const QString &)> setSearchText;
};

// Whether the list is narrowed: a search as typed (blanks count), a mood
// other than "All", or a day.
bool entryListFiltersActive(const QString &searchText, MoodFilter mood, bool hasDayFilter);

enum class EmptyStateAction { ClearFilters, Write, Voice };

struct EmptyStateContent
{
    QString title;
    QString message;
    // In display order; "Write" and "Voice" share one row.
    QList<EmptyStateAction> actions;
};

EmptyStateContent emptyStateContent(bool filtersActive, bool hasNewEntry, bool hasVoice);

QString emptyStateActionTitle(EmptyStateAction action);
// Symbol shown beside an action's title; empty for none.
QString emptyStateActionSymbol(EmptyStateAction action);

// Mood, then search, then the day, in that order.
void clearEntryListFilters(const EntryListBindings &bindings, const EntryListActions &actions);

// The mood chip titles: "All", "Brighter", "Steady", "Heavier".
QString moodChipTitle(MoodFilter filter);

// The day banner shows only for a day filter that can be cleared.
bool showsDayBanner(const std::optional<QDateTime> &dayFilter, const EntryListActions &actions);
QString dayBannerText(const QDateTime &day, const QLocale &locale = QLocale());

// The card's context menu.
enum class EntryMenuItem { Open, Edit, Delete };
const QList<EntryMenuItem> &entryMenuItems();
QString entryMenuItemTitle(EntryMenuItem item);
// Runs the item's action for the entry ("Edit" opens for reading when
// editing is not offered).
void runEntryMenuItem(EntryMenuItem item, JournalEntry *entry, const EntryListActions &actions);

} // namespace zn
