#include "views/voice/VoiceModeView.h"

#include "app/marks/MarkWidgets.h"
#include "app/theme/SystemAppearance.h"
#include "app/theme/ThemeScope.h"
#include "views/kit/QtDialogPresenter.h"
#include "views/voice/VoiceControls.h"
#include "views/voice/VoiceOrb.h"
#include "views/voice/VoiceStage.h"
#include "views/voice/VoiceText.h"
#include "views/voice/VoiceTranscript.h"
#include "views/workspace/state/ShortcutRouter.h"
#include "voice/VoiceRecordingSession.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QShortcut>
#include <QShowEvent>

namespace zn {

namespace {

const QKeySequence kStartKey(Qt::CTRL | Qt::Key_R);
const QKeySequence kSaveKey(Qt::CTRL | Qt::Key_S);
const QKeySequence kStopKey(Qt::Key_Escape);

} // namespace

VoiceModeView::VoiceModeView(VoiceRecordingSession &session, VoiceModeCallbacks callbacks,
                             VoiceModeEnvironment environment, QWidget *parent)
    : QWidget(parent)
    , m_session(&session)
    , m_callbacks(std::move(callbacks))
    , m_environment(std::move(environment))
    , m_router(m_environment.shortcuts)
    , m_stage(new VoiceStage)
    , m_transcript(new TranscriptColumn)
{
    setObjectName(QStringLiteral("voiceModeView"));
    // Clicks on the empty stage keep the keyboard in the screen, so Escape
    // still reaches it.
    setFocusPolicy(Qt::ClickFocus);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(m_stage, 1);
    row->addWidget(m_transcript, 1);

    connect(m_stage->tray(), &VoiceControlsTray::triggered, this, &VoiceModeView::trigger);
    connect(m_transcript->body()->editor(), &TranscriptEditor::edited, this, [this](const QString &text) {
        if (m_session && transcriptBodyMode(m_session->phase()) == TranscriptBodyMode::Editor)
            m_session->setTranscript(text);
    });

    m_reduceMotion = ThemeScope::accessibilityFor(this).reduceMotion;
    bindSession();
    if (m_router)
        claimKeys();
    applyReduceMotion();
    applyPhase();
}

VoiceModeView::~VoiceModeView()
{
    // Torn down while shown (the window replacing its page): leaving all the
    // same.
    if (m_onScreen)
        disappear();
    if (m_router)
        for (int id : std::as_const(m_claims))
            m_router->release(id);
}

void VoiceModeView::bindSession()
{
    VoiceRecordingSession *s = m_session;
    connect(s, &VoiceRecordingSession::phaseChanged, this, &VoiceModeView::applyPhase);
    connect(s, &VoiceRecordingSession::transcriptChanged, this, &VoiceModeView::applyTranscript);
    connect(s, &VoiceRecordingSession::energyChanged, this, &VoiceModeView::applyEnergy);
    connect(s, &VoiceRecordingSession::durationChanged, this, &VoiceModeView::applyStageRows);
    connect(s, &VoiceRecordingSession::statusMessageChanged, this, &VoiceModeView::applyStageRows);
    connect(s, &VoiceRecordingSession::softLimitNudgeVisibleChanged, this, &VoiceModeView::applyStageRows);
    connect(s, &VoiceRecordingSession::backendLabelChanged, this, &VoiceModeView::applyStageRows);
    connect(s, &VoiceRecordingSession::liveWeatherChanged, this, &VoiceModeView::applyStageRows);
    connect(s, &VoiceRecordingSession::liveSentimentChanged, this, &VoiceModeView::applyMood);
    // The session going first (it should not) leaves a still screen.
    connect(s, &QObject::destroyed, this, [this] { setEnabled(false); });
}

void VoiceModeView::claimKeys()
{
    // Called when built with a router, else on first showing, when the
    // screen sits in its window and the window's router can be found.
    if (m_keysClaimed)
        return;
    m_keysClaimed = true;
    if (!m_router)
        m_router = ShortcutRouter::find(this);
    const auto start = [this] { pressStartKey(); };
    const auto save = [this] { pressSaveKey(); };
    const auto stop = [this] { pressStopKey(); };
    if (m_router) {
        m_claims = {m_router->claim(kStartKey, this, start), m_router->claim(kSaveKey, this, save),
                    m_router->claim(kStopKey, this, stop)};
        return;
    }
    // On its own (no window menu owns these keys).
    const std::pair<QKeySequence, std::function<void()>> keys[] = {{kStartKey, start}, {kSaveKey, save},
                                                                   {kStopKey, stop}};
    for (const auto &[key, handler] : keys) {
        auto *shortcut = new QShortcut(key, this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, handler);
    }
}

// --- applying the session's state --------------------------------------------

void VoiceModeView::applyPhase()
{
    if (!m_session)
        return;
    const VoicePhase phase = m_session->phase();
    m_stage->title()->setText(voiceStatusTitle(phase));
    m_stage->orb()->setPhase(phase);
    m_transcript->body()->setMode(transcriptBodyMode(phase));
    m_transcript->setLive(phase == VoicePhase::recording);
    applyTranscript();
    applyEnergy();
    applyMood();
    applyStageRows();
    // A discard question belongs to the review it was asked in.
    if (phase != VoicePhase::reviewing && m_showDiscardConfirm)
        m_showDiscardConfirm = false;
    // A recording started from the menu or the sidebar leaves the keyboard
    // elsewhere; Escape must reach the screen to stop it.
    if (phase == VoicePhase::recording && m_onScreen) {
        QWidget *focus = QApplication::focusWidget();
        if (!focus || (focus != this && !isAncestorOf(focus)))
            setFocus(Qt::OtherFocusReason);
    }
}

void VoiceModeView::applyStageRows()
{
    if (!m_session)
        return;
    const VoicePhase phase = m_session->phase();
    const VoiceStageRows rows = voiceStageRows(phase, m_session->statusMessage(),
                                               m_session->softLimitNudgeVisible(), m_session->backendLabel());
    m_stage->elapsed()->setVisible(rows.elapsedAndWeather);
    if (rows.elapsedAndWeather) {
        m_stage->elapsed()->setText(voiceElapsedText(m_session->duration()));
        m_stage->setWeather(m_session->liveWeather(), m_session->liveSentiment());
    } else {
        m_stage->setWeather(std::nullopt, 0.0);
    }
    m_stage->message()->setText(rows.statusMessage.value_or(QString()));
    m_stage->message()->parentWidget()->setVisible(rows.statusMessage.has_value());
    m_stage->nudge()->parentWidget()->setVisible(rows.softLimitNudge);
    m_stage->backend()->setText(m_session->backendLabel());
    m_stage->backend()->setVisible(rows.backendLabel);
}

void VoiceModeView::applyTranscript()
{
    if (!m_session)
        return;
    const QString text = m_session->transcript();
    m_transcript->body()->editor()->showText(text);
    m_stage->tray()->setRow(voiceControlsRow(m_session->phase(), text));
}

void VoiceModeView::applyEnergy()
{
    if (m_session)
        m_stage->orb()->setEnergy(m_session->energy());
}

void VoiceModeView::applyMood()
{
    if (m_session)
        m_stage->setMood(m_session->liveSentiment());
}

void VoiceModeView::applyReduceMotion()
{
    m_reduceMotion = ThemeScope::accessibilityFor(this).reduceMotion;
    m_stage->orb()->setReduceMotion(m_reduceMotion);
    m_stage->tray()->setReduceMotion(m_reduceMotion);
    // Breathing starts on screen, and only where motion is welcome.
    m_stage->orb()->setBreath(m_onScreen && !m_reduceMotion);
}

bool VoiceModeView::breath() const
{
    return m_stage->orb()->breath();
}

// --- coming and going ---------------------------------------------------------

void VoiceModeView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous() && !m_onScreen)
        appear();
}

