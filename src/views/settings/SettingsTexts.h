#pragma once

#include "app/settings/AppearancePreference.h"
#include "app/shell/ICloudAccountMonitor.h"
#include "reflections/CapabilityDetector.h"

#include <QString>

namespace zn {

// The colour a status value is drawn in.
enum class StatusTone { Green, Orange, Secondary };

struct StatusText
{
    QString text;
    StatusTone tone = StatusTone::Secondary;
    friend bool operator==(const StatusText &, const StatusText &) = default;
};

// The settings window's computed texts, without any widget.
namespace settings_texts {

// "Ready" in green … "Unavailable"; any value outside the six cases reads
// as "Unavailable".
StatusText availabilityStatus(CapabilityDetector::Availability availability);

// The account line, by the account status alone; an unknown value reads as
// "iCloud status unknown".
StatusText accountStatus(CloudAccountStatus status);
// The caption under it: the on-device text whenever the cloud store is not
// in use, else one per account status.
QString accountDetail(bool usesCloudKit, CloudAccountStatus status);
QString storeLabel(bool usesCloudKit);

// The processor the program was built for, fixed at build time.
QString architectureLabel();
QString yesNo(bool value);

QString appearanceTitle(AppearancePreference appearance);
QString paletteTitle(ColorPalettePreference palette);
QString paletteCaption(ColorPalettePreference palette);

} // namespace settings_texts
} // namespace zn
