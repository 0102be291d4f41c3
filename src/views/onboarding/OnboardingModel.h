#pragma once

#include "app/settings/AppSettings.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

namespace zn {


// The first-run steps without any widget: privacy (0), climate (1) and
// ready (2). Clicking a palette card stores the palette at once; finishing
// the last step stores the completed flag and only then calls `onFinished`.
// Main thread only.
class OnboardingModel : public QObject
{
    Q_OBJECT
public:
    static constexpr int kPrivacyStep = 0;
    static constexpr int kClimateStep = 1;
    static constexpr int kReadyStep = 2;

    OnboardingModel(AppSettings &settings, std::function<void()> onFinished, QObject *parent = nullptr);

    int step() const { return m_step; }
    bool showsBack() const { return m_step >= 1; }
    QString primaryTitle() const;
    AppSettings *settings() const { return m_settings; }

    // Continue / Open your journal (also Return).
    void advance();
    // Back: one step towards the privacy step.
    void goBack();
    // A palette card: written every time, even when it is already chosen.
    void selectPalette(ColorPalettePreference palette);

    // The card texts, shown verbatim.
    static QString paletteTitle(ColorPalettePreference palette);
    static QString paletteCaption(ColorPalettePreference palette);
    static QStringList privacyLines();

Q_SIGNALS:
    void stepChanged(int step);

private:
    void setStep(int step);

    QPointer<AppSettings> m_settings;
    std::function<void()> m_onFinished;
    int m_step = kPrivacyStep;
};

} // namespace zn
