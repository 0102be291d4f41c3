#pragma once

#include "app/marks/WeatherMarks.h"
#include "app/theme/ZephyrTheme.h"

#include <QFont>
#include <QRectF>
#include <QSizeF>

class QPaintDevice;
class QPainter;

namespace zn {

// Widget-free drawing of the weather mark and the two chips, so a list
// delegate, a widget and a PDF page draw them the same way. Measures take the
// device the text will be drawn on (null: the screen), so PDF text fits.

// Where each part of a weather mark goes, relative to its top-left corner.
struct WeatherMarkGeometry {
    QSizeF size;
    QRectF symbolRect;
    QRectF titleRect;  // empty without a title
    QRectF phraseRect; // empty without a phrase
    qreal titleBaseline = 0;  // y of the title's baseline
    qreal phraseBaseline = 0; // y of the phrase's baseline
};

struct WeatherMarkFonts {
    QFont symbol; // gives the symbol's size and stroke weight
    QFont title;
    QFont phrase;
};

WeatherMarkFonts weatherMarkFonts(WeatherMarkSize size);
qreal weatherMarkSpacing(WeatherMarkSize size);
WeatherMarkGeometry weatherMarkGeometry(const WeatherMarkStyle &style, const QPaintDevice *device = nullptr);
// Draws with its top-left corner at `topLeft`.
void paintWeatherMark(QPainter &painter, const QPointF &topLeft, const WeatherMarkStyle &style,
                      const ZephyrTheme &theme);

QFont weatherChipFont();
QSizeF weatherChipSize(WeatherLabel label, const QPaintDevice *device = nullptr);
// Draws the chip filling `rect` (its height decides the capsule's radius).
void paintWeatherChip(QPainter &painter, const QRectF &rect, WeatherLabel label, const ZephyrTheme &theme);

QFont keywordChipFont(bool emphasized);
QSizeF keywordChipSize(const QString &word, bool emphasized, const QPaintDevice *device = nullptr);
void paintKeywordChip(QPainter &painter, const QRectF &rect, const QString &word, bool emphasized,
                      const ZephyrTheme &theme);

} // namespace zn
