#pragma once

#include "app/theme/ZephyrTheme.h"

#include <QProxyStyle>
#include <QRectF>
#include <QWidget>

class QPainter;

namespace zn {

// What the ring is drawn on: the control's own surface, or a control
// filled with the accent (a prominent button), where an accent ring would
// vanish.
enum class FocusRingGround { Surface, Accent };

// Whether focus arriving for `reason` came from the keyboard (Tab, Backtab
// or a shortcut), so its ring shows; a click's focus shows none.
bool isKeyboardFocusReason(Qt::FocusReason reason);

// The colour that marks keyboard focus in `theme` on `ground`: the accent
// on the window's own surfaces, deepened (or in the dark scheme brightened)
// where the accent alone stands out less than 3:1 from one of the theme's
// grounds; the text colour of an accent fill on one.
QColor focusRingColor(const ZephyrTheme &theme, FocusRingGround ground = FocusRingGround::Surface);

// The keyboard-focus ring of a control whose shape is a rounded rectangle
// `shape` with corner `radius`: 2 points wide, just inside the shape, so it
// shows in any layout without room around the control.
void paintFocusRing(QPainter &painter, const QRectF &shape, qreal radius, const ZephyrTheme &theme,
                    FocusRingGround ground = FocusRingGround::Surface);
// The same in a colour of the caller's: on a fill of another colour (a red
// stop button) the ring takes the colour of the fill's title.
void paintFocusRing(QPainter &painter, const QRectF &shape, qreal radius, const QColor &color,
                    FocusRingGround ground);

// The application's style, except that the controls it paints (tool and
// push buttons, combo boxes) mark keyboard focus with this ring instead of
// its faint line or tinted outline. Set on such controls with
// QWidget::setStyle; it draws with a style of its own of the application's
// kind.
class FocusRingStyle : public QProxyStyle
{
    Q_OBJECT
public:
    // The one instance, made on first use and kept by the application, so
    // it outlives every control that wears it.
    static FocusRingStyle *shared();

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option, QPainter *painter,
                            const QWidget *widget = nullptr) const override;

private:
    FocusRingStyle();
};

// The ring over a control that cannot draw one in its own painting (a
// scrolling page whose content covers it): a child on top of it, as large
// as it and blind to the mouse, shown while the keyboard brought the focus.
class FocusRingOverlay : public QWidget
{
    Q_OBJECT
public:
    explicit FocusRingOverlay(QWidget *control, qreal radius = 6);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QWidget *m_control;
    qreal m_radius;
};

} // namespace zn
