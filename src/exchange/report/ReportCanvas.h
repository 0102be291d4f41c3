#pragma once

#include "exchange/report/ReportFonts.h"

#include <QPointF>
#include <QString>

class QPainter;
class QPagedPaintDevice;

namespace zn {

// Page geometry of the report, in points from the top left of a US Letter page.
namespace reportpage {
inline constexpr qreal kWidth = 612;
inline constexpr qreal kHeight = 792;
inline constexpr qreal kMargin = 48;       // left and top
inline constexpr qreal kContentWidth = 516;
inline constexpr qreal kBottomLimit = 744; // nothing is placed below this
} // namespace reportpage

// The page being drawn: the painter on the PDF device, page breaks, and
// text placed by the top of its line box (not by its baseline, as
// QPainter::drawText would). Every text is laid out with the device's own
// metrics, so measuring and drawing agree.
class ReportCanvas
{
public:
    ReportCanvas(QPagedPaintDevice &device, QPainter &painter);

    QPainter &painter() { return m_painter; }

    // Fills the freshly opened page with white.
    void beginReportPage();
    // Ends the page and opens the next; returns the top margin to go on at.
    qreal pageBreak();
    // `y` when a band of `height` starting there stays above the bottom
    // limit or already starts at the top of a page; otherwise breaks the page
    // and returns the top margin.
    qreal keepOnPage(qreal y, qreal height);

    // One line of text, unwrapped (a line break in it reads as a space),
    // its line box's top left at `topLeft`. Returns the line height.
    qreal drawLine(const QString &text, const QPointF &topLeft, const ReportTextStyle &style);
    qreal lineWidth(const QString &text, const ReportTextStyle &style) const;
    qreal lineHeight(const ReportTextStyle &style) const;
    // `text` when it is at most `width` wide, else its longest run of whole
    // characters that fits with "…" after it.
    QString fitToWidth(const QString &text, qreal width, const ReportTextStyle &style) const;

    // Draws `text` from `y`, wrapped to `width` at word boundaries (a word
    // wider than the line breaks anywhere); each line break starts a new
    // line and a blank line stays one. A line that would pass the
    // bottom limit goes to the top of a new page, so nothing is cut. Returns
    // the y below the block: y plus its height, rounded up to a whole point,
    // when it stayed on one page.
    qreal drawBlock(const QString &text, qreal x, qreal y, qreal width, const ReportTextStyle &style);

private:
    QPagedPaintDevice &m_device;
    QPainter &m_painter;
};

} // namespace zn
