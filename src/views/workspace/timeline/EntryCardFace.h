#pragma once

#include "core/WeatherLabel.h"

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <QTimeZone>

namespace zn {

class JournalEntry;

// Everything a timeline card shows, derived from its entry once and kept
// until the entry changes: the card paints from this, never from the entry.
struct EntryCardFace
{
    static constexpr int kTitleLimit = 48;
    static constexpr int kChipLimit = 2;

    WeatherLabel weather = WeatherLabel::Overcast;
    QString timeText;     // "Mon, Mar 4, 10:05 AM"
    QString title;        // one line, at most 48 characters and "…"
    QStringList chips;    // at most two words
    bool chipsEmphasized = false;
    QString accessibleText; // "Mar 4, 2024, 10:05 AM, Sunny. Title"

    // Times are shown on the user's clock whatever zone the entry was
    // stamped in.
    static EntryCardFace make(const JournalEntry &entry, const QLocale &locale = QLocale(),
                              const QTimeZone &zone = QTimeZone::systemTimeZone());
};

} // namespace zn
