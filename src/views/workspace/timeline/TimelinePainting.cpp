#include "views/workspace/timeline/TimelinePainting.h"

#include "app/marks/MarkPainting.h"
#include "app/marks/WeatherMarks.h"
#include "platform/symbols/SymbolLibrary.h"

#include <QHash>
#include <QImage>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QTextLayout>
#include <qdrawutil.h>

#include <cmath>
#include <vector>

namespace zn {
namespace {

QColor withAlpha(QColor color, qreal alpha)
{
    color.setAlphaF(float(std::clamp<qreal>(alpha, 0, 1)));
    return color;
}

QPainterPath roundedRect(const QRectF &rect, qreal radius)
{
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

// Three box passes over an alpha plane: close to a Gaussian of the given
// standard deviation.
void blurAlpha(std::vector<float> &alpha, int width, int height, qreal sigma)
{
    const int box = std::max(1, int(std::lround(sigma * 0.85)));
    std::vector<float> tmp(alpha.size());
    auto pass = [&](const std::vector<float> &src, std::vector<float> &dst, bool horizontal) {
        const int n = horizontal ? width : height;
        const int lines = horizontal ? height : width;
        for (int line = 0; line < lines; ++line) {
            auto at = [&](int i) -> float {
                i = std::clamp(i, -1, n);
                if (i < 0 || i >= n)
                    return 0.f;
                return horizontal ? src[size_t(line * width + i)] : src[size_t(i * width + line)];
            };
            float sum = 0;
            for (int i = -box; i <= box; ++i)
                sum += at(i);
            for (int i = 0; i < n; ++i) {
                const float value = sum / float(2 * box + 1);
                if (horizontal)
                    dst[size_t(line * width + i)] = value;
                else
                    dst[size_t(i * width + line)] = value;
                sum += at(i + box + 1) - at(i - box);
            }
        }
    };
    for (int i = 0; i < 3; ++i) {
        pass(alpha, tmp, true);
        pass(tmp, alpha, false);
    }
}

// A blurred rounded square whose middle stretches: drawn as nine slices
// around any card, so no row blurs anything while painting.
struct ShadowSprite
{
    QPixmap pixmap;
    int pad = 0;     // logical pixels of blur outside the card
    int margin = 0;  // pad plus the corner
};

const ShadowSprite &shadowSprite(const CardShadow &shadow, qreal dpr)
{
    static QHash<QString, ShadowSprite> cache;
    const QString key = QStringLiteral("%1/%2/%3").arg(shadow.opacity).arg(shadow.radius).arg(dpr);
    auto it = cache.constFind(key);
    if (it != cache.constEnd())
        return *it;

    const qreal sigma = shadow.radius / 2;
    ShadowSprite sprite;
    sprite.pad = int(std::ceil(3 * sigma)) + 1;
    sprite.margin = sprite.pad + int(std::ceil(TimelineLayout::kCornerRadius));
    const int side = 2 * sprite.margin + 2;
    const int px = int(std::ceil(side * dpr));
    QImage mask(px, px, QImage::Format_ARGB32_Premultiplied);
    mask.fill(Qt::transparent);
    {
        QPainter p(&mask);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(dpr, dpr);
        const QRectF body(sprite.pad, sprite.pad, side - 2 * sprite.pad, side - 2 * sprite.pad);
        p.fillPath(roundedRect(body, TimelineLayout::kCornerRadius), Qt::black);
    }
    std::vector<float> alpha(size_t(px) * size_t(px));
    for (int y = 0; y < px; ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(mask.constScanLine(y));
        for (int x = 0; x < px; ++x)
            alpha[size_t(y * px + x)] = float(qAlpha(line[x])) / 255.f;
    }
    blurAlpha(alpha, px, px, sigma * dpr);
    for (int y = 0; y < px; ++y) {
        auto *line = reinterpret_cast<QRgb *>(mask.scanLine(y));
        for (int x = 0; x < px; ++x) {
            const int a = int(std::lround(alpha[size_t(y * px + x)] * shadow.opacity * 255));
            line[x] = qRgba(0, 0, 0, std::clamp(a, 0, 255));
        }
    }
    sprite.pixmap = QPixmap::fromImage(mask);
    sprite.pixmap.setDevicePixelRatio(dpr);
    return *cache.insert(key, sprite);
}

void paintShadow(QPainter &painter, const QRectF &card, const CardShadow &shadow)
{
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const ShadowSprite &sprite = shadowSprite(shadow, dpr);
    const QRectF target = card.adjusted(-sprite.pad, -sprite.pad, sprite.pad, sprite.pad)
                              .translated(0, shadow.offsetY);
    const QMargins margins(sprite.margin, sprite.margin, sprite.margin, sprite.margin);
    qDrawBorderPixmap(&painter, target.toAlignedRect(), margins, sprite.pixmap);
}

void paintTitle(QPainter &painter, const TimelineLayout &layout, const QString &title, const QRectF &rect,
                int lines, const QColor &ink)
{
    painter.setPen(ink);
    painter.setFont(layout.titleFont());
    const QFontMetricsF fm(layout.titleFont(), painter.device());
    if (lines <= 1) {
        painter.drawText(QPointF(rect.left(), rect.top() + fm.ascent()),
                         fm.elidedText(title, Qt::ElideRight, rect.width()));
        return;
    }
    QTextLayout text(title, layout.titleFont(), painter.device());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    text.setTextOption(option);
    text.beginLayout();
    QTextLine first = text.createLine();
    if (first.isValid()) {
        first.setLineWidth(rect.width());
        first.setPosition(QPointF(0, 0));
    }
    QTextLine second = text.createLine();
    qsizetype secondStart = -1;
    if (second.isValid()) {
        secondStart = second.textStart();
        second.setLineWidth(rect.width());
        second.setPosition(QPointF(0, fm.lineSpacing()));
    }
    text.endLayout();
    if (first.isValid())
        first.draw(&painter, rect.topLeft());
    if (secondStart >= 0) {
        // The rest, on one line, ends in an ellipsis when it does not fit.
        const QString rest = title.mid(secondStart);
        painter.drawText(QPointF(rect.left(), rect.top() + fm.lineSpacing() + fm.ascent()),
                         fm.elidedText(rest, Qt::ElideRight, rect.width()));
    }
}

} // namespace

CardShadow cardShadow(bool selected, bool dark)
{
    if (selected)
        return {dark ? 0.25 : 0.06, 8, 3};
    return {dark ? 0.15 : 0.04, 4, 1};
}

void paintTimelineCard(QPainter &painter, const TimelineLayout &layout, const EntryCardFace &face,
                       const QRectF &card, bool selected, const ZephyrTheme &theme)
{
    const TimelineLayout::CardParts parts = layout.cardParts(face, card);
    const QColor accent = theme.accent();
    const QColor weather = ZephyrTheme::weatherColor(face.weather);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    paintShadow(painter, card, cardShadow(selected, theme.isDark()));
    const QPainterPath shape = roundedRect(card, TimelineLayout::kCornerRadius);
    painter.fillPath(shape, selected ? withAlpha(accent, theme.isDark() ? 0.18 : 0.12) : theme.cardFill());
    {
        // The border lies inside the card's edge.
        const qreal width = selected ? 1.2 : 0.5;
        const QRectF inner = card.adjusted(width / 2, width / 2, -width / 2, -width / 2);
        painter.setPen(QPen(selected ? withAlpha(accent, 0.35) : theme.hairline(), width));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(roundedRect(inner, TimelineLayout::kCornerRadius - width / 2));
    }
    painter.fillPath(roundedRect(parts.stripe, 2), weather);

    // Top row.
    painter.setFont(layout.timeFont());
    painter.setPen(theme.inkSecondary());
    const QFontMetricsF timeMetrics(layout.timeFont(), painter.device());
    painter.drawText(QPointF(parts.timeRect.left(), parts.topBaseline),
                     timeMetrics.elidedText(face.timeText, Qt::ElideRight, parts.timeRect.width()));
    drawSymbol(painter, weatherSymbolName(face.weather), parts.weatherSymbol, weather, SymbolRendering::Monochrome,
               SymbolWeight::Semibold);
    painter.setFont(layout.weatherTitleFont());
    painter.setPen(weather);
    painter.drawText(QPointF(parts.weatherTitle.left(), parts.topBaseline), weatherTitle(face.weather));

    paintTitle(painter, layout, face.title, parts.titleRect, parts.titleLines, theme.ink());

    for (qsizetype i = 0; i < parts.chips.size(); ++i)
        paintKeywordChip(painter, parts.chips[i], face.chips[i], face.chipsEmphasized, theme);
    painter.restore();
}

void paintTimelineHeader(QPainter &painter, const TimelineLayout &layout, const QString &title,
                         const QRectF &band, const ZephyrTheme &theme)
{
    painter.save();
    QColor fill = theme.surface();
    fill.setAlphaF(0.92f);
    painter.fillRect(band, fill);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(layout.headerFont());
    painter.setPen(theme.inkTertiary());
    const QFontMetricsF fm(layout.headerFont(), painter.device());
    const qreal left = band.left() + TimelineLayout::kHeaderInsetH + TimelineLayout::kHeaderSide;
    const qreal width = band.width() - 2 * (TimelineLayout::kHeaderInsetH + TimelineLayout::kHeaderSide);
    const QString shown = QLocale().toUpper(title);
    painter.drawText(QPointF(left, band.top() + TimelineLayout::kHeaderTop + fm.ascent()),
                     fm.elidedText(shown, Qt::ElideRight, std::max<qreal>(0, width)));
    painter.restore();
}

} // namespace zn
