#pragma once

#include "views/workspace/timeline/EntryCardFace.h"

#include <QFont>
#include <QFontMetricsF>
#include <QList>
#include <QRectF>

namespace zn {

// Sizes and places of the timeline's rows, from fonts alone (no widget), so
// heights can be asked for thousands of rows without painting them.
//
// Each row owns the gap above it: 4 above the first row, 8 between rows and
// 20 under the last, the list's own padding and spacing.
class TimelineLayout
{
public:
    static constexpr int kListTop = 4;
    static constexpr int kListBottom = 20;
    static constexpr int kRowSpacing = 8;
    static constexpr int kCardInsetH = 10;    // row padding around a card
    static constexpr int kHeaderInsetH = 14;  // row padding around a heading
    static constexpr qreal kCornerRadius = 12;
    static constexpr qreal kStripeWidth = 4;
    static constexpr qreal kStripeInsetV = 2;
    static constexpr qreal kContentLead = 12;
    static constexpr qreal kContentTrail = 12;
    static constexpr qreal kContentV = 11;
    static constexpr qreal kContentSpacing = 7;
    static constexpr qreal kTopRowSpacing = 8;
    static constexpr qreal kWeatherSpacing = 4;
    static constexpr qreal kChipSpacing = 6;
    static constexpr qreal kHeaderTop = 10;
    static constexpr qreal kHeaderBottom = 4;
    static constexpr qreal kHeaderSide = 4;
    static constexpr qreal kHeaderTracking = 0.6;
    static constexpr int kTitleMaxLines = 2;

    TimelineLayout();

    const QFont &timeFont() const { return m_timeFont; }
    const QFont &weatherSymbolFont() const { return m_weatherSymbolFont; }
    const QFont &weatherTitleFont() const { return m_weatherTitleFont; }
    const QFont &titleFont() const { return m_titleFont; }
    const QFont &headerFont() const { return m_headerFont; }

    // Gaps a row owns above and below its content.
    static int gapAbove(int row) { return row == 0 ? kListTop : kRowSpacing; }
    static int gapBelow(int row, int rowCount) { return row == rowCount - 1 ? kListBottom : 0; }

    // The heading's own height, without the row gaps.
    int headerHeight() const;
    // A card's own height at a row width, without the row gaps. The title's
    // one-line width may be passed when known (negative: measured here), so
    // a new column width costs arithmetic only.
    int cardHeight(const EntryCardFace &face, int rowWidth, qreal titleAdvance = -1) const;
    qreal titleAdvance(const QString &title) const;
    // 1 or 2: whether the title fits one line of the given width.
    int titleLines(const QString &title, qreal width) const;
    static int titleLinesFor(qreal titleAdvance, qreal width) { return titleAdvance <= width ? 1 : kTitleMaxLines; }

    // Where everything of a card goes, given the card's own rectangle.
    struct CardParts
    {
        QRectF card;
        QRectF stripe;
        QRectF timeRect;    // the time text, elided to this width
        qreal topBaseline = 0;
        QRectF weatherSymbol;
        QRectF weatherTitle;
        QRectF titleRect;
        int titleLines = 1;
        QList<QRectF> chips;
    };
    CardParts cardParts(const EntryCardFace &face, const QRectF &card) const;
    // The card's rectangle inside a row's content area.
    static QRectF cardRect(const QRect &rowContent);

private:
    qreal topRowHeight() const { return m_topRowHeight; }
    qreal chipRowHeight() const { return m_chipRowHeight; }

    QFont m_timeFont;
    QFont m_weatherSymbolFont;
    QFont m_weatherTitleFont;
    QFont m_titleFont;
    QFont m_headerFont;
    QFontMetricsF m_timeMetrics;
    QFontMetricsF m_weatherMetrics;
    QFontMetricsF m_titleMetrics;
    QFontMetricsF m_headerMetrics;
    // Measured once: heights are asked for every row at every layout.
    qreal m_topRowHeight = 0;
    qreal m_chipRowHeight = 0;
    qreal m_symbolBox = 0;
};

} // namespace zn