void VoiceModeView::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous() && m_onScreen)
        disappear();
}

void VoiceModeView::appear()
{
    m_onScreen = true;
    claimKeys();
    if (m_session && m_environment.modelContext)
        m_session->setModelContext(m_environment.modelContext);
    if (ThemeScope *scope = ThemeScope::find(this))
        connect(scope, &ThemeScope::accessibilityChanged, this, &VoiceModeView::applyReduceMotion,
                Qt::UniqueConnection);
    else
        connect(&SystemAppearance::shared(), &SystemAppearance::changed, this, &VoiceModeView::applyReduceMotion,
                Qt::UniqueConnection);
    applyReduceMotion();
    applyPhase();
    // The keys work from the moment the screen shows.
    QWidget *focus = QApplication::focusWidget();
    if (!focus || !focus->isVisible() || window() != focus->window())
        setFocus(Qt::OtherFocusReason);
}

void VoiceModeView::disappear()
{
    m_onScreen = false;
    m_stage->orb()->setBreath(false);
    // Words spoken so far are kept for review rather than lost. The stop
    // runs as a task of its own: the screen may be in the middle of being
    // hidden or torn down, no moment to rebuild its rows.
    if (m_session && m_session->phase() == VoicePhase::recording)
        QMetaObject::invokeMethod(m_session, [session = m_session] {
            if (session && session->phase() == VoicePhase::recording)
                session->stop();
        }, Qt::QueuedConnection);
}

