#include "exchange/report/ReportCanvas.h"

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

// Lays out `text` in lines of `width` (one unbounded line when not
// wrapping); each line's height includes the font's leading.
void layOut(QTextLayout &layout, qreal width, bool wrap)
{
    layout.setTextOption(wrapOption(wrap));
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
    ++m_pageCount;
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

qreal ReportCanvas::blockHeight(const QString &text, qreal width, const ReportTextStyle &style) const
{
    QTextLayout layout(text, reportFont(style.size, style.weight), &m_device);
    layOut(layout, width, true);
    qreal height = 0;
    for (int i = 0; i < layout.lineCount(); ++i)
        height += layout.lineAt(i).height();
    return std::ceil(height);
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
