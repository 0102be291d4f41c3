#include "views/workspace/window/PlaceholderPage.h"

#include "app/theme/ThemeScope.h"
#include "platform/symbols/SymbolLibrary.h"
#include "views/kit/TextStyles.h"

#include <QFontMetricsF>
#include <QPainter>

namespace zn {

PlaceholderPage::PlaceholderPage(const QString &symbol, const QString &title, const QString &message,
                                 QWidget *parent)
    : QWidget(parent)
    , m_symbol(symbol)
    , m_title(title)
    , m_message(message)
{
    setAccessibleName(title);
    setAccessibleDescription(message);
    setMinimumSize(120, 120);
}

void PlaceholderPage::paintEvent(QPaintEvent *)
{
    const ZephyrTheme theme = ThemeScope::themeFor(this);
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QFont titleFont = textStyleFont(TextStyle::Title3, FontWeight::Semibold);
    const QFont bodyFont = textStyleFont(TextStyle::Callout);
    const QFontMetricsF titleMetrics(titleFont);
    const QFontMetricsF bodyMetrics(bodyFont);
    const qreal symbol = 40;
    const qreal textWidth = std::max<qreal>(0, width() - 48);
    const QRectF bodyBounds =
        bodyMetrics.boundingRect(QRectF(0, 0, textWidth, 1000), Qt::AlignHCenter | Qt::TextWordWrap, m_message);
    const qreal total = symbol + 14 + titleMetrics.height() + 6 + bodyBounds.height();
    qreal y = (height() - total) / 2;
    drawSymbol(p, m_symbol, QRectF((width() - symbol) / 2, y, symbol, symbol), theme.inkTertiary(),
               SymbolRendering::Hierarchical, SymbolWeight::Light);
    y += symbol + 14;
    p.setFont(titleFont);
    p.setPen(theme.ink());
    p.drawText(QRectF(24, y, textWidth, titleMetrics.height()), Qt::AlignHCenter | Qt::AlignVCenter,
               titleMetrics.elidedText(m_title, Qt::ElideRight, textWidth));
    y += titleMetrics.height() + 6;
    p.setFont(bodyFont);
    p.setPen(theme.inkSecondary());
    p.drawText(QRectF(24, y, textWidth, bodyBounds.height()), Qt::AlignHCenter | Qt::TextWordWrap, m_message);
}

} // namespace zn