// --- controls -------------------------------------------------------------------

void VoiceModeView::trigger(VoiceControlAction action)
{
    if (!m_session)
        return;
    // Only what the current row offers, and only while it is enabled: a
    // click that arrives after the phase moved on does nothing.
    const VoiceControlsRow row = voiceControlsRow(m_session->phase(), m_session->transcript());
    const auto offered = std::find_if(row.buttons.cbegin(), row.buttons.cend(),
                                      [action](const VoiceControl &c) { return c.action == action; });
    if (offered == row.buttons.cend() || !offered->enabled)
        return;

    switch (action) {
    case VoiceControlAction::Start:
        m_session->start();
        break;
    case VoiceControlAction::WriteInstead:
        writeInstead();
        break;
    case VoiceControlAction::OpenMicrophoneSettings:
        if (m_environment.openMicrophoneSettings)
            m_environment.openMicrophoneSettings();
        else
            VoiceRecordingSession::openMicrophoneSettings();
        break;
    case VoiceControlAction::Stop:
        m_session->stop();
        break;
    case VoiceControlAction::Save:
        save();
        break;
    case VoiceControlAction::ReRecord:
        m_session->retry();
        break;
    case VoiceControlAction::DiscardAfterReview:
        askToDiscard();
        break;
    case VoiceControlAction::ResumeRecording:
        m_session->resumeAfterDeviceChange();
        break;
    case VoiceControlAction::KeepTextAndEdit:
        m_session->keepTextAfterDeviceChange();
        break;
    case VoiceControlAction::DiscardAfterDeviceChange:
        discardRecording();
        break;
    }
}

void VoiceModeView::pressStartKey()
{
    if (m_session && startKeyActive(m_session->phase()))
        trigger(VoiceControlAction::Start);
}

void VoiceModeView::pressStopKey()
{
    if (m_session && stopKeyActive(m_session->phase()))
        trigger(VoiceControlAction::Stop);
}

void VoiceModeView::pressSaveKey()
{
    if (m_session && saveKeyActive(m_session->phase(), m_session->transcript()))
        trigger(VoiceControlAction::Save);
}

void VoiceModeView::writeInstead()
{
    if (m_callbacks.onWriteInstead)
        m_callbacks.onWriteInstead();
}

void VoiceModeView::save()
{
    QPointer<VoiceModeView> self(this);
    m_session->save([self](std::optional<QUuid> id) {
        // Nothing saved: the session keeps its text and says why itself.
        if (!self || !id)
            return;
        const auto saved = self->m_callbacks.onSavedEntry;
        if (saved)
            saved(*id);
    });
}

void VoiceModeView::askToDiscard()
{
    if (m_showDiscardConfirm)
        return;
    DialogPresenter *dialogs = m_environment.dialogs;
    if (!dialogs) {
        if (!m_ownDialogs)
            m_ownDialogs = std::make_unique<QtDialogPresenter>(window());
        dialogs = m_ownDialogs.get();
    }
    m_showDiscardConfirm = true;
    ConfirmationRequest request{QStringLiteral("Discard this recording?"),
                                QStringLiteral("Your transcript will be lost."),
                                {{QStringLiteral("Discard"), DialogButtonRole::Destructive},
                                 {QStringLiteral("Keep"), DialogButtonRole::Cancel}}};
    QPointer<VoiceModeView> self(this);
    dialogs->confirm(request, [self](int answer) {
        if (!self)
            return;
        const bool wasAsking = self->m_showDiscardConfirm;
        self->m_showDiscardConfirm = false;
        // Only a question still open is answered: after the review ended
        // some other way there is nothing left to discard.
        if (answer == 0 && wasAsking)
            self->discardRecording();
    });
}

void VoiceModeView::discardRecording()
{
    QPointer<VoiceRecordingSession> session(m_session);
    m_session->cancel([session] {
        // Only the failure this discard recorded: a new recording started
        // meanwhile may have one of its own.
        if (session && session->failure() == VoiceRecordingFailure::cancelled)
            session->clearFailure();
    });
}

} // namespace zn
