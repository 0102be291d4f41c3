#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace zn {

// The screens of the main window, in sidebar order.
enum class WorkspaceDestination { Timeline, Calendar, Weather, Voice };

// The timeline's mood chips, in chip order.
enum class MoodFilter { All, Positive, Neutral, Negative };

// Raw values are the case names ("timeline", "positive"); any other string
// gives no value.
QString rawValue(WorkspaceDestination destination);
QString rawValue(MoodFilter filter);
std::optional<WorkspaceDestination> workspaceDestinationFromRaw(const QString &raw);
std::optional<MoodFilter> moodFilterFromRaw(const QString &raw);
const QList<WorkspaceDestination> &allWorkspaceDestinations();
const QList<MoodFilter> &allMoodFilters();

// The window title while a destination is shown ("Emotional Weather" for the
// weather screen, whose sidebar row reads "Weather").
QString windowTitle(WorkspaceDestination destination);

// The chip a sentiment score belongs to: Positive from 0.2 (+inf included),
// Neutral from -0.2 up to 0.2, Negative below -0.2 and for NaN and -inf.
// Never All.
MoodFilter moodBucket(double score);

// Whether a score passes the chip.
inline bool moodFilterAccepts(MoodFilter filter, double score)
{
    return filter == MoodFilter::All || moodBucket(score) == filter;
}

// The commands of the menu bar, one per "zep.command." name.
enum class WorkspaceCommand {
    NewEntry,
    Save,
    FocusSearch,
    GoToday,
    GoAll,
    GoCalendar,
    GoWeather,
    GoVoice,
    PreviousEntry,
    NextEntry,
    DeleteEntry,
    ExportJournal,
    ImportJournal,
    ShowPrivacyPromise,
};

// In menu-listener order.
const QList<WorkspaceCommand> &allWorkspaceCommands();
// "zep.command." followed by the command identifier.
QString notificationName(WorkspaceCommand command);
std::optional<WorkspaceCommand> workspaceCommandFromNotification(const QString &name);

} // namespace zn
