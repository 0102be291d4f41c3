#include "views/kit/SegmentedControl.h"

#include "app/marks/TextStyles.h"
#include "app/theme/ThemeScope.h"
#include "views/kit/FocusRing.h"
#include "views/kit/SegmentedControlAccessible.h"

#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace zn {
namespace {

constexpr qreal kInset = 2;       // between the track's edge and a segment
constexpr qreal kPaddingH = 14;   // around a title inside its segment
constexpr qreal kPaddingV = 5;
constexpr qreal kTrackRadius = 7;
constexpr qreal kSegmentRadius = 5.5;

QFont segmentFont(bool selected)
{
    return textStyleFont(TextStyle::Body, selected ? FontWeight::Medium : FontWeight::Regular);
}

QColor withAlpha(QColor color, qreal alpha)
{
    color.setAlphaF(float(alpha));
    return color;
}

} // namespace

SegmentedControl::SegmentedControl(const QStringList &titles, QWidget *parent)
    : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setAttribute(Qt::WA_Hover);
    installSegmentedControlAccessibility();
    setTitles(titles);
}

void SegmentedControl::setTitles(const QStringList &titles)
{
    m_titles = titles;
    const int previous = m_current;
    if (m_titles.isEmpty())
        m_current = -1;
    else if (m_current < 0 || m_current >= m_titles.size())
        m_current = 0;
    m_pressed = -1;
    m_hovered = -1;
    updateAccessibleText();
    updateGeometry();
    update();
    if (m_current != previous)
        emit currentIndexChanged(m_current);
}

void SegmentedControl::setCurrentIndex(int index)
{
    if (index < 0 || index >= m_titles.size() || index == m_current)
        return;
    m_current = index;
    updateAccessibleText();
    update();
    emit currentIndexChanged(m_current);
}

void SegmentedControl::setAccentColor(const QColor &accent)
{
    m_accent = accent;
    update();
}

void SegmentedControl::setInkColor(const QColor &ink)
{
    m_ink = ink;
    update();
}

QRectF SegmentedControl::segmentRect(int index) const
{
    if (index < 0 || index >= m_titles.size())
        return {};
    const qreal inner = qMax<qreal>(0, width() - 2 * kInset);
    const qreal segment = inner / m_titles.size();
    const int visual = isRightToLeft() ? int(m_titles.size()) - 1 - index : index;
    return QRectF(kInset + visual * segment, kInset, segment, qMax<qreal>(0, height() - 2 * kInset));
}

int SegmentedControl::segmentAt(const QPoint &point) const
{
    for (int i = 0; i < m_titles.size(); ++i)
        if (segmentRect(i).contains(point))
            return i;
    return -1;
}

QSize SegmentedControl::sizeHint() const
{
    const QFontMetricsF fm(segmentFont(true));
    qreal widest = 0;
    for (const QString &title : m_titles)
        widest = qMax(widest, fm.horizontalAdvance(title));
    const qreal segment = std::ceil(widest) + 2 * kPaddingH;
    const qreal w = m_titles.size() * segment + 2 * kInset;
    const qreal h = std::ceil(fm.height()) + 2 * kPaddingV + 2 * kInset;
    return QSize(int(std::ceil(w)), int(h));
}

QSize SegmentedControl::minimumSizeHint() const
{
    const QSize hint = sizeHint();
    const QFontMetricsF fm(segmentFont(true));
    const int narrow = int(m_titles.size() * (fm.horizontalAdvance(QStringLiteral("W…")) + 8) + 2 * kInset);
    return QSize(qMin(hint.width(), narrow), hint.height());
}

