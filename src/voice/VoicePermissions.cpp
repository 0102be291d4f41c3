#include "voice/VoicePermissions.h"

#include <QMetaObject>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>

#include <utility>

namespace zn {
namespace {

void answerLater(QObject *context, std::function<void()> answer)
{
    if (!context)
        return;
    QMetaObject::invokeMethod(context, std::move(answer), Qt::QueuedConnection);
}

struct SettingsCandidate
{
    const char *program;
    QStringList arguments;
};

} // namespace

void SystemPermissionProvider::requestMicrophoneAccess(QObject *context, std::function<void(bool)> done)
{
    answerLater(context, [done = std::move(done)] { done(true); });
}

void SystemPermissionProvider::requestSpeechAuthorization(QObject *context,
                                                          std::function<void(SpeechAuthorization)> done)
{
    answerLater(context, [done = std::move(done)] { done(SpeechAuthorization::authorized); });
}

void FakePermissionProvider::requestMicrophoneAccess(QObject *context, std::function<void(bool)> done)
{
    ++microphonePrompts;
    const bool answer = microphoneAnswer;
    deliver(context, [done = std::move(done), answer] { done(answer); });
}

void FakePermissionProvider::requestSpeechAuthorization(QObject *context,
                                                        std::function<void(SpeechAuthorization)> done)
{
    ++speechRequests;
    const SpeechAuthorization answer = speechAnswer;
    deliver(context, [done = std::move(done), answer] { done(answer); });
}

void FakePermissionProvider::deliver(QObject *context, std::function<void()> answer)
{
    QPointer<QObject> guard(context);
    auto send = [guard, answer = std::move(answer)]() mutable {
        if (guard)
            answerLater(guard.data(), std::move(answer));
    };
    if (holdAnswers)
        m_held.push_back(std::move(send));
    else
        send();
}

void FakePermissionProvider::releaseHeld()
{
    auto held = std::exchange(m_held, {});
    for (auto &send : held)
        send();
}

bool SystemProgramLauncher::isAvailable(const QString &program) const
{
    return !QStandardPaths::findExecutable(program).isEmpty();
}

void SystemProgramLauncher::launchDetached(const QString &program, const QStringList &arguments)
{
    (void)QProcess::startDetached(program, arguments);
}

QString openSoundInputSettings(ProgramLauncher &launcher)
{
    // The sound-input page where a known program has one, then a desktop's
    // general settings.
    static const SettingsCandidate candidates[] = {
        {"pavucontrol", {QStringLiteral("--tab=4")}},
        {"gnome-control-center", {QStringLiteral("sound")}},
        {"systemsettings", {QStringLiteral("kcm_pulseaudio")}},
        {"xfce4-settings-manager", {}},
        {"mate-control-center", {}},
    };
    for (const auto &candidate : candidates) {
        const QString program = QString::fromLatin1(candidate.program);
        if (!launcher.isAvailable(program))
            continue;
        launcher.launchDetached(program, candidate.arguments);
        return program;
    }
    return {};
}

} // namespace zn
