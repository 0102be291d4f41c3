#pragma once

// What a workspace is built from in tests: a real store and clock, a private
// notification centre, the UTC calendar with a watch of the day that follows
// `systemZone`, a recording reflection queue, scripted journal files,
// microphone and recogniser, and granted permissions.

#include "views/workspace/state/WorkspaceViewModel.h"

#include "core/CalendarProvider.h"
#include "core/DayWatch.h"
#include "core/InsightQueue.h"
#include "platform/audio/FakeAudioInputEngine.h"
#include "platform/base/NotificationCenter.h"
#include "platform/panels/FakeFilePanels.h"
#include "platform/speech/FakeSpeechPlatform.h"
#include "reflections/CapabilityDetector.h"
#include "support/JournalTestStore.h"
#include "voice/ScriptedVoiceServices.h"
#include "voice/VoicePermissions.h"

#include <QLocale>
#include <QTimeZone>

#include <memory>

namespace zn::test {

class RecordingQueue final : public InsightQueue
{
public:
    void enqueueEntry(const QUuid &entryId) override { ids.append(entryId); }
    QList<QUuid> ids;
};

class WorkspaceTestServices : public JournalTestStore
{
public:
    // A fresh bundle over these parts, with a 16 kHz mono microphone.
    WorkspaceServices services()
    {
        // Today as the test set the clock, before anyone listens.
        day.recheck();
        WorkspaceServices services;
        services.context = context;
        services.capability = &capability;
        services.insightCoordinator = &queue;
        services.panels = &panels;
        services.notificationCenter = &center;
        services.clock = &clock;
        services.calendar = &calendar;
        services.day = &day;
        services.voice = scriptedVoiceServices(speech, permissions);
        services.voice.locale = QLocale(QLocale::English, QLocale::UnitedStates);
        return services;
    }

    NotificationCenter center;
    CalendarProvider calendar{QCalendar(), QTimeZone::utc()};
    // The time zone the system reports, as an IANA id.
    QByteArray systemZone = "UTC";
    DayWatch day{clock, calendar, [this] { return systemZone; }};
    CapabilityDetector capability;
    RecordingQueue queue;
    FakeFilePanels panels;
    std::shared_ptr<speech::FakeSpeechPlatform> speech = std::make_shared<speech::FakeSpeechPlatform>();
    std::shared_ptr<FakePermissionProvider> permissions = std::make_shared<FakePermissionProvider>();
};

} // namespace zn::test
