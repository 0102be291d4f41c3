#include "exchange/report/ReportCanvas.h"

#include "core/TextUnits.h"

#include <QGlyphRun>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QRawFont>
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

// Whether a character must be drawn with its own glyph. Marks, joiners and
// the letters of scripts that need shaping take whatever form the shaper
// gives them, as does a character a mark or joiner follows (an accent
// composed onto its letter, a keycap, an emoji sequence).
bool drawnAsItself(const QString &text, qsizetype i)
{
    const auto combines = [](QChar c) { return c.isMark() || c.category() == QChar::Other_Format; };
    const QChar c = text[i];
    if (c.isSurrogate() || c.isSpace() || combines(c))
        return false;
    const QChar::Script script = c.script();
    if (script != QChar::Script_Common && script != QChar::Script_Latin && script != QChar::Script_Greek
        && script != QChar::Script_Cyrillic)
        return false;
    return i + 1 >= text.size() || !combines(text[i + 1]);
}

// The characters the font drew with some other glyph than their own: a
// contextual form (Inter's "×" for the x of "3x10", its raised dashes,
// colons, brackets and "@" next to capitals and digits, arrows for "->") or
// a ligature. The PDF writer cannot map such glyphs back to characters, so
// the text a reader searches or copies would lose them.
QList<qsizetype> charactersInOtherForms(const QTextLayout &layout)
{
    const QString &text = layout.text();
    QList<qsizetype> out;
    for (int l = 0; l < layout.lineCount(); ++l) {
        const QTextLine line = layout.lineAt(l);
        // Most lines are one run of one font, each character drawn with its
        // own glyph: seen at a glance.
        const QList<QGlyphRun> lineRuns = line.glyphRuns();
        if (lineRuns.size() == 1
            && lineRuns.first().glyphIndexes()
                   == lineRuns.first().rawFont().glyphIndexesForString(text.mid(line.textStart(), line.textLength())))
            continue;
        const qsizetype end = line.textStart() + line.textLength();
        for (qsizetype i = line.textStart(); i < end; ++i) {
            if (!drawnAsItself(text, i))
                continue;
            const QList<QGlyphRun> runs = line.glyphRuns(int(i), 1);
            if (runs.size() != 1)
                continue;
            const quint32 own = runs.first().rawFont().glyphIndexesForString(QString(text[i])).value(0);
            const QList<quint32> drawn = runs.first().glyphIndexes();
            if (own != 0 && (drawn.size() != 1 || drawn.first() != own))
                out.append(i);
        }
    }
    return out;
}

// Shapes each of `characters` on its own, so no neighbour chooses its form;
// the rest of the text keeps its kerning.
QList<QTextLayout::FormatRange> alone(const QList<qsizetype> &characters)
{
    QList<QTextLayout::FormatRange> ranges;
    for (qsizetype i : characters) {
        // A format of its own for each, or two neighbours would share one run.
        QTextCharFormat own;
        own.setProperty(QTextFormat::UserProperty, int(i));
        ranges.append({int(i), 1, own});
    }
    return ranges;
}

// Lays out `text` in lines of `width` (one unbounded line when not
// wrapping); each line's height includes the font's leading. Every
// character is drawn in its own form: texts from the journal are printed
// exactly as written, in the page and in its text layer.
void layOut(QTextLayout &layout, qreal width, bool wrap)
{
    layout.setTextOption(wrapOption(wrap));
    layout.setCacheEnabled(true);
    QList<qsizetype> isolated;
    for (int attempt = 0;; ++attempt) {
        layout.setFormats(alone(isolated));
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
        const QList<qsizetype> swapped = charactersInOtherForms(layout);
        // Shaped alone a character takes its own glyph; isolating can move a
        // line break, so look again, but give up on a font that keeps
        // changing a character even then.
        if (swapped.isEmpty() || attempt == 2)
            return;
        isolated += swapped;
    }
}

// QTextLayout breaks no line at a line feed: it lays the text on as if the
// feed were not there, running the words on either side together.
bool isLineBreak(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
}

// The text's paragraphs, split at every line break ("\r\n" is one); a
// blank line between two is an empty paragraph of its own.
QStringList paragraphsOf(const QString &text)
{
    QStringList out;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!isLineBreak(text[i]))
            continue;
        out.append(text.mid(start, i - start));
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    out.append(text.mid(start));
    return out;
}

// A text for one line: each line break becomes a space between its words.
QString onOneLine(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    for (QChar &c : text) {
        if (isLineBreak(c))
            c = u' ';
    }
    return text;
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
    QTextLayout layout(onOneLine(text), reportFont(style.size, style.weight), &m_device);
    layOut(layout, 0, false);
    m_painter.setPen(style.color);
    layout.draw(&m_painter, topLeft);
    return layout.lineCount() > 0 ? layout.lineAt(0).height() : lineHeight(style);
}

qreal ReportCanvas::lineWidth(const QString &text, const ReportTextStyle &style) const
{
    QTextLayout layout(onOneLine(text), reportFont(style.size, style.weight), &m_device);
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
    m_painter.setPen(style.color);
    qreal pageTop = y;
    qreal cursor = y;
    for (const QString &paragraph : paragraphsOf(text)) {
        // A blank line is a line of the style's height with nothing drawn.
        const bool blank = paragraph.isEmpty();
        QTextLayout layout(blank ? QStringLiteral(" ") : paragraph, reportFont(style.size, style.weight), &m_device);
        layOut(layout, width, true);
        for (int i = 0; i < layout.lineCount(); ++i) {
            const QTextLine line = layout.lineAt(i);
            if (cursor + line.height() > kBottomLimit && cursor > kMargin) {
                pageTop = cursor = pageBreak();
                m_painter.setPen(style.color);
                // The page break parts the paragraphs already.
                if (blank)
                    break;
            }
            if (!blank)
                line.draw(&m_painter, QPointF(x, cursor - line.y()));
            cursor += line.height();
        }
    }
    return pageTop + std::ceil(cursor - pageTop);
}

} // namespace zn
