#pragma once

#include "app/theme/ZephyrTheme.h"
#include "views/workspace/timeline/EntryCardFace.h"
#include "views/workspace/timeline/TimelineLayout.h"

#include <QRectF>
#include <QString>

class QPainter;

namespace zn {

// Painting of the timeline's rows into any painter: the list's delegate, its
// pinned heading and images in tests all draw through these.

// A card in `card` (its own rectangle; the shadow falls outside it).
void paintTimelineCard(QPainter &painter, const TimelineLayout &layout, const EntryCardFace &face,
                       const QRectF &card, bool selected, const ZephyrTheme &theme);

// A day heading over the full row width: its translucent band and the title
// in upper case.
void paintTimelineHeader(QPainter &painter, const TimelineLayout &layout, const QString &title,
                         const QRectF &band, const ZephyrTheme &theme);

// The shadow's look per state, black with these values.
struct CardShadow
{
    qreal opacity;
    qreal radius;
    qreal offsetY;
};
CardShadow cardShadow(bool selected, bool dark);

} // namespace zn
