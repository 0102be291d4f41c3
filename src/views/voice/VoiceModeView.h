#pragma once

#include "views/voice/VoiceScreenLogic.h"
#include "voice/VoiceRecordingSession.h"

#include <QPointer>
#include <QUuid>
#include <QWidget>

#include <functional>
#include <memory>

namespace zn {

class DialogPresenter;
class ModelContext;
class ShortcutRouter;
class TranscriptColumn;
class VoiceStage;

// What the dictation screen hands back to the window around it.
struct VoiceModeCallbacks
{
    // "Write instead": the window takes the dictated text into a typed draft.
    std::function<void()> onWriteInstead;
    // A dictation was saved as this entry; the window opens it.
    std::function<void(const QUuid &)> onSavedEntry;
};

// Where the screen finds the rest of the window; every member may be null.
struct VoiceModeEnvironment
{
    // Handed to the session each time the screen comes into view.
    ModelContext *modelContext = nullptr;
    // The window's single owner of shortcuts; when none is given the screen
    // uses the one its window keeps as a direct child, and without any it
    // makes its own shortcuts for Ctrl+R, Ctrl+S and Escape.
    ShortcutRouter *shortcuts = nullptr;
    // Asks "Discard this recording?"; without one, window-modal message
    // boxes over this screen's window.
    DialogPresenter *dialogs = nullptr;
    // "Open Sound Settings"; empty opens the desktop's sound settings.
    std::function<void()> openMicrophoneSettings;
};

// The dictation screen: the stage with the orb, status and controls on the
// left, the transcript on the right. It draws the session's state and calls
// its operations; the recording logic is all the session's. The session is
// not owned and must outlive the screen (the window owns both).
//
// While shown it takes Ctrl+R (start, where a recording may start), Ctrl+S
// (save a reviewed transcript) and Escape (stop a recording); in other phases
// those keys do nothing here. Leaving the screen during a recording stops it
// into review, keeping the words.
class VoiceModeView : public QWidget
{
    Q_OBJECT
public:
    VoiceModeView(VoiceRecordingSession &session, VoiceModeCallbacks callbacks, VoiceModeEnvironment environment = {},
                  QWidget *parent = nullptr);
    ~VoiceModeView() override;

    VoiceRecordingSession &session() const { return *m_session; }
    VoiceStage *stage() const { return m_stage; }
    TranscriptColumn *transcriptColumn() const { return m_transcript; }

    // Runs a control as its button would (the keys and tests use this too).
    void trigger(VoiceControlAction action);
    // The keys, as the shortcuts deliver them.
    void pressStartKey();
    void pressStopKey();
    void pressSaveKey();

    bool showDiscardConfirm() const { return m_showDiscardConfirm; }
    bool breath() const;
    bool reduceMotion() const { return m_reduceMotion; }

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void bindSession();
    void applyPhase();
    void applyStageRows();
    void applyTranscript();
    void applyEnergy();
    void applyMood();
    void applyReduceMotion();
    void claimKeys();
    void appear();
    void disappear();
    void askToDiscard();
    void discardRecording();
    void save();
    void writeInstead();

    QPointer<VoiceRecordingSession> m_session;
    VoiceModeCallbacks m_callbacks;
    VoiceModeEnvironment m_environment;
    QPointer<ShortcutRouter> m_router;
    std::unique_ptr<DialogPresenter> m_ownDialogs;
    VoiceStage *m_stage;
    TranscriptColumn *m_transcript;
    QList<int> m_claims;
    bool m_reduceMotion = false;
    bool m_showDiscardConfirm = false;
    bool m_onScreen = false;
    bool m_keysClaimed = false;
};

} // namespace zn
