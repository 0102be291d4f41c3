#include "app/marks/MarkPainting.h"

#include "app/marks/TextStyles.h"
#include "platform/symbols/SymbolLibrary.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace zn {
namespace {

// Where the symbol sits on the text baseline: like a glyph, most of it above
// the line and a little below.
constexpr qreal kSymbolBaselineRatio = 0.84;
constexpr qreal kColumnSpacing = 2;

constexpr qreal kWeatherChipPadH = 10;
constexpr qreal kWeatherChipPadV = 5;
constexpr qreal kWeatherChipSpacing = 5;
constexpr qreal kKeywordChipPadH = 9;
constexpr qreal kKeywordChipPadV = 4;

QFontMetricsF metrics(const QFont &font, const QPaintDevice *device)
{
    return device ? QFontMetricsF(font, device) : QFontMetricsF(font);
}

SymbolWeight symbolWeightFor(const QFont &font)
{
    const int w = font.weight();
    if (w <= QFont::Thin)
        return SymbolWeight::UltraLight;
    if (w <= QFont::ExtraLight)
        return SymbolWeight::Thin;
    if (w <= QFont::Light)
        return SymbolWeight::Light;
    if (w <= QFont::Normal)
        return SymbolWeight::Regular;
    if (w <= QFont::Medium)
        return SymbolWeight::Medium;
    if (w <= QFont::DemiBold)
        return SymbolWeight::Semibold;
    return SymbolWeight::Bold;
}

qreal symbolBox(const QFont &font)
{
    return symbolBoxForFontPixelSize(font.pixelSize());
}

QPainterPath capsule(const QRectF &rect)
{
    QPainterPath path;
    const qreal radius = qMin(rect.width(), rect.height()) / 2;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

QColor withAlpha(QColor color, qreal alpha)
{
    color.setAlphaF(float(alpha));
    return color;
}

} // namespace

WeatherMarkFonts weatherMarkFonts(WeatherMarkSize size)
{
    switch (size) {
    case WeatherMarkSize::Compact:
        return {textStyleFont(TextStyle::Caption, FontWeight::Semibold),
                textStyleFont(TextStyle::Caption, FontWeight::Medium), textStyleFont(TextStyle::Caption)};
    case WeatherMarkSize::Regular:
        return {textStyleFont(TextStyle::Body, FontWeight::Medium),
                textStyleFont(TextStyle::Subheadline, FontWeight::Semibold), textStyleFont(TextStyle::Caption)};
    case WeatherMarkSize::Large:
        return {systemFont(28, FontWeight::Light), textStyleFont(TextStyle::Title3, FontWeight::Medium),
                textStyleFont(TextStyle::Caption)};
    case WeatherMarkSize::Mural:
        return {systemFont(56, FontWeight::UltraLight), textStyleFont(TextStyle::Title, FontWeight::Medium),
                textStyleFont(TextStyle::Body)};
    }
    return weatherMarkFonts(WeatherMarkSize::Regular);
}

qreal weatherMarkSpacing(WeatherMarkSize size)
{
    switch (size) {
    case WeatherMarkSize::Compact: return 4;
    case WeatherMarkSize::Regular: return 6;
    case WeatherMarkSize::Large: return 8;
    case WeatherMarkSize::Mural: return 12;
    }
    return 6;
}

WeatherMarkGeometry weatherMarkGeometry(const WeatherMarkStyle &style, const QPaintDevice *device)
{
    const WeatherMarkFonts fonts = weatherMarkFonts(style.size);
    const qreal box = symbolBox(fonts.symbol);
    WeatherMarkGeometry g;

    // The text column, laid out from its own top.
    const QFontMetricsF titleMetrics = metrics(fonts.title, device);
    const QFontMetricsF phraseMetrics = metrics(fonts.phrase, device);
    qreal columnWidth = 0;
    qreal columnHeight = 0;
    qreal firstAscent = 0;
    QRectF title;
    QRectF phrase;
    if (style.showTitle) {
        const qreal width = std::ceil(titleMetrics.horizontalAdvance(weatherTitle(style.label)));
        title = QRectF(0, 0, width, titleMetrics.height());
        columnWidth = width;
        columnHeight = title.height();
        firstAscent = titleMetrics.ascent();
    }
    if (style.phrase) {
        const qreal top = style.showTitle ? columnHeight + kColumnSpacing : 0;
        const qreal width = std::ceil(phraseMetrics.horizontalAdvance(*style.phrase));
        phrase = QRectF(0, top, width, phraseMetrics.height());
        columnWidth = qMax(columnWidth, width);
        columnHeight = top + phrase.height();
        if (!style.showTitle)
            firstAscent = phraseMetrics.ascent();
    }

    qreal symbolTop = 0;
    qreal columnTop = 0;
    if (style.hasTextColumn()) {
        const bool baselineAligned =
            style.size == WeatherMarkSize::Compact || style.size == WeatherMarkSize::Regular;
        if (baselineAligned) {
            const qreal symbolBaseline = box * kSymbolBaselineRatio;
            const qreal baseline = qMax(symbolBaseline, firstAscent);
            symbolTop = baseline - symbolBaseline;
            columnTop = baseline - firstAscent;
        } else {
            const qreal height = qMax(box, columnHeight);
            symbolTop = (height - box) / 2;
            columnTop = (height - columnHeight) / 2;
        }
    }

    g.symbolRect = QRectF(0, symbolTop, box, box);
    const qreal columnLeft = box + weatherMarkSpacing(style.size);
    if (style.showTitle) {
        g.titleRect = title.translated(columnLeft, columnTop);
        g.titleBaseline = g.titleRect.top() + titleMetrics.ascent();
    }
    if (style.phrase) {
        g.phraseRect = phrase.translated(columnLeft, columnTop);
        g.phraseBaseline = g.phraseRect.top() + phraseMetrics.ascent();
    }
    const qreal width = style.hasTextColumn() ? columnLeft + columnWidth : box;
    const qreal height = qMax(symbolTop + box, style.hasTextColumn() ? columnTop + columnHeight : 0);
    g.size = QSizeF(width, height);
    return g;
}

void paintWeatherMark(QPainter &painter, const QPointF &topLeft, const WeatherMarkStyle &style,
                      const ZephyrTheme &theme)
{
    const WeatherMarkFonts fonts = weatherMarkFonts(style.size);
    const WeatherMarkGeometry g = weatherMarkGeometry(style, painter.device());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.translate(topLeft);
    drawSymbol(painter, weatherSymbolName(style.label), g.symbolRect, ZephyrTheme::weatherColor(style.label),
               SymbolRendering::Hierarchical, symbolWeightFor(fonts.symbol));
    if (style.showTitle) {
        painter.setFont(fonts.title);
        painter.setPen(theme.ink());
        painter.drawText(QPointF(g.titleRect.left(), g.titleBaseline), weatherTitle(style.label));
    }
    if (style.phrase && !style.phrase->isEmpty()) {
        painter.setFont(fonts.phrase);
        painter.setPen(theme.inkSecondary());
        painter.drawText(QPointF(g.phraseRect.left(), g.phraseBaseline), *style.phrase);
    }
    painter.restore();
}

QFont weatherChipFont()
{
    return textStyleFont(TextStyle::Caption, FontWeight::Semibold);
}

QSizeF weatherChipSize(WeatherLabel label, const QPaintDevice *device)
{
    const QFont font = weatherChipFont();
    const QFontMetricsF fm = metrics(font, device);
    const qreal box = symbolBox(font);
    const qreal content = box + kWeatherChipSpacing + std::ceil(fm.horizontalAdvance(weatherTitle(label)));
    return QSizeF(content + 2 * kWeatherChipPadH, qMax(box, fm.height()) + 2 * kWeatherChipPadV);
}

void paintWeatherChip(QPainter &painter, const QRectF &rect, WeatherLabel label, const ZephyrTheme &theme)
{
    Q_UNUSED(theme); // the weather colours are the same in every theme
    const QColor colour = ZephyrTheme::weatherColor(label);
    const QFont font = weatherChipFont();
    const QFontMetricsF fm = metrics(font, painter.device());
    const qreal box = symbolBox(font);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.fillPath(capsule(rect), withAlpha(colour, 0.14));

    const QRectF inner = rect.adjusted(kWeatherChipPadH, 0, -kWeatherChipPadH, 0);
    const qreal centreY = rect.center().y();
    drawSymbol(painter, weatherSymbolName(label), QRectF(inner.left(), centreY - box / 2, box, box), colour,
               SymbolRendering::Monochrome, SymbolWeight::Semibold);
    const QRectF textRect(inner.left() + box + kWeatherChipSpacing, rect.top(),
                          qMax<qreal>(0, inner.right() - inner.left() - box - kWeatherChipSpacing), rect.height());
    painter.setFont(font);
    painter.setPen(colour);
    const qreal baseline = centreY - fm.height() / 2 + fm.ascent();
    painter.setClipRect(textRect, Qt::IntersectClip);
    painter.drawText(QPointF(textRect.left(), baseline),
                     fm.elidedText(weatherTitle(label), Qt::ElideRight, textRect.width() + 0.5));
    painter.restore();
}

QFont keywordChipFont(bool emphasized)
{
    return textStyleFont(TextStyle::Caption, emphasized ? FontWeight::Medium : FontWeight::Regular);
}

QSizeF keywordChipSize(const QString &word, bool emphasized, const QPaintDevice *device)
{
    const QFontMetricsF fm = metrics(keywordChipFont(emphasized), device);
    return QSizeF(std::ceil(fm.horizontalAdvance(word)) + 2 * kKeywordChipPadH, fm.height() + 2 * kKeywordChipPadV);
}

void paintKeywordChip(QPainter &painter, const QRectF &rect, const QString &word, bool emphasized,
                      const ZephyrTheme &theme)
{
    const QFont font = keywordChipFont(emphasized);
    const QFontMetricsF fm = metrics(font, painter.device());
    const QColor accent = theme.accent();

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.fillPath(capsule(rect), withAlpha(accent, emphasized ? 0.14 : 0.08));
    // The border lies inside the capsule's edge.
    const QColor hairline = theme.hairline();
    const qreal lineWidth = 0.5;
    painter.setPen(QPen(withAlpha(hairline, hairline.alphaF() * (emphasized ? 0.6 : 0.35)), lineWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(capsule(rect.adjusted(lineWidth / 2, lineWidth / 2, -lineWidth / 2, -lineWidth / 2)));

    const QRectF textRect = rect.adjusted(kKeywordChipPadH, 0, -kKeywordChipPadH, 0);
    painter.setFont(font);
    painter.setPen(emphasized ? accent : theme.inkSecondary());
    const qreal baseline = rect.center().y() - fm.height() / 2 + fm.ascent();
    // A chip squeezed narrower than its word (a very long word in a narrow
    // column) ends in an ellipsis rather than spilling out of the capsule.
    painter.drawText(QPointF(textRect.left(), baseline),
                     fm.elidedText(word, Qt::ElideRight, qMax<qreal>(0, textRect.width()) + 0.5));
    painter.restore();
}

} // namespace zn
