#include "views/workspace/timeline/TimelineLayout.h"

#include "app/marks/MarkPainting.h"
#include "app/marks/TextStyles.h"
#include "app/marks/WeatherMarks.h"
#include "platform/symbols/SymbolLibrary.h"

#include <cmath>

namespace zn {
namespace {

QFont headerFontWithTracking()
{
    QFont font = textStyleFont(TextStyle::Caption, FontWeight::Bold);
    font.setLetterSpacing(QFont::AbsoluteSpacing, TimelineLayout::kHeaderTracking);
    return font;
}

} // namespace

TimelineLayout::TimelineLayout()
    : m_timeFont(textStyleFont(TextStyle::Caption, FontWeight::Semibold))
    , m_weatherSymbolFont(textStyleFont(TextStyle::Caption, FontWeight::Semibold))
    , m_weatherTitleFont(textStyleFont(TextStyle::Caption, FontWeight::Medium))
    , m_titleFont(textStyleFont(TextStyle::Body, FontWeight::Medium))
    , m_headerFont(headerFontWithTracking())
    , m_timeMetrics(m_timeFont)
    , m_weatherMetrics(m_weatherTitleFont)
    , m_titleMetrics(m_titleFont)
    , m_headerMetrics(m_headerFont)
    , m_symbolBox(symbolBoxForFontPixelSize(m_weatherSymbolFont.pixelSize()))
{
    m_topRowHeight = std::max({m_timeMetrics.height(), m_weatherMetrics.height(), m_symbolBox});
    m_chipRowHeight = keywordChipSize(QStringLiteral("x"), false).height();
}

int TimelineLayout::headerHeight() const
{
    return int(std::ceil(kHeaderTop + m_headerMetrics.height() + kHeaderBottom));
}

qreal TimelineLayout::titleAdvance(const QString &title) const
{
    return m_titleMetrics.horizontalAdvance(title);
}

int TimelineLayout::titleLines(const QString &title, qreal width) const
{
    // A title wider than one line wraps; the card shows at most two lines.
    return titleLinesFor(titleAdvance(title), width);
}

QRectF TimelineLayout::cardRect(const QRect &rowContent)
{
    return QRectF(rowContent).adjusted(kCardInsetH, 0, -kCardInsetH, 0);
}

int TimelineLayout::cardHeight(const EntryCardFace &face, int rowWidth, qreal advance) const
{
    const qreal contentWidth = rowWidth - 2 * kCardInsetH - kStripeWidth - kContentLead - kContentTrail;
    if (advance < 0)
        advance = titleAdvance(face.title);
    qreal height = 2 * kContentV + topRowHeight() + kContentSpacing
                   + titleLinesFor(advance, contentWidth) * m_titleMetrics.lineSpacing();
    if (!face.chips.isEmpty())
        height += kContentSpacing + chipRowHeight();
    return int(std::ceil(height));
}

TimelineLayout::CardParts TimelineLayout::cardParts(const EntryCardFace &face, const QRectF &card) const
{
    CardParts parts;
    parts.card = card;
    parts.stripe = QRectF(card.left(), card.top() + kStripeInsetV, kStripeWidth, card.height() - 2 * kStripeInsetV);
    const qreal left = card.left() + kStripeWidth + kContentLead;
    const qreal right = card.right() - kContentTrail;
    const qreal width = std::max<qreal>(0, right - left);
    qreal y = card.top() + kContentV;

    // Top row: time on the left, the weather pinned to the right, both on
    // one baseline.
    const qreal rowHeight = topRowHeight();
    const qreal ascent = std::max(m_timeMetrics.ascent(), m_weatherMetrics.ascent());
    const qreal descent = std::max(m_timeMetrics.descent(), m_weatherMetrics.descent());
    parts.topBaseline = y + (rowHeight - (ascent + descent)) / 2 + ascent;
    const QString weatherText = weatherTitle(face.weather);
    const qreal symbolBox = m_symbolBox;
    const qreal titleWidth = std::ceil(m_weatherMetrics.horizontalAdvance(weatherText));
    parts.weatherTitle = QRectF(right - titleWidth, y, titleWidth, rowHeight);
    parts.weatherSymbol = QRectF(parts.weatherTitle.left() - kWeatherSpacing - symbolBox,
                                 y + (rowHeight - symbolBox) / 2, symbolBox, symbolBox);
    parts.timeRect = QRectF(left, y, std::max<qreal>(0, parts.weatherSymbol.left() - kTopRowSpacing - left), rowHeight);
    y += rowHeight + kContentSpacing;

    parts.titleLines = titleLines(face.title, width);
    const qreal titleHeight = parts.titleLines * m_titleMetrics.lineSpacing();
    parts.titleRect = QRectF(left, y, width, titleHeight);
    y += titleHeight;

    if (!face.chips.isEmpty()) {
        y += kContentSpacing;
        qreal x = left;
        for (const QString &word : face.chips) {
            const QSizeF size = keywordChipSize(word, face.chipsEmphasized);
            const qreal room = right - x;
            if (room <= 2 * 9) // not even the capsule's padding fits
                break;
            parts.chips.append(QRectF(x, y, std::min(size.width(), room), size.height()));
            x += size.width() + kChipSpacing;
        }
    }
    return parts;
}

} // namespace zn
