#include "views/workspace/state/WorkspaceTypes.h"

namespace zn {
namespace {

struct CommandName
{
    WorkspaceCommand command;
    const char *identifier;
};

constexpr CommandName kCommandNames[] = {
    {WorkspaceCommand::NewEntry, "newEntry"},
    {WorkspaceCommand::Save, "save"},
    {WorkspaceCommand::FocusSearch, "focusSearch"},
    {WorkspaceCommand::GoToday, "goToday"},
    {WorkspaceCommand::GoAll, "goAll"},
    {WorkspaceCommand::GoCalendar, "goCalendar"},
    {WorkspaceCommand::GoWeather, "goWeather"},
    {WorkspaceCommand::GoVoice, "goVoice"},
    {WorkspaceCommand::PreviousEntry, "previousEntry"},
    {WorkspaceCommand::NextEntry, "nextEntry"},
    {WorkspaceCommand::DeleteEntry, "deleteEntry"},
    {WorkspaceCommand::ExportJournal, "exportJournal"},
    {WorkspaceCommand::ImportJournal, "importJournal"},
    {WorkspaceCommand::ShowPrivacyPromise, "showPrivacyPromise"},
};

constexpr auto kCommandPrefix = "zep.command.";

} // namespace

QString rawValue(WorkspaceDestination destination)
{
    switch (destination) {
    case WorkspaceDestination::Timeline: return QStringLiteral("timeline");
    case WorkspaceDestination::Calendar: return QStringLiteral("calendar");
    case WorkspaceDestination::Weather: return QStringLiteral("weather");
    case WorkspaceDestination::Voice: return QStringLiteral("voice");
    }
    return {};
}

QString rawValue(MoodFilter filter)
{
    switch (filter) {
    case MoodFilter::All: return QStringLiteral("all");
    case MoodFilter::Positive: return QStringLiteral("positive");
    case MoodFilter::Neutral: return QStringLiteral("neutral");
    case MoodFilter::Negative: return QStringLiteral("negative");
    }
    return {};
}

const QList<WorkspaceDestination> &allWorkspaceDestinations()
{
    static const QList<WorkspaceDestination> all{WorkspaceDestination::Timeline, WorkspaceDestination::Calendar,
                                                 WorkspaceDestination::Weather, WorkspaceDestination::Voice};
    return all;
}

const QList<MoodFilter> &allMoodFilters()
{
    static const QList<MoodFilter> all{MoodFilter::All, MoodFilter::Positive, MoodFilter::Neutral,
                                       MoodFilter::Negative};
    return all;
}

std::optional<WorkspaceDestination> workspaceDestinationFromRaw(const QString &raw)
{
    for (WorkspaceDestination d : allWorkspaceDestinations())
        if (rawValue(d) == raw)
            return d;
    return std::nullopt;
}

std::optional<MoodFilter> moodFilterFromRaw(const QString &raw)
{
    for (MoodFilter f : allMoodFilters())
        if (rawValue(f) == raw)
            return f;
    return std::nullopt;
}

QString windowTitle(WorkspaceDestination destination)
{
    switch (destination) {
    case WorkspaceDestination::Timeline: return QStringLiteral("Timeline");
    case WorkspaceDestination::Calendar: return QStringLiteral("Calendar");
    case WorkspaceDestination::Weather: return QStringLiteral("Emotional Weather");
    case WorkspaceDestination::Voice: return QStringLiteral("Voice");
    }
    return {};
}

MoodFilter moodBucket(double score)
{
    // Written so that NaN fails both tests and lands with the heavier moods.
    if (score >= 0.2)
        return MoodFilter::Positive;
    if (score >= -0.2)
        return MoodFilter::Neutral;
    return MoodFilter::Negative;
}

const QList<WorkspaceCommand> &allWorkspaceCommands()
{
    static const QList<WorkspaceCommand> all = [] {
        QList<WorkspaceCommand> out;
        for (const CommandName &c : kCommandNames)
            out.append(c.command);
        return out;
    }();
    return all;
}

QString notificationName(WorkspaceCommand command)
{
    for (const CommandName &c : kCommandNames)
        if (c.command == command)
            return QLatin1String(kCommandPrefix) + QLatin1String(c.identifier);
    return {};
}

std::optional<WorkspaceCommand> workspaceCommandFromNotification(const QString &name)
{
    if (!name.startsWith(QLatin1String(kCommandPrefix)))
        return std::nullopt;
    const QStringView identifier = QStringView(name).mid(qsizetype(qstrlen(kCommandPrefix)));
    for (const CommandName &c : kCommandNames)
        if (identifier == QLatin1String(c.identifier))
            return c.command;
    return std::nullopt;
}

} // namespace zn
