#include "views/workspace/timeline/EntryListRules.h"

#include "views/kit/DateFormats.h"

#include <QCoreApplication>

namespace zn {
namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("EntryListView", text);
}

} // namespace

bool entryListFiltersActive(const QString &searchText, MoodFilter mood, bool hasDayFilter)
{
    return !searchText.isEmpty() || mood != MoodFilter::All || hasDayFilter;
}

EmptyStateContent emptyStateContent(bool filtersActive, bool hasNewEntry, bool hasVoice)
{
    EmptyStateContent content;
    if (filtersActive) {
        content.title = tr("No matching entries");
        content.message = tr("Try another search or mood filter.");
        content.actions = {EmptyStateAction::ClearFilters};
        return content;
    }
    content.title = tr("Your timeline is a clear sky");
    content.message = tr("Write or speak when you\u2019re ready. Your days will gather here.");
    if (hasNewEntry)
        content.actions.append(EmptyStateAction::Write);
    if (hasVoice)
        content.actions.append(EmptyStateAction::Voice);
    return content;
}

QString emptyStateActionTitle(EmptyStateAction action)
{
    switch (action) {
    case EmptyStateAction::ClearFilters: return tr("Clear filters");
    case EmptyStateAction::Write: return tr("Write");
    case EmptyStateAction::Voice: return tr("Voice");
    }
    return {};
}

QString emptyStateActionSymbol(EmptyStateAction action)
{
    switch (action) {
    case EmptyStateAction::ClearFilters: return {};
    case EmptyStateAction::Write: return QStringLiteral("square.and.pencil");
    case EmptyStateAction::Voice: return QStringLiteral("mic");
    }
    return {};
}

void clearEntryListFilters(const EntryListBindings &bindings, const EntryListActions &actions)
{
    if (bindings.setMoodFilter)
        bindings.setMoodFilter(MoodFilter::All);
    if (bindings.setSearchText)
        bindings.setSearchText(QString());
    if (actions.onClearDayFilter)
        actions.onClearDayFilter();
}

QString moodChipTitle(MoodFilter filter)
{
    switch (filter) {
    case MoodFilter::All: return tr("All");
    case MoodFilter::Positive: return tr("Brighter");
    case MoodFilter::Neutral: return tr("Steady");
    case MoodFilter::Negative: return tr("Heavier");
    }
    return {};
}

bool showsDayBanner(const std::optional<QDateTime> &dayFilter, const EntryListActions &actions)
{
    return dayFilter.has_value() && static_cast<bool>(actions.onClearDayFilter);
}

QString dayBannerText(const QDateTime &day, const QLocale &locale)
{
    return DateFormats::format(day, DateStyle::Abbreviated, locale);
}

const QList<EntryMenuItem> &entryMenuItems()
{
    static const QList<EntryMenuItem> items = {EntryMenuItem::Open, EntryMenuItem::Edit, EntryMenuItem::Delete};
    return items;
}

QString entryMenuItemTitle(EntryMenuItem item)
{
    switch (item) {
    case EntryMenuItem::Open: return tr("Open");
    case EntryMenuItem::Edit: return tr("Edit");
    case EntryMenuItem::Delete: return tr("Delete\u2026");
    }
    return {};
}

void runEntryMenuItem(EntryMenuItem item, JournalEntry *entry, const EntryListActions &actions)
{
    switch (item) {
    case EntryMenuItem::Open:
        if (actions.onSelect)
            actions.onSelect(entry);
        return;
    case EntryMenuItem::Edit:
        if (actions.onEdit)
            actions.onEdit(entry);
        else if (actions.onSelect)
            actions.onSelect(entry);
        return;
    case EntryMenuItem::Delete:
        if (actions.onDelete)
            actions.onDelete(entry);
        return;
    }
}

} // namespace zn
