#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QRectF>
#include <QString>
#include <QStringList>

class QPainter;

namespace zn {

// How the two layers of a symbol are tinted. Monochrome draws every layer in
// the tint; hierarchical draws the secondary layer (the sun behind a cloud,
// the rain under it) at a reduced opacity of the same tint.
enum class SymbolRendering { Monochrome, Hierarchical };

// Stroke weight of the outlined parts of a symbol; filled parts keep their
// shape. Regular matches the body text weight.
enum class SymbolWeight { UltraLight, Thin, Light, Regular, Medium, Semibold, Bold };

// Opacity of the secondary layer under hierarchical rendering.
inline constexpr qreal kSecondaryLayerOpacity = 0.45;

// Every name the library can draw, sorted.
QStringList symbolNames();
bool hasSymbol(const QString &name);

// Draws the named symbol centred in `rect` (as a square of the shorter side)
// in `tint`. The drawing is vector on every device, so a PDF page keeps
// paths. An unknown name draws nothing and returns false; the first miss of
// each name is logged once. Safe to call from any thread.
bool drawSymbol(QPainter &painter, const QString &name, const QRectF &rect, const QColor &tint,
                SymbolRendering rendering = SymbolRendering::Monochrome,
                SymbolWeight weight = SymbolWeight::Regular);

// The symbol as a transparent ARGB image of `pixelSize` logical pixels square
// at `devicePixelRatio`; a null image for an unknown name.
QImage symbolImage(const QString &name, int pixelSize, const QColor &tint,
                   SymbolRendering rendering = SymbolRendering::Monochrome,
                   SymbolWeight weight = SymbolWeight::Regular, qreal devicePixelRatio = 1.0);

// An icon for buttons and tabs that redraws crisply at any requested size; the
// disabled mode uses the tint at reduced opacity. A null icon for an unknown name.
QIcon symbolIcon(const QString &name, const QColor &tint,
                 SymbolRendering rendering = SymbolRendering::Monochrome,
                 SymbolWeight weight = SymbolWeight::Regular);

// The edge of the square a symbol takes beside text of `fontPixelSize`
// pixels, so a symbol "in the caption font" matches that text.
qreal symbolBoxForFontPixelSize(qreal fontPixelSize);

} // namespace zn
