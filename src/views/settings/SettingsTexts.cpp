#include "views/settings/SettingsTexts.h"

#include <QtGlobal>

namespace zn::settings_texts {

StatusText availabilityStatus(CapabilityDetector::Availability availability)
{
    using A = CapabilityDetector::Availability;
    switch (availability) {
    case A::Available:
        return {QStringLiteral("Ready"), StatusTone::Green};
    case A::UnsupportedPlatform:
        return {QStringLiteral("Unsupported system"), StatusTone::Secondary};
    case A::DeviceNotEligible:
        return {QStringLiteral("Not eligible"), StatusTone::Secondary};
    case A::NotEnabled:
        return {QStringLiteral("Model switched off"), StatusTone::Orange};
    case A::ModelNotReady:
        return {QStringLiteral("Model not ready"), StatusTone::Orange};
    case A::FrameworkUnavailable:
        break;
    }
    return {QStringLiteral("Unavailable"), StatusTone::Secondary};
}

StatusText accountStatus()
{
    return {QStringLiteral("Local only"), StatusTone::Secondary};
}

QString accountDetail()
{
    return QStringLiteral("There is no cloud sync here. Entries stay on this computer.");
}

QString storeLabel()
{
    return QStringLiteral("On-device only");
}

QString architectureLabel()
{
#if defined(Q_PROCESSOR_ARM_64)
    return QStringLiteral("64-bit ARM (arm64)");
#elif defined(Q_PROCESSOR_X86_64)
    return QStringLiteral("64-bit x86 (x86_64)");
#else
    // Neither of the two builds the texts name: say what it is.
    return Q_PROCESSOR_WORDSIZE == 8 ? QStringLiteral("Other (64-bit)") : QStringLiteral("Other (32-bit)");
#endif
}

StatusText serverAnswer(const std::optional<lm::Availability> &state)
{
    if (!state)
        return {QStringLiteral("Not asked yet"), StatusTone::Secondary};
    if (state->available)
        return {QStringLiteral("Available"), StatusTone::Green};
    switch (state->reason) {
    case lm::UnavailableReason::NoServer:
        return {QStringLiteral("Not answering"), StatusTone::Secondary};
    case lm::UnavailableReason::ModelNotReady:
        return {QStringLiteral("Model not ready"), StatusTone::Orange};
    case lm::UnavailableReason::Other:
        break;
    }
    return {QStringLiteral("Error"), StatusTone::Orange};
}

QString enhancedAnalysisTitle()
{
    return QStringLiteral("Enhanced analysis (local language model)");
}

QString modelStatusHeader()
{
    return QStringLiteral("Local language model status");
}

QString modelRequirementCaption()
{
    return QStringLiteral("Reflections need a compatible language model server running on this computer at the "
                          "address above (ZEPHYRNOTE_MODEL_URL sets another). Without one, journaling still works, "
                          "but enhanced reflections stay off.");
}

QString privacyPromiseSummary()
{
    return QStringLiteral("Journal text stays on this computer (there is no cloud sync here). Voice audio is "
                          "ephemeral. Local language model reflections, when used, are on-device only. No "
                          "third-party cloud AI reads your pages.");
}

QString cloudSectionHeader()
{
    return QStringLiteral("Cloud sync");
}

QString importCaption()
{
    return QStringLiteral("Merges a Zephyrnote export JSON into this library. Matching IDs are updated; new IDs are "
                          "added. Entries only on this computer that aren’t in the file are left alone.");
}

QString deleteAllCaption()
{
    return QStringLiteral("Removes all entries and cached weekly reflections from this computer permanently.");
}

QString appearanceTitle(AppearancePreference appearance)
{
    switch (appearance) {
    case AppearancePreference::Light:
        return QStringLiteral("Light");
    case AppearancePreference::Dark:
        return QStringLiteral("Dark");
    case AppearancePreference::System:
        break;
    }
    return QStringLiteral("System");
}

QString paletteTitle(ColorPalettePreference palette)
{
    return palette == ColorPalettePreference::Cool ? QStringLiteral("Cool") : QStringLiteral("Warm");
}

QString paletteCaption(ColorPalettePreference palette)
{
    return palette == ColorPalettePreference::Cool ? QStringLiteral("Glacial spa — mist, clarity, calm distance")
                                                   : QStringLiteral("Ember study — parchment and soft lamp light");
}

} // namespace zn::settings_texts
