#include "views/kit/FocusRing.h"

#include "app/theme/ThemeScope.h"

#include <QApplication>
#include <QFocusEvent>
#include <QPainter>
#include <QPointer>
#include <QStyleFactory>
#include <QStyleOption>
#include <QToolButton>

#include <algorithm>
#include <cmath>

namespace zn {

namespace {

// The least contrast a ring keeps against what it is drawn on.
constexpr double kRingContrast = 3.0;

// The contrast ratio of two opaque colours, as the accessibility
// guidelines measure it (1 to 21).
double contrastRatio(const QColor &a, const QColor &b)
{
    const auto luminance = [](const QColor &color) {
        const auto linear = [](float c) { return c <= 0.04045f ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
        const QColor rgb = color.toRgb();
        return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF()) + 0.05;
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return std::max(la, lb) / std::min(la, lb);
}

// Focus the style marks: the control's, while the keyboard moves it.
bool keyboardFocused(const QStyleOption *option)
{
    return (option->state & QStyle::State_HasFocus) && (option->state & QStyle::State_KeyboardFocusChange);
}

} // namespace

bool isKeyboardFocusReason(Qt::FocusReason reason)
{
    return reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason;
}

QColor focusRingColor(const ZephyrTheme &theme, FocusRingGround ground)
{
    if (ground == FocusRingGround::Accent) {
        // The same dark or white that the accent fill's title is drawn in.
        const QColor accent = theme.accent();
        return accent.lightnessF() > 0.6 ? QColor::fromRgbF(0.1f, 0.08f, 0.06f, 0.85f)
                                         : QColor::fromRgbF(1, 1, 1, 0.95f);
    }
    // The window's grounds run from the paper to the deep end of the
    // gradient; the translucent fills and tints laid on them stay between.
    // A tenth to spare covers those blends.
    const QColor grounds[] = {theme.background(), theme.backgroundMid(), theme.backgroundDeep(), theme.surface(),
                              theme.paper()};
    const auto weakest = [&grounds](const QColor &ring) {
        double least = 21;
        for (const QColor &g : grounds)
            least = std::min(least, contrastRatio(ring, g));
        return least;
    };
    QColor ring = theme.accent();
    for (int step = 0; step < 30 && weakest(ring) < kRingContrast * 1.1; ++step)
        ring = theme.isDark() ? ring.lighter(104) : ring.darker(104);
    return ring;
}

void paintFocusRing(QPainter &painter, const QRectF &shape, qreal radius, const ZephyrTheme &theme,
                    FocusRingGround ground)
{
    paintFocusRing(painter, shape, radius, focusRingColor(theme, ground), ground);
}

void paintFocusRing(QPainter &painter, const QRectF &shape, qreal radius, const QColor &color,
                    FocusRingGround ground)
{
    constexpr qreal kWidth = 2;
    // On a coloured fill the ring stands a little in from the edge, so the
    // fill frames it on both sides.
    const qreal inset = ground == FocusRingGround::Accent ? kWidth / 2 + 1.5 : kWidth / 2;
    const QRectF ring = shape.adjusted(inset, inset, -inset, -inset);
    if (ring.width() <= 0 || ring.height() <= 0)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(color, kWidth));
    painter.setBrush(Qt::NoBrush);
    const qreal r = std::max<qreal>(0, radius - inset);
    painter.drawRoundedRect(ring, r, r);
    painter.restore();
}

// --- FocusRingStyle ---------------------------------------------------------------

FocusRingStyle::FocusRingStyle()
    : QProxyStyle(QStyleFactory::create(QApplication::style()->name()))
{
    setParent(qApp);
}

FocusRingStyle *FocusRingStyle::shared()
{
    static QPointer<FocusRingStyle> style;
    if (!style)
        style = new FocusRingStyle;
    return style;
}

void FocusRingStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                                   const QWidget *widget) const
{
    if (element != PE_FrameFocusRect || !widget) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    // Like the style's own frame, only while the keyboard moves the focus;
    // a tool button's is drawn tight around its title, the ring around the
    // whole button.
    if (!(option->state & State_KeyboardFocusChange))
        return;
    const QRect shape = qobject_cast<const QToolButton *>(widget) ? widget->rect() : option->rect;
    paintFocusRing(*painter, QRectF(shape), 4, ThemeScope::themeFor(widget));
}

void FocusRingStyle::drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                                 const QWidget *widget) const
{
    QProxyStyle::drawControl(element, option, painter, widget);
    // A push button marks its focus with a tinted outline alone.
    if (element == CE_PushButton && widget && keyboardFocused(option))
        paintFocusRing(*painter, QRectF(option->rect), 4, ThemeScope::themeFor(widget));
}

void FocusRingStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex *option, QPainter *painter,
                                        const QWidget *widget) const
{
    QProxyStyle::drawComplexControl(control, option, painter, widget);
    // So does a closed combo box.
    if (control == CC_ComboBox && widget && keyboardFocused(option))
        paintFocusRing(*painter, QRectF(option->rect), 4, ThemeScope::themeFor(widget));
}

// --- FocusRingOverlay -------------------------------------------------------------

FocusRingOverlay::FocusRingOverlay(QWidget *control, qreal radius)
    : QWidget(control)
    , m_control(control)
    , m_radius(radius)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    hide();
    control->installEventFilter(this);
}

bool FocusRingOverlay::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_control) {
        switch (event->type()) {
        case QEvent::FocusIn:
            if (isKeyboardFocusReason(static_cast<QFocusEvent *>(event)->reason())) {
                setGeometry(m_control->rect());
                raise();
                show();
            }
            break;
        case QEvent::FocusOut:
            hide();
            break;
        case QEvent::Resize:
            setGeometry(m_control->rect());
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FocusRingOverlay::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paintFocusRing(painter, QRectF(rect()), m_radius, ThemeScope::themeFor(this));
}

} // namespace zn
