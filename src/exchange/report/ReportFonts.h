#pragma once

#include <QColor>
#include <QFont>
#include <QString>

namespace zn {

// The one font family of the whole report, so that line heights, wrapping
// and therefore page breaks are the same on every machine: Inter, or DejaVu
// Sans where Inter is not installed, loaded from their files so no other
// font of that name can stand in. Empty when neither is present (the
// default font is then used). Needs a QGuiApplication; main thread.
QString reportFontFamily();

// A report font of `size` points (one unit is one point on the page).
QFont reportFont(qreal size, QFont::Weight weight);

// A text role of the report: size, weight and colour.
struct ReportTextStyle {
    qreal size = 12;
    QFont::Weight weight = QFont::Normal;
    QColor color = Qt::black;
};

} // namespace zn
