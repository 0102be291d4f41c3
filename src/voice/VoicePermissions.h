#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace zn {

enum class MicrophoneAuthorization { notDetermined, restricted, denied, authorized };
enum class SpeechAuthorization { notDetermined, denied, restricted, authorized };

// Whether this user may dictate: microphone access and speech recognition.
// Answers always arrive later on `context`'s thread (never inside the call)
// and are dropped when `context` is gone.
class PermissionProvider
{
public:
    virtual ~PermissionProvider() = default;

    virtual MicrophoneAuthorization microphoneStatus() const = 0;
    // Prompts the user; answers whether access was granted.
    virtual void requestMicrophoneAccess(QObject *context, std::function<void(bool granted)> done) = 0;
    virtual void requestSpeechAuthorization(QObject *context,
                                            std::function<void(SpeechAuthorization)> done) = 0;
};

// On a Linux desktop any process of the user may open the microphone, and
// recognition runs in this process: both are always authorized.
class SystemPermissionProvider final : public PermissionProvider
{
public:
    MicrophoneAuthorization microphoneStatus() const override { return MicrophoneAuthorization::authorized; }
    void requestMicrophoneAccess(QObject *context, std::function<void(bool)> done) override;
    void requestSpeechAuthorization(QObject *context, std::function<void(SpeechAuthorization)> done) override;
};

// Scripted answers for tests; counts every prompt.
class FakePermissionProvider final : public PermissionProvider
{
public:
    MicrophoneAuthorization microphone = MicrophoneAuthorization::authorized;
    bool microphoneAnswer = true; // what the user answers to the prompt
    SpeechAuthorization speechAnswer = SpeechAuthorization::authorized;
    // Answers are held until releaseHeld() instead of being delivered.
    bool holdAnswers = false;

    int microphonePrompts = 0;
    int speechRequests = 0;

    MicrophoneAuthorization microphoneStatus() const override { return microphone; }
    void requestMicrophoneAccess(QObject *context, std::function<void(bool)> done) override;
    void requestSpeechAuthorization(QObject *context, std::function<void(SpeechAuthorization)> done) override;

    // Delivers every held answer (later, on the contexts' threads).
    void releaseHeld();
    int heldCount() const { return int(m_held.size()); }

private:
    void deliver(QObject *context, std::function<void()> answer);
    std::vector<std::function<void()>> m_held;
};

// Starts desktop programs. Behind an interface so tests never launch any.
class ProgramLauncher
{
public:
    virtual ~ProgramLauncher() = default;
    // The program can be found on PATH.
    virtual bool isAvailable(const QString &program) const = 0;
    // Starts it detached; the outcome is not waited for.
    virtual void launchDetached(const QString &program, const QStringList &arguments) = 0;
};

class SystemProgramLauncher final : public ProgramLauncher
{
public:
    bool isAvailable(const QString &program) const override;
    void launchDetached(const QString &program, const QStringList &arguments) override;
};

// Opens the desktop's sound-input settings where a known program for them is
// installed, else the general settings, else nothing. Returns the program
// launched, or an empty string.
QString openSoundInputSettings(ProgramLauncher &launcher);

} // namespace zn