void SegmentedControl::paintEvent(QPaintEvent *)
{
    const ZephyrTheme theme = ThemeScope::themeFor(this);
    const QColor accent = m_accent.isValid() ? m_accent : theme.accent();
    const QColor ink = m_ink.isValid() ? m_ink : theme.ink();
    const bool enabled = isEnabled();

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    if (!enabled)
        painter.setOpacity(0.45);

    const QRectF track = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath trackPath;
    trackPath.addRoundedRect(track, kTrackRadius, kTrackRadius);
    painter.fillPath(trackPath, withAlpha(ink, theme.isDark() ? 0.08 : 0.05));
    painter.setPen(QPen(theme.hairline(), 1));
    painter.drawPath(trackPath);

    // A light accent (the dark scheme's) carries dark text, a deep one white.
    const QColor selectedText = accent.lightnessF() > 0.6 ? QColor(0, 0, 0, 220) : QColor(Qt::white);
    for (int i = 0; i < m_titles.size(); ++i) {
        const QRectF segment = segmentRect(i);
        const bool selected = i == m_current;
        QPainterPath path;
        path.addRoundedRect(segment, kSegmentRadius, kSegmentRadius);
        if (selected)
            painter.fillPath(path, accent);
        else if (enabled && (i == m_pressed || (m_pressed < 0 && i == m_hovered)))
            painter.fillPath(path, withAlpha(ink, i == m_pressed ? 0.10 : 0.05));

        // Hairline dividers between unselected neighbours.
        if (i > 0 && !selected && i - 1 != m_current) {
            const qreal x = isRightToLeft() ? segment.right() : segment.left();
            painter.setPen(QPen(theme.hairline(), 1));
            painter.drawLine(QPointF(x, segment.top() + 5), QPointF(x, segment.bottom() - 5));
        }

        const QFont font = segmentFont(selected);
        const QFontMetricsF fm(font);
        painter.setFont(font);
        painter.setPen(selected ? selectedText : withAlpha(ink, ink.alphaF()));
        const QString text = fm.elidedText(m_titles.at(i), Qt::ElideRight, segment.width() - 8);
        painter.drawText(segment, Qt::AlignCenter, text);
    }

    if (hasFocus())
        paintFocusRing(painter, QRectF(rect()), kTrackRadius, theme);
}

void SegmentedControl::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_pressed = segmentAt(event->position().toPoint());
    update();
}

void SegmentedControl::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const int released = segmentAt(event->position().toPoint());
    const int pressed = m_pressed;
    m_pressed = -1;
    update();
    // A press dragged off its segment and released elsewhere chooses nothing.
    if (released >= 0 && released == pressed)
        activate(released);
}

void SegmentedControl::mouseMoveEvent(QMouseEvent *event)
{
    const int hovered = segmentAt(event->position().toPoint());
    if (hovered != m_hovered) {
        m_hovered = hovered;
        update();
    }
}

void SegmentedControl::leaveEvent(QEvent *)
{
    m_hovered = -1;
    update();
}

void SegmentedControl::keyPressEvent(QKeyEvent *event)
{
    if (m_titles.isEmpty() || event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
        QWidget::keyPressEvent(event);
        return;
    }
    const int last = int(m_titles.size()) - 1;
    const bool rtl = isRightToLeft();
    int target = -1;
    switch (event->key()) {
    case Qt::Key_Left: target = m_current + (rtl ? 1 : -1); break;
    case Qt::Key_Right: target = m_current + (rtl ? -1 : 1); break;
    case Qt::Key_Up: target = m_current - 1; break;
    case Qt::Key_Down: target = m_current + 1; break;
    case Qt::Key_Home: target = 0; break;
    case Qt::Key_End: target = last; break;
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        activate(m_current);
        return;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    // The ends do not wrap around.
    if (target >= 0 && target <= last && target != m_current)
        activate(target);
}

void SegmentedControl::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::LayoutDirectionChange)
        updateGeometry();
    QWidget::changeEvent(event);
}

void SegmentedControl::activate(int index)
{
    if (!isEnabled() || index < 0 || index >= m_titles.size())
        return;
    setCurrentIndex(index);
    emit activated(index);
}

void SegmentedControl::updateAccessibleText()
{
    notifySegmentedControlSelection(this);
    // Screen readers hear which segment is chosen and how many there are.
    setAccessibleDescription(m_current < 0 ? QString()
                                           : tr("%1, %2 of %3")
                                                 .arg(m_titles.at(m_current))
                                                 .arg(m_current + 1)
                                                 .arg(m_titles.size()));
}

} // namespace zn
