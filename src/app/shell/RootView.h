#pragma once

#include "views/workspace/window/JournalWorkspaceView.h"

#include <QPointer>
#include <QWidget>

#include <functional>

class QStackedLayout;

namespace zn {

class AppSettings;
class CapabilityDetector;

// The main window's content: the onboarding until it is done, the journal
// from then on, switching the moment the settings flag changes. Each time
// the content is shown (not when a minimised window comes back) it refreshes
// the capability detector and reports appeared().
class RootView : public QWidget
{
    Q_OBJECT
public:
    using WorkspaceFactory = std::function<JournalWorkspaceView *(QWidget *parent)>;
    using OnboardingFactory = std::function<QWidget *(QWidget *parent)>;

    RootView(AppSettings &settings, CapabilityDetector *capability, WorkspaceFactory makeWorkspace,
             OnboardingFactory makeOnboarding, QWidget *parent = nullptr);

    // Null while the onboarding shows.
    JournalWorkspaceView *workspace() const { return m_workspace; }
    QWidget *onboarding() const { return m_onboarding; }
    // The window title for what is shown now.
    QString title() const { return m_title; }

Q_SIGNALS:
    void appeared();
    // The window title for what is shown now.
    void titleChanged(const QString &title);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void showContent();
    void setTitle(const QString &title);

    QPointer<AppSettings> m_settings;
    QPointer<CapabilityDetector> m_capability;
    WorkspaceFactory m_makeWorkspace;
    OnboardingFactory m_makeOnboarding;
    QStackedLayout *m_stack;
    QPointer<JournalWorkspaceView> m_workspace;
    QPointer<QWidget> m_onboarding;
    QString m_title = QStringLiteral("Zephyrnote");
};

} // namespace zn
