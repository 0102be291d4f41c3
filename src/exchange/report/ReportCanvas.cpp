#include "exchange/report/ReportCanvas.h"

#include "core/TextUnits.h"

#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextLayout>

#include <cmath>

namespace zn {
namespace {

using namespace reportpage;

QTextOption wrapOption(bool wrap)
{
    QTextOption option;
    option.setWrapMode(wrap ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
    option.setUseDesignMetrics(true);
    return option;
}

// Inter swaps dashes, colons, signs and brackets for raised forms next to
// capitals and digits; the PDF writer cannot map those forms back to
// characters, so the text would lose them when searched or copied. Shaping
// such a character on its own keeps the plain form; kerning elsewhere stays.
bool shapesInContext(QChar c)
{
    return c.category() == QChar::Punctuation_Dash || c == u':' || c == u'\u00d7' || c == u'\u2212'
           || c == u'+' || c == u'=' || c == u'<' || c == u'>' || c == u'(' || c == u')'
           || c == u'[' || c == u']' || c == u'{' || c == u'}';
}

QList<QTextLayout::FormatRange> isolatedCharacters(const QString &text)
{
    QList<QTextLayout::FormatRange> ranges;
    QTextCharFormat alone;
    alone.setProperty(QTextFormat::UserProperty, true);
    for (qsizetype i = 0; i < text.size(); ++i)
        if (shapesInContext(text[i]))
            ranges.append({int(i), 1, alone});
    return ranges;
}

// Lays out `text` in lines of `width` (one unbounded line when not
// wrapping); each line's height includes the font's leading.
void layOut(QTextLayout &layout, qreal width, bool wrap)
{
    layout.setTextOption(wrapOption(wrap));
    layout.setFormats(isolatedCharacters(layout.text()));
    layout.setCacheEnabled(true);
    layout.beginLayout();
    qreal y = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLeadingIncluded(true);
        if (wrap)
            line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        y += line.height();
        if (!wrap)
            break;
    }
    layout.endLayout();
}

} // namespace

ReportCanvas::ReportCanvas(QPagedPaintDevice &device, QPainter &painter)
    : m_device(device)
    , m_painter(painter)
{
}

void ReportCanvas::beginReportPage()
{
    m_painter.fillRect(QRectF(0, 0, kWidth, kHeight), Qt::white);
}

qreal ReportCanvas::pageBreak()
{
    m_device.newPage();
    beginReportPage();
    return kMargin;
}

qreal ReportCanvas::keepOnPage(qreal y, qreal height)
{
    if (y + height <= kBottomLimit || y <= kMargin)
        return y;
    return pageBreak();
}

qreal ReportCanvas::drawLine(const QString &text, const QPointF &topLeft, const ReportTextStyle &style)
{
    QTextLayout layout(text, reportFont(style.size, style.weight), &m_device);
    layOut(layout, 0, false);
    m_painter.setPen(style.color);
    layout.draw(&m_painter, topLeft);
    return layout.lineCount() > 0 ? layout.lineAt(0).height() : lineHeight(style);
}

qreal ReportCanvas::lineWidth(const QString &text, const ReportTextStyle &style) const
{
    QTextLayout layout(text, reportFont(style.size, style.weight), &m_device);
    layOut(layout, 0, false);
    return layout.lineCount() > 0 ? layout.lineAt(0).naturalTextWidth() : 0.0;
}

qreal ReportCanvas::lineHeight(const ReportTextStyle &style) const
{
    QTextLayout layout(QStringLiteral(" "), reportFont(style.size, style.weight), &m_device);
    layOut(layout, 0, false);
    return layout.lineAt(0).height();
}

QString ReportCanvas::fitToWidth(const QString &text, qreal width, const ReportTextStyle &style) const
{
    if (lineWidth(text, style) <= width)
        return text;
    const QString ellipsis = QStringLiteral("\u2026");
    QString base = text;
    if (base.endsWith(ellipsis))
        base.chop(1);
    const QStringList characters = text::graphemes(base);
    // The longest prefix that fits, by bisection over whole characters.
    qsizetype fits = 0;
    qsizetype tooLong = characters.size();
    while (tooLong - fits > 1) {
        const qsizetype mid = (fits + tooLong) / 2;
        if (lineWidth(characters.mid(0, mid).join(QString()) + ellipsis, style) <= width)
            fits = mid;
        else
            tooLong = mid;
    }
    return characters.mid(0, fits).join(QString()) + ellipsis;
}

qreal ReportCanvas::drawBlock(const QString &text, qreal x, qreal y, qreal width, const ReportTextStyle &style)
{
    QTextLayout layout(text, reportFont(style.size, style.weight), &m_device);
    layOut(layout, width, true);
    m_painter.setPen(style.color);
    qreal pageTop = y;
    qreal cursor = y;
    for (int i = 0; i < layout.lineCount(); ++i) {
        const QTextLine line = layout.lineAt(i);
        if (cursor + line.height() > kBottomLimit && cursor > kMargin) {
            pageTop = cursor = pageBreak();
            m_painter.setPen(style.color);
        }
        line.draw(&m_painter, QPointF(x, cursor - line.y()));
        cursor += line.height();
    }
    return pageTop + std::ceil(cursor - pageTop);
}

} // namespace zn
