#include "views/voice/VoiceText.h"

#include "app/theme/ThemeScope.h"

#include <QPainter>

#include <cmath>

namespace zn {

QColor voiceInkColor(VoiceInk ink, const ZephyrTheme &theme)
{
    switch (ink) {
    case VoiceInk::Primary:
        return theme.primaryInk();
    case VoiceInk::Secondary:
        return theme.secondaryInk();
    case VoiceInk::SecondaryDimmed: {
        QColor c = theme.secondaryInk();
        c.setAlphaF(c.alphaF() * 0.8f);
        return c;
    }
    case VoiceInk::Accent:
        return theme.accent();
    }
    return theme.primaryInk();
}

VoiceText::VoiceText(const QFont &font, VoiceInk ink, Qt::Alignment alignment, QWidget *parent)
    : QWidget(parent)
    , m_font(font)
    , m_ink(ink)
    , m_alignment(alignment)
{
    setFont(font);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void VoiceText::setText(const QString &text)
{
    if (m_text == text)
        return;
    m_text = text;
    setAccessibleName(text);
    updateGeometry();
    update();
}

void VoiceText::setTabularDigits(bool on)
{
    m_tabular = on;
    updateGeometry();
    update();
}

int VoiceText::flags() const
{
    return int(m_alignment) | Qt::TextWordWrap;
}

qreal VoiceText::digitCell() const
{
    const QFontMetricsF fm(m_font);
    qreal widest = 0;
    for (char c = '0'; c <= '9'; ++c)
        widest = std::max(widest, fm.horizontalAdvance(QChar(c)));
    return widest;
}

qreal VoiceText::tabularWidth() const
{
    const QFontMetricsF fm(m_font);
    const qreal cell = digitCell();
    qreal width = 0;
    for (const QChar c : m_text)
        width += c.isDigit() ? cell : fm.horizontalAdvance(c);
    return width;
}

int VoiceText::heightForWidth(int width) const
{
    if (m_text.isEmpty())
        return 0;
    const QFontMetrics fm(m_font);
    if (m_tabular)
        return fm.height();
    return fm.boundingRect(QRect(0, 0, std::max(1, width), 100000), flags(), m_text).height();
}

QSize VoiceText::sizeHint() const
{
    const QFontMetrics fm(m_font);
    const int width = m_tabular ? int(std::ceil(tabularWidth())) : fm.horizontalAdvance(m_text);
    return {width + 1, m_text.isEmpty() ? 0 : fm.height()};
}

QSize VoiceText::minimumSizeHint() const
{
    if (m_tabular)
        return sizeHint();
    return {std::min(sizeHint().width(), 80), QFontMetrics(m_font).height()};
}

void VoiceText::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(m_font);
    painter.setPen(voiceInkColor(m_ink, ThemeScope::themeFor(this)));
    if (!m_tabular) {
        painter.drawText(rect(), flags(), m_text);
        return;
    }
    // Each digit centred in a cell of the widest digit.
    const QFontMetricsF fm(m_font);
    const qreal cell = digitCell();
    qreal x = (m_alignment & Qt::AlignHCenter) ? (width() - tabularWidth()) / 2.0 : 0.0;
    const qreal baseline = (height() - fm.height()) / 2.0 + fm.ascent();
    for (const QChar c : m_text) {
        const qreal advance = fm.horizontalAdvance(c);
        const qreal w = c.isDigit() ? cell : advance;
        painter.drawText(QPointF(x + (w - advance) / 2.0, baseline), QString(c));
        x += w;
    }
}

} // namespace zn
