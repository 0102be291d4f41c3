#pragma once

#include "app/settings/AppearancePreference.h"
#include "reflections/CapabilityDetector.h"

#include <QString>

#include <optional>

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

// The texts here say what this system has where a Mac has its own
// services: a local language model server in place of the system's model,
// no cloud sync, this computer.

// Intelligence tab.
// "Ready" in green … "Unavailable"; any value outside the six cases reads
// as "Unavailable".
StatusText availabilityStatus(CapabilityDetector::Availability availability);
// Whether the model server answered at the last refresh: "Available",
// "Model not ready", "Not answering" or "Error".
StatusText serverAnswer(const std::optional<lm::Availability> &state);
// The processor the program was built for, fixed at build time.
QString architectureLabel();
QString enhancedAnalysisTitle();
QString modelStatusHeader();
QString modelRequirementCaption();

// Privacy tab.
QString privacyPromiseSummary();
QString cloudSectionHeader();
// The "Cloud sync" section: this system has no cloud store, so the journal
// is local only and the section says so.
StatusText accountStatus();
QString accountDetail();
QString storeLabel();
QString importCaption();
QString deleteAllCaption();

QString appearanceTitle(AppearancePreference appearance);
QString paletteTitle(ColorPalettePreference palette);
QString paletteCaption(ColorPalettePreference palette);

} // namespace settings_texts
} // namespace zn
