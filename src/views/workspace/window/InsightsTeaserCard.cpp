#include "views/workspace/window/InsightsTeaserCard.h"

#include "app/marks/WeatherMarks.h"
#include "app/theme/ThemeScope.h"
#include "core/WeatherPeriodSummary.h"
#include "platform/symbols/SymbolLibrary.h"
#include "views/kit/FocusRing.h"
#include "views/kit/TextStyles.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace zn {

namespace {

constexpr qreal kPadding = 14;
constexpr qreal kRowSpacing = 10;
constexpr qreal kSymbolColumn = 36;
constexpr qreal kSymbolSpacing = 12;
constexpr qreal kTextSpacing = 2;
constexpr qreal kCornerRadius = 14;
// The weather symbol reads as a picture beside the word, not as a glyph.
constexpr qreal kWeatherSymbolSize = 26;

QFont headerFont()
{
    QFont font = textStyleFont(TextStyle::Caption, FontWeight::Bold);
    font.setCapitalization(QFont::AllUppercase);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.5);
    return font;
}

} // namespace

TeaserCardContent teaserCardContent(WeatherLabel label, int entryCount)
{
    TeaserCardContent content;
    content.label = label;
    content.entryCount = entryCount;
    content.symbol = weatherSymbolName(label);
    if (entryCount == 0) {
        content.weatherWord = QStringLiteral("Clear skies");
        content.countLine = QStringLiteral("Write to see your forecast");
    } else {
        content.weatherWord = weatherTitle(label);
        content.countLine = QStringLiteral("%1 %2 · tap for Weather")
                                .arg(entryCount)
                                .arg(entryCount == 1 ? QStringLiteral("entry") : QStringLiteral("entries"));
    }
    content.accessibleName =
        QStringLiteral("Past 7 days weather, ") + content.countLine + QStringLiteral(". Open Emotional Weather.");
    return content;
}

TeaserCardContent teaserCardContent(const QList<JournalEntry *> &entries, const CalendarProvider &calendar,
                                    const QDateTime &now)
{
    const WeatherPeriodSummary week = WeatherPeriodSummary::summary(entries, WeatherPeriod::Week, calendar, now);
    return teaserCardContent(week.label, week.entryCount);
}

InsightsTeaserCard::InsightsTeaserCard(QWidget *parent)
    : QAbstractButton(parent)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setContent(teaserCardContent(WeatherLabel::Overcast, 0));
}

void InsightsTeaserCard::setContent(const TeaserCardContent &content)
{
    m_content = content;
    setAccessibleName(content.accessibleName);
    setToolTip(QStringLiteral("Open Emotional Weather"));
    updateGeometry();
    update();
}

QSize InsightsTeaserCard::sizeHint() const
{
    const QFontMetricsF header(headerFont());
    const QFontMetricsF word(textStyleFont(TextStyle::Headline, FontWeight::Semibold));
    const QFontMetricsF line(textStyleFont(TextStyle::Caption));
    const qreal weatherRow = std::max(kWeatherSymbolSize, word.height() + kTextSpacing + line.height());
    const qreal height = kPadding * 2 + header.height() + kRowSpacing + weatherRow;
    return {216, int(std::ceil(height))};
}

QSize InsightsTeaserCard::minimumSizeHint() const
{
    return {120, sizeHint().height()};
}

void InsightsTeaserCard::paintEvent(QPaintEvent *)
{
    const ZephyrTheme theme = ThemeScope::themeFor(this);
    const bool dark = theme.isDark();
    const QColor weather = ZephyrTheme::weatherColor(m_content.label);

    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    // Stroke inside the edge: the path is inset by half the line width.
    const QRectF card = QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25);
    QPainterPath shape;
    shape.addRoundedRect(card, kCornerRadius, kCornerRadius);
    QLinearGradient gradient(card.topLeft(), card.bottomRight());
    QColor first = weather;
    first.setAlphaF(dark ? 0.22 : 0.16);
    QColor second = theme.accent();
    second.setAlphaF(dark ? 0.12 : 0.08);
    gradient.setColorAt(0, first);
    gradient.setColorAt(1, second);
    p.fillPath(shape, gradient);
    QColor border = theme.hairline();
    border.setAlphaF(border.alphaF() * 0.8);
    p.setPen(QPen(border, 0.5));
    p.drawPath(shape);

    if (hasFocus())
        paintFocusRing(p, QRectF(rect()), kCornerRadius, theme);
    if (isDown()) {
        QColor press = theme.ink();
        press.setAlphaF(0.05);
        p.fillPath(shape, press);
    }

    const QRectF content = QRectF(rect()).adjusted(kPadding, kPadding, -kPadding, -kPadding);

    // Header row: "PAST 7 DAYS" and a chevron at the far end.
    const QFont hFont = headerFont();
    const QFontMetricsF hMetrics(hFont);
    const QRectF headerRow(content.left(), content.top(), content.width(), hMetrics.height());
    const qreal chevron = symbolBoxForFontPixelSize(textStylePixelSize(TextStyle::Caption2));
    p.setFont(hFont);
    p.setPen(theme.inkSecondary());
    p.drawText(headerRow.adjusted(0, 0, -chevron - 6, 0), Qt::AlignLeft | Qt::AlignVCenter,
               hMetrics.elidedText(QStringLiteral("Past 7 days"), Qt::ElideRight, headerRow.width() - chevron - 6));
    drawSymbol(p, QStringLiteral("chevron.right"),
               QRectF(headerRow.right() - chevron, headerRow.center().y() - chevron / 2, chevron, chevron),
               theme.inkTertiary(), SymbolRendering::Monochrome, SymbolWeight::Bold);

    // Weather row: the symbol in its column, then the word over the count.
    const QFont wFont = textStyleFont(TextStyle::Headline, FontWeight::Semibold);
    const QFont lFont = textStyleFont(TextStyle::Caption);
    const QFontMetricsF wMetrics(wFont);
    const QFontMetricsF lMetrics(lFont);
    const qreal textHeight = wMetrics.height() + kTextSpacing + lMetrics.height();
    const qreal symbolSize = kWeatherSymbolSize;
    const qreal rowHeight = std::max(symbolSize, textHeight);
    const QRectF weatherRow(content.left(), headerRow.bottom() + kRowSpacing, content.width(), rowHeight);
    const QRectF symbolRect(weatherRow.left() + (kSymbolColumn - symbolSize) / 2,
                            weatherRow.center().y() - symbolSize / 2, symbolSize, symbolSize);
    drawSymbol(p, m_content.symbol, symbolRect, weather, SymbolRendering::Hierarchical, SymbolWeight::Light);

    const qreal textLeft = weatherRow.left() + kSymbolColumn + kSymbolSpacing;
    const qreal textWidth = std::max<qreal>(0, weatherRow.right() - textLeft);
    const qreal textTop = weatherRow.center().y() - textHeight / 2;
    p.setFont(wFont);
    p.setPen(theme.ink());
    p.drawText(QRectF(textLeft, textTop, textWidth, wMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
               wMetrics.elidedText(m_content.weatherWord, Qt::ElideRight, textWidth));
    p.setFont(lFont);
    p.setPen(theme.inkSecondary());
    p.drawText(QRectF(textLeft, textTop + wMetrics.height() + kTextSpacing, textWidth, lMetrics.height()),
               Qt::AlignLeft | Qt::AlignVCenter, lMetrics.elidedText(m_content.countLine, Qt::ElideRight, textWidth));
}

} // namespace zn
