#include "views/onboarding/OnboardingModel.h"

#include "app/settings/AppSettings.h"

#include <algorithm>

namespace zn {

OnboardingModel::OnboardingModel(AppSettings &settings, std::function<void()> onFinished, QObject *parent)
    : QObject(parent)
    , m_settings(&settings)
    , m_onFinished(std::move(onFinished))
{
}

QString OnboardingModel::primaryTitle() const
{
    return m_step >= kReadyStep ? QStringLiteral("Open your journal") : QStringLiteral("Continue");
}

void OnboardingModel::advance()
{
    if (m_step > kClimateStep) {
        // The flag is on disk before the builder swaps the journal in, so a
        // crash in between never shows the steps again.
        if (m_settings)
            m_settings->setHasCompletedOnboarding(true);
        // The builder may drop this view as the flag changes: hold the
        // closure for the call.
        const std::function<void()> finished = m_onFinished;
        if (finished)
            finished();
        return;
    }
    setStep(m_step + 1);
}

void OnboardingModel::goBack()
{
    setStep(std::max(kPrivacyStep, m_step - 1));
}

void OnboardingModel::selectPalette(ColorPalettePreference palette)
{
    if (m_settings)
        m_settings->setPalette(palette);
}

void OnboardingModel::setStep(int step)
{
    if (step == m_step)
        return;
    m_step = step;
    Q_EMIT stepChanged(step);
}

QString OnboardingModel::paletteTitle(ColorPalettePreference palette)
{
    return palette == ColorPalettePreference::Cool ? QStringLiteral("Cool") : QStringLiteral("Warm");
}

QString OnboardingModel::paletteCaption(ColorPalettePreference palette)
{
    return palette == ColorPalettePreference::Cool ? QStringLiteral("Glacial spa — mist, clarity, calm distance")
                                                   : QStringLiteral("Ember study — parchment and soft lamp light");
}

QStringList OnboardingModel::privacyLines()
{
    return {QStringLiteral("Journal text is processed on your computer."),
            QStringLiteral("Voice audio is ephemeral — not kept after you save."),
            QStringLiteral("No third-party cloud reading your pages.")};
}

} // namespace zn
