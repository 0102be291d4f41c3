#include "app/shell/RootView.h"

#include "app/settings/AppSettings.h"
#include "reflections/CapabilityDetector.h"
#include "views/workspace/window/JournalWorkspaceView.h"

#include <QShowEvent>
#include <QStackedLayout>

namespace zn {

RootView::RootView(AppSettings &settings, CapabilityDetector *capability, WorkspaceFactory makeWorkspace,
                   OnboardingFactory makeOnboarding, QWidget *parent)
    : QWidget(parent)
    , m_settings(&settings)
    , m_capability(capability)
    , m_makeWorkspace(std::move(makeWorkspace))
    , m_makeOnboarding(std::move(makeOnboarding))
    , m_stack(new QStackedLayout(this))
{
    m_stack->setContentsMargins(0, 0, 0, 0);
    connect(&settings, &AppSettings::hasCompletedOnboardingChanged, this, &RootView::showContent);
    showContent();
}

void RootView::showContent()
{
    const bool journal = m_settings && m_settings->hasCompletedOnboarding();
    if (journal && !m_workspace) {
        m_workspace = m_makeWorkspace(this);
        m_stack->addWidget(m_workspace);
        connect(m_workspace, &JournalWorkspaceView::titleChanged, this, &RootView::setTitle);
        m_stack->setCurrentWidget(m_workspace);
        if (QWidget *old = m_onboarding) {
            m_onboarding = nullptr;
            m_stack->removeWidget(old);
            old->deleteLater();
        }
        m_workspace->setFocus();
        setTitle(m_workspace->workspace().windowTitle());
    } else if (!journal && !m_onboarding) {
        m_onboarding = m_makeOnboarding(this);
        m_stack->addWidget(m_onboarding);
        m_stack->setCurrentWidget(m_onboarding);
        if (QWidget *old = m_workspace) {
            m_workspace = nullptr;
            m_stack->removeWidget(old);
            old->deleteLater();
        }
        m_onboarding->setFocus();
        setTitle(QStringLiteral("Zephyrnote"));
    }
}

void RootView::setTitle(const QString &title)
{
    if (title == m_title)
        return;
    m_title = title;
    Q_EMIT titleChanged(title);
}

void RootView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    if (m_capability)
        m_capability->refresh();
    Q_EMIT appeared();
}

} // namespace zn
