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
        return {QStringLiteral("Unsupported Mac or macOS"), StatusTone::Secondary};
    case A::DeviceNotEligible:
        return {QStringLiteral("Not eligible"), StatusTone::Secondary};
    case A::NotEnabled:
        return {QStringLiteral("Apple Intelligence off"), StatusTone::Orange};
    case A::ModelNotReady:
        return {QStringLiteral("Model not ready"), StatusTone::Orange};
    case A::FrameworkUnavailable:
        break;
    }
    return {QStringLiteral("Unavailable"), StatusTone::Secondary};
}

StatusText accountStatus(CloudAccountStatus status)
{
    switch (status) {
    case CloudAccountStatus::Available:
        return {QStringLiteral("iCloud backup active"), StatusTone::Green};
    case CloudAccountStatus::Restricted:
        return {QStringLiteral("iCloud restricted"), StatusTone::Orange};
    case CloudAccountStatus::NoAccount:
        return {QStringLiteral("Local only"), StatusTone::Secondary};
    case CloudAccountStatus::TemporarilyUnavailable:
        return {QStringLiteral("iCloud temporarily unavailable"), StatusTone::Orange};
    case CloudAccountStatus::CouldNotDetermine:
        break;
    }
    return {QStringLiteral("iCloud status unknown"), StatusTone::Secondary};
}

QString accountDetail(bool usesCloudKit, CloudAccountStatus status)
{
    if (!usesCloudKit)
        return QStringLiteral("This Mac is using an on-device store only (CloudKit did not open). "
                              "Entries stay on this computer.");
    switch (status) {
    case CloudAccountStatus::CouldNotDetermine:
        return QStringLiteral("Could not check iCloud status. Entries remain on this Mac.");
    case CloudAccountStatus::Available:
        return QStringLiteral("Entries can sync to your private iCloud while Zephyrnote is open. Other Macs "
                              "update the next time you open the app there. iPhone sync needs a shared schema "
                              "(not yet).");
    case CloudAccountStatus::Restricted:
        return QStringLiteral("This Mac limits iCloud. Entries remain on this device.");
    case CloudAccountStatus::NoAccount:
        return QStringLiteral("Entries are saved on this Mac only. Sign in to iCloud in System Settings for "
                              "optional private backup across your Macs.");
    case CloudAccountStatus::TemporarilyUnavailable:
        return QStringLiteral("iCloud is unreachable right now. Entries remain on this Mac and can sync when "
                              "available.");
    }
    return QStringLiteral("Entries remain on this Mac.");
}

QString storeLabel(bool usesCloudKit)
{
    return usesCloudKit ? QStringLiteral("CloudKit private") : QStringLiteral("On-device only");
}

QString architectureLabel()
{
#if defined(Q_PROCESSOR_ARM_64)
    return QStringLiteral("Apple Silicon (arm64)");
#elif defined(Q_PROCESSOR_X86_64)
    return QStringLiteral("Intel (x86_64)");
#else
    // Neither of the two builds the texts name: say what it is.
    return Q_PROCESSOR_WORDSIZE == 8 ? QStringLiteral("Other (64-bit)") : QStringLiteral("Other (32-bit)");
#endif
}

QString yesNo(bool value)
{
    return value ? QStringLiteral("Yes") : QStringLiteral("No");
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
